// The serial ports of the system, as the Properties window lists them.
#pragma once

#include <string>
#include <vector>

namespace vexel {

// One entry per value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, in the
// registry's order: the port name and the kind of device ("COM5 (bth)",
// see phone/PortList.h). Empty when the key is missing.
std::vector<std::string> SerialPortEntries();

}  // namespace vexel
