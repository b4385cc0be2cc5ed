#include "app/linux/LinuxPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace vexel {

std::string DefaultSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/vexel/Vexel.ini";
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : "";
  }
  return std::string(home) + "/.config/vexel/Vexel.ini";
}

std::string KeysFileOfSettings(const std::string& settingsPath, const std::string& keysFile) {
  if (keysFile.empty() || keysFile.front() == '/') return keysFile;
  const std::size_t slash = settingsPath.rfind('/');
  return slash == std::string::npos ? keysFile : settingsPath.substr(0, slash + 1) + keysFile;
}

}  // namespace vexel
