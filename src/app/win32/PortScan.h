// The serial ports of the system, as the Properties window lists them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexel {

// The kind of device behind a port, told from the name of its driver
// object (the SERIALCOMM value's name, "\Device\BthModem0") in any letter
// case: "bth" for the Bluetooth modem driver (BTHMODEM), "usb" for the USB
// modem driver (USBSER), "etc" for any other; Bluetooth when both appear.
std::string_view PortKindOfDriver(std::string_view driverName);

// One entry per value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, in the
// registry's order: the port name and the kind of device ("COM5 (bth)",
// see phone/PortList.h). Empty when the key is missing.
std::vector<std::string> SerialPortEntries();

}  // namespace vexel
