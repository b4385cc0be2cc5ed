#include "app/linux/LinuxPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vexel {

namespace {

// $<variable> when it is an absolute path, else the home folder and the fallback.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* folder = std::getenv(variable);
  if (folder && *folder == '/') return folder;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : "";
  }
  return std::string(home) + fallback;
}

}  // namespace

std::string DefaultSettingsPath() {
  return XdgFolder("XDG_CONFIG_HOME", "/.config") + "/vexel/Vexel.ini";
}

std::string StateFolder() {
  const std::string folder = XdgFolder("XDG_STATE_HOME", "/.local/state") + "/vexel";
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return {};
    if (slash == std::string::npos) return folder;
  }
}

std::string KeysFileOfSettings(const std::string& settingsPath, const std::string& keysFile) {
  if (keysFile.empty() || keysFile.front() == '/') return keysFile;
  const std::size_t slash = settingsPath.rfind('/');
  return slash == std::string::npos ? keysFile : settingsPath.substr(0, slash + 1) + keysFile;
}

}  // namespace vexel
