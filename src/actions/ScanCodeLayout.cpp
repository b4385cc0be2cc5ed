#include "actions/ScanCodeLayout.h"

namespace vexel {

std::string ScanCodeLayout::LayoutKeyName(std::uint8_t virtualKey) const {
  const unsigned scanCode = ScanCode(virtualKey);
  if (scanCode == 0) return {};
  const bool extended = (ScanCodeWithPrefix(virtualKey) & 0xFF00) == 0xE000;
  return NameOfScanCode(scanCode, extended);
}

}  // namespace vexel
