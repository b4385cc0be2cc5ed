// vexel: the phone's keypad as a remote control for the PC, on Linux.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/ProductInfo.h"
#include "app/linux/CheckFiles.h"
#include "app/linux/LinuxPaths.h"
#include "app/linux/LinuxRemote.h"
#include "app/linux/SerialPorts.h"

namespace {

using namespace vexel;

constexpr char kUsage[] = R"(Usage: vexel COMMAND [options]

Turns a mobile phone's keypad into a remote control for this PC. The phone
is on a serial line (Bluetooth rfcomm, USB cable); vexel switches on its
keypad reports (AT+CMER) and runs the action of each key it reports.

Commands:
  run      link up and run the keys' actions until stopped
  learn    link up and list the keys the phone reports; save them
  check    check the settings and keys files
  ports    list the serial ports a phone can be on

Settings: $XDG_CONFIG_HOME/vexel/Vexel.ini (~/.config/vexel/Vexel.ini), as
on Windows:
  [params]
  port=/dev/rfcomm0 (bth)     an entry of vexel ports
  phone=0                     0 Sony Ericsson, 1 Motorola, 2 Siemens, 3 Sagem
  KeysFile=phone.km           relative to the settings file's folder
  reconnect=1                 keep-alive every 5 s
  holdtime=600                ms a key is held for its long press (HOLD)

'vexel COMMAND --help' tells more. Exit status: 0 ok, 1 failure, 2 wrong use.
)";

constexpr char kRunUsage[] = R"(Usage: vexel run [--ini PATH] [--baud N]

Opens the port of the settings for this program alone, switches on the
phone's key reports and runs the action of every key pressed and released,
until SIGTERM or SIGINT (Ctrl+C). One line per event on standard error.
A start that fails, and a line that is lost, are retried every 10 s, 13
times. SIGHUP reloads the settings and the keys file, and reopens the link
when the port changed.

Options:
  --ini PATH   the settings file (default ~/.config/vexel/Vexel.ini)
  --baud N     set the line to N baud (default: leave its speed as it is)
  -h, --help   show this text

Exit status: 0 stopped by a signal; 1 the link could not be kept up (the
reason is the last line), the port is held by another program, or the
settings are incomplete; 2 wrong use.
)";

constexpr char kLearnUsage[] = R"(Usage: vexel learn [--ini PATH] [--baud N] [-o FILE]

Links up like 'vexel run' and prints each key the phone reports when it is
pressed. Ctrl+C (or SIGTERM) ends learning and saves the keys, in one step:
with -o into FILE (learned keys only, no actions), without -o into the keys
file of the settings, keeping every key it has with its action and adding
the new ones. Keys a keys file cannot hold (with "=", a double quote or a
control character, or longer than 16 bytes) are ignored.

Options:
  --ini PATH   the settings file (default ~/.config/vexel/Vexel.ini)
  --baud N     set the line to N baud
  -o FILE      save the learned keys into FILE
  -h, --help   show this text

Exit status: 0 saved (or nothing learned); 1 the link failed or the keys
could not be saved; 2 wrong use.
)";

constexpr char kCheckUsage[] = R"(Usage: vexel check [--ini PATH]

Reads the settings file and its keys file and prints every key of every
map ([Keys], and [Keys PROGRAM] for each program) with what its
button-down, button-up and long-press parts do here, and every problem: a
missing file, a part that does nothing, a key name that names no key or
that has no key on Linux, a long press that is ignored. In a Wayland
session it says that only [Keys] applies.

Exit status: 0 no problem; 1 problems in the files; 2 wrong use.
)";

constexpr char kPortsUsage[] = R"(Usage: vexel ports

Lists the serial ports a phone can be on, one entry per line as the
settings' port= takes it: Bluetooth (/dev/rfcomm*, "bth"), USB modems and
adapters (/dev/ttyACM*, /dev/ttyUSB*, "usb", under their /dev/serial/by-id
name), and serial ports with a UART (/dev/ttyS*, "etc"). Says when you may
not open a port, and which group opens it (dialout on Debian).

Exit status: 0; 2 wrong use.
)";

int WrongUse(const std::string& message, const std::string& command) {
  std::cerr << "vexel: " << message << "\nTry 'vexel " << (command.empty() ? "" : command + " ")
            << "--help'.\n";
  return 2;
}

int Ports() {
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  if (ports.empty()) std::cout << "no serial ports found (is the phone bound or plugged in?)\n";
  std::string group;
  for (const SerialPortEntry& port : ports) {
    std::cout << port.EntryText();
    if (!port.accessible) {
      std::cout << "    you may not open it";
      if (!port.group.empty()) group = port.group;
    }
    std::cout << "\n";
  }
  if (!group.empty())
    std::cout << "\nTo open these ports, join the group " << group << ": sudo adduser $USER "
              << group << ", then log in again.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return WrongUse("no command", "");
  const std::string command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "--version") {
    std::cout << "vexel " << product::kVersion << "\n";
    return 0;
  }
  const char* usage = command == "run"     ? kRunUsage
                      : command == "learn" ? kLearnUsage
                      : command == "check" ? kCheckUsage
                      : command == "ports" ? kPortsUsage
                                           : nullptr;
  if (!usage) return WrongUse("unknown command '" + command + "'", "");

  RemoteOptions options;
  options.learn = command == "learn";
  bool haveIni = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << usage;
      return 0;
    }
    const bool takesIni = command != "ports", takesBaud = command == "run" || options.learn;
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (arg == "--ini" && takesIni) {
      const std::string* path = value();
      if (!path) return WrongUse("--ini needs a path", command);
      options.settingsPath = *path;
      haveIni = true;
    } else if (arg == "--baud" && takesBaud) {
      const std::string* baud = value();
      char* end = nullptr;
      const unsigned long rate = baud ? std::strtoul(baud->c_str(), &end, 10) : 0;
      if (!baud || *end || rate == 0 || rate > 4000000)
        return WrongUse("--baud needs a rate such as 115200", command);
      options.baud = static_cast<unsigned>(rate);
    } else if (arg == "-o" && options.learn) {
      const std::string* file = value();
      if (!file) return WrongUse("-o needs a file", command);
      options.learnOutput = *file;
    } else {
      return WrongUse("unexpected '" + arg + "'", command);
    }
  }
  if (!haveIni) options.settingsPath = DefaultSettingsPath();

  if (command == "ports") return Ports();
  if (command == "check") return CheckFiles(options.settingsPath, std::cout) ? 0 : 1;
  LinuxRemote remote(options);
  return remote.Run();
}
