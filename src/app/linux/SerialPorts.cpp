#include "app/linux/SerialPorts.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

namespace vexel {

namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? resolved : "";
}

struct Family {
  const char* prefix;
  const char* kind;
};
constexpr Family kFamilies[] = {
    {"rfcomm", "bth"}, {"ttyACM", "usb"}, {"ttyUSB", "usb"}, {"ttyS", "etc"}};

// A ttyS port has a UART when its serial type is not 0 (PORT_UNKNOWN).
bool HasUart(const std::string& sysRoot, const std::string& name) {
  std::ifstream type(sysRoot + "/class/tty/" + name + "/type");
  int value = 0;
  return type >> value && value != 0;
}

}  // namespace

std::vector<SerialPortEntry> ListSerialPorts(const std::string& devRoot,
                                             const std::string& sysRoot) {
  // The stable names of USB devices, by the device they lead to.
  std::map<std::string, std::string> byId;
  const std::string byIdFolder = devRoot + "/serial/by-id";
  for (const std::string& name : Names(byIdFolder)) {
    const std::string target = RealPath(byIdFolder + "/" + name);
    if (!target.empty() && !byId.count(target)) byId[target] = byIdFolder + "/" + name;
  }
  std::vector<SerialPortEntry> ports;
  const std::vector<std::string> devices = Names(devRoot);
  for (const Family& family : kFamilies) {
    for (const std::string& name : devices) {
      if (name.rfind(family.prefix, 0) != 0 || name.size() == std::strlen(family.prefix) ||
          !std::all_of(name.begin() + std::strlen(family.prefix), name.end(), ::isdigit))
        continue;
      if (std::string(family.kind) == "etc" && !HasUart(sysRoot, name)) continue;
      SerialPortEntry entry;
      entry.device = devRoot + "/" + name;
      const std::string real = RealPath(entry.device);
      auto id = byId.find(real);
      entry.name = id != byId.end() ? id->second : entry.device;
      entry.kind = family.kind;
      entry.accessible = access(entry.device.c_str(), R_OK | W_OK) == 0;
      struct stat status {};
      // The group that may open it, when there is one (dialout on Debian).
      if (stat(entry.device.c_str(), &status) == 0 && status.st_gid != 0 &&
          (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
        if (const group* owner = getgrgid(status.st_gid)) entry.group = owner->gr_name;
      ports.push_back(entry);
    }
  }
  return ports;
}

}  // namespace vexel
