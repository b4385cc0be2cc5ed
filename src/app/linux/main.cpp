// vexel: the phone's keypad as a remote control for the PC, on Linux.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/ProductInfo.h"
#include "app/linux/CheckFiles.h"
#include "app/linux/FindPhone.h"
#include "app/linux/LinuxPaths.h"
#include "app/linux/LinuxRemote.h"
#include "app/linux/SerialPorts.h"
#include "comm/posix/PortHolder.h"
#include "comm/posix/PosixSerialPort.h"

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
  ports    list the serial ports a phone can be on; --probe finds the phone
  doctor   check the phone on the settings' port and name a key pressed

Settings: $XDG_CONFIG_HOME/vexel/Vexel.ini (~/.config/vexel/Vexel.ini), as
on Windows:
  [params]
  port=/dev/rfcomm0 (bth)     an entry of vexel ports
  phone=4                     0 Sony Ericsson, 1 Motorola, 2 Siemens, 3 Sagem,
                              4 detect automatically (ask the phone)
  KeysFile=phone.km           relative to the settings file's folder
  reconnect=1                 keep-alive every 5 s
  notify=0                    no desktop notifications of the link
  holdtime=600                ms a key is held for its long press (HOLD)

'vexel COMMAND --help' tells more. Exit status: 0 ok, 1 failure, 2 wrong use.
)";

constexpr char kRunUsage[] = R"(Usage: vexel run [--ini PATH] [--baud N]

Opens the port of the settings for this program alone, switches on the
phone's key reports and runs the action of every key pressed and released,
until SIGTERM or SIGINT (Ctrl+C). One line per event on standard error.
A start that fails, and a line that is lost, are retried every 10 s, 13
times. In a desktop session a notification tells when the link comes up,
is lost and is given up (notify=0 in the settings turns them off).

SIGHUP reloads the settings and the keys file, and reopens the link when
the port or maker changed (systemctl --user reload vexel). Run from a
terminal instead (standard input or error is one, and no service manager
started vexel), SIGHUP means the terminal closed: it ends vexel like
SIGTERM. Under nohup it stays ignored.

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

constexpr char kPortsUsage[] = R"(Usage: vexel ports [--probe [--save] [--ini PATH] [PORT...]]

Lists the serial ports a phone can be on, one entry per line as the
settings' port= takes it: Bluetooth (/dev/rfcomm*, "bth"), USB modems and
adapters (/dev/ttyACM*, /dev/ttyUSB*, "usb", under their /dev/serial/by-id
name), and serial ports with a UART (/dev/ttyS*, "etc"). Says when you may
not open a port, and which group opens it (dialout on Debian), which program
holds a port, and when ModemManager runs, which may take a phone's port: the
udev rule that keeps it away.

With --probe it asks each port (or each PORT given) whether a phone is
there, and marks it: the maker and model of a phone (it answers AT and
offers key reports in AT+CMER=?), "no answer", "not a phone" (a modem or a
GPS answers AT too), or "busy" with the program that holds it, which is left
alone. It gives up after 60 s. With --save it writes the first phone's port
and phone=4 (detect the maker) into the settings file, creating it when it
is missing and keeping everything else in it.

Options:
  --probe      find the phone
  --save       with --probe: save its port in the settings
  --ini PATH   the settings file (default ~/.config/vexel/Vexel.ini)
  --baud N     set the lines to N baud while probing

Exit status: 0 (with --probe: a phone answered); 1 no phone found, or the
settings could not be saved; 2 wrong use.
)";

constexpr char kDoctorUsage[] = R"(Usage: vexel doctor [--ini PATH] [--baud N]

Checks the phone on the settings' port and prints what it answers: maker
(AT+CGMI), model (AT+CGMM), the key reports it offers (AT+CMER=?) and the
command vexel would use, caller ID (AT+CLIP=?), indicators (AT+CIND=?),
battery (AT+CBC) and signal (AT+CSQ). Then it switches key reports on and
names the first key you press on the phone within 15 s, or says what to try.
When vexel itself holds the port (the service), it says how to stop it.

Exit status: 0 a key came; 1 none came, or the phone or port failed; 2
wrong use.
)";

int WrongUse(const std::string& message, const std::string& command) {
  std::cerr << "vexel: " << message << "\nTry 'vexel " << (command.empty() ? "" : command + " ")
            << "--help'.\n";
  return 2;
}

int Ports() {
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  if (ports.empty()) std::cout << "no serial ports found (is the phone bound or plugged in?)\n";
  std::string group, rules;
  bool modemManager = false;
  for (const SerialPortEntry& port : ports) {
    const PortHolder holder = LookUpPortHolder(port.device);
    std::cout << port.EntryText();
    if (!port.accessible) {
      std::cout << "    you may not open it";
      if (!port.group.empty()) group = port.group;
    }
    if (!holder.process.empty()) std::cout << "    held by " << holder.process;
    if (holder.modemManagerHasIt) std::cout << "    ModemManager has it as a modem";
    std::cout << "\n";
    modemManager = modemManager || holder.modemManagerRuns;
    if (rules.find(holder.udevRule) == std::string::npos) rules += "  " + holder.udevRule + "\n";
  }
  if (!group.empty())
    std::cout << "\nTo open these ports, join the group " << group << ": sudo adduser $USER "
              << group << ", then log in again.\n";
  if (modemManager)
    std::cout << "\nModemManager runs: it opens the modem ports it finds and probes them with AT\n"
                 "commands of its own, which a phone's link does not survive. Keep it away from\n"
                 "the phone with the phone's line of these in "
              << kUdevRuleFile << ":\n"
              << rules << "then: sudo udevadm control --reload && sudo udevadm trigger\n";
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
  const char* usage = command == "run"      ? kRunUsage
                      : command == "learn"  ? kLearnUsage
                      : command == "check"  ? kCheckUsage
                      : command == "ports"  ? kPortsUsage
                      : command == "doctor" ? kDoctorUsage
                                            : nullptr;
  if (!usage) return WrongUse("unknown command '" + command + "'", "");

  RemoteOptions options;
  options.learn = command == "learn";
  FindPhoneOptions find;
  bool haveIni = false, probe = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << usage;
      return 0;
    }
    const bool takesIni = true, takesBaud = command != "check";
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (arg == "--ini" && takesIni) {
      const std::string* path = value();
      if (!path) return WrongUse("--ini needs a path", command);
      options.settingsPath = *path;
      haveIni = true;
    } else if (arg == "--baud" && takesBaud) {
      const std::string* baud = value();
      std::string rates;
      options.baud = 0;
      for (unsigned rate : BaudRates()) {
        rates += " " + std::to_string(rate);
        if (baud && *baud == std::to_string(rate)) options.baud = rate;
      }
      if (options.baud == 0)
        return WrongUse("--baud needs a rate the port can be set to:" + rates, command);
    } else if (arg == "--probe" && command == "ports") {
      probe = true;
    } else if (arg == "--save" && command == "ports") {
      find.save = true;
    } else if (command == "ports" && !arg.empty() && arg[0] != '-') {
      find.ports.push_back(arg);
    } else if (arg == "-o" && options.learn) {
      const std::string* file = value();
      if (!file) return WrongUse("-o needs a file", command);
      options.learnOutput = *file;
    } else {
      return WrongUse("unexpected '" + arg + "'", command);
    }
  }
  if ((find.save || !find.ports.empty()) && !probe)
    return WrongUse("--save and PORT go with --probe", command);
  if (!haveIni) options.settingsPath = DefaultSettingsPath();
  find.settingsPath = options.settingsPath;
  find.baud = options.baud;

  if (command == "ports") return probe ? ProbePorts(find) : Ports();
  if (command == "doctor") return CheckPhoneOnSettingsPort(find);
  if (command == "check") return CheckFiles(options.settingsPath, std::cout) ? 0 : 1;
  LinuxRemote remote(options);
  return remote.Run();
}
