// The mouse as keys of a Key part: the buttons under the virtual-key codes
// Windows gives them (1, 2 and 4), the pointer's moves and the wheel under
// virtual-key codes that Windows leaves unassigned (0x97 to 0x9C). Press
// and Release of a button are its down and up (a drag), Click is both; a
// move or a wheel key steps on the way down only. Held with "Repeat while
// held", a move key's steps grow the longer it is held (MouseStepPx).
#pragma once

#include <cstdint>

namespace vexel {

enum class MouseKeyKind { kButton, kMove, kWheel };
enum class MouseButton { kLeft, kRight, kMiddle };

struct MouseKey {
  std::uint8_t code;
  const char* name;  // in shortcut texts and the named keys menu
  MouseKeyKind kind;
  MouseButton button;  // kButton
  int dx, dy;          // kMove: a step's direction, y down; kWheel: dy 1 a notch up, -1 down
};

inline constexpr MouseKey kMouseKeys[] = {
    {0x01, "Left Click", MouseKeyKind::kButton, MouseButton::kLeft, 0, 0},
    {0x02, "Right Click", MouseKeyKind::kButton, MouseButton::kRight, 0, 0},
    {0x04, "Middle Click", MouseKeyKind::kButton, MouseButton::kMiddle, 0, 0},
    {0x97, "Mouse Left", MouseKeyKind::kMove, MouseButton::kLeft, -1, 0},
    {0x98, "Mouse Right", MouseKeyKind::kMove, MouseButton::kLeft, 1, 0},
    {0x99, "Mouse Up", MouseKeyKind::kMove, MouseButton::kLeft, 0, -1},
    {0x9A, "Mouse Down", MouseKeyKind::kMove, MouseButton::kLeft, 0, 1},
    {0x9B, "Wheel Up", MouseKeyKind::kWheel, MouseButton::kLeft, 0, 1},
    {0x9C, "Wheel Down", MouseKeyKind::kWheel, MouseButton::kLeft, 0, -1},
};

// The mouse key of a virtual-key code; nullptr for a key of the keyboard.
const MouseKey* FindMouseKey(std::uint8_t code);

// A pointer step in pixels, by the milliseconds since the key went down:
// 2 at once (a tap), then growing to 40 at 1500 ms and staying there
// (2 + 38 * sqrt(t / 1500)). At the 30 steps a second of a held move key
// (kMouseRepeat), a held key crosses 1920 pixels in about 2 s.
int MouseStepPx(std::uint64_t heldMs);

}  // namespace vexel
