#include "phone/PortList.h"

namespace vexel {

std::string PortEntryText(std::string_view portName, std::string_view kind) {
  return std::string(portName) + " (" + std::string(kind) + ")";
}

std::string PortNameOfEntry(std::string_view entry) {
  return std::string(entry.substr(0, entry.find(' ')));
}

}  // namespace vexel
