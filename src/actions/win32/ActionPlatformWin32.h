// The action runner's platform on Windows: shell, command line, keyboard
// injection and the shutdown privilege.
#pragma once

#include <functional>

#include "actions/ActionRunner.h"

namespace vexel {

// The scan code a key sends, 0xE0nn for an extended key: the layout's
// (MapVirtualKeyA, MAPVK_VK_TO_VSC_EX), or for the media and browser keys
// that the layout gives none, the code their keys send.
unsigned KeyboardScanCode(std::uint8_t virtualKey);

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

 private:
  ExitWindowsFunction exitWindows_;
};

}  // namespace vexel
