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

// The file names of the programs that show top-level windows now, sorted,
// each once, this program's left out: the choices of "Add program...".
std::vector<std::string> ProgramsWithVisibleWindows();

class ActionPlatformWin32 : public ActionPlatform {
 public:
  // How a reboot or shutdown is asked for: ExitWindowsEx(flags, 0) unless
  // told otherwise. Tests pass their own, as a real call would end them.
  using ExitWindowsFunction = std::function<bool(unsigned flags)>;
  static bool CallExitWindowsEx(unsigned flags);

  explicit ActionPlatformWin32(ExitWindowsFunction exitWindows = CallExitWindowsEx)
      : exitWindows_(std::move(exitWindows)) {}

  void ShellOpen(const std::string& file) override;
  void RunCommandLine(const std::string& commandLine) override;
  void KeyTransition(std::uint8_t virtualKey, bool keyUp) override;
  KeyboardRepeat KeyboardRepeatSettings() override;
  void Sleep(unsigned milliseconds) override;
  bool SetTokenPrivilege(const std::string& name, bool enable) override;
  bool RequestExitWindows(unsigned flags) override { return exitWindows_(flags); }
  // SendInput mouse input; a move goes to where the pointer is plus the
  // step, as an absolute move, so that it moves exactly so many pixels
  // (a relative move is scaled by the pointer speed and acceleration).
  void MouseButtonTransition(MouseButton button, bool up) override;
  void MouseMove(int dx, int dy) override;
  void MouseWheel(int notches) override;
  // The foreground window: its class name and its process's file name.
  FocusedWindow FocusedProgram() override;

 private:
  ExitWindowsFunction exitWindows_;
  // The foreground window last asked about, and what it is.
  HWND focusedWindow_ = nullptr;
  DWORD focusedThread_ = 0;
  FocusedWindow focused_;
};

}  // namespace vexel
