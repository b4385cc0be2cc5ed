#include "actions/KeyRepeat.h"

#include <algorithm>

#include "actions/ActionRunner.h"

namespace vexel {

namespace {

// The rate as `repeats` in `spanMs`, whole numbers, so that counts come out
// exact: the keyboard speed setting s gives 2.5 + 27.5 s / 31 repeats a
// second, that is (155 + 55 s) repeats in 62 000 ms.
struct Rate {
  std::uint64_t repeats, spanMs;
};
Rate RateOf(KeyboardRepeat settings) {
  if (settings.intervalMs) return {1, std::max(settings.intervalMs, 10u)};
  return {155 + 55 * std::uint64_t{std::min(settings.speed, 31u)}, 62000};
}
std::uint64_t DelayMs(KeyboardRepeat settings) {
  if (settings.delayMs) return settings.delayMs;
  return (std::uint64_t{std::min(settings.delay, 3u)} + 1) * 250;
}

}  // namespace

std::uint64_t RepeatDueMs(KeyboardRepeat settings, std::uint64_t n) {
  const Rate rate = RateOf(settings);
  const std::uint64_t after = n > 0 ? n - 1 : 0;
  return DelayMs(settings) + (after * rate.spanMs + rate.repeats - 1) / rate.repeats;
}

std::uint64_t RepeatsDue(KeyboardRepeat settings, std::uint64_t elapsed) {
  if (elapsed < DelayMs(settings)) return 0;
  const Rate rate = RateOf(settings);
  return (elapsed - DelayMs(settings)) * rate.repeats / rate.spanMs + 1;
}

void KeyRepeat::Start(TShortCut value) {
  Stop();
  running_ = true;
  value_ = value;
  const MouseKey* mouse = FindMouseKey(static_cast<std::uint8_t>(SplitShortcut(value).key));
  const bool moves = mouse && mouse->kind == MouseKeyKind::kMove;
  settings_ = moves ? kMouseMoveRepeat : platform_.KeyboardRepeatSettings();
  pressedAt_ = timers_.Milliseconds();
  sent_ = 0;
  holdOnly_ = mouse && mouse->kind == MouseKeyKind::kButton;
  PressKeys(platform_, value_);
  ArmTimer(0);
}

KeyRepeat::~KeyRepeat() {
  if (running_) ReleaseKeys(platform_, value_);
}

void KeyRepeat::Stop() {
  if (!running_) return;
  running_ = false;
  timers_.StopTimer(kRepeatTimerId);
  ReleaseKeys(platform_, value_);
}

void KeyRepeat::RepeatTimerTimer() {
  if (!running_) return;
  const std::uint64_t elapsed = timers_.Milliseconds() - pressedAt_;
  if (elapsed >= kRepeatLimitMs) {
    Stop();
    return;
  }
  const std::uint64_t due = RepeatsDue(settings_, elapsed);
  if (due > sent_ + kMaxRepeatsAtOnce) sent_ = due - kMaxRepeatsAtOnce;
  const auto key = static_cast<std::uint8_t>(SplitShortcut(value_).key);
  const MouseKey* mouse = FindMouseKey(key);
  for (; sent_ < due; ++sent_) {
    if (!mouse) {
      platform_.KeyTransition(key, false);
    } else if (mouse->kind == MouseKeyKind::kMove) {
      // A step as long as the key was held when it fell due.
      const int step = MouseStepPx(RepeatDueMs(settings_, sent_ + 1));
      platform_.MouseMove(mouse->dx * step, mouse->dy * step);
    } else if (mouse->kind == MouseKeyKind::kWheel) {
      platform_.MouseWheel(mouse->dy);
    }
  }
  ArmTimer(elapsed);
}

void KeyRepeat::ArmTimer(std::uint64_t elapsed) {
  // The next repeat, or the end of the time a repeat may run.
  const std::uint64_t next =
      holdOnly_ ? kRepeatLimitMs : std::min(RepeatDueMs(settings_, sent_ + 1), kRepeatLimitMs);
  timers_.StartTimer(kRepeatTimerId, static_cast<unsigned>(next > elapsed ? next - elapsed : 1));
}

}  // namespace vexel
