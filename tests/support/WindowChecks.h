// Checks of a window's controls against a table: found by name through the
// window's control table, placed where the table says (in the rig the
// display has 96 DPI, so at the planned pixels), and in the stated state.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <span>
#include <string>
#include <thread>

#include "WindowDriver.h"
#include "app/ControlIds.h"

namespace vexel::test {

struct ExpectedControl {
  const char* name;
  int x, y, width, height;  // a width or height of 0 is not checked
  bool enabled;
  bool visible;
  const char* text;  // nullptr: not checked
  // How the place follows the texts: not at all; at least the planned
  // width; centred on the planned box and inside the window; or starting
  // after a neighbour that came out wider, the right edge kept.
  enum { kExact, kWiderIsFine, kCentred, kKeepsRight } fit = kExact;
};

inline void ExpectControls(HWND window, std::span<const ControlName> names,
                           std::span<const ExpectedControl> expected) {
  for (const ExpectedControl& e : expected) {
    SCOPED_TRACE(e.name);
    HWND control = GetDlgItem(window, ControlId(names, e.name));
    ASSERT_NE(control, nullptr);
    const RECT r = PlaceInParent(control);
    EXPECT_EQ(r.top, e.y);
    if (e.fit == ExpectedControl::kCentred) {
      EXPECT_NEAR(r.left + r.right, 2 * e.x + e.width, 1);
      EXPECT_LE(r.right, ClientRectOf(window).right);
    } else if (e.fit == ExpectedControl::kKeepsRight) {
      EXPECT_GE(r.left, e.x);
      EXPECT_EQ(r.right, e.x + e.width);
    } else {
      EXPECT_EQ(r.left, e.x);
    }
    if (e.fit == ExpectedControl::kWiderIsFine) {
      EXPECT_GE(r.right - r.left, e.width);
    } else if (e.fit == ExpectedControl::kExact && e.width) {
      EXPECT_EQ(r.right - r.left, e.width);
    }
    if (e.height) {
      EXPECT_EQ(r.bottom - r.top, e.height);
    }
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, e.enabled);
    EXPECT_EQ((GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0, e.visible);
    if (e.text) {
      EXPECT_EQ(Text(control), e.text);
    }
  }
}

inline void ExpectClientSize(HWND window, int width, int height) {
  const RECT client = ClientRectOf(window);
  EXPECT_EQ(client.right, width);
  EXPECT_EQ(client.bottom, height);
}

// Runs `user` in a thread of its own while this thread shows a modal window
// with `modal`, as a user works while the window waits. When the user is
// done (or gave up on a failed assertion), whatever is still open is closed
// (menus with Escape, windows with WM_CLOSE), so that the modal call returns.
template <class Modal>
auto WithUser(const std::function<void()>& user, Modal modal) {
  const DWORD ui = GetCurrentThreadId();
  std::atomic<bool> returned{false};
  std::thread thread([&] {
    user();
    while (!returned) {
      if (HWND menu = PopupMenuWindow(GetCurrentProcessId())) PostKey(menu, VK_ESCAPE);
      EnumThreadWindows(
          ui,
          [](HWND hwnd, LPARAM) -> BOOL {
            if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
          },
          0);
      Sleep(100);
    }
  });
  auto result = modal();
  returned = true;
  thread.join();
  return result;
}

}  // namespace vexel::test
