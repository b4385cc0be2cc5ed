// Keypad reports (+CKEV) from the phone: parsing, dispatch and learn mode.
#pragma once

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
// empty and the flag is the first character after the blanks.
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
  bool learning_ = false;
  std::vector<std::string> learnedKeys_;
  std::string repeatKey_;  // the key whose press started the running repeat
};

}  // namespace vexel
