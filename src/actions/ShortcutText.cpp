#include "actions/ShortcutText.h"

#include "actions/MouseKeys.h"
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

// The fixed names besides digits, letters and function keys.
constexpr NamedKey kFixedNames[] = {
    {8, "BkSp"},  {9, "Tab"},    {13, "Enter"}, {27, "Esc"},  {32, "Space"},
    {33, "PgUp"}, {34, "PgDn"},  {35, "End"},   {36, "Home"}, {37, "Left"},
    {38, "Up"},   {39, "Right"}, {40, "Down"},  {45, "Ins"},  {46, "Del"},
};

const char* FixedKeyName(std::uint8_t virtualKey) {
  for (const NamedKey& key : kFixedNames)
    if (key.code == virtualKey) return key.name;
  for (const NamedKey& key : kMediaKeyNames)
    if (key.code == virtualKey) return key.name;
  if (const MouseKey* mouse = FindMouseKey(virtualKey)) return mouse->name;
  return nullptr;
}

}  // namespace

std::string KeyName(std::uint8_t virtualKey, const KeyNames& layout) {
  if (const char* fixed = FixedKeyName(virtualKey)) return fixed;
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
  // The mouse buttons below 8 by their names only, not by the layout's
  // names of other codes there.
  for (const MouseKey& mouse : kMouseKeys)
    if (mouse.code < 8 && SameText(mouse.name, text))
      return static_cast<TShortCut>(mouse.code | modifiers);
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
