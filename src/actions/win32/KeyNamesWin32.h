// Key names from the current keyboard layout.
#pragma once

#include "actions/ScanCodeLayout.h"

namespace vexel {

class KeyNamesWin32 : public ScanCodeLayout {
 protected:
  unsigned ScanCode(std::uint8_t virtualKey) const override;
  unsigned ScanCodeWithPrefix(std::uint8_t virtualKey) const override;
  std::string NameOfScanCode(unsigned scanCode, bool extended) const override;
};

}  // namespace vexel
