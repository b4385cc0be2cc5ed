#include <gtest/gtest.h>

#include <fstream>

#include "app/Settings.h"
#include "base/Files.h"
#include "core/TempFolder.h"

namespace vexel {
namespace {

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool operator==(const Settings& a, const Settings& b) {
  return a.port == b.port && a.phone == b.phone && a.autostart == b.autostart &&
         a.keysFile == b.keysFile && a.reconnect == b.reconnect;
}

TEST(Settings, MissingFileSectionOrKeyGivesDefaults) {
  TempFolder folder;
  EXPECT_TRUE(ReadSettings(folder.File("missing.ini")) == Settings{});
  for (std::string_view file :
       {"", "[other]\r\nport=COM1\r\nphone=2\r\n", "[params]\r\n", "\x01\xff[params"}) {
    WriteBytes(folder.File("Vexel.ini"), file);
    EXPECT_TRUE(ReadSettings(folder.File("Vexel.ini")) == Settings{}) << file;
  }
}

TEST(Settings, ReadsIntegersAndBooleans) {
  const struct {
    const char* text;
    int number;  // the default 0 when the text is not an integer
  } cases[] = {
      {"1", 1},
      {"0", 0},
      {"-1", -1},
      {"+7", 7},
      {"007", 7},
      {" 3 ", 3},
      {"$1F", 31},
      {"0x1f", 31},
      {"0X10", 16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", 0},
      {"$100000000", 0},
      {"0x", 0},
      {"$", 0},
      {"-", 0},
      {"-0x10", 0},
      {"1.0", 0},
      {"1e3", 0},
      {"abc", 0},
      {"", 0},
  };
  TempFolder folder;
  const std::string path = folder.File("Vexel.ini");
  for (const auto& c : cases) {
    const std::string text = c.text;
    WriteBytes(path,
               "[params]\r\nphone=" + text + "\r\nautostart=" + text + "\r\nreconnect=" + text);
    const Settings settings = ReadSettings(path);
    EXPECT_EQ(settings.phone, c.number) << c.text;
    EXPECT_EQ(settings.autostart, c.number != 0) << c.text;
    EXPECT_EQ(settings.reconnect, c.number != 0) << c.text;
  }
}

TEST(Settings, WritingKeepsTheRestOfTheFile) {
  const Settings settings{"COM5 (bth)", 2, true, "C:\\Keys\\my.km", false};
  const struct {
    std::string_view before, after;
  } cases[] = {
      {"",
       "[params]\r\nport=COM5 "
       "(bth)\r\nphone=2\r\nautostart=1\r\nKeysFile=C:\\Keys\\my.km\r\nreconnect=0\r\n"},
      {"; Vexel\r\n[Params]\r\nPort=COM1 (usb)\r\nextra=1\r\n\r\n[other]\r\nphone=9\r\n",
       "; Vexel\r\n[Params]\r\nPort=COM5 (bth)\r\nextra=1\r\nphone=2\r\nautostart=1\r\n"
       "KeysFile=C:\\Keys\\my.km\r\nreconnect=0\r\n\r\n[other]\r\nphone=9\r\n"},
  };
  TempFolder folder;
  const std::string path = folder.File("Vexel.ini");
  for (const auto& c : cases) {
    WriteBytes(path, c.before);
    WriteSettings(path, settings);
    EXPECT_EQ(ReadWholeFile(path), std::string(c.after));
    EXPECT_TRUE(ReadSettings(path) == settings);
  }
}

}  // namespace
}  // namespace vexel
