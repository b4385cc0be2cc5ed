#include "actions/win32/ActionPlatformWin32.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

namespace vexel {

bool ActionPlatformWin32::CallExitWindowsEx(unsigned flags) {
  return ExitWindowsEx(flags, 0) != FALSE;
}

void ActionPlatformWin32::ShellOpen(const std::string& file) {
  ShellExecuteA(nullptr, "open", file.c_str(), "", "", SW_SHOWNORMAL);
}

void ActionPlatformWin32::RunCommandLine(const std::string& commandLine) {
  WinExec(commandLine.c_str(), SW_SHOWNORMAL);
}

void ActionPlatformWin32::KeyTransition(std::uint8_t virtualKey, bool keyUp) {
  keybd_event(virtualKey, 0, keyUp ? KEYEVENTF_KEYUP : 0, 0);
}

void ActionPlatformWin32::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

bool ActionPlatformWin32::SetTokenPrivilege(const std::string& name, bool enable) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  bool done = false;
  TOKEN_PRIVILEGES privileges{};
  if (LookupPrivilegeValueA(nullptr, name.c_str(), &privileges.Privileges[0].Luid)) {
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // The previous state is asked for but not used.
    TOKEN_PRIVILEGES previous{};
    DWORD previousLength = 0;
    done = AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous, &previous,
                                 &previousLength) != FALSE;
  }
  CloseHandle(token);
  return done;
}

}  // namespace vexel
