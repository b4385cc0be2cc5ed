#include "actions/KeysFile.h"

#include "base/Error.h"
#include "base/Files.h"
#include "base/ProfileFile.h"

namespace vexel {

namespace {

constexpr const char* kSection = "Keys";
constexpr size_t kLongestKey = 16;

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

void LoadKeysFile(const std::string& path, KeyMap& keyMap, std::string& keysFilePath) {
  if (!FileExists(path)) return;
  keysFilePath = path;
  // An unreadable file reads as an empty one, as the profile functions have it.
  const ProfileFile file = ProfileFile::Parse(ReadWholeFile(path).value_or(""));
  keyMap.Clear();
  for (const std::string& name : file.EntryNames(kSection)) {
    // The name without its first and last character: the quotes, unexamined.
    std::string key = name.size() >= 2 ? name.substr(1, name.size() - 2) : "";
    keyMap.Append(std::move(key), file.GetString(kSection, name, ""), true);
  }
}

void SaveKeysFile(const std::string& path, const KeyMap& keyMap, std::string& keysFilePath) {
  keysFilePath = path;
  static const std::vector<KeyMapRow> kEmptyGrid{KeyMapRow{}};
  const std::vector<KeyMapRow>& rows = keyMap.Empty() ? kEmptyGrid : keyMap.Rows();
  ProfileFile file;
  for (const KeyMapRow& row : rows) {
    const std::string name = EntryName(row.key);
    // A later row of the same key is never looked up: keep the first.
    if (!ReadsBackAsItself(row.key) || file.HasValue(kSection, name)) continue;
    file.WriteString(kSection, name, row.action);
  }
  if (!ReplaceFile(path, file.Bytes())) throw Error("Unable to write to " + FullPath(path));
}

}  // namespace vexel
