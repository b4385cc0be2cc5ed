#include "actions/ShortcutText.h"

#include "base/Text.h"

namespace vexel {

namespace {

struct ModifierPrefix {
  std::string_view text;
  TShortCut bit;
};

// Tried in this order at the start of the text, again and again.
constexpr ModifierPrefix kParsedPrefixes[] = {
    {"Shift+", scShift}, {"^", scCtrl}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};

// Written in this order, always.
constexpr ModifierPrefix kFormattedPrefixes[] = {
    {"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};

constexpr TShortCut kModifierBits = scShift | scCtrl | scAlt;

// The fixed names; null for the codes the keyboard layout names.
const char* FixedKeyName(std::uint8_t virtualKey) {
  switch (virtualKey) {
    case 8: return "BkSp";
    case 9: return "Tab";
    case 13: return "Enter";
    case 27: return "Esc";
    case 32: return "Space";
    case 33: return "PgUp";
    case 34: return "PgDn";
    case 35: return "End";
    case 36: return "Home";
    case 37: return "Left";
    case 38: return "Up";
    case 39: return "Right";
    case 40: return "Down";
    case 45: return "Ins";
    case 46: return "Del";
    default: return nullptr;
  }
}

}  // namespace

std::string KeyName(std::uint8_t virtualKey, const KeyNames& layout) {
  if (const char* name = FixedKeyName(virtualKey)) return name;
  if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
    return std::string(1, static_cast<char>(virtualKey));
  if (virtualKey >= 96 && virtualKey <= 105)  // numeric keypad digits
    return std::string(1, static_cast<char>('0' + virtualKey - 96));
  if (virtualKey >= 112 && virtualKey <= 135) return "F" + std::to_string(virtualKey - 111);
  return layout.LayoutKeyName(virtualKey);
}

std::string FormatShortcut(TShortCut value, const KeyNames& layout) {
  std::string name = KeyName(static_cast<std::uint8_t>(value & 0xFF), layout);
  if (name.empty()) return {};
  std::string text;
  for (const ModifierPrefix& prefix : kFormattedPrefixes)
    if (value & prefix.bit) text += prefix.text;
  return text + name;
}

TShortCut ParseShortcut(std::string_view text, const KeyNames& layout) {
  TShortCut modifiers = 0;
  for (bool found = true; found;) {
    found = false;
    for (const ModifierPrefix& prefix : kParsedPrefixes) {
      if (StartsWithText(text, prefix.text)) {
        text.remove_prefix(prefix.text.size());
        modifiers |= prefix.bit;
        found = true;
        break;
      }
    }
  }
  if (text.empty()) return 0;
  // Ascending, so that a name two keys share gives the lower code: "7" is
  // the main-row 7, never the keypad 7.
  for (unsigned code = 8; code <= 255; ++code)
    if (SameText(KeyName(static_cast<std::uint8_t>(code), layout), text))
      return static_cast<TShortCut>(code | modifiers);
  return 0;
}

ShortcutKeys SplitShortcut(TShortCut value) {
  return {static_cast<std::uint16_t>(value & ~kModifierBits), (value & scShift) != 0,
          (value & scCtrl) != 0, (value & scAlt) != 0};
}

}  // namespace vexel
