#include <gtest/gtest.h>

#include "app/Settings.h"
#include "base/Files.h"
#include "core/TempFolder.h"
#include "phone/PhoneMakers.h"

namespace vexel {
namespace {

auto Fields(const Settings& s) {
  return std::tie(s.port, s.phone, s.autostart, s.keysFile, s.reconnect, s.holdTime);
}

TEST(Settings, MissingFileSectionOrKeyGivesDefaults) {
  TempFolder folder;
  Settings brandNew;
  brandNew.phone = kDetectPhoneMaker;
  EXPECT_EQ(Fields(ReadSettings(folder.File("missing.ini"))), Fields(brandNew));
  for (std::string_view file :
       {"", "[other]\r\nport=COM1\r\nphone=2\r\n", "[params]\r\n", "\x01\xff[params"})
    EXPECT_EQ(Fields(ReadSettings(folder.Write("Vexel.ini", file))), Fields(Settings{})) << file;
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
      {"-2147483648", INT32_MIN},
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
  for (const auto& c : cases) {
    const std::string t = c.text;
    const Settings s =
        ReadSettings(folder.Write("Vexel.ini", "[params]\r\nphone=" + t + "\r\nautostart=" + t +
                                                   "\r\nreconnect=" + t + "\r\nholdtime=" + t));
    // The hold time is taken from 1 to 60000 ms only.
    const int holdTime = c.number >= 1 && c.number <= 60000 ? c.number : 600;
    EXPECT_EQ(std::tie(s.phone, s.autostart, s.reconnect, s.holdTime),
              std::make_tuple(c.number, c.number != 0, c.number != 0, holdTime))
        << c.text;
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
  for (const auto& c : cases) {
    const std::string path = folder.Write("Vexel.ini", c.before);
    WriteSettings(path, settings);
    EXPECT_EQ(ReadWholeFile(path), std::string(c.after));
    EXPECT_EQ(Fields(ReadSettings(path)), Fields(settings));
  }
}

}  // namespace
}  // namespace vexel
