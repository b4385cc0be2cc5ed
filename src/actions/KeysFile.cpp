#include "actions/KeysFile.h"

#include <algorithm>
#include <optional>

#include "base/Error.h"
#include "base/Files.h"
#include "base/ProfileFile.h"
#include "base/Text.h"

namespace vexel {

namespace {

constexpr const char* kSection = "Keys";
constexpr std::string_view kProgramSection = "Keys ";
constexpr size_t kLongestKey = 16;
constexpr size_t kLongestProgram = 64;

std::string SectionOf(std::string_view program) {
  return program.empty() ? kSection : std::string(kProgramSection) + std::string(program);
}

// Appends the section's entries to the map shown.
void AppendSection(const ProfileFile& file, const std::string& section, KeyMap& keyMap) {
  for (const std::string& name : file.EntryNames(section)) {
    // The name without its first and last character: the quotes, unexamined.
    std::string key = name.size() >= 2 ? name.substr(1, name.size() - 2) : "";
    keyMap.Append(std::move(key), file.GetString(section, name, ""), true);
  }
}

ProfileFile ReadKeysFile(const std::string& path) {
  // An unreadable file reads as an empty one, as the profile functions have it.
  return ProfileFile::Parse(ReadWholeFile(path).value_or(""));
}

std::string EntryName(std::string_view key) { return "\"" + std::string(key) + "\""; }

// Whether the entry of the key reads back with its own name (a "=" or a line
// break in it would end the name early or split the line).
bool ReadsBackAsItself(std::string_view key) {
  ProfileFile file;
  file.WriteString(kSection, EntryName(key), "");
  return ProfileFile::Parse(file.Bytes()).EntryNames(kSection) ==
         std::vector<std::string>{EntryName(key)};
}

}  // namespace

bool KeysFileCanHold(std::string_view key) {
  if (key.size() > kLongestKey) return false;
  for (const char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || c == '=' || c == '"') return false;
  }
  return true;
}

std::string ProgramMapName(std::string_view typed) {
  const std::string_view name = Trim(typed);
  if (name.size() > kLongestProgram) return {};
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || c == ']') return {};
  }
  return std::string(name);
}

void LoadKeysFile(const std::string& path, KeyMap& keyMap, std::string& keysFilePath) {
  if (!FileExists(path)) return;
  keysFilePath = path;
  const ProfileFile file = ReadKeysFile(path);
  keyMap.ClearAll();
  AppendSection(file, kSection, keyMap);
  for (const std::string& section : file.SectionNames()) {
    if (!StartsWithText(section, kProgramSection)) continue;
    const std::string program = ProgramMapName(section.substr(kProgramSection.size()));
    const auto known = keyMap.Programs();
    // The first section that names a program counts ("[Keys  vlc]" after "[Keys vlc]").
    if (program.empty() || std::any_of(known.begin(), known.end(),
                                       [&](const std::string& p) { return SameText(p, program); }))
      continue;
    keyMap.ShowMap(program);
    AppendSection(file, section, keyMap);
  }
  keyMap.ShowMap("");
}

bool LoadShownMap(const std::string& path, KeyMap& keyMap) {
  if (!FileExists(path)) return false;
  const ProfileFile file = ReadKeysFile(path);
  const std::string section = SectionOf(keyMap.ShownMap());
  const auto sections = file.SectionNames();
  const bool hasOwn = std::any_of(sections.begin(), sections.end(),
                                  [&](const std::string& s) { return SameText(s, section); });
  keyMap.Clear();
  AppendSection(file, hasOwn ? section : kSection, keyMap);
  return true;
}

void SaveKeysFile(const std::string& path, const KeyMap& keyMap, std::string& keysFilePath) {
  keysFilePath = path;
  static const std::vector<KeyMapRow> kEmptyGrid{KeyMapRow{}};
  ProfileFile file;
  std::vector<std::string> programs = keyMap.Programs();
  programs.insert(programs.begin(), "");
  for (const std::string& program : programs) {
    const std::string section = SectionOf(program);
    const std::vector<KeyMapRow>& rows = keyMap.RowsOf(program);
    for (const KeyMapRow& row : rows.empty() ? kEmptyGrid : rows) {
      const std::string name = EntryName(row.key);
      // A later row of the same key is never looked up: keep the first.
      if (!ReadsBackAsItself(row.key) || file.HasValue(section, name)) continue;
      file.WriteString(section, name, row.action);
    }
  }
  if (!ReplaceFile(path, file.Bytes())) throw Error("Unable to write to " + FullPath(path));
}

std::size_t AddKeysToFile(const std::string& path, const std::vector<std::string>& keys) {
  std::optional<std::string> bytes;
  if (FileExists(path) && !(bytes = ReadWholeFile(path)))
    throw Error("Unable to read " + FullPath(path));
  ProfileFile file = ProfileFile::Parse(bytes.value_or(""));
  std::size_t added = 0;
  for (const std::string& key : keys) {
    if (!ReadsBackAsItself(key) || file.HasValue(kSection, EntryName(key))) continue;
    file.WriteString(kSection, EntryName(key), "");
    ++added;
  }
  if (added > 0 && !ReplaceFile(path, file.Bytes()))
    throw Error("Unable to write to " + FullPath(path));
  return added;
}

}  // namespace vexel
