#include "phone/KeyEvents.h"

#include <algorithm>
#include <optional>

#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "actions/KeyMap.h"
#include "actions/KeysFile.h"
#include "base/Error.h"
#include "base/Text.h"
#include "base/Timers.h"
#include "phone/PhoneEvents.h"
#include "phone/PhoneMakers.h"

namespace vexel {

namespace {

// The key event of one line, if the line holds a report with a flag.
std::optional<KeyEvent> ParseReport(std::string_view line) {
  line = Trim(line);
  const size_t ckev = line.find("CKEV");
  if (ckev == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(ckev + 4);
  // "+CKEV: 5,1" as the standard writes it; some modules leave out the
  // blank ("+CKEV:5,1"). The key itself may begin with a colon (":J").
  if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  // "\"5\",1": the key is what the quotes hold, which may be a comma.
  if (const size_t close = rest.find("\",", 1);
      !rest.empty() && rest.front() == '"' && close != std::string_view::npos) {
    if (close + 2 == rest.size()) return std::nullopt;
    return KeyEvent{std::string(rest.substr(1, close - 1)), rest[close + 2]};
  }
  const size_t comma = rest.find(',');
  if (comma == std::string_view::npos) {
    if (rest.empty()) return std::nullopt;
    return KeyEvent{std::string(), rest.front()};
  }
  if (comma + 1 == rest.size()) return std::nullopt;
  return KeyEvent{std::string(rest.substr(0, comma)), rest[comma + 1]};
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Keys held at once that are remembered; a phone that reports presses
// without releases pushes the oldest out.
constexpr size_t kMostHeldKeys = 16;

}  // namespace

std::vector<KeyEvent> ParseKeyEvents(std::string_view text) {
  std::vector<KeyEvent> events;
  ForEachLine(text, [&](std::string_view line) {
    if (auto event = ParseReport(line)) events.push_back(std::move(*event));
  });
  return events;
}

void KeyEventHandlers::SetMaker(int maker) {
  lockReports_ = maker == kMotorola;
  locked_ = false;
}

void KeyEventHandlers::ShowLock(bool locked) {
  if (locked == locked_) return;
  locked_ = locked;
  LinkEvent event{LinkEventKind::kKeypadLocked};
  event.on = locked;
  observer_.OnLinkEvent(event);
}

bool KeyEventHandlers::IsLockReport(const KeyEvent& event) const {
  return lockReports_ && event.key == "@";
}

void KeyEventHandlers::FeedbackComm(const char* buffer) {
  std::optional<char> badFlag;
  const std::string_view text = UpToNul(buffer);
  for (const KeyEvent& event : ParseKeyEvents(text)) {
    ShowLock(IsLockReport(event));
    if (locked_ || IsEventEntry(event.key)) continue;
    if (!IsDigit(event.flag)) {
      if (!badFlag) badFlag = event.flag;
      continue;
    }
    // A press (odd) runs the button-down part, a release (even) the up part.
    const bool press = (event.flag - '0') % 2 == 1;
    // A repeat runs while its key is held: a second press report of that
    // key changes nothing, its release report ends the repeat before the
    // key's button-up part runs, and any other key's press ends it too.
    ActionRunner& runner = actions_.Runner();
    if (runner.Repeating() && SameText(event.key, repeatKey_)) {
      if (press) continue;
      runner.StopRepeat();
    } else if (runner.Repeating() && press) {
      runner.StopRepeat();
    }
    if (press)
      Press(event.key);
    else
      Release(event.key);
  }
  if (phoneEvents_) phoneEvents_->Received(text);
  if (badFlag)
    throw EConvertError("'" + std::string(1, *badFlag) + "' is not a valid integer value");
}

std::string KeyEventHandlers::ActionOf(const std::string& key) const {
  // The focused program is asked only when its map could matter.
  if (!keyMap_.ProgramMapsAct(key)) return keyMap_.ActionFor(key, {});
  return keyMap_.ActionFor(key, actions_.Runner().Platform().FocusedProgram());
}

void KeyEventHandlers::Press(const std::string& key) {
  auto held = std::find_if(heldKeys_.begin(), heldKeys_.end(),
                           [&](const HeldKey& h) { return SameText(h.key, key); });
  // The phone's own repeat of a press whose long press waits or ran.
  if (held != heldKeys_.end() && (held->holdDue || held->held)) return;
  if (held != heldKeys_.end()) heldKeys_.erase(held);
  if (heldKeys_.size() >= kMostHeldKeys) heldKeys_.erase(heldKeys_.begin());
  ActionRunner& runner = actions_.Runner();
  std::string action = ActionOf(key);
  TimerHost* timers = runner.Timers();
  const bool waits = timers && HoldHonoured(SplitActionText(action), actions_.Layout());
  heldKeys_.push_back({key, std::move(action), waits ? timers->Milliseconds() + holdTimeMs_ : 0});
  if (waits) return ArmHoldTimer();
  actions_.DispatchKeyAction(heldKeys_.back().action, 1, nullptr);
  if (runner.Repeating()) repeatKey_ = key;
}

void KeyEventHandlers::Release(const std::string& key) {
  auto held = std::find_if(heldKeys_.begin(), heldKeys_.end(),
                           [&](const HeldKey& h) { return SameText(h.key, key); });
  if (held == heldKeys_.end()) {
    // A release whose press came before learn mode or the link.
    actions_.DispatchKeyAction(ActionOf(key), 2, nullptr);
    return;
  }
  const HeldKey released = std::move(*held);
  heldKeys_.erase(held);
  if (released.held) return;
  if (released.holdDue) {
    ArmHoldTimer();
    actions_.DispatchKeyAction(released.action, 1, nullptr);
  }
  actions_.DispatchKeyAction(released.action, 2, nullptr);
}

void KeyEventHandlers::HoldTimerTimer() {
  TimerHost* timers = actions_.Runner().Timers();
  if (!timers) return;
  const std::uint64_t now = timers->Milliseconds();
  for (size_t i = 0; i < heldKeys_.size(); ++i) {
    if (!heldKeys_[i].holdDue || heldKeys_[i].holdDue > now) continue;
    heldKeys_[i].holdDue = 0;
    heldKeys_[i].held = true;
    const std::string key = heldKeys_[i].key;
    actions_.ApplyActionPart(SplitActionText(heldKeys_[i].action).hold, 0, nullptr);
    if (actions_.Runner().Repeating()) repeatKey_ = key;
  }
  ArmHoldTimer();
}

void KeyEventHandlers::ArmHoldTimer() {
  TimerHost* timers = actions_.Runner().Timers();
  if (!timers) return;
  std::uint64_t next = 0;
  for (const HeldKey& held : heldKeys_)
    if (held.holdDue && (!next || held.holdDue < next)) next = held.holdDue;
  if (!next) return timers->StopTimer(kHoldTimerId);
  const std::uint64_t now = timers->Milliseconds();
  timers->StartTimer(kHoldTimerId, static_cast<unsigned>(next > now ? next - now : 1));
}

void KeyEventHandlers::MapKeys(const char* buffer) {
  const std::string_view text = UpToNul(buffer);
  if (phoneEvents_) phoneEvents_->Received(text);
  for (const KeyEvent& event : ParseKeyEvents(text)) {
    if (event.flag != '1' || !KeysFileCanHold(event.key) || IsLockReport(event) ||
        IsEventEntry(event.key))
      continue;
    keyMap_.Append(event.key, " ", false);
    if (std::none_of(learnedKeys_.begin(), learnedKeys_.end(),
                     [&](const std::string& key) { return SameText(key, event.key); }))
      learnedKeys_.push_back(event.key);
    LinkEvent learned{LinkEventKind::kKeyLearned};
    learned.key = event.key;
    observer_.OnLinkEvent(learned);
  }
}

void KeyEventHandlers::MapKeysButtonClick(bool buttonDown, SerialPort& port) {
  learning_ = buttonDown;
  if (buttonDown) {
    EndRepeat();
    keyMap_.ClearPhoneKeys();
    port.SetOnReceiveData(MapKeysHandler());
  } else {
    keyMap_.GiveEditButtons();
    port.SetOnReceiveData(FeedbackCommHandler());
  }
  LinkEvent event{LinkEventKind::kLearning};
  event.on = buttonDown;
  observer_.OnLinkEvent(event);
}

void KeyEventHandlers::EndRepeat() {
  actions_.Runner().StopRepeat();
  heldKeys_.clear();
  ArmHoldTimer();
}

TReceiveDataEvent KeyEventHandlers::FeedbackCommHandler() {
  return [this](void*, const char* buffer, std::uint16_t) { FeedbackComm(buffer); };
}

TReceiveDataEvent KeyEventHandlers::MapKeysHandler() {
  return [this](void*, const char* buffer, std::uint16_t) { MapKeys(buffer); };
}

}  // namespace vexel
