// Where the Linux program keeps its files.
#pragma once

#include <string>

namespace vexel {

// $XDG_CONFIG_HOME/vexel/Vexel.ini, or ~/.config/vexel/Vexel.ini.
std::string DefaultSettingsPath();

// $XDG_STATE_HOME/vexel, or ~/.local/state/vexel, made when missing;
// empty when it cannot be made.
std::string StateFolder();

// The keys file of the settings: a relative path is taken from the folder
// of the settings file. Empty stays empty.
std::string KeysFileOfSettings(const std::string& settingsPath, const std::string& keysFile);

}  // namespace vexel
