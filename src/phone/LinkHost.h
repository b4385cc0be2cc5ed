// What the phone link needs of the program around it: the event loop, and
// the questions only the user can answer. What happened to the link goes
// out as link events (phone/LinkEvents.h). The Win32 shell implements both
// on the main window; tests give the link a virtual clock and a recorder.
#pragma once

#include <cstdint>
#include <string>

#include "base/Timers.h"

namespace vexel {

// The event loop of the main thread. Its timers (base/Timers.h) fire into
// the core's front door (KeypadRemote::TimerFired).
class LinkHost : public TimerHost {
 public:
  // Handles every pending window message of the main thread once.
  virtual void ProcessMessages() = 0;
  // Pauses the main thread; no message is handled meanwhile.
  virtual void Sleep(unsigned milliseconds) = 0;
};

enum class MsgIcon { kError, kWarning, kInformation, kQuestion };
enum class MsgButtons { kOk, kYesNo };
enum class MsgAnswer { kOk, kYes, kNo };

class LinkUi {
 public:
  virtual ~LinkUi() = default;
  // A modal message box owned by the Properties window.
  virtual MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                   MsgButtons buttons) = 0;
  virtual std::string SelectedPortText() = 0;  // cbCOMs, empty when nothing is selected
  virtual int PhoneTypeIndex() = 0;            // cbPhoneType, -1 when nothing is selected
  virtual void ShowProperties() = 0;           // N1Click
  // The failure report's reply log, one line each, for the hidden memo Memo1.
  virtual void ShowReplyLog(const std::string& log) = 0;
  // The shell's "open" verb, no owner window (the failure report's mail).
  virtual void ShellOpen(const std::string& target) = 0;

  // The failure report, the phone's answers to the identification commands
  // after it refused key reporting at a start the user asked for: the
  // Windows program asks whether to mail it; a program nobody sits at keeps
  // it, once per run, where its user finds it.
  enum class FailureReport { kAskToMail, kKeep };
  virtual FailureReport FailureReportWay() { return FailureReport::kAskToMail; }
  virtual void KeepFailureReport(const std::string& /*report*/,
                                 const std::string& /*supportAddress*/) {}
};

}  // namespace vexel
