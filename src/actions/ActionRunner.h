// The action runner: carries out decoded parts under the control enabled flag.
#pragma once

#include <cstdint>
#include <string>

#include "actions/ShortcutText.h"

namespace vexel {

// ExitWindowsEx flags of the special commands.
inline constexpr unsigned kRebootFlags = 6;    // EWX_REBOOT | EWX_FORCE
inline constexpr unsigned kShutdownFlags = 5;  // EWX_SHUTDOWN | EWX_FORCE
inline constexpr unsigned kClickDelayMs = 30;
// Held only for the duration of a reboot or shutdown request.
inline constexpr const char* kShutdownPrivilege = "SeShutdownPrivilege";

// What the runner does on the PC. Win32: actions/win32/ActionPlatformWin32.h.
class ActionPlatform {
 public:
  virtual ~ActionPlatform() = default;
  // ShellExecuteA(no owner, "open", file, "", "", SW_SHOWNORMAL)
  virtual void ShellOpen(const std::string& file) = 0;
  // WinExec(commandLine, SW_SHOWNORMAL)
  virtual void RunCommandLine(const std::string& commandLine) = 0;
  // keybd_event(virtualKey, 0, keyUp ? KEYEVENTF_KEYUP : 0, 0)
  virtual void KeyTransition(std::uint8_t virtualKey, bool keyUp) = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
  // Enables or disables one named privilege in the process token.
  virtual bool SetTokenPrivilege(const std::string& name, bool enable) = 0;
  // ExitWindowsEx(flags, 0)
  virtual bool RequestExitWindows(unsigned flags) = 0;
};

class ActionRunner {
 public:
  explicit ActionRunner(ActionPlatform& platform) : platform_(platform) {}

  bool ControlEnabled() const { return controlEnabled_; }

  // An Execute part's payload: "#" command line, "$" special command, or a path.
  void RunExecute(const std::string& payload);
  // A Key part: mode 0 Press, 1 Release, 2 Click; other modes send nothing,
  // and so does a value without a key code.
  void RunKey(int mode, TShortCut value);

  // Reboots or shuts down holding "SeShutdownPrivilege" for the call.
  bool ForcedExitWindows(unsigned flags);

 private:
  ActionPlatform& platform_;
  bool controlEnabled_ = true;
};

}  // namespace vexel
