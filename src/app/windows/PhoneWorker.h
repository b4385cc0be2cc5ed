// The phone search ("Find") and the phone check run in a thread of their
// own, with a serial port (TComm32) and a message loop of that thread: a port
// that hangs on open or on a write (a Bluetooth port connects when opened)
// freezes no window. The thread reports to a window by posted messages,
// kWorkerLine for each line of text and kWorkerDone with the result at the
// end; the window hands each message back to the worker, which tells a
// message of the run in progress from one of a run cancelled before.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "comm/SerialPort.h"
#include "phone/LinkHost.h"

namespace vexel {

inline constexpr UINT kWorkerLine = WM_APP + 10;  // wParam: run, lParam: std::string*
inline constexpr UINT kWorkerDone = WM_APP + 11;  // wParam: run, lParam: std::string*

class PhoneWorker {
 public:
  // Runs in the thread: asks the phone through port and host until
  // `stopped` says to end; `out` sends a line to the window. Its result is
  // the text of kWorkerDone.
  using Job = std::function<std::string(SerialPort& port, LinkHost& host,
                                        const std::function<bool()>& stopped,
                                        const std::function<void(const std::string&)>& out)>;

  PhoneWorker() = default;
  ~PhoneWorker() { Cancel(); }
  PhoneWorker(const PhoneWorker&) = delete;
  PhoneWorker& operator=(const PhoneWorker&) = delete;

  // Cancels a run in progress and starts this one.
  void Start(HWND window, Job job);
  // The run ends as soon as its waits notice; whatever it still sends is
  // dropped. A thread stuck in a call of the system is left behind.
  void Cancel();
  bool Running() const { return running_; }

  // On kWorkerLine and kWorkerDone: the text, when the message belongs to
  // the run in progress (kWorkerDone ends it). Frees the message's text.
  std::optional<std::string> Take(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  std::shared_ptr<std::atomic<bool>> cancelled_;
  WPARAM run_ = 0;
  bool running_ = false;
};

}  // namespace vexel
