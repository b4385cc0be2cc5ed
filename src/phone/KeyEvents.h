// Keypad reports (+CKEV) from the phone: parsing, dispatch and learn mode.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/SerialPort.h"
#include "phone/LinkEvents.h"

namespace vexel {

class KeyActions;
class KeyMap;

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

// The received-data handlers of normal operation and of learn mode.
class KeyEventHandlers {
 public:
  // Learn mode's switches and the keys it takes go out as link events.
  KeyEventHandlers(KeyMap& keyMap, KeyActions& actions, LinkObserver& observer)
      : keyMap_(keyMap), actions_(actions), observer_(observer) {}

  // Dispatches every report of the chunk: an odd flag runs the key's
  // button-down part, an even one its button-up part. A flag that is not a
  // digit raises Error("'%s' is not a valid integer value") once the other
  // reports of the chunk were handled.
  void FeedbackComm(const char* buffer);
  // Appends a learned row (key code, action " ") for every press of a key
  // that a keys file can hold as itself (KeysFileCanHold).
  void MapKeys(const char* buffer);
  // The MapKeys toggle: down empties the key map and installs MapKeys on the
  // port; up gives every row its edit button and installs FeedbackComm.
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
  // Ends a held key's repeat (the link going down, program exit); learn
  // mode starting ends it too.
  void EndRepeat();

  // The handlers as the serial port installs them (StartLink installs
  // FeedbackComm on every successful start).
  TReceiveDataEvent FeedbackCommHandler();
  TReceiveDataEvent MapKeysHandler();

 private:
  KeyMap& keyMap_;
  KeyActions& actions_;
  LinkObserver& observer_;
  // A Motorola's "@": the keypad lock, not a key.
  bool IsLockReport(const KeyEvent& event) const;
  void ShowLock(bool locked);
  bool learning_ = false;
  std::vector<std::string> learnedKeys_;
  bool lockReports_ = false;  // the maker in use is Motorola
  bool locked_ = false;
  std::string repeatKey_;  // the key whose press started the running repeat
};

}  // namespace vexel
