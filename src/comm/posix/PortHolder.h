// Who holds a serial port, or may take it: the program that has it open
// (from /proc, where this user may look), and ModemManager, which opens the
// modem ports it finds and sends AT commands of its own to probe them (a
// phone's link does not survive that). ModemManager runs as root, so its
// descriptors are hidden from an ordinary user: it is asked on the system
// bus (sd-bus).
#pragma once

#include <string>

namespace vexel {

struct PortHolder {
  std::string process;             // "pid 1234 (socat)"; empty when none can be seen
  bool modemManagerRuns = false;   // ModemManager is on the system bus
  bool modemManagerHasIt = false;  // one of its modems has the port
  // The udev rule line that keeps ModemManager away from the port's device:
  // matched on its USB vendor and product id, else on the port's name.
  std::string udevRule;
};

// Where the udev rule goes.
inline constexpr char kUdevRuleFile[] = "/etc/udev/rules.d/70-vexel-phone.rules";

// The holders of the device at path (a name under /dev, or a link to one).
// sysRoot is "/sys" but for tests.
PortHolder LookUpPortHolder(const std::string& path, const std::string& sysRoot = "/sys");

// One line for the user about ModemManager and the port, with the rule and
// where it goes; empty when ModemManager does not run.
std::string ModemManagerAdvice(const PortHolder& holder);

}  // namespace vexel
