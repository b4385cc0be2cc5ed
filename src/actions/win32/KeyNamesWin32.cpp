#include "actions/win32/KeyNamesWin32.h"

#include <windows.h>

namespace vexel {

unsigned KeyNamesWin32::ScanCode(std::uint8_t virtualKey) const {
  return MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
}

unsigned KeyNamesWin32::ScanCodeWithPrefix(std::uint8_t virtualKey) const {
  return MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC_EX);
}

std::string KeyNamesWin32::NameOfScanCode(unsigned scanCode, bool extended) const {
  // Scan code in bits 16-23, the extended bit in bit 24 of the key data.
  const LONG keyData = static_cast<LONG>(((scanCode & 0xFF) << 16) | (extended ? 1u << 24 : 0));
  char name[256];
  const int length = GetKeyNameTextA(keyData, name, sizeof name);
  return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

}  // namespace vexel
