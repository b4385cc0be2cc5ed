#include <gtest/gtest.h>

#include "base/Error.h"
#include "base/Text.h"

namespace vexel {
namespace {

TEST(Text, TrimRemovesControlCharactersAndBlanksAtBothEnds) {
  EXPECT_EQ(Trim("\r\n +CKEV: 5,1 \r\n"), "+CKEV: 5,1");
  EXPECT_EQ(Trim(std::string_view("\0\x1f a\x01", 5)), "a");
  EXPECT_EQ(Trim(" \t "), "");
}

TEST(Text, SameTextFoldsAsciiLettersOnly) {
  EXPECT_TRUE(SameText("Ctrl+F10", "ctrl+f10"));
  EXPECT_FALSE(SameText("C", "D"));
  EXPECT_FALSE(SameText("\xC0", "\xE0"));  // not folded: the code page is unknown here
}

TEST(ErrorBox, AddsAFullStopOnlyWhereTheMessageLacksOne) {
  struct Case {
    const char* message;
    const char* shown;
  } cases[] = {
      {"'x' is not a valid integer value", "'x' is not a valid integer value."},
      {"Unable to write to C:\\Vexel.ini", "Unable to write to C:\\Vexel.ini."},
      {"Feedback init failed.", "Feedback init failed."},
      {"\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF3\xEA\xE0\xE7\xE0\xF2\xE5\xEB\xFC. ",
       "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF3\xEA\xE0\xE7\xE0\xF2\xE5\xEB\xFC. "},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

}  // namespace
}  // namespace vexel
