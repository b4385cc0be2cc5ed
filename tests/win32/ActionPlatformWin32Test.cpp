#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "ShellRecorder.h"
#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "actions/win32/ActionPlatformWin32.h"
#include "actions/win32/KeyNamesWin32.h"

namespace vexel {
namespace {

// A fresh folder under the temporary folder, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "vexel-actions-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount64());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileA(File(found.cFileName).c_str());
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
  }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class ActionPlatformWin32Test : public ::testing::Test {
 protected:
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
    text = ReadText(output);
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

// Every injected key transition this process's low-level keyboard hook
// sees, with its time stamp. The hook lives on a thread of its own that
// pumps messages, as such hooks need.
class InjectedKeys {
 public:
  struct Transition {
    DWORD key;
    bool up;
    DWORD time;
  };

  InjectedKeys() : thread_([this] { Run(); }) {
    while (!ready_) Sleep(1);
  }
  ~InjectedKeys() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }

  std::vector<Transition> WaitFor(size_t count) {
    for (ULONGLONG deadline = GetTickCount64() + 5000;
         seen_ < count && GetTickCount64() < deadline;)
      Sleep(10);
    return std::vector<Transition>(transitions_, transitions_ + std::min<size_t>(seen_, kMax));
  }

 private:
  static constexpr size_t kMax = 64;
  static inline InjectedKeys* current_ = nullptr;

  static LRESULT CALLBACK Hook(int code, WPARAM, LPARAM lParam) {
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    InjectedKeys* self = current_;
    if (code == HC_ACTION && self && (info->flags & LLKHF_INJECTED) && self->seen_ < kMax) {
      self->transitions_[self->seen_] = {info->vkCode, (info->flags & LLKHF_UP) != 0, info->time};
      ++self->seen_;
    }
    return CallNextHookEx(nullptr, code, 0, lParam);
  }

  void Run() {
    threadId_ = GetCurrentThreadId();
    current_ = this;
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, Hook, GetModuleHandleA(nullptr), 0);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists now
    ready_ = true;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    UnhookWindowsHookEx(hook);
    current_ = nullptr;
  }

  Transition transitions_[kMax] = {};
  std::atomic<size_t> seen_{0};
  std::atomic<bool> ready_{false};
  DWORD threadId_ = 0;
  std::thread thread_;
};

TEST_F(ActionPlatformWin32Test, ClickArrivesAsEightTransitionsWithThePauseInTheMiddle) {
  InjectedKeys keys;
  actions.DispatchKeyAction("DOWN (*2 2 Shift+Ctrl+Alt+Del*)", 1, nullptr);
  const std::vector<InjectedKeys::Transition> seen = keys.WaitFor(8);
  const std::pair<DWORD, bool> expected[] = {
      {VK_SHIFT, false}, {VK_CONTROL, false}, {VK_MENU, false}, {VK_DELETE, false},
      {VK_DELETE, true}, {VK_MENU, true},     {VK_CONTROL, true}, {VK_SHIFT, true}};
  ASSERT_EQ(seen.size(), 8u);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].key, expected[i].first) << i;
    EXPECT_EQ(seen[i].up, expected[i].second) << i;
  }
  EXPECT_GE(seen[4].time - seen[3].time, 25u);  // the click's pause, as a lower bound only
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
