// Action text: one line with an optional button-down part and an optional
// button-up part, e.g. "DOWN (*2 0 Shift+Right*) UP (*2 1 Shift+Right*)".
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
// button down", side 2 "On button up"), as the window is created: not
// ticked, kind Execute, empty text, mode Click, no combination.
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
  ActionSide side[2];
};

struct ActionParts {
  std::string down;  // trimmed body of the DOWN element
  std::string up;    // trimmed body of the UP element
};
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

// The new action text from the window's fields ("Apply").
std::string ComposeActionText(const ActionEditorFields& fields, const KeyNames& layout);

// Splitting and decoding, bound to the runner that carries parts out.
class KeyActions {
 public:
  KeyActions(const KeyNames& layout, ActionRunner& runner) : layout_(layout), runner_(runner) {}

  // Request 0 loads the down part into side 1 and the up part into side 2
  // of the window; 1 runs the down part; 2 runs the up part; others nothing.
  void DispatchKeyAction(std::string_view actionText, int request, ActionEditorFields* window);
  // Side 0 runs the part as a button-down part; side 1 or 2 loads it into
  // that side of the window.
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
