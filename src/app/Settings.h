// The settings file "Vexel.ini" beside the program: section "params".
#pragma once

#include <string>

namespace vexel {

struct Settings {
  std::string port;        // "port": the port list's text, such as "COM5 (bth)"
  int phone = 0;           // "phone": the phone maker's index (4: detect)
  bool autostart = false;  // "autostart": start the link at program start
  std::string keysFile;    // "KeysFile": the keys file loaded at start
  bool reconnect = false;  // "reconnect": keep the connection alive
  bool notify = true;      // "notify": desktop notifications of the link (Linux); never written
  // "holdtime": milliseconds a key is held before its long-press part runs
  // (1 to 60000; anything else gives the default). Read only: a user's own
  // value stays in the file, which a save keeps.
  int holdTime = 600;
};

// The settings file's path: the program's folder and "Vexel.ini".
std::string SettingsPath();

// The settings in the file; a missing or unreadable file, section or key
// gives the default, except that without a file the phone maker is
// "Detect automatically". Integers are decimal with an optional sign, or
// hexadecimal after "$", "0x" or "0X", in 32 bits; booleans are integers,
// 0 false and any other true; a value that is not an integer gives the
// default.
Settings ReadSettings(const std::string& path);

// Writes the five keys (port, phone, autostart, KeysFile, reconnect; the
// booleans as "1" or "0"), keeping everything else in the file. The file is
// replaced in one step: on failure vexel::Error "Unable to write to <full
// path>" is raised and the old file is left as it was.
void WriteSettings(const std::string& path, const Settings& settings);

}  // namespace vexel
