#include <gtest/gtest.h>

#include "FakeKeyNames.h"
#include "RecordingActionPlatform.h"
#include "actions/ActionRunner.h"
#include "actions/ActionText.h"

namespace vexel {
namespace {

using Log = std::vector<std::string>;

class ActionRunnerTest : public ::testing::Test {
 protected:
  FakeKeyNames layout;
  RecordingActionPlatform platform;
  ActionRunner runner{platform};

  Log RunKey(int mode, const char* shortcutText) {
    platform.log.clear();
    runner.RunKey(mode, ParseShortcut(shortcutText, layout));
    return platform.log;
  }
  Log RunExecute(const char* payload) {
    platform.log.clear();
    runner.RunExecute(payload);
    return platform.log;
  }
};

TEST_F(ActionRunnerTest, KeyPartsSendTransitionsInModifierOrder) {
  struct Case {
    int mode;
    const char* shortcut;
    Log log;
  } cases[] = {
      {kmPress, "Shift+Ctrl+Alt+Del", {"down 16", "down 17", "down 18", "down 46"}},
      {kmRelease, "Shift+Ctrl+Alt+Del", {"up 46", "up 18", "up 17", "up 16"}},
      {kmClick,
       "Shift+Ctrl+Alt+Del",
       {"down 16", "down 17", "down 18", "down 46", "sleep 30", "up 46", "up 18", "up 17",
        "up 16"}},
      {kmClick, "Space", {"down 32", "sleep 30", "up 32"}},
      {kmPress, "Alt+F4", {"down 18", "down 115"}},
      {kmRelease, "^=", {"up 187", "up 17"}},
      {3, "Space", {}},
      {9, "Space", {}},
      {kmClick, "", {}},  // names no key: nothing to press
      {kmClick, "Ctrl+", {}},
      // The mouse: a button's press and release are a drag; a move or the
      // wheel steps on the way down only.
      {kmPress, "Left Click", {"button 0 down"}},
      {kmRelease, "Left Click", {"button 0 up"}},
      {kmClick,
       "Ctrl+Right Click",
       {"down 17", "button 1 down", "sleep 30", "button 1 up", "up 17"}},
      {kmClick, "Mouse Right", {"move 2 0", "sleep 30"}},
      {kmPress, "Mouse Up", {"move 0 -2"}},
      {kmRelease, "Mouse Up", {}},
      {kmClick, "Wheel Down", {"wheel -1", "sleep 30"}},
  };
  for (const Case& c : cases) EXPECT_EQ(RunKey(c.mode, c.shortcut), c.log) << c.shortcut;
}

TEST_F(ActionRunnerTest, ExecutePartsOpenRunOrDoSpecialCommands) {
  struct Case {
    const char* payload;
    Log log;
  } cases[] = {
      {"C:\\Windows\\notepad.exe", {"open C:\\Windows\\notepad.exe"}},
      {"C:\\reboot shutdown.exe", {"open C:\\reboot shutdown.exe"}},  // no "$": a path
      {"#cmd /c echo x", {"run cmd /c echo x"}},
      {"#", {"run "}},
      {"", {}},
      {"$reboot", {"reboot"}},
      {"$shutdown", {"shutdown"}},
      {"$shutdown, then reboot", {"reboot", "shutdown"}},  // reboot first, whatever the order
      {"$lock, then shutdown", {"lock", "shutdown"}},      // locked before
      {"$Reboot", {}},                                     // case-sensitive
      {"$", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(RunExecute(c.payload), c.log) << c.payload;
  EXPECT_TRUE(runner.ControlEnabled());
}

TEST_F(ActionRunnerTest, ControlOffLeavesOnlySpecialCommands) {
  EXPECT_EQ(RunExecute("$on/off Vexel"), Log{});
  EXPECT_FALSE(runner.ControlEnabled());
  EXPECT_EQ(RunExecute("C:\\a.exe"), Log{});
  EXPECT_EQ(RunExecute("#cmd"), Log{});
  EXPECT_EQ(RunKey(kmClick, "A"), Log{});
  EXPECT_EQ(RunExecute("$reboot"), Log{"reboot"});
  EXPECT_EQ(RunExecute("$on/off Vexel reboot"), Log{"reboot"});  // toggles back on, and reboots
  EXPECT_TRUE(runner.ControlEnabled());
  EXPECT_EQ(RunExecute("#cmd"), Log{"run cmd"});
}

}  // namespace
}  // namespace vexel
