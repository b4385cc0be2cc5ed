#include <gtest/gtest.h>

#include <cctype>

#include "FakeKeyNames.h"
#include "actions/ShortcutText.h"
#include "base/Text.h"

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
      {0xE09F, ""},              // a key without a name hides its modifiers
      {0x4001, "Ctrl+Left Click"},
      {0x98, "Mouse Right"},
      {0x1F41, "A"},  // only the low byte is the key
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
      {"Right Click", 2},  // the mouse buttons' own codes, by name only
      {"shift+middle click", 0x2004},
      {"Wheel Down", 0x9C},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseShortcut(c.text, kLayout), c.value) << c.text;
}

TEST(ShortcutText, EveryNamedKeyParsesBackFromItsText) {
  for (unsigned code = 1; code <= 255; ++code) {
    for (TShortCut modifiers : {0, 0x2000, 0xE000}) {
      const TShortCut value = static_cast<TShortCut>(code | modifiers);
      const std::string text = FormatShortcut(value, kLayout);
      if (text.empty()) continue;
      const unsigned key = (code >= 96 && code <= 105) ? code - 96 + '0' : code;
      EXPECT_EQ(ParseShortcut(text, kLayout), key | modifiers) << text;
    }
  }
}

// A layout that names the media keys as Windows' US layout does without
// their E0 prefix: after the letters whose scan codes they share.
class LetterNamedMediaKeys : public FakeKeyNames {
 public:
  std::string LayoutKeyName(std::uint8_t virtualKey) const override {
    if (virtualKey == 0xAF) return "B";  // Volume Up shares the scan code 0x30 with B
    if (virtualKey == 0xB3) return "G";  // Play/Pause, 0x22
    return FakeKeyNames::LayoutKeyName(virtualKey);
  }
};

TEST(ShortcutText, MediaKeysHaveFixedNamesThatChangeNoOtherKey) {
  const LetterNamedMediaKeys windowsLike;
  for (const KeyNames* layout :
       {static_cast<const KeyNames*>(&kLayout), static_cast<const KeyNames*>(&windowsLike)}) {
    for (const NamedKey& media : kMediaKeyNames) {
      SCOPED_TRACE(media.name);
      const std::string name = media.name;
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_EQ(FormatShortcut(media.code, *layout), name);
      EXPECT_EQ(FormatShortcut(static_cast<TShortCut>(0xE000 | media.code), *layout),
                "Shift+Ctrl+Alt+" + name);
      EXPECT_EQ(ParseShortcut(lower, *layout), media.code);
      EXPECT_EQ(ParseShortcut("^" + name, *layout), 0x4000 | media.code);
    }
    // Texts that keys files hold today keep their keys: the letters the
    // layout once gave the media keys, and every other key's name.
    EXPECT_EQ(ParseShortcut("B", *layout), 'B');
    EXPECT_EQ(ParseShortcut("Ctrl+G", *layout), 0x4000 | 'G');
    for (unsigned code = 1; code <= 255; ++code) {
      if (code >= 0xA6 && code <= 0xB7) continue;
      const std::string name = KeyName(static_cast<std::uint8_t>(code), *layout);
      for (const NamedKey& media : kMediaKeyNames) EXPECT_FALSE(SameText(name, media.name)) << code;
    }
  }
  EXPECT_EQ(std::size(kMediaKeyNames), 18u);
  EXPECT_EQ(KeyName(0xA5, kLayout), "");  // right Alt: still the layout's
  EXPECT_EQ(KeyName(0xB8, kLayout), "");
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
