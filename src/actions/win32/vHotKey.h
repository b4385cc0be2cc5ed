// TvHotKey: the read-only one-line edit control in which the user records a
// key combination by pressing it. It holds one TShortCut and shows its
// text; what a key-down makes of it is decided in actions/HotKeyCapture.h.
//
// It takes every key a dialog would otherwise use (Enter, Escape, arrows)
// except Tab and Shift+Tab, which keep moving the keyboard focus, so that a
// keyboard user can leave the control; Ctrl+Tab is captured.
#pragma once

#include <windows.h>

#include "actions/ShortcutText.h"

namespace vexel {

class TvHotKey {
 public:
  // A new control holds Ctrl+F10.
  explicit TvHotKey(const KeyNames& layout);
  ~TvHotKey();
  TvHotKey(const TvHotKey&) = delete;
  TvHotKey& operator=(const TvHotKey&) = delete;

  // Creates the control as a child of parent with the identifier id;
  // extraStyle adds to a visible, read-only, tab-stop edit (WS_DISABLED...).
  void Create(HWND parent, int id, DWORD extraStyle);
  HWND Handle() const { return hwnd_; }

  TShortCut Shortcut() const { return shortcut_; }
  // Stores the value and shows its text.
  void SetShortcut(TShortCut value);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR self);
  void KeyDown(WPARAM key, LPARAM keyData);
  void Show(const std::string& text);

  const KeyNames& layout_;
  HWND hwnd_ = nullptr;
  TShortCut shortcut_;
};

}  // namespace vexel
