// The phone search ("Find") and the phone check run in a thread of their
// own, with a serial port (TComm32) and a message loop of that thread: a port
// that hangs on open or on a write (a Bluetooth port connects when opened)
// freezes no window. The thread queues its lines of text and its result in
// the worker and wakes the window with kWorkerWake; the window then takes
// what was queued. The message carries nothing: a foreign one takes nothing.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "comm/SerialPort.h"
#include "phone/LinkHost.h"

namespace vexel {

inline constexpr UINT kWorkerWake = WM_APP + 10;

class PhoneWorker {
 public:
  // Runs in the thread: asks the phone through port and host until
  // `stopped` says to end; `out` sends a line to the window. Its result ends
  // the run.
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
  bool Running() const { return run_ != nullptr; }

  // On kWorkerWake: the lines sent since the last call, and the result once
  // the run has ended (which ends it here too).
  struct News {
    std::vector<std::string> lines;
    std::optional<std::string> result;
  };
  News Take();

 private:
  // Shared by the window's thread and the run's thread, under `lock`.
  struct Run {
    std::mutex lock;
    std::deque<std::string> lines;
    std::optional<std::string> result;
    bool cancelled = false;
  };
  std::shared_ptr<Run> run_;
};

}  // namespace vexel
