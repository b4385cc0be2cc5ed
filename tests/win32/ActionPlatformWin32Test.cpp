#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "ShellRecorder.h"
#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "actions/win32/ActionPlatformWin32.h"
#include "actions/win32/KeyNamesWin32.h"
#include "base/Files.h"

namespace vexel {
namespace {

// A fresh folder under the temporary folder, removed with its files.
class TempFolder {
 public:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("vexel-actions-" + std::to_string(GetCurrentProcessId()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

class ActionPlatformWin32Test : public ::testing::Test {
 protected:
  ShellComApartment com;  // as on the program's main thread
  KeyNamesWin32 layout;
  ActionPlatformWin32 platform{[](unsigned) -> bool {
    ADD_FAILURE() << "ExitWindowsEx must never be called here";
    return false;
  }};
  ActionRunner runner{platform};
  KeyActions actions{layout, runner};
  TempFolder temp;
};

TEST_F(ActionPlatformWin32Test, CommandLineActionRuns) {
  const std::string output = temp.File("command.txt");
  actions.DispatchKeyAction("DOWN (*1 #cmd /c echo ran>\"" + output + "\"*)", 1, nullptr);
  std::string text;
  for (ULONGLONG deadline = GetTickCount64() + 20000;
       text.find('\n') == std::string::npos && GetTickCount64() < deadline; Sleep(50))
    text = ReadWholeFile(output).value_or("");
  EXPECT_EQ(text, "ran\r\n");
}

TEST_F(ActionPlatformWin32Test, PathActionOpensDocumentsAndUrlsWithTheirPrograms) {
  const std::string document = temp.File("playlist.vxtest");
  std::ofstream(document) << "x";
  const std::string url = "mailto:someone@example.org?subject=Vexel%20test";
  test::ShellRecorder recorder(temp.File("shell.log"));
  recorder.RegisterExtension(".vxtest");
  recorder.RegisterProtocol("mailto");
  actions.DispatchKeyAction("DOWN (*1 " + url + "*) UP (*1 " + document + "*)", 2, nullptr);
  EXPECT_EQ(recorder.WaitForLines(1), std::vector<std::string>{"\"" + document + "\""});
  actions.DispatchKeyAction("DOWN (*1 " + url + "*) UP (*1 " + document + "*)", 1, nullptr);
  EXPECT_EQ(recorder.WaitForLines(2).back(), "\"" + url + "\"");
}

// The injected key transitions that this thread's low-level keyboard hook
// was called for, with their time stamps.
std::vector<KBDLLHOOKSTRUCT> injected;

LRESULT CALLBACK RecordInjected(int code, WPARAM wParam, LPARAM lParam) {
  const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && (info->flags & LLKHF_INJECTED)) injected.push_back(*info);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs the action text's button-down part and collects the count of
// injected transitions the hook sees.
void RunAndCollect(KeyActions& actions, const std::string& text, size_t count) {
  injected.clear();
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, RecordInjected, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  actions.DispatchKeyAction(text, 1, nullptr);
  MSG message;  // the hook is called through this thread's messages
  for (ULONGLONG deadline = GetTickCount64() + 5000;
       injected.size() < count && GetTickCount64() < deadline; Sleep(1))
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  UnhookWindowsHookEx(hook);
}

TEST_F(ActionPlatformWin32Test, ClickArrivesAsEightTransitionsWithThePauseInTheMiddle) {
  RunAndCollect(actions, "DOWN (*2 2 Shift+Ctrl+Alt+Del*)", 8);

  const std::pair<DWORD, bool> expected[] = {
      {VK_SHIFT, false}, {VK_CONTROL, false}, {VK_MENU, false},   {VK_DELETE, false},
      {VK_DELETE, true}, {VK_MENU, true},     {VK_CONTROL, true}, {VK_SHIFT, true}};
  ASSERT_EQ(injected.size(), 8u);
  for (size_t i = 0; i < injected.size(); ++i) {
    EXPECT_EQ(injected[i].vkCode, expected[i].first) << i;
    EXPECT_EQ((injected[i].flags & LLKHF_UP) != 0, expected[i].second) << i;
  }
  EXPECT_GE(injected[4].time - injected[3].time, 25u);  // the click's pause, as a lower bound only
}

// Keys arrive as the keyboard sends them: with their scan codes, and the
// extended flag for the keys with an E0 prefix.
TEST_F(ActionPlatformWin32Test, KeysCarryScanCodesAndTheExtendedFlag) {
  struct Case {
    const char* shortcut;
    DWORD vk;
    bool extended;
    DWORD scanCode;
  } cases[] = {
      {"Volume Up", VK_VOLUME_UP, true, 0x30},
      {"Play/Pause", VK_MEDIA_PLAY_PAUSE, true, 0x22},
      {"Browser Back", VK_BROWSER_BACK, true, 0x6A},
      {"Right", VK_RIGHT, true, 0x4D},
      {"Del", VK_DELETE, true, 0x53},
      {"Home", VK_HOME, true, 0x47},
      {"PgDn", VK_NEXT, true, 0x51},
      {"A", 'A', false, 0x1E},
      {"Space", VK_SPACE, false, 0x39},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shortcut);
    RunAndCollect(actions, std::string("DOWN (*2 2 ") + c.shortcut + "*)", 2);
    ASSERT_EQ(injected.size(), 2u);
    for (const KBDLLHOOKSTRUCT& key : injected) {
      EXPECT_EQ(key.vkCode, c.vk);
      EXPECT_EQ((key.flags & LLKHF_EXTENDED) != 0, c.extended);
      EXPECT_EQ(key.scanCode, c.scanCode);
    }
  }
  // Shift+Right: the left Shift as it is, the arrow extended.
  RunAndCollect(actions, "DOWN (*2 2 Shift+Right*)", 4);
  ASSERT_EQ(injected.size(), 4u);
  for (const KBDLLHOOKSTRUCT& key : injected) {
    EXPECT_EQ((key.flags & LLKHF_EXTENDED) != 0, key.vkCode == VK_RIGHT) << key.vkCode;
    EXPECT_NE(key.scanCode, 0u) << key.vkCode;
  }
  EXPECT_EQ(injected[1].vkCode, static_cast<DWORD>(VK_RIGHT));
}

TEST(ActionPlatformWin32, KeyboardRepeatSettingsAreTheSystems) {
  int delay = -1;
  DWORD speed = 99;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETKEYBOARDDELAY, 0, &delay, 0));
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETKEYBOARDSPEED, 0, &speed, 0));
  ActionPlatformWin32 platform;
  const KeyboardRepeat settings = platform.KeyboardRepeatSettings();
  EXPECT_EQ(settings.delay, static_cast<unsigned>(delay));
  EXPECT_EQ(settings.speed, speed);
}

bool PrivilegeEnabled(const char* name) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID luid;
  alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
  DWORD length = 0;
  bool enabled = false;
  if (LookupPrivilegeValueA(nullptr, name, &luid) &&
      GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
      if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
        enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  CloseHandle(token);
  return enabled;
}

TEST(ActionPlatformWin32, ShutdownPrivilegeIsHeldForTheExitWindowsCallOnly) {
  std::vector<std::pair<unsigned, bool>> calls;  // flags, privilege enabled during the call
  ActionPlatformWin32 platform([&calls](unsigned flags) {
    calls.emplace_back(flags, PrivilegeEnabled("SeShutdownPrivilege"));
    return true;
  });
  ActionRunner runner(platform);
  runner.RunExecute("$reboot");
  runner.RunExecute("$shutdown");
  EXPECT_EQ(calls, (std::vector<std::pair<unsigned, bool>>{{EWX_REBOOT | EWX_FORCE, true},
                                                           {EWX_SHUTDOWN | EWX_FORCE, true}}));
  EXPECT_FALSE(PrivilegeEnabled("SeShutdownPrivilege"));
  EXPECT_FALSE(platform.SetTokenPrivilege("SeNoSuchPrivilege", true));
}

// The order of the calls, with what the privilege and ExitWindowsEx answer.
TEST(ActionPlatformWin32, ExitWindowsNeedsThePrivilegeAndAlwaysDropsIt) {
  using Log = std::vector<std::string>;
  Log log;
  bool privilegeGranted = true, exitWindowsSucceeds = true;
  ActionPlatformWin32 platform(
      [&](unsigned flags) {
        log.push_back("exit " + std::to_string(flags));
        return exitWindowsSucceeds;
      },
      [&](const std::string& name, bool enable) {
        log.push_back("privilege " + name + (enable ? " on" : " off"));
        return privilegeGranted;
      });
  EXPECT_TRUE(platform.Reboot());
  EXPECT_TRUE(platform.ShutDown());
  EXPECT_EQ(log, (Log{"privilege SeShutdownPrivilege on", "exit 6",
                      "privilege SeShutdownPrivilege off", "privilege SeShutdownPrivilege on",
                      "exit 5", "privilege SeShutdownPrivilege off"}));

  log.clear();
  privilegeGranted = false;
  EXPECT_FALSE(platform.Reboot());
  EXPECT_EQ(log, Log{"privilege SeShutdownPrivilege on"});

  log.clear();
  privilegeGranted = true;
  exitWindowsSucceeds = false;
  EXPECT_FALSE(platform.ShutDown());
  EXPECT_EQ(log.back(), "privilege SeShutdownPrivilege off");
}

TEST(KeyNamesWin32, NamesKeysFromTheKeyboardLayout) {
  const KeyNamesWin32 layout;
  struct Case {
    std::uint8_t key;
    const char* name;
  } cases[] = {{VK_CONTROL, "Control"}, {VK_OEM_PLUS, "="}, {VK_F13, ""}};
  for (const Case& c : cases) EXPECT_EQ(layout.LayoutKeyName(c.key), c.name) << int(c.key);
  EXPECT_EQ(FormatShortcut(0x40BC, layout), "Ctrl+,");
  EXPECT_EQ(ParseShortcut("ctrl+,", layout), 0x40BC);
}

}  // namespace
}  // namespace vexel
