// A key combination held on the PC while a phone key is held, its key
// repeating as the PC keyboard's own typematic repeat does: first after the
// keyboard delay, then at the keyboard speed (the system's settings). Run
// by the main thread's repeat timer, never by a sleeping loop: each tick
// sends the repeats that the clock says are due.
#pragma once

#include <cstdint>

#include "actions/ShortcutText.h"
#include "base/Timers.h"

namespace vexel {

class ActionPlatform;

// The system's keyboard repeat settings (SPI_GETKEYBOARDDELAY and
// SPI_GETKEYBOARDSPEED); Windows' defaults.
struct KeyboardRepeat {
  unsigned delay = 1;   // 0..3: (delay + 1) x 250 ms before the first repeat
  unsigned speed = 31;  // 0..31: 2.5 to 30 repeats a second, linearly
  // A system that counts in milliseconds (an X server's autorepeat): when
  // set, these win over delay and speed. The interval is at least 10 ms.
  unsigned delayMs = 0;
  unsigned intervalMs = 0;
};

// A held mouse move key steps on a schedule of its own, whatever the
// keyboard's settings: first 250 ms after the press, then 30 a second.
inline constexpr KeyboardRepeat kMouseMoveRepeat{0, 31};

// A repeat with no release ends by itself this long after the press.
inline constexpr std::uint64_t kRepeatLimitMs = 30000;
// At most this many repeats are sent at once after the main thread was
// kept busy; the rest are dropped, as a keyboard's buffer drops keys.
inline constexpr unsigned kMaxRepeatsAtOnce = 5;

// The milliseconds from the press to the n-th repeat (n from 1), settings
// out of range taken at their nearest limit.
std::uint64_t RepeatDueMs(KeyboardRepeat settings, std::uint64_t n);
// How many repeats are due by `elapsed` milliseconds after the press.
std::uint64_t RepeatsDue(KeyboardRepeat settings, std::uint64_t elapsed);

class KeyRepeat {
 public:
  KeyRepeat(ActionPlatform& platform, TimerHost& timers) : platform_(platform), timers_(timers) {}
  // Destroying a running repeat releases its keys; its timer is left to
  // the host, which may be gone already.
  ~KeyRepeat();
  KeyRepeat(const KeyRepeat&) = delete;
  KeyRepeat& operator=(const KeyRepeat&) = delete;

  // Presses the combination (modifiers Shift, Ctrl, Alt, then the key) and
  // starts repeating its key; a repeat already running is stopped first.
  // A mouse button is held down, not repeated; a mouse move key steps
  // further the longer it is held (MouseStepPx), a wheel key one notch at
  // a time.
  void Start(TShortCut value);
  // Ends a running repeat: the key and then its modifiers (Alt, Ctrl,
  // Shift) go up, once. Does nothing when no repeat runs.
  void Stop();
  bool Running() const { return running_; }
  // The repeat timer (kRepeatTimerId) fired.
  void RepeatTimerTimer();

 private:
  void ArmTimer(std::uint64_t elapsed);

  ActionPlatform& platform_;
  TimerHost& timers_;
  // Main thread only, as is everything here.
  bool running_ = false;
  TShortCut value_ = 0;
  KeyboardRepeat settings_;
  std::uint64_t pressedAt_ = 0;  // Milliseconds() of the press
  std::uint64_t sent_ = 0;       // repeats sent (and dropped) so far
  bool holdOnly_ = false;        // a mouse button: held down, nothing repeated
};

}  // namespace vexel
