#include "app/win32/PortScan.h"

#include <windows.h>

#include "base/Text.h"
#include "phone/PortList.h"

namespace vexel {

std::string_view PortKindOfDriver(std::string_view driverName) {
  const std::string upper = UpperCase(driverName);
  if (upper.find("BTHMODEM") != std::string::npos) return "bth";
  if (upper.find("USBSER") != std::string::npos) return "usb";
  return "etc";
}

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
    entries.push_back(PortEntryText(reinterpret_cast<const char*>(data),
                                    PortKindOfDriver(std::string_view(name, nameLength))));
  }
  RegCloseKey(key);
  return entries;
}

}  // namespace vexel
