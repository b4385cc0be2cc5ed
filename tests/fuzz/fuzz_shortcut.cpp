// Shortcut texts and values: what parses formats back to the same value,
// and what formats parses back to a value of the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../core/FakeKeyNames.h"
#include "actions/ShortcutText.h"
#include "base/Text.h"

using namespace vexel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const FakeKeyNames layout;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const TShortCut parsed = ParseShortcut(text, layout);
  if (parsed != 0) {
    if (parsed & 0x1F00) std::abort();  // bits 8 to 12 stay clear
    const std::string formatted = FormatShortcut(parsed, layout);
    if (formatted.empty() || ParseShortcut(formatted, layout) != parsed) std::abort();
  }

  if (size >= 2) {
    const TShortCut value = static_cast<TShortCut>(data[0] | data[1] << 8);
    const std::string formatted = FormatShortcut(value, layout);
    if (!formatted.empty()) {
      // Keys that share a name parse to the lower code; the text stays.
      const TShortCut again = ParseShortcut(formatted, layout);
      if (again == 0 || !SameText(FormatShortcut(again, layout), formatted)) std::abort();
    }
  }
  return 0;
}
