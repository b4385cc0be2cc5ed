// The action runner: carries out decoded parts under the control enabled flag.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "actions/KeyMap.h"
#include "actions/KeyRepeat.h"
#include "actions/MouseKeys.h"
#include "actions/ShortcutText.h"
#include "base/Timers.h"

namespace vexel {

inline constexpr unsigned kClickDelayMs = 30;

// What the runner does on the PC. Win32: actions/win32/ActionPlatformWin32.h.
class ActionPlatform {
 public:
  virtual ~ActionPlatform() = default;
  // ShellExecuteA(no owner, "open", file, "", "", SW_SHOWNORMAL)
  virtual void ShellOpen(const std::string& file) = 0;
  // WinExec(commandLine, SW_SHOWNORMAL)
  virtual void RunCommandLine(const std::string& commandLine) = 0;
  // One key transition as the keyboard sends it (SendInput with the key's
  // scan code and, for E0 keys, the extended-key flag).
  virtual void KeyTransition(std::uint8_t virtualKey, bool keyUp) = 0;
  // The keyboard delay and speed settings that a held key repeats at.
  virtual KeyboardRepeat KeyboardRepeatSettings() { return {}; }
  virtual void Sleep(unsigned milliseconds) = 0;
  // Restarts or powers off the PC at once, not waiting for programs that
  // would hold it up ("$reboot", "$shutdown"). False when refused.
  virtual bool Reboot() = 0;
  virtual bool ShutDown() = 0;
  // Locks the user's graphical session ("$lock"). False when it could not.
  virtual bool LockSession() = 0;
  // The mouse as the keys of actions/MouseKeys.h move it: a button going
  // down or up, the pointer moved by so many pixels (y down), the wheel
  // turned by so many notches (positive away from the user).
  virtual void MouseButtonTransition(MouseButton button, bool up) = 0;
  virtual void MouseMove(int dx, int dy) = 0;
  virtual void MouseWheel(int notches) = 0;
  // The window that has the keyboard focus, for the programs' key maps;
  // none where the system does not tell.
  virtual FocusedWindow FocusedProgram() { return {}; }
};

// One key of a combination going down or up, on the keyboard or the mouse:
// a mouse button goes down or up, a move or wheel key steps (the first,
// 2-pixel step of a move) on the way down only.
void KeyOrMouseTransition(ActionPlatform& platform, std::uint8_t virtualKey, bool keyUp);

// The press half of a combination (Shift, Ctrl, Alt, then the key) and its
// release half (the key, then Alt, Ctrl, Shift), sent whether or not the
// keys are down.
void PressKeys(ActionPlatform& platform, TShortCut value);
void ReleaseKeys(ActionPlatform& platform, TShortCut value);

class ActionRunner {
 public:
  // A runner whose Repeat parts hold and repeat their key on the timers.
  ActionRunner(ActionPlatform& platform, TimerHost& timers)
      : platform_(platform), timers_(&timers), repeat_(std::in_place, platform, timers) {}
  // A runner without timers, in which Repeat parts do nothing.
  explicit ActionRunner(ActionPlatform& platform) : platform_(platform) {}

  bool ControlEnabled() const { return controlEnabled_; }
  // Called with the new value whenever "$on/off Vexel" switches control.
  void SetOnControlChange(std::function<void(bool enabled)> onChange) {
    onControlChange_ = std::move(onChange);
  }
  ActionPlatform& Platform() const { return platform_; }
  TimerHost* Timers() const { return timers_; }  // nullptr for a runner without timers

  // An Execute part's payload: "#" command line, "$" special command, or a
  // path. Switching control off ends a running repeat.
  void RunExecute(const std::string& payload);
  // A Key part: mode 0 Press, 1 Release, 2 Click, 3 Repeat (press, repeat
  // the key until StopRepeat, release); other modes send nothing, and so
  // does a value without a key code.
  void RunKey(int mode, TShortCut value);

  // The held combination of a Repeat part, released once when it ends.
  bool Repeating() const { return repeat_ && repeat_->Running(); }
  void StopRepeat();
  // The repeat timer (kRepeatTimerId) fired.
  void RepeatTimerTimer();

 private:
  ActionPlatform& platform_;
  TimerHost* timers_ = nullptr;
  bool controlEnabled_ = true;
  std::function<void(bool)> onControlChange_;
  std::optional<KeyRepeat> repeat_;
};

}  // namespace vexel
