#include <gtest/gtest.h>

#include "FakeKeyNames.h"
#include "RecordingActionPlatform.h"
#include "actions/ActionRunner.h"
#include "actions/ActionText.h"

namespace vexel {
namespace {

const FakeKeyNames kLayout;

// The worked examples: each is what the Button Action window composes.
const char* const kWorkedExamples[] = {
    "DOWN (*1 C:\\Windows\\notepad.exe*)",
    "DOWN (*2 2 Ctrl+F10*)",
    "DOWN (*2 0 Shift+Right*) UP (*2 1 Shift+Right*)",
    "UP (*1 D:\\Music\\list.m3u*)",
    "DOWN (*1 C:\\Program Files\\Player\\player.exe*) UP (*2 2 Space*)",
    "DOWN (*2 2 Space*) UP (**) HOLD (*1 #playlist*)",
};

TEST(ActionText, SplitsIntoTrimmedButtonDownAndButtonUpParts) {
  struct Case {
    const char* text;
    const char* down;
    const char* up;
    const char* hold = "";
  } cases[] = {
      {kWorkedExamples[0], "1 C:\\Windows\\notepad.exe", ""},
      {kWorkedExamples[2], "2 0 Shift+Right", "2 1 Shift+Right"},
      {kWorkedExamples[3], "", "1 D:\\Music\\list.m3u"},
      {kWorkedExamples[4], "1 C:\\Program Files\\Player\\player.exe", "2 2 Space"},
      {"", "", ""},
      {"  DOWN (*  1 a  *)  ", "1 a", ""},
      {"down (*1 C:\\a.exe*)", "", ""},  // markers are case-sensitive
      // A body ends at the first "*)"; one character after it is dropped,
      // and the rest, with a "*)" before its "(*", gives no up part.
      {"DOWN (*1 #echo *) x*) UP (*2 2 A*)", "1 #echo", ""},
      {"DOWN (*1 a*)UP (*1 b*)", "1 a", ""},  // "U" was the dropped character
      {"DOWN (*1 a.exe", "", ""},             // no "*)": nothing, two characters go
      {"DOWN *) (*1 a.exe", "", ""},          // "*)" before "(*"
      {"DOWN 1 a*)", "OWN 1 a", ""},          // no "(*": the body starts at the second character
      // Markers count only where an element starts: an up-only text whose
      // path holds "DOWN" is an up part; elements come in their order.
      {"UP (*1 C:\\DOWNLOADS\\a.exe*)", "", "1 C:\\DOWNLOADS\\a.exe"},
      {"UP (*1 u*) DOWN (*1 d*)", "", "1 u"},
      {"DOWN (*1 #a *) x UP (*b*)", "1 #a", ""},
      {"DOWN (*1 a*)  UP (*1 b*)", "1 a", "1 b"},
      // The long-press element after the others, as composed or not.
      {"DOWN (**) UP (**) HOLD (*1 #UP DOWN*)", "", "", "1 #UP DOWN"},
      {"DOWN (*2 2 Space*) UP (**) HOLD (*2 2 F5*)", "2 2 Space", "", "2 2 F5"},
      {"UP (*1 u*) HOLD (*1 h*)", "", "1 u", "1 h"},
      {"HOLD (*1 h*) DOWN (*1 d*)", "", "", "1 h"},
      {"DOWN (*1 a*) HOLD(*1 h*)", "1 a", "", "1 h"},
  };
  for (const Case& c : cases) {
    const ActionParts parts = SplitActionText(c.text);
    EXPECT_EQ(parts.down, c.down) << c.text;
    EXPECT_EQ(parts.up, c.up) << c.text;
    EXPECT_EQ(parts.hold, c.hold) << c.text;
  }
}

TEST(ActionText, DecodesExecuteAndKeyParts) {
  using K = ActionPart::Kind;
  struct Case {
    const char* part;
    ActionPart decoded;
  } cases[] = {
      {"1 C:\\a.exe", {K::kExecute, "C:\\a.exe"}},
      {"1 #cmd /c dir  ", {K::kExecute, "#cmd /c dir"}},
      {"1", {K::kExecute, ""}},
      {"1x  y ", {K::kExecute, "y"}},  // the second character is skipped unseen
      {"2 0 Shift+Right", {K::kKey, "", 0, 0x2027}},
      {"2 2  Ctrl+F10", {K::kKey, "", 2, 0x4079}},
      {"2 2", {K::kKey, "", 2, 0}},
      {"2 7 A", {K::kKey, "", 7, 'A'}},
      {"2x1yA", {K::kKey, "", 1, 'A'}},  // the blanks are not examined either
      {"2 2 Nonsense", {K::kKey, "", 2, 0}},
      {"2 x Ctrl+F10", {}},
      {"2 ", {}},
      {"3 C:\\a.exe", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_TRUE(DecodeActionPart(c.part, kLayout) == c.decoded) << c.part;
}

ActionSide Execute(const char* payload) { return {true, akExecute, payload, kmClick, 0}; }
ActionSide Key(int mode, TShortCut shortcut) { return {true, akKey, "", mode, shortcut}; }

TEST(ActionText, ComposesFromTheTickedSides) {
  const ActionSide none;
  struct Case {
    ActionEditorFields fields;
    const char* text;
  } cases[] = {
      {{{none, none}}, ""},
      {{{Execute("C:\\a.exe"), none}}, "DOWN (*1 C:\\a.exe*)"},
      {{{none, Key(kmRelease, 0x2027)}}, "UP (*2 1 Shift+Right*)"},
      {{{Key(kmPress, 0x2027), Key(kmRelease, 0x2027)}},
       "DOWN (*2 0 Shift+Right*) UP (*2 1 Shift+Right*)"},
      {{{Execute(""), none}}, "DOWN (*1 *)"},
      {{{Execute(" a b "), none}}, "DOWN (*1  a b *)"},  // as typed
      {{{Key(kmClick, 0), none}}, "DOWN (*2 2 *)"},
      {{{{true, 2, "x", kmClick, 0}, Execute("b")}}, "UP (*1 b*)"},  // kind 2 writes nothing
      {{{{false, akExecute, "kept", kmClick, 0}, none}}, ""},        // not ticked
      // A long-press part comes after both others, written also when empty,
      // and only after a DOWN part that can wait for the release.
      {{{none, none, Execute("#list")}}, "DOWN (**) UP (**) HOLD (*1 #list*)"},
      {{{Key(kmClick, ' '), none, Key(kmClick, 0x74)}},
       "DOWN (*2 2 Space*) UP (**) HOLD (*2 2 F5*)"},
      {{{Key(kmPress, 0x2027), Key(kmRelease, 0x2027), Execute("h")}},
       "DOWN (*2 0 Shift+Right*) UP (*2 1 Shift+Right*)"},
  };
  for (const Case& c : cases) EXPECT_EQ(ComposeActionText(c.fields, kLayout), c.text);
}

class KeyActionsTest : public ::testing::Test {
 protected:
  RecordingActionPlatform platform;
  ActionRunner runner{platform};
  KeyActions actions{kLayout, runner};

  ActionEditorFields Load(const char* text) {
    ActionEditorFields window;
    actions.DispatchKeyAction(text, 0, &window);
    return window;
  }
};

TEST_F(KeyActionsTest, LoadsPartsIntoTheEditorSides) {
  const ActionSide created;
  struct Case {
    const char* text;
    ActionSide down, up, hold = {};
  } cases[] = {
      {"", created, created},
      {"UP (**) HOLD (*1 #h*)", created, created, Execute("#h")},
      {kWorkedExamples[2], Key(kmPress, 0x2027), Key(kmRelease, 0x2027)},
      {"UP (*1 C:\\a.exe*)", created, Execute("C:\\a.exe")},
      {"DOWN (*1 *)", Execute(""), created},
      {"DOWN (*2 x A*)", created, created},
      {"DOWN (*2 2*)", Key(kmClick, 0), created},
  };
  for (const Case& c : cases) {
    const ActionEditorFields window = Load(c.text);
    EXPECT_TRUE(window.side[0] == c.down) << c.text;
    EXPECT_TRUE(window.side[1] == c.up) << c.text;
    EXPECT_TRUE(window.side[2] == c.hold) << c.text;
  }
  EXPECT_TRUE(platform.log.empty());
}

TEST_F(KeyActionsTest, ComposingWhatWasLoadedGivesTheTextBack) {
  for (const char* text : kWorkedExamples) EXPECT_EQ(ComposeActionText(Load(text), kLayout), text);
}

TEST_F(KeyActionsTest, RequestsRunTheirPartOnly) {
  const char* text = "DOWN (*1 a.exe*) UP (*1 #cmd*)";
  struct Case {
    int request;
    std::vector<std::string> log;
  } cases[] = {
      {1, {"open a.exe"}}, {2, {"run cmd"}}, {3, {}}, {-1, {}}, {0, {}},
  };
  for (const Case& c : cases) {
    platform.log.clear();
    actions.DispatchKeyAction(text, c.request, nullptr);  // request 0 without a window: nothing
    EXPECT_EQ(platform.log, c.log) << c.request;
  }
}

}  // namespace
}  // namespace vexel
