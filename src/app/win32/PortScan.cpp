#include "app/win32/PortScan.h"

#include <windows.h>

#include "phone/PortList.h"

namespace vexel {

std::vector<std::string> SerialPortEntries() {
  std::vector<std::string> entries;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return entries;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    BYTE data[1024];
    DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
    const LONG result =
        RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLength] = 0;  // a value stored without its terminating zero
    entries.push_back(
        PortEntryText(std::string_view(name, nameLength), reinterpret_cast<const char*>(data)));
  }
  RegCloseKey(key);
  return entries;
}

}  // namespace vexel
