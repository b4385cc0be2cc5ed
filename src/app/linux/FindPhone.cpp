#include "app/linux/FindPhone.h"

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "app/Settings.h"
#include "app/linux/HostLoop.h"
#include "app/linux/SerialPorts.h"
#include "base/Files.h"
#include "comm/posix/PortHolder.h"
#include "comm/posix/PosixSerialPort.h"
#include "phone/PhoneCheck.h"
#include "phone/PhoneMakers.h"
#include "phone/PortList.h"

namespace vexel {

namespace {

// The loop of one command: Ctrl+C or SIGTERM ends its waits at once.
struct CommandLoop {
  HostLoop loop;
  PosixSerialPort port;
  bool interrupted = false;
  explicit CommandLoop(unsigned baud) : port(loop, baud) {
    loop.WatchSignals({SIGINT, SIGTERM}, [this](int) { interrupted = true; });
  }
};

// "busy (held by pid 12 (vexel))" from the port's refusal.
std::string BusyText(const std::string& message) {
  const std::size_t held = message.find("held by ");
  return held == std::string::npos ? "busy" : "busy (" + message.substr(held) + ")";
}

std::string KindOfDevice(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (name.rfind("rfcomm", 0) == 0) return "bth";
  if (name.rfind("ttyACM", 0) == 0 || name.rfind("ttyUSB", 0) == 0) return "usb";
  return "etc";
}

}  // namespace

int ProbePorts(const FindPhoneOptions& options) {
  std::vector<SerialPortEntry> ports;
  if (options.ports.empty()) {
    ports = ListSerialPorts();
  } else {
    for (const std::string& path : options.ports) {
      SerialPortEntry entry;
      entry.device = entry.name = path;
      entry.kind = KindOfDevice(path);
      ports.push_back(entry);
    }
  }
  if (ports.empty()) std::cout << "no serial ports found (is the phone bound or plugged in?)\n";
  CommandLoop command(options.baud);
  const std::uint64_t deadline = command.loop.Milliseconds() + kFindPhoneLimitMs;
  const auto stopped = [&] {
    return command.interrupted || command.loop.Milliseconds() >= deadline;
  };
  std::string found;
  for (const SerialPortEntry& entry : ports) {
    std::cout << entry.EntryText() << ": " << std::flush;
    if (stopped()) {
      std::cout << (command.interrupted ? "not tried (interrupted)" : "not tried (60 s passed)")
                << "\n";
      continue;
    }
    if (!entry.accessible) {
      std::cout << "you may not open it"
                << (entry.group.empty() ? "" : " (group " + entry.group + ")") << "\n";
      continue;
    }
    // A modem ModemManager has is left alone: the probe's commands would
    // meet its own. (Another vexel's port refuses the open below; a program
    // that merely keeps a tty open, as socat does, holds no lock to go by.)
    if (const PortHolder holder = LookUpPortHolder(entry.device); holder.modemManagerHasIt) {
      std::cout << "busy (held by ModemManager)\n  " << ModemManagerAdvice(holder) << "\n";
      continue;
    }
    command.port.SetCommPort(entry.device);
    try {
      command.port.OpenPort();
    } catch (const EPortBusy& error) {
      std::cout << BusyText(error.what()) << "\n";
      continue;
    } catch (const ECommsError& error) {
      std::cout << "cannot open: " << error.what() << "\n";
      continue;
    }
    ProbeResult result;
    {
      PhoneExchange exchange(command.port, command.loop, stopped);
      result = ProbePhone(exchange);
    }
    command.port.ClosePort();
    std::cout << (result.kind == ProbeResult::Kind::kPhone ? "phone: " : "") << result.Describe()
              << "\n";
    if (result.kind == ProbeResult::Kind::kPhone && found.empty()) found = entry.EntryText();
  }
  if (found.empty()) {
    std::cout << "No phone found.\n";
    return 1;
  }
  std::cout << "The phone is on " << found << ".\n";
  if (!options.save) return 0;
  try {
    Settings settings =
        FileExists(options.settingsPath) ? ReadSettings(options.settingsPath) : Settings();
    settings.port = found;
    settings.phone = kDetectPhoneMaker;
    const std::filesystem::path folder = std::filesystem::path(options.settingsPath).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    WriteSettings(options.settingsPath, settings);
  } catch (const std::exception& error) {
    std::cout << "Not saved: " << error.what() << "\n";
    return 1;
  }
  std::cout << "Saved port=" << found << " and phone=" << kDetectPhoneMaker << " in "
            << options.settingsPath << ".\n";
  return 0;
}

int CheckPhoneOnSettingsPort(const FindPhoneOptions& options) {
  if (!FileExists(options.settingsPath)) {
    std::cout << "No settings file " << options.settingsPath
              << ": find the phone first with vexel ports --probe --save.\n";
    return 1;
  }
  const Settings settings = ReadSettings(options.settingsPath);
  if (settings.port.empty()) {
    std::cout << "No port in " << options.settingsPath
              << ": find the phone first with vexel ports --probe --save.\n";
    return 1;
  }
  CommandLoop command(options.baud);
  command.port.SetCommPort(PortNameOfEntry(settings.port));
  std::cout << "Checking the phone on " << settings.port << "\n" << std::flush;
  try {
    command.port.OpenPort();
  } catch (const EPortBusy& error) {
    std::cout << "The port is " << BusyText(error.what()) << ".\n";
    if (std::string(error.what()).find("(vexel)") != std::string::npos)
      std::cout << "Vexel itself holds it: stop the service with 'systemctl --user stop vexel' "
                   "(or end 'vexel run'), check, then start it again.\n";
    return 1;
  } catch (const ECommsError& error) {
    std::cout << "Cannot open the port: " << error.what() << "\n";
    return 1;
  }
  PhoneExchange exchange(command.port, command.loop, [&] { return command.interrupted; });
  const bool key =
      CheckPhone(exchange, command.loop, command.port, settings.phone, [](const std::string& line) {
        std::cout << line << "\n" << std::flush;
      });
  command.port.ClosePort();
  return key ? 0 : 1;
}

}  // namespace vexel
