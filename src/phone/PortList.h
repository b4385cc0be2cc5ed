// The port list of the Properties window, as built from the system's
// serial port registry (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM).
#pragma once

#include <string>
#include <string_view>

namespace vexel {

// One entry: the port name and a blank and the kind of device behind it,
// told from the driver object's name (the registry value's name): COM5 (bth).
std::string PortEntryText(std::string_view valueName, std::string_view portName);

// The port name of an entry: the text before its first blank.
std::string PortNameOfEntry(std::string_view entry);

}  // namespace vexel
