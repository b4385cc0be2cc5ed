#include <gtest/gtest.h>

#include <filesystem>

#include "actions/KeysFile.h"
#include "base/Files.h"
#include "core/ProfileCases.h"
#include "core/TempFolder.h"

namespace vexel {
namespace {

// Rows of the map for all programs; a key "[name]" starts a program's map.
KeyMap MapOf(const std::vector<std::pair<std::string, std::string>>& rows) {
  KeyMap map;
  for (const auto& [key, action] : rows) {
    if (key.starts_with('['))
      map.ShowMap(key.substr(1, key.size() - 2));
    else
      map.Append(key, action, false);
  }
  map.ShowMap("");
  return map;
}

// The rows of every map, each program's after "[name]".
std::string RowsOf(const KeyMap& map) {
  std::string text;
  std::vector<std::string> programs = map.Programs();
  programs.insert(programs.begin(), "");
  for (const std::string& program : programs) {
    if (!program.empty()) text += "[" + program + "]";
    for (const KeyMapRow& row : map.RowsOf(program))
      text += row.key + "=" + row.action + (row.editButton ? "|" : "!|");
  }
  return text;
}

TEST(KeysFile, SavesOneEntryPerKeyInEffect) {
  const struct {
    KeyMap map;
    std::string_view file;
  } cases[] = {
      {MapOf(
           {{"5", "DOWN (*1 C:\\Windows\\notepad.exe*)"}, {"#", "DOWN (*2 2 Space*)"}, {":J", ""}}),
       profile_cases::kKeysFile},
      {KeyMap(), "[Keys]\r\n\"\"=\r\n"},
      // Learn mode can list a key twice; the lookup takes the first row.
      {MapOf({{"5", "A"}, {"#", "B"}, {"5", "C"}, {"x", "D"}, {"X", "E"}}),
       "[Keys]\r\n\"5\"=A\r\n\"#\"=B\r\n\"x\"=D\r\n"},
      // A key that would not come back as itself is left out, the rest saved.
      {MapOf({{"5\"=DOWN (*1 #cmd*) x", "A"}, {"1", "B"}, {"a\r\nb", "C"}, {"\"q\"", "D"}}),
       "[Keys]\r\n\"1\"=B\r\n\"\"q\"\"=D\r\n"},
      // Every program's map after the map for all programs, an empty one
      // as its one empty row.
      {MapOf({{"5", "A"}, {"[vlc]", ""}, {"5", "B"}, {"6", "C"}, {"[Impress]", ""}}),
       "[Keys]\r\n\"5\"=A\r\n[Keys vlc]\r\n\"5\"=B\r\n\"6\"=C\r\n[Keys Impress]\r\n\"\"=\r\n"},
  };
  TempFolder folder;
  const std::string path = folder.File("map.km");
  for (const auto& c : cases) {
    std::string keysFilePath = "old.km";
    SaveKeysFile(path, c.map, keysFilePath);
    EXPECT_EQ(keysFilePath, path);
    EXPECT_EQ(ReadWholeFile(path), std::string(c.file));
    KeyMap loaded;
    LoadKeysFile(path, loaded, keysFilePath);
    EXPECT_EQ(loaded.Programs(), c.map.Programs());
    for (const KeyMapRow& row : loaded.RowsOf("")) EXPECT_EQ(row.action, c.map.ValueOf(row.key));
  }
}

TEST(KeysFile, LoadsTheEntriesInFileOrder) {
  const struct {
    std::string_view file;
    std::string rows;
  } cases[] = {
      {profile_cases::kKeysFile, "5=DOWN (*1 C:\\Windows\\notepad.exe*)|#=DOWN (*2 2 Space*)|:J=|"},
      {"[Keys]\r\n\"2\"=b\r\n\"1\"=a\r\n", "2=b|1=a|"},
      {"[Keys]\r\n5=x\r\nabc=y\r\n", "=x|b=y|"},  // first and last characters go, quotes or not
      {"[Keys]\r\n\"\"=\r\n", "=|"},
      {"[Other]\r\n\"5\"=x\r\n", ""},
      // A map for each program named, the first section of a name counting.
      {"[Keys vlc]\r\n\"5\"=b\r\n[Keys]\r\n\"5\"=a\r\n[keys VLC]\r\n\"6\"=c\r\n"
       "[Keys  vlc ]\r\n\"7\"=d\r\n[Keysx]\r\n\"8\"=e\r\n[Keys a]b]\r\n\"9\"=f\r\n",
       "5=a|[vlc]5=b|[a]9=f|"},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    KeyMap map = MapOf({{"learned", "x"}});
    std::string keysFilePath;
    LoadKeysFile(folder.Write("map.km", c.file), map, keysFilePath);
    EXPECT_EQ(RowsOf(map), c.rows);
    EXPECT_EQ(keysFilePath, folder.File("map.km"));
  }
}

// "Load" with a program's map shown fills that map alone: from the file's
// map for the program, else from its map for all programs.
TEST(KeysFile, LoadingTheShownProgramsMapKeepsTheOthers) {
  TempFolder folder;
  const std::string both =
      folder.Write("both.km", "[Keys]\r\n\"1\"=a\r\n[Keys VLC]\r\n\"2\"=b\r\n");
  const std::string plain = folder.Write("plain.km", "[Keys]\r\n\"3\"=c\r\n");
  KeyMap map = MapOf({{"5", "x"}, {"[vlc]", ""}, {"6", "y"}, {"[gimp]", ""}, {"7", "z"}});
  map.ShowMap("vlc");
  EXPECT_TRUE(LoadShownMap(both, map));
  EXPECT_EQ(RowsOf(map), "5=x!|[vlc]2=b|[gimp]7=z!|");
  map.ShowMap("gimp");
  EXPECT_TRUE(LoadShownMap(plain, map));
  EXPECT_FALSE(LoadShownMap(folder.File("missing.km"), map));
  EXPECT_EQ(RowsOf(map), "5=x!|[vlc]2=b|[gimp]3=c|");
}

TEST(KeysFile, LongActionsAreSavedWholeAndComeBackCut) {
  TempFolder folder;
  const std::string path = folder.File("long.km"), action(3000, 'x');
  std::string keysFilePath;
  SaveKeysFile(path, MapOf({{"5", action}}), keysFilePath);
  EXPECT_EQ(ReadWholeFile(path), "[Keys]\r\n\"5\"=" + action + "\r\n");
  KeyMap map;
  LoadKeysFile(path, map, keysFilePath);
  EXPECT_EQ(map.ValueOf("5"), action.substr(0, 2047));
}

TEST(KeysFile, AMissingFileChangesNothing) {
  TempFolder folder;
  std::filesystem::create_directory(folder.File("folder.km"));  // counts as missing
  for (const char* missing : {"missing.km", "folder.km"}) {
    KeyMap map = MapOf({{"5", "x"}});
    std::string keysFilePath = "previous.km";
    LoadKeysFile(folder.File(missing), map, keysFilePath);
    EXPECT_EQ(RowsOf(map), "5=x!|");
    EXPECT_EQ(keysFilePath, "previous.km");
  }
}

TEST(KeysFile, HoldsKeysThatReadBackAsThemselves) {
  const std::string k16(16, 'k'), k17(17, 'k');
  const struct {
    std::string key;
    bool held;
  } cases[] = {
      {"5", true},     {"#", true},         {"*", true},    {":J", true},
      {"42", true},    {"", true},          {k16, true},    {k17, false},
      {"5=", false},   {"5\"=DOWN", false}, {"5\"", false}, {"a\x7f", false},
      {"a\tb", false}, {"a\rb", false},     {"~", true},  // 126, the last printable ASCII character
  };
  for (const auto& c : cases) EXPECT_EQ(KeysFileCanHold(c.key), c.held) << c.key;
}

}  // namespace
}  // namespace vexel
