// Checks of a window's controls by what the user sees, not by coordinates:
// every control found by name through the window's control table and in
// its stated state; every visible control inside the client area and clear
// of its siblings (save the frames that hold controls and the controls
// placed over a frame's edge on purpose); texts shown whole; the keyboard
// focus visiting the controls in order. Fonts and layouts may change; these
// properties must hold whatever the pixels.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "WindowDriver.h"
#include "app/ControlIds.h"

namespace vexel::test {

struct ExpectedControl {
  const char* name;
  bool enabled;
  bool visible;
  const char* text;  // nullptr: not checked
  // The control is meant to show its whole text on one line: at least as
  // wide as the text in its font (and a check box's or radio button's box).
  bool showsWholeText = false;
};

inline bool HasStyle(HWND control, LONG_PTR style) {
  return (GetWindowLongPtrA(control, GWL_STYLE) & style) == style;
}

// The width the control needs for its text in `font`, or in its own font
// when none is given (for this process's controls only: a font is a handle
// of the process that made it).
inline int NeededWidth(HWND control, HFONT font = nullptr) {
  const std::string text = Text(control);
  if (!font) font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
  const bool boxed = ClassName(control) == "Button" &&
                     (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                      type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE);
  return size.cx + (boxed ? GetSystemMetrics(SM_CXMENUCHECK) : 0);
}

inline void ExpectControls(HWND window, std::span<const ControlName> names,
                           std::span<const ExpectedControl> expected) {
  for (const ExpectedControl& e : expected) {
    SCOPED_TRACE(e.name);
    HWND control = GetDlgItem(window, ControlId(names, e.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, e.enabled);
    EXPECT_EQ(HasStyle(control, WS_VISIBLE), e.visible);
    if (e.text) {
      EXPECT_EQ(Text(control), e.text);
    }
    if (e.showsWholeText) {
      const RECT r = PlaceInParent(control);
      EXPECT_GE(r.right - r.left, NeededWidth(control)) << '"' << Text(control) << "\" is cut";
    }
  }
}

// Where the controls of a window may meet: a frame holds the controls that
// lie wholly inside it; an edge pair is a control placed over a frame's
// edge on purpose (a check box that titles its frame).
struct Overlaps {
  std::vector<std::string_view> frames;
  std::vector<std::pair<std::string_view, std::string_view>> edges;
};

inline bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Every visible control of the table lies inside the client area and
// overlaps no sibling, except as `allowed` says.
inline void ExpectTidyLayout(HWND window, std::span<const ControlName> names,
                             const Overlaps& allowed = {}) {
  const RECT client = ClientRectOf(window);
  struct Placed {
    std::string_view name;
    RECT r;
  };
  std::vector<Placed> shown;
  for (const ControlName& control : names) {
    HWND hwnd = GetDlgItem(window, control.id);
    if (!hwnd || !HasStyle(hwnd, WS_VISIBLE) || GetParent(hwnd) != window) continue;
    shown.push_back({control.name, PlaceInParent(hwnd)});
  }
  auto isFrame = [&](std::string_view name) {
    return std::find(allowed.frames.begin(), allowed.frames.end(), name) != allowed.frames.end();
  };
  auto onEdge = [&](std::string_view a, std::string_view b) {
    for (const auto& [control, frame] : allowed.edges)
      if ((control == a && frame == b) || (control == b && frame == a)) return true;
    return false;
  };
  for (size_t i = 0; i < shown.size(); ++i) {
    const Placed& a = shown[i];
    EXPECT_TRUE(Inside(a.r, client)) << a.name << " leaves the client area";
    EXPECT_GT(a.r.right, a.r.left) << a.name;
    EXPECT_GT(a.r.bottom, a.r.top) << a.name;
    for (size_t j = i + 1; j < shown.size(); ++j) {
      const Placed& b = shown[j];
      RECT common;
      if (!IntersectRect(&common, &a.r, &b.r)) continue;
      const bool held =
          (isFrame(a.name) && Inside(b.r, a.r)) || (isFrame(b.name) && Inside(a.r, b.r));
      EXPECT_TRUE(held || onEdge(a.name, b.name)) << a.name << " overlaps " << b.name;
    }
  }
}

// The keyboard focus, moved on from the first control as Tab moves it,
// visits the controls of `intended` in this order, skipping those that are
// hidden or disabled now, and then comes back to the first.
inline void ExpectTabOrder(HWND window, std::span<const ControlName> names,
                           std::span<const std::string_view> intended) {
  std::vector<std::string_view> order;
  for (std::string_view name : intended) {
    HWND control = GetDlgItem(window, ControlId(names, name));
    if (control && HasStyle(control, WS_VISIBLE) && IsWindowEnabled(control)) order.push_back(name);
  }
  ASSERT_FALSE(order.empty());
  HWND first = GetDlgItem(window, ControlId(names, order.front()));
  ASSERT_NE(first, nullptr);
  std::vector<std::string_view> visited{ControlNameOf(names, GetDlgCtrlID(first))};
  for (HWND at = GetNextDlgTabItem(window, first, FALSE); at && at != first && visited.size() <= 64;
       at = GetNextDlgTabItem(window, at, FALSE)) {
    // A control made of child windows (a grid, a capture control) counts once.
    while (GetParent(at) && GetParent(at) != window) at = GetParent(at);
    visited.push_back(ControlNameOf(names, GetDlgCtrlID(at)));
  }
  EXPECT_EQ(visited, order);
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
