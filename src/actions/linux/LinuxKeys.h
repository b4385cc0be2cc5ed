// The keys of a Windows virtual-key code on Linux: the X keysym that XTest
// presses, the evdev code that uinput sends on the US layout (a key that
// types a character is looked up by its keysym in other layouts,
// KeyboardLayout.h), and the name the Windows US layout gives keys outside
// the shortcut text's fixed names. One table, so that a keys file acts the
// same on both systems.
#pragma once

#include <cstdint>
#include <string>

#include "actions/ShortcutText.h"

namespace vexel {

struct LinuxKey {
  std::uint8_t virtualKey;
  unsigned long keysym;     // X11 KeySym
  std::uint16_t evdevCode;  // KEY_* of linux/input-event-codes.h
  const char* layoutName;   // nullptr: the shortcut text's fixed name serves
};

// The key of a virtual-key code; nullptr for a code with no key here.
const LinuxKey* FindLinuxKey(std::uint8_t virtualKey);

// Every key of the table, for a uinput device that announces them all.
const LinuxKey* LinuxKeysBegin();
const LinuxKey* LinuxKeysEnd();

// Key names of the US layout, as the Windows program writes them.
class KeyNamesLinux : public KeyNames {
 public:
  std::string LayoutKeyName(std::uint8_t virtualKey) const override;
};

}  // namespace vexel
