#include <gtest/gtest.h>

#include "FakeKeyNames.h"
#include "TempFolder.h"
#include "actions/ActionText.h"
#include "actions/ExtraCommands.h"
#include "actions/HotKeyCapture.h"
#include "actions/KeysFile.h"
#include "actions/ScanCodeLayout.h"

namespace vexel {
namespace {

const FakeKeyNames kLayout;

TEST(HotKeyCapture, KeyDownBuildsTheCombinationAndShowsItCanonically) {
  constexpr HeldModifiers kNone{}, kShift{true, false, false}, kCtrl{false, true, false},
      kAll{true, true, true};
  constexpr TShortCut kHeld = 0x4079;  // Ctrl+F10, what a new control holds
  struct Case {
    std::uint8_t key;
    HeldModifiers held;
    const char* built;
    const char* shown;
    TShortCut value;
  } cases[] = {
      {'A', kAll, "Shift+Alt+Ctrl+A", "Shift+Ctrl+Alt+A", 0xE041},
      {103, kNone, "7", "7", 55},  // keypad 7 is held as the main-row 7
      {116, kNone, "F5", "F5", 116},
      {32, kCtrl, "Ctrl+Space", "Ctrl+Space", 0x4020},
      {17, kCtrl, "Ctrl", "", 0},          // Ctrl alone: no key is named "Ctrl"
      {16, kShift, "Shift", "Shift", 16},  // Shift alone names the Shift key itself
      {123, kShift, "Shift+F12", "Shift+F12", 0x207B},
      {13, kNone, "Enter", "Enter", 13},
      {106, kNone, "Num *", "Num *", 106},
      {187, kCtrl, "Ctrl+=", "Ctrl+=", 0x40BB},
      {192, kNone, "`", "`", 192},
      {144, kNone, "Num Lock", "Num Lock", 144},  // each lock key captures itself
      {19, kNone, "Pause", "Pause", 19},
      {145, kNone, "Scroll Lock", "Scroll Lock", 145},
      {124, kNone, "|", "", 0},  // F13: no capture name, so its character, which names no key
      {9, kNone, "\t", "", 0},
      {0xAF, kNone, "Volume Up", "Volume Up", 0xAF},  // the PC's own media keys
      {0xB3, kCtrl, "Ctrl+Play/Pause", "Ctrl+Play/Pause", 0x40B3},
      {0xA6, kShift, "Shift+Browser Back", "Shift+Browser Back", 0x20A6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.built);
    EXPECT_EQ(CaptureCombinationText(c.key, c.held), c.built);
    const CaptureResult result = CaptureKeyDown(c.key, c.held, kHeld, kLayout);
    EXPECT_EQ(result.shown, c.shown);
    EXPECT_EQ(result.shortcut, c.value);
  }
}

TEST(HotKeyCapture, EveryMediaKeyCapturesUnderItsShortcutName) {
  for (const NamedKey& media : kMediaKeyNames) {
    const CaptureResult result = CaptureKeyDown(media.code, {}, 0, kLayout);
    EXPECT_EQ(result.shown, media.name);
    EXPECT_EQ(result.shortcut, media.code) << media.name;
  }
}

// A layout that names keys by scan code as Windows does: 0x45 is "Pause"
// and, sent with an E0 prefix, "Num Lock".
class WindowsLikeLayout : public ScanCodeLayout {
 protected:
  unsigned ScanCode(std::uint8_t key) const override { return ScanCodeWithPrefix(key) & 0xFF; }
  unsigned ScanCodeWithPrefix(std::uint8_t key) const override {
    switch (key) {
      case 144:
        return 0xE045;  // Num Lock
      case 19:
        return 0x45;  // Pause (sent as E1 1D 45; the layout maps it so)
      default:
        return 0;
    }
  }
  std::string NameOfScanCode(unsigned scanCode, bool extended) const override {
    if (scanCode == 0x45) return extended ? "Num Lock" : "Pause";
    return {};
  }
};

TEST(HotKeyCapture, NumLockAndPauseKeepTheirNamesThroughAKeysFile) {
  const WindowsLikeLayout layout;
  const struct {
    std::uint8_t key;
    const char* shown;
  } cases[] = {{144, "Num Lock"}, {19, "Pause"}};
  TempFolder folder;
  for (const auto& c : cases) {
    const CaptureResult captured = CaptureKeyDown(c.key, {}, 0, layout);
    EXPECT_EQ(captured.shortcut, c.key);
    EXPECT_EQ(captured.shown, c.shown);
    ActionEditorFields fields;
    fields.side[0] = {true, akKey, "", kmClick, captured.shortcut};
    KeyMap keys;
    keys.Append("5", ComposeActionText(fields, layout), true);
    std::string path;
    SaveKeysFile(folder.File("lock.km"), keys, path);
    LoadKeysFile(path, keys, path);
    const ActionPart part = DecodeActionPart(SplitActionText(keys.ValueOf("5")).down, layout);
    EXPECT_EQ(part.shortcut, c.key) << c.shown;
  }
}

// Every named key captures itself: a name that no longer parses would make
// its key vanish from the control.
TEST(HotKeyCapture, EveryNamedKeyCapturesItself) {
  for (const CaptureName& named : CaptureNames()) {
    EXPECT_EQ(CaptureKeyDown(named.code, {}, 0, kLayout).shortcut, named.code) << named.name;
  }
}

TEST(HotKeyCapture, BackspaceShowsNoneAndKeepsTheCombination) {
  for (TShortCut held : {TShortCut{0}, TShortCut{0x4079}, TShortCut{0xE041}}) {
    const CaptureResult result = CaptureKeyDown(8, {true, true, false}, held, kLayout);
    EXPECT_EQ(result.shown, "None");
    EXPECT_EQ(result.shortcut, held);
  }
}

TEST(ExtraCommands, MenuTagsGiveTheSpecialCommands) {
  const char* const byTag[] = {"", "$reboot", "$shutdown", "$on/off Vexel", "$lock", ""};
  for (int tag = 0; tag <= 5; ++tag) EXPECT_EQ(SpecialCommandText(tag), byTag[tag]) << tag;
  EXPECT_EQ(SpecialCommandText(-1), "");
}

TEST(ExtraCommands, CustomCommandProposesOnlyACommandLine) {
  struct Case {
    const char* field;
    const char* proposal;
  } cases[] = {
      {"#cmd /c echo x>y.txt", "cmd /c echo x>y.txt"},
      {"#", ""},
      {"##twice", "#twice"},
      {"# spaced ", " spaced "},
      {"C:\\Windows\\notepad.exe", ""},
      {"$shutdown", ""},
      {" #not first", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CustomCommandProposal(c.field), c.proposal) << c.field;
}

TEST(ExtraCommands, EnteredLineBecomesAHashField) {
  EXPECT_EQ(CustomCommandField(""), "#");
  EXPECT_EQ(CustomCommandField("notepad x.txt"), "#notepad x.txt");
}

}  // namespace
}  // namespace vexel
