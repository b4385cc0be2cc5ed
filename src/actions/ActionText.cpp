#include "actions/ActionText.h"

#include <algorithm>

#include "actions/ActionRunner.h"
#include "base/Text.h"

namespace vexel {

namespace {

// Takes the body of the first element off the front of rest: the text
// between the first "(*" and the first "*)" (empty when they are missing
// or out of order), then removes everything through the "*)" and the one
// character after it, the blank that separates two elements. Without a
// "*)" only the first two characters go.
std::string TakeElementBody(std::string& rest) {
  const size_t close = rest.find("*)");
  const size_t open = rest.find("(*");
  // Positions counted from 1, 0 when absent.
  const size_t a = close == std::string::npos ? 0 : close + 1;
  const size_t b = open == std::string::npos ? 0 : open + 1;
  std::string body;
  if (a > b + 2) body = rest.substr(b + 1, a - b - 2);
  rest.erase(0, std::min(a + 2, rest.size()));
  return TrimCopy(body);
}

// Whether the rest starts with the marker, blanks skipped.
bool StartsElement(std::string_view rest, std::string_view marker) {
  return Trim(rest).substr(0, marker.size()) == marker;
}

}  // namespace

ActionParts SplitActionText(std::string_view actionText) {
  ActionParts parts;
  std::string rest(actionText);
  if (StartsElement(rest, "DOWN")) parts.down = TakeElementBody(rest);
  if (StartsElement(rest, "UP")) parts.up = TakeElementBody(rest);
  if (StartsElement(rest, "HOLD")) parts.hold = TakeElementBody(rest);
  return parts;
}

ActionPart DecodeActionPart(std::string_view part, const KeyNames& layout) {
  ActionPart decoded;
  if (part.empty()) return decoded;
  if (part[0] == '1') {
    // The second character, a blank as composed, is skipped unseen.
    decoded.kind = ActionPart::kExecute;
    decoded.payload = TrimCopy(part.substr(std::min<size_t>(2, part.size())));
  } else if (part[0] == '2') {
    // "2", blank, mode digit, blank, shortcut text.
    if (part.size() < 3 || part[2] < '0' || part[2] > '9') return decoded;
    decoded.kind = ActionPart::kKey;
    decoded.mode = part[2] - '0';
    decoded.shortcut = ParseShortcut(Trim(part.substr(std::min<size_t>(4, part.size()))), layout);
  }
  return decoded;
}

bool HoldHonoured(const ActionParts& parts, const KeyNames& layout) {
  if (parts.hold.empty()) return false;
  if (parts.down.empty()) return true;
  const ActionPart down = DecodeActionPart(parts.down, layout);
  return down.kind == ActionPart::kExecute ||
         (down.kind == ActionPart::kKey && down.mode == kmClick);
}

namespace {

// Whether the side writes an element.
bool Written(const ActionSide& side) {
  return side.ticked && (side.kind == akExecute || side.kind == akKey);
}

}  // namespace

bool HoldAllowed(const ActionEditorFields& fields) {
  const ActionSide& down = fields.side[0];
  return !Written(down) || down.kind == akExecute || down.mode == kmClick;
}

std::string ComposeActionText(const ActionEditorFields& fields, const KeyNames& layout) {
  static constexpr const char* kElementStart[3] = {"DOWN (*", " UP (*", " HOLD (*"};
  const bool withHold = Written(fields.side[2]) && HoldAllowed(fields);
  std::string text;
  for (int n = 0; n < (withHold ? 3 : 2); ++n) {
    const ActionSide& side = fields.side[n];
    if (!Written(side)) {
      if (withHold) text += std::string(kElementStart[n]) + "*)";
    } else if (side.kind == akExecute) {
      text += std::string(kElementStart[n]) + "1 " + side.payload + "*)";
    } else {
      text += std::string(kElementStart[n]) + "2 " + std::to_string(side.mode) + " " +
              FormatShortcut(side.shortcut, layout) + "*)";
    }
  }
  return TrimCopy(text);
}

void KeyActions::DispatchKeyAction(std::string_view actionText, int request,
                                   ActionEditorFields* window) {
  const ActionParts parts = SplitActionText(actionText);
  if (request == 0) {
    ApplyActionPart(parts.down, 1, window);
    ApplyActionPart(parts.up, 2, window);
    ApplyActionPart(parts.hold, 3, window);
  } else if (request == 1) {
    RunActionPart(parts.down, true);
  } else if (request == 2) {
    RunActionPart(parts.up, false);
  }
}

void KeyActions::RunActionPart(std::string_view part, bool buttonDown) {
  const ActionPart decoded = DecodeActionPart(part, layout_);
  if (decoded.kind == ActionPart::kExecute)
    runner_.RunExecute(decoded.payload);
  else if (decoded.kind == ActionPart::kKey && (buttonDown || decoded.mode != kmRepeat))
    runner_.RunKey(decoded.mode, decoded.shortcut);
}

void KeyActions::ApplyActionPart(std::string_view part, int side, ActionEditorFields* window) {
  if (side == 0) return RunActionPart(part, true);
  const ActionPart decoded = DecodeActionPart(part, layout_);
  if (decoded.kind == ActionPart::kNothing) return;
  if (side < 1 || side > 3 || !window) return;
  ActionSide& fields = window->side[side - 1];
  if (decoded.kind == ActionPart::kExecute) {
    fields.payload = decoded.payload;
    fields.kind = akExecute;
  } else {
    fields.shortcut = decoded.shortcut;
    fields.mode = decoded.mode;
    fields.kind = akKey;
  }
  fields.ticked = true;
}

}  // namespace vexel
