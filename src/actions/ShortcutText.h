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

// The media, browser and launch keys (0xA6 to 0xB7), with the names they
// have in shortcut texts and in the capture control, in code order.
struct NamedKey {
  std::uint8_t code;
  const char* name;
};
// Fixed names win over the layout's: layouts leave these keys unnamed, or
// name them after the letter whose scan code they share without its E0
// prefix.
inline constexpr NamedKey kMediaKeyNames[] = {
    {0xA6, "Browser Back"},
    {0xA7, "Browser Forward"},
    {0xA8, "Browser Refresh"},
    {0xA9, "Browser Stop"},
    {0xAA, "Browser Search"},
    {0xAB, "Browser Favorites"},
    {0xAC, "Browser Home"},
    {0xAD, "Volume Mute"},
    {0xAE, "Volume Down"},
    {0xAF, "Volume Up"},
    {0xB0, "Next Track"},
    {0xB1, "Previous Track"},
    {0xB2, "Stop Media"},
    {0xB3, "Play/Pause"},
    {0xB4, "Mail"},
    {0xB5, "Media Select"},
    {0xB6, "App1"},
    {0xB7, "App2"},
};

// The name of a key code from the fixed table (the mouse keys of
// actions/MouseKeys.h included), or from the layout for codes the table
// does not name.
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
