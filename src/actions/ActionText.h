// Action text: one line with an optional button-down part, an optional
// button-up part and an optional long-press part, e.g.
// "DOWN (*2 0 Shift+Right*) UP (*2 1 Shift+Right*)" or
// "DOWN (*2 2 Space*) UP (**) HOLD (*1 #playlist*)".
#pragma once

#include <string>
#include <string_view>

#include "actions/ShortcutText.h"

namespace vexel {

class ActionRunner;

// Item indexes of the Button Action window's controls.
enum ActionKind { akExecute = 0, akKey = 1 };  // RadioGroupN
// ComboBoxN; Repeat on the button-down side only. Digits 4 to 9 decode
// and run nothing.
enum KeyMode { kmPress = 0, kmRelease = 1, kmClick = 2, kmRepeat = 3 };

// The fields of one editor side of the Button Action window (side 1 "On
// button down", side 2 "On button up", side 3 "On long press"), as the
// window is created: not ticked, kind Execute, empty text, mode Click, no
// combination.
struct ActionSide {
  bool ticked = false;     // CheckBoxN
  int kind = akExecute;    // RadioGroupN item index
  std::string payload;     // EditN
  int mode = kmClick;      // ComboBoxN item index
  TShortCut shortcut = 0;  // HotKeyN
  bool operator==(const ActionSide&) const = default;
};

// What the window shows and the user edits; index 0 is side 1.
struct ActionEditorFields {
  ActionSide side[3];
};

struct ActionParts {
  std::string down;  // trimmed body of the DOWN element
  std::string up;    // trimmed body of the UP element
  std::string hold;  // trimmed body of the HOLD element
};
// The elements come in the order DOWN, UP, HOLD, each optional; a marker
// counts only where an element starts: at the start of the text, or of
// what follows the element before it (its "*)" and the one character
// after it, the separating blank), blanks skipped. A body runs from the
// first "(*" to the first "*)".
ActionParts SplitActionText(std::string_view actionText);

// One decoded part.
struct ActionPart {
  enum Kind { kNothing, kExecute, kKey } kind = kNothing;
  std::string payload;  // Execute: trimmed payload
  int mode = 0;         // Key: the mode digit 0..9
  TShortCut shortcut = 0;
  bool operator==(const ActionPart&) const = default;
};
ActionPart DecodeActionPart(std::string_view part, const KeyNames& layout);

// Whether a key's HOLD part is honoured: it has one, and its DOWN part is
// empty, an Execute part or a Click, which can wait for the release. A key
// whose HOLD part is not honoured acts as if it had none.
bool HoldHonoured(const ActionParts& parts, const KeyNames& layout);
// The same rule on the window's fields: whether side 3 may be ticked.
bool HoldAllowed(const ActionEditorFields& fields);

// The new action text from the window's fields ("Apply"). With a long-press
// part (side 3 ticked, and allowed), the DOWN and UP elements are written
// before it also when empty ("DOWN (**)", " UP (**)"), so that a version
// that searches the whole text for "DOWN" and "UP" takes them and not a
// marker inside the long-press part.
std::string ComposeActionText(const ActionEditorFields& fields, const KeyNames& layout);

// Splitting and decoding, bound to the runner that carries parts out.
class KeyActions {
 public:
  KeyActions(const KeyNames& layout, ActionRunner& runner) : layout_(layout), runner_(runner) {}

  // Request 0 loads the down part into side 1, the up part into side 2 and
  // the long-press part into side 3 of the window; 1 runs the down part; 2
  // runs the up part; others nothing.
  void DispatchKeyAction(std::string_view actionText, int request, ActionEditorFields* window);
  // Side 0 runs the part as a button-down part; side 1, 2 or 3 loads it
  // into that side of the window.
  void ApplyActionPart(std::string_view part, int side, ActionEditorFields* window);

  const KeyNames& Layout() const { return layout_; }
  ActionRunner& Runner() const { return runner_; }

 private:
  // A Repeat part runs on button down only; on button up it does nothing.
  void RunActionPart(std::string_view part, bool buttonDown);

  const KeyNames& layout_;
  ActionRunner& runner_;
};

}  // namespace vexel
