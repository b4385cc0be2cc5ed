#include "actions/KeysFile.h"

#include "base/Error.h"
#include "base/Files.h"
#include "base/ProfileFile.h"

namespace vexel {

namespace {
constexpr const char* kSection = "Keys";
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
    const std::string name = "\"" + row.key + "\"";
    // A later row of the same key is never looked up: keep the first.
    if (!file.HasValue(kSection, name)) file.WriteString(kSection, name, row.action);
  }
  if (!ReplaceFile(path, file.Bytes())) throw Error("Unable to write to " + FullPath(path));
}

}  // namespace vexel
