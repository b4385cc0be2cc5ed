// What the phone link needs of the program around it: the event loop and
// the user-visible state. The Win32 shell implements both on the main
// window; tests give the link a virtual clock and a recorder.
#pragma once

#include <cstdint>
#include <string>

namespace vexel {

// Window timers of the main window.
inline constexpr unsigned kWaitTimerId = 147852;    // reply wait, 750 ms
inline constexpr unsigned kReconnectTimerId = 1;    // ReconnectTimer, keep-alive every 5000 ms

class LinkHost {
 public:
  virtual ~LinkHost() = default;
  // Window timers: when one is due the host calls PhoneLink::TimerFired
  // from its message processing, until the timer is stopped.
  virtual void StartTimer(unsigned id, unsigned intervalMs) = 0;
  virtual void StopTimer(unsigned id) = 0;
  // Handles every pending window message of the main thread once.
  virtual void ProcessMessages() = 0;
  // Pauses the main thread; no message is handled meanwhile.
  virtual void Sleep(unsigned milliseconds) = 0;
  // A monotonic clock in milliseconds.
  virtual std::uint64_t Milliseconds() = 0;
};

enum class MsgIcon { kError, kWarning, kInformation, kQuestion };
enum class MsgButtons { kOk, kYesNo };
enum class MsgAnswer { kOk, kYes, kNo };
enum class TrayImage { kApplication, kConnect, kHangUp };

class LinkUi {
 public:
  virtual ~LinkUi() = default;
  // A modal message box owned by the Properties window.
  virtual MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                               MsgButtons buttons) = 0;
  virtual void SetTrayImage(TrayImage image) = 0;
  virtual void SetStartStopCaption(const std::string& caption) = 0;  // StartStopItem
  virtual void SetMapKeysButtonEnabled(bool enabled) = 0;
  virtual std::string SelectedPortText() = 0;  // cbCOMs, empty when nothing is selected
  virtual int PhoneTypeIndex() = 0;            // cbPhoneType, -1 when nothing is selected
  virtual void ShowProperties() = 0;           // N1Click
  // The shell's "open" verb, no owner window (the failure report's mail).
  virtual void ShellOpen(const std::string& target) = 0;
};

}  // namespace vexel
