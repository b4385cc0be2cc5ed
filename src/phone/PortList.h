// The entries of the port lists, as both shells show them and the settings
// hold them: the port name, a blank and the kind of device behind it in
// brackets, "COM5 (bth)" or "/dev/rfcomm0 (bth)". The kinds are "bth"
// (Bluetooth), "usb" (a USB modem or adapter) and "etc" (any other); each
// shell tells them in its own way.
#pragma once

#include <string>
#include <string_view>

namespace vexel {

std::string PortEntryText(std::string_view portName, std::string_view kind);

// The port name of an entry: the text before its first blank.
std::string PortNameOfEntry(std::string_view entry);

}  // namespace vexel
