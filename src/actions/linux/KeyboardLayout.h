// The session's keyboard as a uinput keyboard needs it. A virtual key that
// stands for a character (a letter, digit or punctuation key) is sent as the
// key that types that character in the session's layout, as Windows sends
// the key of the active layout: on a German layout Ctrl+Z is the key
// labelled Z, where the US layout has Y. libxkbcommon compiles the layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "actions/KeyRepeat.h"

namespace vexel {

// A layout as XKB names it; an empty field is libxkbcommon's default
// (rules evdev, model pc105, layout us).
struct XkbNames {
  std::string rules, model, layout, variant, options;
};

// The evdev code of every virtual key of the key table (0: no key) under
// one layout.
struct LayoutKeys {
  std::string name;  // the layout's own name and where it came from
  std::array<std::uint16_t, 256> evdevCodes{};
};

// The keys under the first layout the names give: a key that types a
// character is the key that types it at level 1 in that layout, else at
// level 2 (pressed without Shift, as on Windows), else the US layout's key;
// every other key is the table's. nullopt when the names do not compile.
std::optional<LayoutKeys> LayoutKeysFromNames(const XkbNames& names);

// The names in a keyboard settings file such as /etc/default/keyboard
// (XKBMODEL, XKBLAYOUT, XKBVARIANT, XKBOPTIONS); nullopt when it names no
// layout.
std::optional<XkbNames> XkbNamesFromFile(const std::string& path);

// The session's keyboard: the layout from XKB_DEFAULT_* (when
// XKB_DEFAULT_LAYOUT is set), else the X
// server's (DISPLAY, through xkbcommon-x11; its active layout), else the
// system's keyboard settings file, else us; and the X server's repeat delay
// and interval where one is reachable. Read once, when a uinput keyboard is
// made.
struct SessionKeyboard {
  LayoutKeys keys;
  std::optional<KeyboardRepeat> repeat;
};
SessionKeyboard ReadSessionKeyboard(const std::string& keyboardFile = "/etc/default/keyboard");

}  // namespace vexel
