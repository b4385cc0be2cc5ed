#include "actions/win32/KeyNamesWin32.h"

#include <windows.h>

namespace vexel {

std::string KeyNamesWin32::LayoutKeyName(std::uint8_t virtualKey) const {
  const UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  if (scanCode == 0) return {};
  char name[256];
  const int length = GetKeyNameTextA(static_cast<LONG>(scanCode << 16), name, sizeof name);
  return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

}  // namespace vexel
