#include "phone/PhoneEvents.h"

#include <charconv>
#include <utility>

#include "actions/ActionText.h"
#include "actions/KeyMap.h"
#include "base/Text.h"
#include "base/Timers.h"
#include "comm/SerialPort.h"

namespace vexel {

namespace {

constexpr std::string_view kCallerId = "AT+CLIP=1";
constexpr std::string_view kBattery = "AT+CBC";
constexpr std::string_view kSignal = "AT+CSQ";

// The numeric field of a line's answer ("+CSQ: 17,99": field 0 is 17), or -1.
int Field(std::string_view answer, int index) {
  for (; index > 0; --index) {
    const size_t comma = answer.find(',');
    if (comma == std::string_view::npos) return -1;
    answer.remove_prefix(comma + 1);
  }
  answer = Trim(answer.substr(0, answer.find(',')));
  int value = -1;
  const auto [end, error] = std::from_chars(answer.data(), answer.data() + answer.size(), value);
  return error == std::errc() && end == answer.data() + answer.size() ? value : -1;
}

// The calling number of a +CLIP answer ("\"+4917012345\",145,,,,0"): its
// dial characters only, at most 32, so that whatever a phone writes shows
// as a number; empty when the number is withheld.
std::string CallerOf(std::string_view answer) {
  answer = Trim(answer);
  if (!answer.empty() && answer.front() == '"') {
    answer.remove_prefix(1);
    answer = answer.substr(0, answer.find('"'));
  } else {
    answer = answer.substr(0, answer.find(','));
  }
  std::string number;
  for (char c : answer)
    if (((c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#') && number.size() < 32)
      number += c;
  return number;
}

}  // namespace

int SignalBars(int rssi) {
  if (rssi < 0 || rssi > 31) return -1;
  if (rssi <= 1) return 0;
  if (rssi <= 7) return 1;
  if (rssi <= 12) return 2;
  if (rssi <= 17) return 3;
  if (rssi <= 23) return 4;
  return 5;
}

PhoneEvents::PhoneEvents(const KeyMap& keyMap, KeyActions& actions, SerialPort& port,
                         TimerHost& timers, LinkObserver& observer)
    : keyMap_(keyMap), actions_(actions), port_(port), timers_(timers), observer_(observer) {}

void PhoneEvents::LinkUp() {
  up_ = true;
  RunEntryLater(kLinkUpEntry, 1);
  // Asked from the main loop, after the start has ended.
  queries_ = {kCallerId, kBattery, kSignal};
  asking_ = false;
  timers_.StartTimer(kPhoneStateTimerId, 1);
}

void PhoneEvents::LinkLost() {
  if (!up_) return;
  RunEntryLater(kLinkLostEntry, 1);
  LinkDown();
}

void PhoneEvents::LinkDown() {
  up_ = false;
  queries_.clear();
  asking_ = false;
  timers_.StopTimer(kPhoneStateTimerId);
  battery_ = signal_ = -1;
  if (ringing_) {
    timers_.StopTimer(kRingTimerId);
    ringing_ = false;
    caller_.clear();
    RunEntryLater(kRingEntry, 2);
  }
}

void PhoneEvents::Received(std::string_view text) {
  if (!up_) return;
  bool rang = false;
  std::string caller;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line == "RING" || line.starts_with("+CRING:")) {
      rang = true;
    } else if (line.starts_with("+CLIP:")) {
      rang = true;
      if (std::string number = CallerOf(line.substr(6)); !number.empty()) caller = number;
    } else if (line.starts_with("+CBC:")) {
      const int charge = Field(line.substr(5), 1);
      SetState(charge >= 0 && charge <= 100 ? charge : -1, signal_);
    } else if (line.starts_with("+CSQ:")) {
      SetState(battery_, SignalBars(Field(line.substr(5), 0)));
    } else if (line == "OK") {
      Answered(false);
    } else if (line == "ERROR" || line.starts_with("+CME ERROR")) {
      Answered(true);
    }
  });
  if (!rang) return;
  timers_.StartTimer(kRingTimerId, kRingEndMs);
  const bool wasRinging = std::exchange(ringing_, true);
  if (wasRinging && (caller.empty() || caller == caller_)) return;
  if (!caller.empty()) caller_ = caller;
  LinkEvent event{LinkEventKind::kRing};
  event.on = true;
  event.caller = caller_;
  observer_.OnLinkEvent(event);
  if (!wasRinging) RunEntry(kRingEntry, 1);
}

void PhoneEvents::TimerFired(unsigned id) {
  if (id == kRingTimerId) {
    EndRinging();
  } else if (id == kPhoneStateTimerId) {
    if (asking_)
      queries_.pop_front();  // no answer: the next one is asked
    else if (queries_.empty())
      queries_ = {kBattery, kSignal};
    Ask();
  } else if (id == kEventEntryTimerId) {
    if (dueEntries_.empty()) return timers_.StopTimer(kEventEntryTimerId);
    const DueEntry due = dueEntries_.front();
    dueEntries_.erase(dueEntries_.begin());
    if (dueEntries_.empty()) timers_.StopTimer(kEventEntryTimerId);
    RunEntry(due.entry, due.request);
  }
}

void PhoneEvents::EndRinging() {
  timers_.StopTimer(kRingTimerId);
  if (!ringing_) return;
  ringing_ = false;
  caller_.clear();
  observer_.OnLinkEvent(LinkEvent{LinkEventKind::kRing});
  RunEntry(kRingEntry, 2);
}

void PhoneEvents::RunEntry(std::string_view entry, int request) {
  const std::string action = keyMap_.ActionFor(entry, {});
  if (!Trim(action).empty()) actions_.DispatchKeyAction(action, request, nullptr);
}

void PhoneEvents::RunEntryLater(std::string_view entry, int request) {
  if (Trim(keyMap_.ActionFor(entry, {})).empty()) return;
  dueEntries_.push_back({entry, request});
  timers_.StartTimer(kEventEntryTimerId, 1);
}

void PhoneEvents::Ask() {
  asking_ = !queries_.empty();
  if (!asking_) return timers_.StartTimer(kPhoneStateTimerId, kPhoneStateMs);
  std::string line(queries_.front());
  line += '\r';
  port_.WriteData(line.data(), static_cast<std::uint16_t>(line.size()));
  timers_.StartTimer(kPhoneStateTimerId, kStateReplyWaitMs);
}

void PhoneEvents::Answered(bool error) {
  if (!asking_) return;  // the keep-alive's answer, or a late one
  if (error && queries_.front() == kBattery) SetState(-1, signal_);
  if (error && queries_.front() == kSignal) SetState(battery_, -1);
  queries_.pop_front();
  Ask();
}

void PhoneEvents::SetState(int battery, int signal) {
  if (battery == battery_ && signal == signal_) return;
  battery_ = battery;
  signal_ = signal;
  LinkEvent event{LinkEventKind::kPhoneState};
  event.battery = battery;
  event.signal = signal;
  observer_.OnLinkEvent(event);
}

}  // namespace vexel
