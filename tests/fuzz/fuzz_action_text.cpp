// Action texts: splitting and decoding any text, and composing from any
// fields: what the window composes loads back into fields that compose to
// the same text, and splits into the same DOWN and UP parts as the split of
// the versions before the long press did.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../core/FakeKeyNames.h"
#include "../core/RecordingActionPlatform.h"
#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "base/Text.h"

using namespace vexel;

namespace {

bool Trimmed(const std::string& text) { return Trim(text).size() == text.size(); }

// Fields from the input: two header bytes per side, then the payloads,
// separated by zero bytes.
ActionEditorFields FieldsFrom(const std::uint8_t* data, size_t size) {
  ActionEditorFields fields;
  if (size < 6) return fields;
  std::string payloads(reinterpret_cast<const char*>(data + 6), size - 6);
  for (int n = 0; n < 3; ++n) {
    ActionSide& side = fields.side[n];
    side.ticked = data[2 * n] & 1;
    side.kind = (data[2 * n] >> 1) % 3;  // 2: a kind the window does not have
    side.mode = (data[2 * n] >> 3) % 10;
    side.shortcut = static_cast<TShortCut>(data[2 * n + 1] | (data[2 * n] & 0xE0) << 8);
    const size_t end = payloads.find('\0');
    side.payload = payloads.substr(0, end);
    payloads.erase(0, end == std::string::npos ? end : end + 1);
  }
  return fields;
}

// The split before the long press: "DOWN" searched anywhere in the text,
// then "UP" anywhere in the rest; a body from the first "(*" to the first
// "*)", which is taken off the rest with the character after it.
ActionParts EarlierSplit(std::string rest) {
  auto take = [&rest] {
    const size_t close = rest.find("*)"), open = rest.find("(*");
    const size_t a = close == std::string::npos ? 0 : close + 1;
    const size_t b = open == std::string::npos ? 0 : open + 1;
    std::string body = a > b + 2 ? rest.substr(b + 1, a - b - 2) : "";
    rest.erase(0, std::min(a + 2, rest.size()));
    return TrimCopy(body);
  };
  ActionParts parts;
  if (rest.find("DOWN") != std::string::npos) parts.down = take();
  if (rest.find("UP") != std::string::npos) parts.up = take();
  return parts;
}

bool Written(const ActionSide& side) { return side.ticked && side.kind != 2; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const FakeKeyNames layout;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const ActionParts parts = SplitActionText(text);
  if (!Trimmed(parts.down) || !Trimmed(parts.up) || !Trimmed(parts.hold)) std::abort();
  if (parts.down.size() + parts.up.size() + parts.hold.size() > text.size()) std::abort();
  for (const std::string* part : {&parts.down, &parts.up, &parts.hold}) {
    const ActionPart decoded = DecodeActionPart(*part, layout);
    if (decoded.kind == ActionPart::kExecute && !Trimmed(decoded.payload)) std::abort();
    if (decoded.kind == ActionPart::kKey && (decoded.mode < 0 || decoded.mode > 9)) std::abort();
  }

  // Running and loading any text never fails.
  RecordingActionPlatform platform;
  ActionRunner runner(platform);
  KeyActions actions(layout, runner);
  ActionEditorFields loaded;
  for (int request = 0; request < 3; ++request) actions.DispatchKeyAction(text, request, &loaded);

  // The round trip, for the texts the window can compose and split back (no
  // "*)" inside a payload, where a body ends): once loaded, a composed text
  // composes again unchanged; the first load may only trim the payloads. A
  // long-press part is written only where it is allowed.
  const ActionEditorFields fields = FieldsFrom(data, size);
  for (const ActionSide& side : fields.side)
    if (side.payload.find("*)") != std::string::npos) return 0;
  const std::string composed = ComposeActionText(fields, layout);
  ActionEditorFields once, twice;
  actions.DispatchKeyAction(composed, 0, &once);
  const std::string normalised = ComposeActionText(once, layout);
  actions.DispatchKeyAction(normalised, 0, &twice);
  if (ComposeActionText(twice, layout) != normalised) std::abort();
  const bool holdWritten = Written(fields.side[2]) && HoldAllowed(fields);
  for (int n = 0; n < 3; ++n) {
    const ActionSide& side = fields.side[n];
    const bool written = Written(side) && (n < 2 || holdWritten);
    if (once.side[n].ticked != written) std::abort();
    if (written && side.kind == akExecute && once.side[n].payload != Trim(side.payload))
      std::abort();
  }
  // An earlier version reads the same DOWN and UP parts, with or without a
  // long-press part after them; so does this one, but for the up-only text
  // whose payload holds "DOWN", which the earlier split misread as a DOWN
  // part.
  const ActionParts now = SplitActionText(composed), before = EarlierSplit(composed);
  const bool misreadBefore = !Written(fields.side[0]) && !holdWritten &&
                             fields.side[1].payload.find("DOWN") != std::string::npos;
  if (!misreadBefore && (now.down != before.down || now.up != before.up)) std::abort();
  return 0;
}
