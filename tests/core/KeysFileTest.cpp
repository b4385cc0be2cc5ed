#include <gtest/gtest.h>

#include <fstream>

#include "actions/KeysFile.h"
#include "base/Error.h"
#include "base/Files.h"
#include "core/ProfileCases.h"
#include "core/TempFolder.h"

namespace vexel {
namespace {

struct Row {
  std::string key, action;
};

KeyMap MapOf(const std::vector<Row>& rows) {
  KeyMap map;
  for (const Row& row : rows) map.Append(row.key, row.action, false);
  return map;
}

std::string RowsOf(const KeyMap& map) {
  std::string text;
  for (const KeyMapRow& row : map.Rows())
    text += row.key + "=" + row.action + (row.editButton ? "|" : " (no button)|");
  return text;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(KeysFile, SavesOneEntryPerKeyInEffect) {
  const struct {
    std::vector<Row> rows;
    std::string_view file;
  } cases[] = {
      {{{"5", "DOWN (*1 C:\\Windows\\notepad.exe*)"}, {"#", "DOWN (*2 2 Space*)"}, {":J", ""}},
       profile_cases::kKeysFile},
      {{}, "[Keys]\r\n\"\"=\r\n"},
      // Learn mode can list a key twice; the lookup takes the first row.
      {{{"5", "A"}, {"#", "B"}, {"5", "C"}, {"x", "D"}, {"X", "E"}},
       "[Keys]\r\n\"5\"=A\r\n\"#\"=B\r\n\"x\"=D\r\n"},
  };
  TempFolder folder;
  const std::string path = folder.File("map.km");
  for (const auto& c : cases) {
    const KeyMap saved = MapOf(c.rows);
    std::string keysFilePath = "old.km";
    SaveKeysFile(path, saved, keysFilePath);
    EXPECT_EQ(keysFilePath, path);
    EXPECT_EQ(ReadWholeFile(path), std::string(c.file));

    KeyMap loaded;
    LoadKeysFile(path, loaded, keysFilePath);
    for (const Row& row : c.rows)
      EXPECT_EQ(loaded.ValueOf(row.key), saved.ValueOf(row.key)) << row.key;
  }
}

TEST(KeysFile, LoadsTheEntriesInFileOrder) {
  const struct {
    std::string_view file;
    std::string rows;
  } cases[] = {
      {profile_cases::kKeysFile, "5=DOWN (*1 C:\\Windows\\notepad.exe*)|#=DOWN (*2 2 Space*)|:J=|"},
      {"[Keys]\r\n\"2\"=b\r\n\"1\"=a\r\n", "2=b|1=a|"},
      {"[Keys]\r\n5=x\r\nabc=y\r\n", "=x|b=y|"},  // the first and last characters go, quotes or not
      {"[Keys]\r\n\"\"=\r\n", "=|"},
      {"[Other]\r\n\"5\"=x\r\n", ""},
  };
  TempFolder folder;
  const std::string path = folder.File("map.km");
  for (const auto& c : cases) {
    WriteBytes(path, c.file);
    KeyMap map = MapOf({{"learned", "x"}});
    std::string keysFilePath;
    LoadKeysFile(path, map, keysFilePath);
    EXPECT_EQ(RowsOf(map), c.rows);
    EXPECT_EQ(keysFilePath, path);
  }
}

TEST(KeysFile, LongActionsAreSavedWholeAndComeBackCut) {
  TempFolder folder;
  const std::string path = folder.File("long.km"),
                    action = "DOWN (*1 " + std::string(3000, 'x') + "*)";
  std::string keysFilePath;
  SaveKeysFile(path, MapOf({{"5", action}}), keysFilePath);
  EXPECT_EQ(ReadWholeFile(path)->size(), 14 + action.size());
  KeyMap map;
  LoadKeysFile(path, map, keysFilePath);
  EXPECT_EQ(map.ValueOf("5"), action.substr(0, 2047));
}

TEST(KeysFile, AMissingFileChangesNothing) {
  TempFolder folder;
  KeyMap map = MapOf({{"5", "x"}});
  std::string keysFilePath = "previous.km";
  LoadKeysFile(folder.File("missing.km"), map, keysFilePath);
  EXPECT_EQ(RowsOf(map), "5=x (no button)|");
  EXPECT_EQ(keysFilePath, "previous.km");
}

}  // namespace
}  // namespace vexel
