// "vexel check": the settings file and its keys file, as this machine
// would run them.
#pragma once

#include <ostream>
#include <string>

namespace vexel {

// Prints the settings, then every key with its down and up parts decoded,
// and every problem: a missing file, a part that does nothing, a shortcut
// text that names no key, a key that cannot be injected here. True when
// there was no problem.
bool CheckFiles(const std::string& settingsPath, std::ostream& out);

}  // namespace vexel
