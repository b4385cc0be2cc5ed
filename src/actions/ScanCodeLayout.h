// Key names as a keyboard layout gives them: a virtual key is named by the
// scan code the key sends, with the extended bit for a key that the
// keyboard sends with an E0 prefix. Windows names scan code 0x45 "Pause"
// without the bit and "Num Lock" with it; so are the arrows and the editing
// keys told from their keypad twins.
#pragma once

#include <cstdint>
#include <string>

#include "actions/ShortcutText.h"

namespace vexel {

class ScanCodeLayout : public KeyNames {
 public:
  std::string LayoutKeyName(std::uint8_t virtualKey) const override;

 protected:
  // The scan code of the key (MAPVK_VK_TO_VSC), 0 when none; and the same
  // with its prefix byte, 0xE0 or 0xE1, above it (MAPVK_VK_TO_VSC_EX).
  virtual unsigned ScanCode(std::uint8_t virtualKey) const = 0;
  virtual unsigned ScanCodeWithPrefix(std::uint8_t virtualKey) const = 0;
  // The layout's name of the key data (GetKeyNameText); empty when none.
  virtual std::string NameOfScanCode(unsigned scanCode, bool extended) const = 0;
};

}  // namespace vexel
