// The tray icon as the shell gets it: images at the tray's size, an icon
// that the shell refuses at first (the taskbar not up yet at logon) added
// later with the image and hint of that moment, and a balloon.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/TrayIcon.h"

namespace vexel::test {
namespace {

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  BITMAP bitmap{};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

TEST(TrayIcon, StateIconsComeAtTheTraysSizeForTheDpi) {
  for (const char* name : {"MAINICON", "xConnectIcon", "xHangUpIcon"}) {
    for (const auto& [dpi, pixels] : {std::pair{96u, 16L}, std::pair{192u, 32L}}) {
      HICON icon = LoadTrayIcon(name, dpi);
      ASSERT_NE(icon, nullptr) << name;
      const SIZE size = IconSize(icon);
      EXPECT_EQ(size.cx, pixels) << name << " at " << dpi;
      EXPECT_EQ(size.cy, pixels) << name << " at " << dpi;
      DestroyIcon(icon);
    }
  }
}

// A shell that refuses the first adds (and, slow to answer, may add the
// icon all the same), and records what it was handed.
struct FakeShell {
  static inline int refusals = 0;
  static inline bool addsWhenRefusing = false;
  static inline bool present = false;
  static inline std::vector<std::string> calls;
  static BOOL WINAPI Notify(DWORD message, PNOTIFYICONDATAA data) {
    bool done = true;
    if (message == NIM_ADD) {
      done = refusals == 0 || (--refusals, false);
      present = present || done || addsWhenRefusing;
    } else if (message == NIM_MODIFY) {
      done = present;
    } else {
      present = false;
    }
    const char* verb = message == NIM_ADD ? "add" : message == NIM_MODIFY ? "modify" : "delete";
    calls.push_back(std::string(verb) + (done ? " " : " refused ") +
                    std::to_string(reinterpret_cast<INT_PTR>(data->hIcon)) + " " + data->szTip +
                    (data->uFlags & NIF_INFO ? std::string(" balloon ") + data->szInfo : ""));
    return done;
  }
};

TEST(TrayIcon, RefusedAddIsTriedAgainWithTheImageAndHintOfTheMoment) {
  const struct {
    bool addsWhenRefusing;
    std::vector<std::string> calls;
  } cases[] = {
      {false,
       {"add refused 1 Vexel", "modify refused 1 Vexel", "add refused 2 Vexel: Up",
        "modify refused 2 Vexel: Up", "add 2 Vexel: Up", "modify 2 Vexel: Up balloon +4917012345",
        "modify 2 Vexel: Up", "delete 2 Vexel: Up"}},
      // The shell answered too late but added the icon: it is used as it is.
      {true,
       {"add refused 1 Vexel", "modify 1 Vexel", "modify 2 Vexel: Up",
        "modify 2 Vexel: Up balloon +4917012345", "modify 2 Vexel: Up", "delete 2 Vexel: Up"}},
  };
  HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  const auto first = reinterpret_cast<HICON>(1), second = reinterpret_cast<HICON>(2);
  for (const auto& c : cases) {
    FakeShell::refusals = 2;
    FakeShell::addsWhenRefusing = c.addsWhenRefusing;
    FakeShell::present = false;
    FakeShell::calls.clear();
    {
      TrayIcon icon(owner, WM_APP + 1, first, "Vexel", &FakeShell::Notify);
      EXPECT_EQ(icon.Added(), c.addsWhenRefusing);
      icon.Show(second, "Vexel: Up");  // kept while the tray has no icon to change
      if (!c.addsWhenRefusing) icon.ShowBalloon("Incoming call", "+4917012345");  // lost
      icon.RetryAdd();
      icon.RetryAdd();
      EXPECT_TRUE(icon.Added());
      icon.RetryAdd();  // nothing more to do
      // The retry timer ended with the add.
      EXPECT_FALSE(KillTimer(owner, TrayIcon::kAddRetryTimerId));
      // A balloon goes with one change only.
      icon.ShowBalloon("Incoming call", "+4917012345");
      icon.Show(second, "Vexel: Up");
    }
    EXPECT_EQ(FakeShell::calls, c.calls) << c.addsWhenRefusing;
  }
  DestroyWindow(owner);
}

}  // namespace
}  // namespace vexel::test
