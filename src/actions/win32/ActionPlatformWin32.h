// The action runner's platform on Windows: shell, command line, keyboard
// injection and the shutdown privilege.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "actions/ActionRunner.h"

namespace vexel {

// The scan code a key sends, 0xE0nn for an extended key: the layout's
// (MapVirtualKeyA, MAPVK_VK_TO_VSC_EX), or for the media and browser keys
// that the layout gives none, the code their keys send.
unsigned KeyboardScanCode(std::uint8_t virtualKey);

// COM on the calling thread, a single-threaded apartment without OLE1 DDE,
// for as long as this object lives: ShellExecuteA may hand a verb to a
// shell extension, which needs it. One on each thread that opens files or
// URLs through the shell (the program's main thread).
class ShellComApartment {
 public:
  ShellComApartment();
  ~ShellComApartment();
  ShellComApartment(const ShellComApartment&) = delete;
  ShellComApartment& operator=(const ShellComApartment&) = delete;

 private:
  bool initialised_;  // this object owes the thread a CoUninitialize
};

// The file names of the programs that show top-level windows now, sorted,
// each once, this program's left out: the choices of "Add program...".
std::vector<std::string> ProgramsWithVisibleWindows();

class ActionPlatformWin32 : public ActionPlatform {
 public:
  // How a reboot or shutdown is asked for, ExitWindowsEx(flags, 0), and how
  // a privilege of the process token is switched, unless told otherwise.
  // Tests pass their own, as a real call would end them.
  using ExitWindowsFunction = std::function<bool(unsigned flags)>;
  using PrivilegeFunction = std::function<bool(const std::string& name, bool enable)>;
  static bool CallExitWindowsEx(unsigned flags);
  // Enables or disables one named privilege in the process token.
  static bool SetTokenPrivilege(const std::string& name, bool enable);

  explicit ActionPlatformWin32(ExitWindowsFunction exitWindows = CallExitWindowsEx,
                               PrivilegeFunction setPrivilege = SetTokenPrivilege)
      : exitWindows_(std::move(exitWindows)), setPrivilege_(std::move(setPrivilege)) {}

  void ShellOpen(const std::string& file) override;
  void RunCommandLine(const std::string& commandLine) override;
  void KeyTransition(std::uint8_t virtualKey, bool keyUp) override;
  KeyboardRepeat KeyboardRepeatSettings() override;
  void Sleep(unsigned milliseconds) override;
  // ExitWindowsEx with EWX_REBOOT or EWX_SHUTDOWN, and EWX_FORCE.
  bool Reboot() override;
  bool ShutDown() override;
  // LockWorkStation: the lock starts, and the call returns before it is done.
  bool LockSession() override;
  // SendInput mouse input; a move goes to where the pointer is plus the
  // step, as an absolute move, so that it moves exactly so many pixels
  // (a relative move is scaled by the pointer speed and acceleration).
  void MouseButtonTransition(MouseButton button, bool up) override;
  void MouseMove(int dx, int dy) override;
  void MouseWheel(int notches) override;
  // The foreground window: its class name and its process's file name.
  FocusedWindow FocusedProgram() override;

 private:
  // ExitWindowsEx(flags) holding "SeShutdownPrivilege" for the call only:
  // not called when the privilege cannot be enabled, which is disabled
  // again whatever the call answers.
  bool ForcedExitWindows(unsigned flags);

  ExitWindowsFunction exitWindows_;
  PrivilegeFunction setPrivilege_;
  // The foreground window last asked about, and what it is.
  HWND focusedWindow_ = nullptr;
  DWORD focusedThread_ = 0;
  FocusedWindow focused_;
};

}  // namespace vexel
