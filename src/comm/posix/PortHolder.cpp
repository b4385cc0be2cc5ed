#include "comm/posix/PortHolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vexel {

namespace {

constexpr char kModemManager[] = "org.freedesktop.ModemManager1";
constexpr char kModemInterface[] = "org.freedesktop.ModemManager1.Modem";

std::string ReadLine(const std::string& path) {
  std::string line;
  std::ifstream file(path);
  std::getline(file, line);
  return line;
}

// The USB device above the tty in sysfs ("0fce", "d0cf"), if there is one.
bool UsbIds(const std::string& sysRoot, const std::string& tty, std::string& vendor,
            std::string& product) {
  char resolved[PATH_MAX];
  if (!realpath((sysRoot + "/class/tty/" + tty + "/device").c_str(), resolved)) return false;
  for (std::string folder = resolved; folder.size() > sysRoot.size();
       folder.erase(folder.rfind('/'))) {
    vendor = ReadLine(folder + "/idVendor");
    product = ReadLine(folder + "/idProduct");
    if (!vendor.empty() && !product.empty()) return true;
  }
  return false;
}

bool SameDevice(const struct stat& a, const struct stat& b) {
  return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
}

// The process holding a flock on the device node, from /proc/locks:
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:117 0 EOF".
std::string LockHolder(const struct stat& device) {
  std::ifstream locks("/proc/locks");
  std::string line;
  char node[64];
  std::snprintf(node, sizeof node, "%02x:%02x:%llu", major(device.st_dev), minor(device.st_dev),
                static_cast<unsigned long long>(device.st_ino));
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string id, kind, mode, access, pid, where;
    if (fields >> id >> kind >> mode >> access >> pid >> where && kind == "FLOCK" && where == node)
      return pid;
  }
  return {};
}

std::string ProcessName(const std::string& pid) {
  std::string name;
  std::ifstream comm("/proc/" + pid + "/comm");
  std::getline(comm, name);
  return "pid " + pid + " (" + name + ")";
}

// The program holding a device open, as "pid 1234 (vexel)", from the lock
// or else the descriptors under /proc; empty when none can be seen.
std::string DeviceHolder(const std::string& path) {
  struct stat device {};
  if (stat(path.c_str(), &device) != 0) return {};
  // The lock tells the holder best: a terminal program may have the device
  // open too (socat, a serial console), but only one program holds the lock.
  if (const std::string pid = LockHolder(device); !pid.empty()) return ProcessName(pid);
  DIR* proc = opendir("/proc");
  if (!proc) return {};
  std::string holder;
  const std::string self = std::to_string(getpid());
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit) || pid == self) continue;
    const std::string fds = "/proc/" + pid + "/fd";
    DIR* dir = opendir(fds.c_str());
    if (!dir) continue;  // another user's process
    bool holds = false;
    while (dirent* fd = readdir(dir)) {
      struct stat target {};
      if (fd->d_name[0] != '.' && stat((fds + "/" + fd->d_name).c_str(), &target) == 0 &&
          SameDevice(device, target)) {
        holds = true;
        break;
      }
    }
    closedir(dir);
    if (!holds) continue;
    holder = ProcessName(pid);
    break;
  }
  closedir(proc);
  return holder;
}

// Reads a reply in order; a reply not of the expected form throws.
struct Reply {
  struct Malformed {};
  static int Check(int r) {
    if (r < 0) throw Malformed{};
    return r;
  }
  void Enter(char type, const char* contents) {
    Check(sd_bus_message_enter_container(message, type, contents));
  }
  bool Next(const char* entry) {  // into the next entry of a dictionary
    return Check(sd_bus_message_enter_container(message, 'e', entry)) > 0;
  }
  void Exit() { Check(sd_bus_message_exit_container(message)); }
  void Skip(const char* types) { Check(sd_bus_message_skip(message, types)); }
  std::string String() {
    const char* text = nullptr;
    Check(sd_bus_message_read(message, "s", &text));
    return text;
  }
  sd_bus_message* message;
};

// Whether one of ModemManager's modems lists the port ("ttyACM0") in its
// Ports property (a(su): name and type), from GetManagedObjects'
// a{oa{sa{sv}}}: object, interface, property, value.
bool ModemsHavePort(Reply reply, const std::string& port) {
  bool found = false;
  reply.Enter('a', "{oa{sa{sv}}}");
  while (reply.Next("oa{sa{sv}}")) {
    reply.Skip("o");
    reply.Enter('a', "{sa{sv}}");
    while (reply.Next("sa{sv}")) {
      if (reply.String() != kModemInterface) {
        reply.Skip("a{sv}");
      } else {
        reply.Enter('a', "{sv}");
        while (reply.Next("sv")) {
          if (reply.String() != "Ports") {
            reply.Skip("v");
          } else {
            reply.Enter('v', "a(su)");
            reply.Enter('a', "(su)");
            const char* name = nullptr;
            std::uint32_t type = 0;
            while (Reply::Check(sd_bus_message_read(reply.message, "(su)", &name, &type)) > 0)
              found = found || port == name;
            reply.Exit();
            reply.Exit();
          }
          reply.Exit();
        }
        reply.Exit();
      }
      reply.Exit();
    }
    reply.Exit();
    reply.Exit();
  }
  return found;
}

// Asks the system bus whether ModemManager runs and has the port.
void AskModemManager(const std::string& port, PortHolder& holder) {
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return;
  sd_bus_set_method_call_timeout(bus, 2'000'000);
  sd_bus_message* reply = nullptr;
  int running = 0;
  // Asked first: a call to ModemManager itself would start it where the bus
  // starts services on demand.
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                         kModemManager) >= 0 &&
      sd_bus_message_read(reply, "b", &running) >= 0 && running) {
    holder.modemManagerRuns = true;
    reply = sd_bus_message_unref(reply);
    if (sd_bus_call_method(bus, kModemManager, "/org/freedesktop/ModemManager1",
                           "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr,
                           &reply, "") >= 0) {
      try {
        holder.modemManagerHasIt = ModemsHavePort({reply}, port);
      } catch (const Reply::Malformed&) {  // not known to have it
      }
    }
  }
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
}

}  // namespace

PortHolder LookUpPortHolder(const std::string& path, const std::string& sysRoot) {
  PortHolder holder;
  holder.process = DeviceHolder(path);
  char resolved[PATH_MAX];
  const std::string device = realpath(path.c_str(), resolved) ? resolved : path;
  // The name ModemManager and udev know it by: "ttyACM0" (and "pts/3").
  const std::string port =
      device.rfind("/dev/", 0) == 0 ? device.substr(5) : device.substr(device.rfind('/') + 1);
  AskModemManager(port, holder);
  std::string vendor, product;
  if (UsbIds(sysRoot, port, vendor, product))
    holder.udevRule = "ATTRS{idVendor}==\"" + vendor + "\", ATTRS{idProduct}==\"" + product +
                      "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
  else
    holder.udevRule = "KERNEL==\"" + port + "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
  return holder;
}

std::string ModemManagerAdvice(const PortHolder& holder) {
  if (!holder.modemManagerRuns) return {};
  return std::string(holder.modemManagerHasIt
                         ? "ModemManager has this port as a modem"
                         : "ModemManager runs and may open this port to probe it") +
         "; keep it away from the phone with the line '" + holder.udevRule + "' in " +
         kUdevRuleFile +
         ", then: sudo udevadm control --reload && sudo udevadm trigger (or plug the phone in "
         "again)";
}

}  // namespace vexel
