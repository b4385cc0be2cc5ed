#include "app/linux/CheckFiles.h"

#include "actions/ActionText.h"
#include "actions/ExtraCommands.h"
#include "actions/KeysFile.h"
#include "actions/linux/ActionPlatformLinux.h"
#include "actions/linux/LinuxKeys.h"
#include "app/Settings.h"
#include "app/linux/LinuxPaths.h"
#include "base/Files.h"
#include "base/Text.h"
#include "phone/PhoneMakers.h"

namespace vexel {

namespace {

const char* const kModes[] = {"press", "release", "click", "repeat while held"};

// One part in words, and its problem if it has one. Repeat runs on the way
// down only (a down or long-press part).
std::string DescribePart(const std::string& part, const KeyNames& names, std::string& problem,
                         bool down = false) {
  if (part.empty()) return "nothing";
  const ActionPart decoded = DecodeActionPart(part, names);
  switch (decoded.kind) {
    case ActionPart::kExecute:
      if (decoded.payload.empty()) {
        problem = "an empty command does nothing";
        return "nothing";
      }
      if (decoded.payload[0] == '#') return "run: " + decoded.payload.substr(1);
      if (decoded.payload[0] == '$') {
        if (AsksForSpecialCommand(decoded.payload)) return "special: " + decoded.payload.substr(1);
        problem = "\"" + decoded.payload +
                  "\" is no special command ($reboot, $shutdown, $lock, $on/off Vexel)";
        return "nothing";
      }
      return "open: " + decoded.payload;
    case ActionPart::kKey: {
      const std::string text = TrimCopy(part.size() > 4 ? part.substr(4) : "");
      if (decoded.mode > (down ? kmRepeat : kmClick)) {
        problem = decoded.mode == kmRepeat
                      ? "Repeat while held does nothing on button up"
                      : "key mode " + std::to_string(decoded.mode) + " does nothing";
        return "nothing";
      }
      if (decoded.shortcut == 0) {
        problem = "\"" + text + "\" names no key";
        return "nothing";
      }
      const ShortcutKeys keys = SplitShortcut(decoded.shortcut);
      const auto code = static_cast<std::uint8_t>(keys.key);
      if (!FindLinuxKey(code) && !FindMouseKey(code)) {
        problem = "\"" + text + "\" has no key on Linux";
        return "nothing";
      }
      return std::string(kModes[decoded.mode]) + " " + FormatShortcut(decoded.shortcut, names);
    }
    case ActionPart::kNothing:
      break;
  }
  problem = "\"" + part + "\" is no action (it must start with 1 or 2)";
  return "nothing";
}

}  // namespace

bool CheckFiles(const std::string& settingsPath, std::ostream& out) {
  bool ok = true;
  auto problem = [&](const std::string& text) {
    out << "  problem: " << text << "\n";
    ok = false;
  };
  out << "settings " << settingsPath << "\n";
  if (!FileExists(settingsPath)) {
    problem("the settings file does not exist");
    return false;
  }
  const Settings settings = ReadSettings(settingsPath);
  out << "  port " << (settings.port.empty() ? "(none)" : settings.port) << ", phone "
      << settings.phone << ", keep-alive " << (settings.reconnect ? "on" : "off") << "\n";
  if (settings.port.empty()) problem("no port (port=... in [params]; see vexel ports)");
  if (!IsPhoneMaker(settings.phone))
    problem("phone " + std::to_string(settings.phone) + " is no maker (0 to " +
            std::to_string(std::size(kPhoneMakers) - 1) + ")");
  const std::string keysPath = KeysFileOfSettings(settingsPath, settings.keysFile);
  if (keysPath.empty()) {
    problem("no keys file (KeysFile=... in [params])");
    return ok;
  }
  out << "keys " << keysPath << "\n";
  if (!FileExists(keysPath)) {
    problem("the keys file does not exist");
    return false;
  }
  if (!ReadWholeFile(keysPath)) {
    problem("the keys file cannot be read");
    return false;
  }
  KeyMap keys;
  std::string loaded;
  LoadKeysFile(keysPath, keys, loaded);
  std::vector<std::string> programs = keys.Programs();
  if (keys.Rows().empty() && programs.empty())
    problem("the keys file holds no keys (section [Keys])");
  if (!programs.empty() && WaylandSession())
    out << "  note: a Wayland session tells no program which window has the focus: only [Keys] "
           "applies here, not the programs' maps\n";
  const KeyNamesLinux names;
  programs.insert(programs.begin(), "");
  for (const std::string& program : programs) {
    if (!program.empty()) out << "keys for " << program << " ([Keys " << program << "])\n";
    const std::string where = program.empty() ? "" : " for " + program;
    for (const KeyMapRow& row : keys.RowsOf(program)) {
      const ActionParts parts = SplitActionText(row.action);
      const std::string key = "key \"" + row.key + "\"" + where;
      std::string downProblem, upProblem, holdProblem;
      const std::string down = DescribePart(parts.down, names, downProblem, true);
      const std::string up = DescribePart(parts.up, names, upProblem);
      out << "  \"" << row.key << "\": down " << down << "; up " << up;
      if (!parts.hold.empty())
        out << "; long press " << DescribePart(parts.hold, names, holdProblem, true);
      out << "\n";
      if (!downProblem.empty()) problem(key + " down: " + downProblem);
      if (!upProblem.empty()) problem(key + " up: " + upProblem);
      if (!holdProblem.empty()) problem(key + " long press: " + holdProblem);
      if (IsEventEntry(row.key) && !program.empty())
        problem(key + ": the phone's events run only from [Keys]");
      if (IsEventEntry(row.key) && !SameText(row.key, kRingEntry) && !Trim(parts.up).empty())
        problem(key + " up: never runs, as the event has no end");
      if (!parts.hold.empty() && !HoldHonoured(parts, names))
        problem(key +
                " long press: ignored, as the down part is neither empty, an Execute part "
                "nor a Click (it cannot wait for the release)");
    }
  }
  return ok;
}

}  // namespace vexel
