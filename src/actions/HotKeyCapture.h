// What the hot-key capture control (TvHotKey) makes of a key going down:
// the combination text built from the held modifiers and the pressed key's
// capture name, parsed into a TShortCut and shown in canonical order.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "actions/ShortcutText.h"

namespace vexel {

// The text appended for a pressed key; empty for Shift, Ctrl and Alt.
std::string CaptureKeyName(std::uint8_t virtualKey);

// The keys whose capture name is not their own character.
struct CaptureName {
  std::uint8_t code;
  const char* name;
};
std::span<const CaptureName> CaptureNames();

struct HeldModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// "Shift", "Alt", "Ctrl" (in that order, as held) and the key's capture
// name, joined by "+": Ctrl+Alt+Shift+A builds "Shift+Alt+Ctrl+A".
std::string CaptureCombinationText(std::uint8_t virtualKey, HeldModifiers held);

struct CaptureResult {
  TShortCut shortcut = 0;  // what the control holds afterwards
  std::string shown;       // what it shows
};

// A key going down in the control that holds `current`. Backspace shows
// "None" and keeps the combination; any other key replaces it with the
// parsed combination text (0 when it names no key), shown canonically.
CaptureResult CaptureKeyDown(std::uint8_t virtualKey, HeldModifiers held, TShortCut current,
                             const KeyNames& layout);

// A new control holds this combination.
inline constexpr const char* kInitialHotKeyText = "Ctrl+F10";

}  // namespace vexel
