// Shortcut text: the key combination of a Key part, such as "Ctrl+F10".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexel {

// Key code (a Windows virtual key) in the low byte, modifiers above it.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// The keyboard layout's name of a virtual key; empty when it has none.
// Win32: MapVirtualKeyA + GetKeyNameTextA (actions/win32/KeyNamesWin32.h).
class KeyNames {
 public:
  virtual ~KeyNames() = default;
  virtual std::string LayoutKeyName(std::uint8_t virtualKey) const = 0;
};

// The name of a key code from the fixed table, or from the layout for codes
// the table does not name.
std::string KeyName(std::uint8_t virtualKey, const KeyNames& layout);

std::string FormatShortcut(TShortCut value, const KeyNames& layout);
TShortCut ParseShortcut(std::string_view text, const KeyNames& layout);

struct ShortcutKeys {
  std::uint16_t key = 0;  // the value without its modifier bits (masked with 0x1FFF)
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};
ShortcutKeys SplitShortcut(TShortCut value);

}  // namespace vexel
