// Action texts: splitting and decoding any text, and composing from any
// fields: what the window composes loads back into fields that compose to
// the same text.
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
// separated by a zero byte.
ActionEditorFields FieldsFrom(const std::uint8_t* data, size_t size) {
  ActionEditorFields fields;
  if (size < 4) return fields;
  const std::string payloads(reinterpret_cast<const char*>(data + 4), size - 4);
  const size_t split = payloads.find('\0');
  for (int n = 0; n < 2; ++n) {
    ActionSide& side = fields.side[n];
    side.ticked = data[2 * n] & 1;
    side.kind = (data[2 * n] >> 1) % 3;  // 2: a kind the window does not have
    side.mode = (data[2 * n] >> 3) % 10;
    side.shortcut = static_cast<TShortCut>(data[2 * n + 1] | (data[2 * n] & 0xE0) << 8);
    side.payload = n == 0 ? payloads.substr(0, split)
                          : (split == std::string::npos ? "" : payloads.substr(split + 1));
  }
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const FakeKeyNames layout;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const ActionParts parts = SplitActionText(text);
  if (!Trimmed(parts.down) || !Trimmed(parts.up)) std::abort();
  if (parts.down.size() + parts.up.size() > text.size()) std::abort();
  for (const std::string* part : {&parts.down, &parts.up}) {
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

  // The round trip, for the texts the window can compose and split back
  // (no "*)" inside a payload, no "DOWN" in the payload of an up-only
  // text): once loaded, a composed text composes again unchanged; the
  // first load may only trim the payloads.
  const ActionEditorFields fields = FieldsFrom(data, size);
  for (const ActionSide& side : fields.side)
    if (side.payload.find("*)") != std::string::npos) return 0;
  const bool downWritten = fields.side[0].ticked && fields.side[0].kind != 2;
  if (!downWritten && fields.side[1].payload.find("DOWN") != std::string::npos) return 0;
  ActionEditorFields once, twice;
  actions.DispatchKeyAction(ComposeActionText(fields, layout), 0, &once);
  const std::string normalised = ComposeActionText(once, layout);
  actions.DispatchKeyAction(normalised, 0, &twice);
  if (ComposeActionText(twice, layout) != normalised) std::abort();
  for (int n = 0; n < 2; ++n) {
    const ActionSide& side = fields.side[n];
    const bool written = side.ticked && side.kind != 2;
    if (once.side[n].ticked != written) std::abort();
    if (written && side.kind == akExecute && once.side[n].payload != Trim(side.payload))
      std::abort();
  }
  return 0;
}
