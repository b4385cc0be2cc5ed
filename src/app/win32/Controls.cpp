#include "app/win32/Controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "app/win32/Window.h"

namespace vexel {

namespace {

LRESULT CALLBACK NoFocusButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR) {
  // The focus goes straight back to the control that had it.
  if (message == WM_SETFOCUS && wParam && IsWindow(reinterpret_cast<HWND>(wParam))) {
    SetFocus(reinterpret_cast<HWND>(wParam));
    return 0;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

bool Checked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string WindowText(HWND hwnd) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(
      static_cast<size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

int TextWidth(HWND control, HFONT font) {
  const std::string text = WindowText(control);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

void MakeNoFocusButton(HWND button) { SetWindowSubclass(button, NoFocusButtonProc, 1, 0); }

void SetClientSize(HWND window, int width96, int height96) {
  RECT frame{0, 0, Scaled(window, width96), Scaled(window, height96)};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)),
                           GetDpiForWindow(window));
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FollowDpiChange(HWND window, HFONT& font, const RECT& suggested) {
  HFONT old = font;
  font = CreateTahoma8(window);
  SetFontOfChildren(window, font);
  if (old) DeleteObject(old);
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string AskFileName(HWND owner, const FileDialog& dialog) {
  char file[MAX_PATH * 4] = "";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = dialog.filter;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = dialog.title;
  ofn.lpstrDefExt = dialog.defaultExtension;
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | dialog.flags;
  const BOOL chosen = dialog.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  return chosen ? std::string(file) : std::string();
}

void CenterOnScreen(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void KeepFocusOnActivate(WPARAM activateState, HWND& savedFocus, HWND first) {
  if (LOWORD(activateState) == WA_INACTIVE) {
    savedFocus = GetFocus();
    return;
  }
  SetFocus(savedFocus && IsWindow(savedFocus) && IsWindowEnabled(savedFocus) ? savedFocus : first);
}

void CreateControls(HWND parent, ControlTable names, std::span<const ControlLayout> controls) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (const ControlLayout& layout : controls) {
    if (!layout.windowClass) continue;
    const int id = ControlId(names, layout.name);
    CreateWindowExA(layout.exStyle, layout.windowClass, layout.text, layout.style, 0, 0, 0, 0,
                    parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  }
}

void LayoutControls(HWND parent, ControlTable names, std::span<const ControlLayout> controls,
                    int width96, int height96) {
  RECT client;
  GetClientRect(parent, &client);
  const int dx = client.right - Scaled(parent, width96);
  const int dy = client.bottom - Scaled(parent, height96);
  const UINT dpi = GetDpiForWindow(parent);
  const int margin = Scaled(parent, 4);
  for (const ControlLayout& layout : controls) {
    HWND control = GetDlgItem(parent, ControlId(names, layout.name));
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    int x = Scaled(parent, layout.x), w = Scaled(parent, layout.width);
    int y = Scaled(parent, layout.y), h = Scaled(parent, layout.height);
    if (layout.anchors & kStretchRight) w += dx;
    if (layout.anchors & kStretchDown) h += dy;
    if (layout.anchors & kKeepRight) x += dx;
    if (layout.anchors & kKeepBottom) y += dy;
    if (layout.fit == Fit::kLabel || layout.fit == Fit::kCentred) w = TextWidth(control, font);
    if (layout.fit == Fit::kCentred) x += (Scaled(parent, layout.width) - w) / 2;
    if (layout.fit == Fit::kCheck)
      w = std::max(w, TextWidth(control, font) + GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) +
                          Scaled(parent, 8));
    if (layout.fit != Fit::kAsGiven)
      x = std::clamp(x, 0, std::max(0, static_cast<int>(client.right) - margin - w));
    if (layout.after) {
      RECT beside;
      GetWindowRect(GetDlgItem(parent, ControlId(names, layout.after)), &beside);
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&beside), 2);
      const int start = std::max(x, static_cast<int>(beside.right) + Scaled(parent, 2));
      w -= start - x;
      x = start;
    }
    SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace vexel
