// The serial ports a phone can be on: Bluetooth (rfcomm), USB modems and
// adapters, and the machine's own serial ports that have a UART behind them.
#pragma once

#include <string>
#include <vector>

#include "phone/PortList.h"

namespace vexel {

struct SerialPortEntry {
  std::string device;      // /dev/ttyACM0
  std::string name;        // what the settings hold: the /dev/serial/by-id name when there is one
  std::string kind;        // "bth", "usb" or "etc"
  bool accessible = true;  // this user may open it
  std::string group;       // the device's group, for the advice when not accessible
  // The settings' port entry: name, a blank and the kind in brackets.
  std::string EntryText() const { return PortEntryText(name, kind); }
};

// /dev/rfcomm*, /dev/ttyACM*, /dev/ttyUSB*, each once, then /dev/ttyS*
// whose serial type (sysfs) is not unknown; sorted by name within a kind.
// devRoot and sysRoot are "/dev" and "/sys" but for tests.
std::vector<SerialPortEntry> ListSerialPorts(const std::string& devRoot = "/dev",
                                             const std::string& sysRoot = "/sys");

}  // namespace vexel
