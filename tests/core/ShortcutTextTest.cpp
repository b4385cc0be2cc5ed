#include <gtest/gtest.h>

#include "FakeKeyNames.h"
#include "actions/ShortcutText.h"

namespace vexel {
namespace {

const FakeKeyNames kLayout;

TEST(ShortcutText, FormatsValuesWithModifiersInFixedOrder) {
  struct Case {
    TShortCut value;
    const char* text;
  } cases[] = {
      {0, ""},
      {0x4079, "Ctrl+F10"},
      {0xE02E, "Shift+Ctrl+Alt+Del"},
      {103, "7"},  // keypad 7 is named like the main-row 7
      {8, "BkSp"},
      {135, "F24"},
      {0x80BB, "Alt+="},         // a layout name
      {0x4011, "Ctrl+Control"},  // the layout's name of the Ctrl key itself
      {0xE097, ""},              // a key without a name hides its modifiers
      {0x1F41, "A"},             // only the low byte is the key
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatShortcut(c.value, kLayout), c.text) << std::hex << c.value;
}

TEST(ShortcutText, ParsesPrefixesInAnyOrderAndKeyNamesIgnoringCase) {
  struct Case {
    const char* text;
    TShortCut value;
  } cases[] = {
      {"ctrl+f10", 0x4079},
      {"^A", 0x4041},
      {"Alt+Shift+Left", 0xA025},
      {"Shift+Shift+A", 0x2041},
      {"^^cTRL+x", 0x4058},
      {"7", 55},  // the main-row 7, never the keypad 7
      {"Num *", 106},
      {"^=", 0x40BB},
      {"Ctrl+Shift", 0x4010},  // "Shift" without "+" is the Shift key
      {"Control", 17},
      {"Ctrl", 0},  // no key has that name in this layout
      {"Ctrl+", 0},
      {"", 0},
      {" Ctrl+A", 0},  // not trimmed
      {"Ctrl+A ", 0},
      {"Ctrl +A", 0},
      {"F25", 0},
      {"Shift+Ctrl+Alt+Del", 0xE02E},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseShortcut(c.text, kLayout), c.value) << c.text;
}

TEST(ShortcutText, EveryNamedKeyParsesBackFromItsText) {
  for (unsigned code = 8; code <= 255; ++code) {
    for (TShortCut modifiers : {0, 0x2000, 0xE000}) {
      const TShortCut value = static_cast<TShortCut>(code | modifiers);
      const std::string text = FormatShortcut(value, kLayout);
      if (text.empty()) continue;
      const unsigned key = (code >= 96 && code <= 105) ? code - 96 + '0' : code;
      EXPECT_EQ(ParseShortcut(text, kLayout), key | modifiers) << text;
    }
  }
}

TEST(ShortcutText, SplitsKeyAndModifiers) {
  const ShortcutKeys all = SplitShortcut(0xE02E);
  EXPECT_EQ(all.key, 46);
  EXPECT_TRUE(all.shift && all.ctrl && all.alt);
  const ShortcutKeys ctrl = SplitShortcut(0x5F41);  // bits 8 to 12 stay with the key
  EXPECT_EQ(ctrl.key, 0x1F41);
  EXPECT_TRUE(ctrl.ctrl && !ctrl.shift && !ctrl.alt);
}

}  // namespace
}  // namespace vexel
