// Keypad reports (+CKEV) from the phone: parsing, dispatch and learn mode.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/SerialPort.h"
#include "phone/LinkEvents.h"

namespace vexel {

class KeyActions;
class KeyMap;
class PhoneEvents;

struct KeyEvent {
  std::string key;  // the key code, possibly empty
  char flag = 0;    // the flag character: '1' press, '0' release in practice
};

// Every key event of a received text, in order: each line (lines end at CR
// or LF) that holds "CKEV" and a flag character gives one. After "CKEV" one
// colon and then any blanks are skipped; the key code runs to the first
// comma and the flag character follows it. Without a comma the key code is
// empty and the flag is the first character after the blanks. A key in
// double quotes ("5",1, as Motorola phones write it) is the key without
// them; a Sagem's decimal code (53,1) stays as the phone wrote it.
std::vector<KeyEvent> ParseKeyEvents(std::string_view text);

// How long a key is held before its HOLD part runs ("holdtime" in the
// settings' [params]).
inline constexpr unsigned kDefaultHoldTimeMs = 600;

// The received-data handlers of normal operation and of learn mode.
class KeyEventHandlers {
 public:
  // Learn mode's switches and the keys it takes go out as link events;
  // both handlers hand every received text on to the phone's events, if
  // given.
  KeyEventHandlers(KeyMap& keyMap, KeyActions& actions, LinkObserver& observer,
                   PhoneEvents* phoneEvents = nullptr)
      : keyMap_(keyMap), actions_(actions), observer_(observer), phoneEvents_(phoneEvents) {}

  // Dispatches every report of the chunk but those of a key named like an
  // event entry: an odd flag runs the key's button-down part, an even one
  // its button-up part. A flag that is not a digit raises
  // Error("'%s' is not a valid integer value") once the other reports of
  // the chunk were handled.
  //
  // A press takes the key's action from the focused program's map, if one
  // applies and gives the key an action, else from the map for all
  // programs (KeyMap::ActionFor); its release goes to the same action,
  // wherever the focus went meanwhile. A key whose HOLD part is honoured
  // (HoldHonoured) runs nothing at its press: released within the hold
  // time it runs its DOWN and then its UP part, held longer it runs its
  // HOLD part once when the hold time is over (the hold timer,
  // kHoldTimerId) and nothing at its release.
  void FeedbackComm(const char* buffer);
  // The hold timer fired.
  void HoldTimerTimer();
  void SetHoldTime(unsigned milliseconds) { holdTimeMs_ = milliseconds; }
  // Appends a learned row (key code, action " ") for every press of a key
  // that a keys file can hold as itself (KeysFileCanHold) and that is not
  // named like an event entry.
  void MapKeys(const char* buffer);
  // The MapKeys toggle: down empties the key map shown (its event entries
  // stay) and installs MapKeys on the port; up gives every row its edit
  // button and installs FeedbackComm.
  void MapKeysButtonClick(bool buttonDown, SerialPort& port);
  bool Learning() const { return learning_; }
  // Every key learn mode has taken since the program started, each once, in
  // the order first pressed: kept when learn mode ends with the link.
  const std::vector<std::string>& LearnedKeys() const { return learnedKeys_; }
  // The maker in use (kPhoneMakers index, -1 unknown). While it is
  // Motorola, a report of the key "@" says the keypad is locked: it runs
  // nothing and is not learned; the lock is a link event, once, and so is
  // its end when a real key comes.
  void SetMaker(int maker);
  bool KeypadLocked() const { return locked_; }
  // Ends a held key's repeat (the link going down, program exit) and
  // forgets the keys held, a long press waiting included; learn mode
  // starting ends them too.
  void EndRepeat();

  // The handlers as the serial port installs them (StartLink installs
  // FeedbackComm on every successful start).
  TReceiveDataEvent FeedbackCommHandler();
  TReceiveDataEvent MapKeysHandler();

 private:
  // A key pressed and not yet released.
  struct HeldKey {
    std::string key;
    std::string action;         // the action text its press took
    std::uint64_t holdDue = 0;  // when its HOLD part runs; 0: none waits
    bool held = false;          // its HOLD part ran
  };
  std::string ActionOf(const std::string& key) const;
  void Press(const std::string& key);
  void Release(const std::string& key);
  void ArmHoldTimer();

  KeyMap& keyMap_;
  KeyActions& actions_;
  LinkObserver& observer_;
  PhoneEvents* phoneEvents_;
  // A Motorola's "@": the keypad lock, not a key.
  bool IsLockReport(const KeyEvent& event) const;
  void ShowLock(bool locked);
  bool learning_ = false;
  std::vector<std::string> learnedKeys_;
  bool lockReports_ = false;  // the maker in use is Motorola
  bool locked_ = false;
  std::string repeatKey_;          // the key whose press started the running repeat
  std::vector<HeldKey> heldKeys_;  // in the order pressed
  unsigned holdTimeMs_ = kDefaultHoldTimeMs;
};

}  // namespace vexel
