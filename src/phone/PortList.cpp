#include "phone/PortList.h"

#include "base/Text.h"

namespace vexel {

std::string PortEntryText(std::string_view valueName, std::string_view portName) {
  const std::string upper = UpperCase(valueName);
  const char* kind = upper.find("BTHMODEM") != std::string::npos ? " (bth)"
                     : upper.find("USBSER") != std::string::npos ? " (usb)"
                                                                 : " (etc)";
  return std::string(portName) + kind;
}

std::string PortNameOfEntry(std::string_view entry) {
  return std::string(entry.substr(0, entry.find(' ')));
}

}  // namespace vexel
