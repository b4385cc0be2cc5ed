// vexelctl's window commands, run as the program against windows of this
// test: "text" reads an edit control of another process, "foreground" brings
// a window forward and waits until it takes the keys; both fail, with exit
// code 1, when the window is missing or never gets there.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "WindowDriver.h"

namespace vexel::test {
namespace {

struct Outcome {
  DWORD exitCode;
  std::string output;
};

// Runs vexelctl with the arguments, handling this thread's messages while it
// runs (it sends messages to this thread's windows).
Outcome Vexelctl(const std::string& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const std::string exe = WindowsPath(VEXEL_VEXELCTL_EXE);
  std::string commandLine = "\"" + exe + "\" " + arguments;
  Outcome run{~0u, ""};
  const bool started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  EXPECT_TRUE(started) << commandLine;
  if (started) {
    EXPECT_TRUE(
        WaitFor([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 30000));
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    char buffer[4096];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
      run.output.append(buffer, got);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  return run;
}

// A top-level window of this thread with the title, and an edit child
// holding the text unless it is null.
HWND MakeWindow(const char* title, const char* editText, bool visible) {
  HWND window = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW, 50, 50, 300, 200, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (editText)
    CreateWindowExA(0, "EDIT", editText, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280, 150,
                    window, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (visible) ShowWindow(window, SW_SHOW);
  return window;
}

TEST(VexelctlTest, TextPrintsTheEditControlsTextOrFails) {
  HWND typed = MakeWindow("vexelctl typed", "VEXEL", true);
  HWND lines = MakeWindow("vexelctl lines", "one\r\ntwo", true);
  HWND bare = MakeWindow("vexelctl bare", nullptr, true);
  const struct {
    const char* arguments;
    DWORD exitCode;
    const char* output;
  } cases[] = {
      {"text \"vexelctl typed\"", 0, "VEXEL\n"},
      {"text \"vexelctl lines\"", 0, "one\r\ntwo\n"},
      {"text \"vexelctl bare\"", 1, ""},    // no edit control
      {"text \"vexelctl absent\"", 1, ""},  // no such window
      {"text", 2, ""},                      // no title
  };
  for (const auto& c : cases) {
    const Outcome run = Vexelctl(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(run.output, c.output) << c.arguments;
  }
  for (HWND window : {typed, lines, bare}) DestroyWindow(window);
}

TEST(VexelctlTest, ForegroundBringsTheWindowForwardOrFailsInTime) {
  HWND behind = MakeWindow("vexelctl behind", "text", true);
  HWND hidden = MakeWindow("vexelctl hidden", "text", false);
  HWND cover = MakeWindow("vexelctl cover", nullptr, true);
  SetForegroundWindow(cover);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == cover; }));
  const struct {
    const char* arguments;
    DWORD exitCode;
    HWND foregroundAfter;
  } cases[] = {
      {"foreground \"vexelctl cover\" 3000", 0, cover},    // there already
      {"foreground \"vexelctl behind\" 3000", 0, behind},  // brought forward
      {"foreground \"vexelctl hidden\" 500", 1, behind},   // never shown
      {"foreground \"vexelctl absent\" 500", 1, behind},   // no such window
      {"foreground \"vexelctl cover\" soon", 2, behind},   // no time-out
      {"foreground", 2, behind},                           // no title
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Vexelctl(c.arguments).exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(GetForegroundWindow(), c.foregroundAfter) << c.arguments;
  }
  for (HWND window : {behind, hidden, cover}) DestroyWindow(window);
}

TEST(VexelctlTest, MenuCommandsNeedARunningVexel) {
  EXPECT_EQ(Vexelctl("properties").exitCode, 1u);
  EXPECT_EQ(Vexelctl("nonsense").exitCode, 2u);
}

}  // namespace
}  // namespace vexel::test
