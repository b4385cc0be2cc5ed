#include "actions/win32/vHotKey.h"

#include <commctrl.h>

#include "actions/HotKeyCapture.h"

namespace vexel {

TvHotKey::TvHotKey(const KeyNames& layout)
    : layout_(layout), shortcut_(ParseShortcut(kInitialHotKeyText, layout)) {}

TvHotKey::~TvHotKey() {
  if (hwnd_) RemoveWindowSubclass(hwnd_, &TvHotKey::Procedure, 1);
}

void TvHotKey::Create(HWND parent, int id, DWORD extraStyle) {
  hwnd_ = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL | extraStyle, 0, 0, 0, 0,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
      nullptr);
  SetWindowSubclass(hwnd_, &TvHotKey::Procedure, 1, reinterpret_cast<DWORD_PTR>(this));
  SetShortcut(shortcut_);
}

void TvHotKey::SetShortcut(TShortCut value) {
  shortcut_ = value;
  Show(FormatShortcut(value, layout_));
}

void TvHotKey::Show(const std::string& text) {
  if (hwnd_) SetWindowTextA(hwnd_, text.c_str());
}

void TvHotKey::KeyDown(WPARAM key, LPARAM keyData) {
  // Alt is in the key data, as the system reports it with the key.
  const HeldModifiers held{GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                           (HIWORD(keyData) & KF_ALTDOWN) != 0};
  const CaptureResult result =
      CaptureKeyDown(static_cast<std::uint8_t>(key), held, shortcut_, layout_);
  shortcut_ = result.shortcut;
  Show(result.shown);
}

LRESULT CALLBACK TvHotKey::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR self) {
  auto* control = reinterpret_cast<TvHotKey*>(self);
  switch (message) {
    case WM_GETDLGCODE: {
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      const bool tab = msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB &&
                       GetKeyState(VK_CONTROL) >= 0;
      const LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
      return tab ? code : code | DLGC_WANTALLKEYS;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      control->KeyDown(wParam, lParam);
      return 0;  // consumed: the edit does nothing more with it
    case WM_CHAR:
    case WM_SYSCHAR:
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &TvHotKey::Procedure, 1);
      control->hwnd_ = nullptr;
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace vexel
