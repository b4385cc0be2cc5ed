#include "actions/ActionRunner.h"

#include "actions/ActionText.h"

namespace vexel {

namespace {

constexpr std::uint8_t kShiftKey = 16;  // VK_SHIFT
constexpr std::uint8_t kCtrlKey = 17;   // VK_CONTROL
constexpr std::uint8_t kAltKey = 18;    // VK_MENU

bool Contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

}  // namespace

void ActionRunner::RunExecute(const std::string& payload) {
  if (payload.empty()) return;
  if (payload[0] == '$') {
    // Special commands run whatever the control enabled flag says, so that
    // "$on/off Vexel" can switch control back on. The tests are
    // independent: one payload may ask for more than one.
    if (Contains(payload, "on/off Vexel")) {
      controlEnabled_ = !controlEnabled_;
      if (!controlEnabled_) StopRepeat();
      if (onControlChange_) onControlChange_(controlEnabled_);
    }
    if (Contains(payload, "lock")) platform_.LockSession();
    if (Contains(payload, "reboot")) platform_.Reboot();
    if (Contains(payload, "shutdown")) platform_.ShutDown();
    return;
  }
  if (!controlEnabled_) return;
  if (payload[0] == '#')
    platform_.RunCommandLine(payload.substr(1));
  else
    platform_.ShellOpen(payload);
}

void KeyOrMouseTransition(ActionPlatform& platform, std::uint8_t virtualKey, bool keyUp) {
  const MouseKey* mouse = FindMouseKey(virtualKey);
  if (!mouse) return platform.KeyTransition(virtualKey, keyUp);
  if (mouse->kind == MouseKeyKind::kButton)
    return platform.MouseButtonTransition(mouse->button, keyUp);
  if (keyUp) return;
  if (mouse->kind == MouseKeyKind::kMove)
    platform.MouseMove(mouse->dx * MouseStepPx(0), mouse->dy * MouseStepPx(0));
  else
    platform.MouseWheel(mouse->dy);
}

void PressKeys(ActionPlatform& platform, TShortCut value) {
  const ShortcutKeys keys = SplitShortcut(value);
  if (keys.shift) platform.KeyTransition(kShiftKey, false);
  if (keys.ctrl) platform.KeyTransition(kCtrlKey, false);
  if (keys.alt) platform.KeyTransition(kAltKey, false);
  KeyOrMouseTransition(platform, static_cast<std::uint8_t>(keys.key), false);
}

void ReleaseKeys(ActionPlatform& platform, TShortCut value) {
  // Sent whether or not the keys are down: a Release on button up ends
  // the Press of the same combination on button down.
  const ShortcutKeys keys = SplitShortcut(value);
  KeyOrMouseTransition(platform, static_cast<std::uint8_t>(keys.key), true);
  if (keys.alt) platform.KeyTransition(kAltKey, true);
  if (keys.ctrl) platform.KeyTransition(kCtrlKey, true);
  if (keys.shift) platform.KeyTransition(kShiftKey, true);
}

void ActionRunner::RunKey(int mode, TShortCut value) {
  if (!controlEnabled_) return;
  // A shortcut text that names no key parses to 0: there is nothing to
  // press, and a transition of virtual key 0 means nothing to Windows.
  if ((SplitShortcut(value).key & 0xFF) == 0) return;
  if (mode == kmRepeat) {
    if (repeat_) repeat_->Start(value);
    return;
  }
  if (mode == kmPress || mode == kmClick) PressKeys(platform_, value);
  if (mode == kmClick) platform_.Sleep(kClickDelayMs);
  if (mode == kmRelease || mode == kmClick) ReleaseKeys(platform_, value);
}

void ActionRunner::StopRepeat() {
  if (repeat_) repeat_->Stop();
}

void ActionRunner::RepeatTimerTimer() {
  if (repeat_) repeat_->RepeatTimerTimer();
}

}  // namespace vexel
