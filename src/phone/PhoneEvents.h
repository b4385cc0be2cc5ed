// The phone's own events, which come on the line between its key reports:
// its calls (RING, and +CLIP once "AT+CLIP=1" switched caller ID on), its
// battery (+CBC) and signal (+CSQ), asked for at link up and every 60 s,
// and the link coming up or being lost. The entries of the map for all
// programs named after them ("(ring)", "(link up)", "(link lost)") run on
// them; what the user should see goes out as link events (kRing,
// kPhoneState). None of these commands waits, and none of their answers,
// nor the lack of one, counts as a lost link.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "phone/LinkEvents.h"

namespace vexel {

class KeyActions;
class KeyMap;
class SerialPort;
class TimerHost;

inline constexpr unsigned kRingEndMs = 8000;         // no RING this long: the ringing stopped
inline constexpr unsigned kPhoneStateMs = 60000;     // battery and signal, asked this often
inline constexpr unsigned kStateReplyWaitMs = 2000;  // a query unanswered this long is passed

// The bars (0 to 5) of a +CSQ signal strength (rssi 0 to 31); -1 for 99,
// "not known", and anything else.
int SignalBars(int rssi);

class PhoneEvents {
 public:
  PhoneEvents(const KeyMap& keyMap, KeyActions& actions, SerialPort& port, TimerHost& timers,
              LinkObserver& observer);

  // The link came up (or back): "(link up)", caller ID on, battery and
  // signal asked for now and every 60 s.
  void LinkUp();
  // The line was lost: "(link lost)", then as LinkDown.
  void LinkLost();
  // The link is down: a ringing ends (its UP part runs), battery and signal
  // are unknown, nothing more is asked.
  void LinkDown();

  // A received text: its lines that are the phone's events or answers.
  void Received(std::string_view text);
  // kRingTimerId, kPhoneStateTimerId and kEventEntryTimerId fire here.
  void TimerFired(unsigned id);

  bool Ringing() const { return ringing_; }

 private:
  // Runs the entry's part now (request 1 its DOWN part, 2 its UP part).
  void RunEntry(std::string_view entry, int request);
  // ...or from the main loop, where a key's action runs: never inside the
  // link's own start or reconnection.
  void RunEntryLater(std::string_view entry, int request);
  void EndRinging();
  void Ask();
  void Answered(bool error);
  void SetState(int battery, int signal);

  const KeyMap& keyMap_;
  KeyActions& actions_;
  SerialPort& port_;
  TimerHost& timers_;
  LinkObserver& observer_;

  bool up_ = false;
  bool ringing_ = false;
  std::string caller_;
  int battery_ = -1;
  int signal_ = -1;
  std::deque<std::string_view> queries_;  // the front is written when asking_
  bool asking_ = false;
  struct DueEntry {
    std::string_view entry;
    int request;
  };
  std::vector<DueEntry> dueEntries_;
};

}  // namespace vexel
