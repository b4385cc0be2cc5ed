// Timers of the main thread, by identifier: the program's event loop fires
// a due timer from its message processing until the timer is stopped. The
// Win32 shell uses window timers of its main window; tests use a virtual
// clock.
#pragma once

#include <cstdint>

namespace vexel {

class TimerHost {
 public:
  virtual ~TimerHost() = default;
  // (Re)starts the timer: it fires every intervalMs until stopped.
  virtual void StartTimer(unsigned id, unsigned intervalMs) = 0;
  virtual void StopTimer(unsigned id) = 0;
  // A monotonic clock in milliseconds.
  virtual std::uint64_t Milliseconds() = 0;
};

// The timers of the core, one identifier each.
inline constexpr unsigned kReconnectTimerId = 1;   // ReconnectTimer: keep-alive every 5000 ms
inline constexpr unsigned kRepeatTimerId = 2;      // a held key's repeat
inline constexpr unsigned kAttemptTimerId = 3;     // the pause before a reconnection attempt
inline constexpr unsigned kHoldTimerId = 4;        // a held key's long press (holdtime)
inline constexpr unsigned kRingTimerId = 5;        // no RING for 8 s: the ringing stopped
inline constexpr unsigned kPhoneStateTimerId = 6;  // battery and signal every 60 s; a query's wait
inline constexpr unsigned kEventEntryTimerId = 7;  // an event entry due from the main loop
inline constexpr unsigned kWaitTimerId = 147852;   // the reply wait, 750 ms

}  // namespace vexel
