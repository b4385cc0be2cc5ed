// TvHotKey in a window of its own, given key-downs as the system delivers
// them: Shift and Ctrl in the thread's key state, Alt in the key data.
#include <gtest/gtest.h>
#include <windows.h>

#include "WindowChecks.h"
#include "actions/win32/KeyNamesWin32.h"
#include "actions/win32/vHotKey.h"

namespace vexel::test {
namespace {

const KeyNamesWin32 kLayout;

class HotKeyControl : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    hotKey_.Create(parent_, 1, 0);
    other_ =
        CreateWindowExA(0, "BUTTON", "Other", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 40, 80, 20,
                        parent_, reinterpret_cast<HMENU>(2), GetModuleHandleA(nullptr), nullptr);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    HoldModifiers(false, false);
  }

  static void HoldModifiers(bool shift, bool ctrl) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(state);
  }

  void KeyDown(UINT key, bool alt) {
    const LPARAM data = 1 | (alt ? static_cast<LPARAM>(KF_ALTDOWN) << 16 : 0);
    SendMessageA(hotKey_.Handle(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, data);
  }

  // A key-down as the dialog manager of the window sees it first.
  void DialogKeyDown(UINT key) {
    SetFocus(hotKey_.Handle());
    MSG msg{hotKey_.Handle(), WM_KEYDOWN, key, 1, 0, {}};
    if (!IsDialogMessageA(parent_, &msg)) DispatchMessageA(&msg);
  }

  HWND parent_ = nullptr;
  HWND other_ = nullptr;
  TvHotKey hotKey_{kLayout};
};

TEST_F(HotKeyControl, NewControlHoldsCtrlF10) {
  EXPECT_EQ(hotKey_.Shortcut(), 0x4079);
  EXPECT_EQ(Text(hotKey_.Handle()), "Ctrl+F10");
  EXPECT_NE(GetWindowLongPtrA(hotKey_.Handle(), GWL_STYLE) & ES_READONLY, 0);
}

TEST_F(HotKeyControl, KeyDownsCaptureCombinations) {
  struct Case {
    UINT key;
    bool shift, ctrl, alt;
    const char* shown;
    TShortCut value;
  } cases[] = {
      {'A', true, true, true, "Shift+Ctrl+Alt+A", 0xE041},
      {VK_CONTROL, false, true, false, "", 0},  // the layout calls it "Control", not "Ctrl"
      {VK_F10, false, false, true, "Alt+F10", 0x8079},
      {VK_BACK, false, false, false, "None", 0x8079},          // the last combination stays
      {VK_VOLUME_UP, false, false, false, "Volume Up", 0xAF},  // the PC's own media keys
      {VK_MEDIA_PLAY_PAUSE, false, true, false, "Ctrl+Play/Pause", 0x40B3},
      {VK_BROWSER_BACK, true, false, false, "Shift+Browser Back", 0x20A6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    HoldModifiers(c.shift, c.ctrl);
    KeyDown(c.key, c.alt);
    EXPECT_EQ(Text(hotKey_.Handle()), c.shown);
    EXPECT_EQ(hotKey_.Shortcut(), c.value);
  }
}

// Tab leaves the control as in any dialog; Enter and Escape are captured.
TEST_F(HotKeyControl, TabMovesTheFocusOtherKeysAreCaptured) {
  DialogKeyDown(VK_RETURN);
  EXPECT_EQ(Text(hotKey_.Handle()), "Enter");
  DialogKeyDown(VK_ESCAPE);
  EXPECT_EQ(Text(hotKey_.Handle()), "Esc");
  DialogKeyDown(VK_TAB);
  EXPECT_EQ(GetFocus(), other_);
  EXPECT_EQ(Text(hotKey_.Handle()), "Esc");
}

}  // namespace
}  // namespace vexel::test
