// The key map grid of the Properties window (ValueListEditor1): a title
// row "Key" and "Value", one row per key map row, an ellipsis button in the
// value cell of every row that has one. It shows the key map and never
// changes it: typed characters are discarded, and the ellipsis button (or
// Ctrl+Enter on the current row) asks the owner to edit the row's action.
#pragma once

#include <functional>

#include "actions/KeyMap.h"
#include "app/win32/Window.h"

namespace vexel {

// Messages of the key map grid (ValueListEditor1), for anyone who reads it
// from outside: the number of rows shown (the result); the text of one row
// as "key=value", at most kGridMaxRowText bytes; and the screen rectangle
// of a row's ellipsis button (four 32-bit integers: left, top, right,
// bottom). No message carries a pointer: for the last two wParam is the
// row and lParam the window that asks, which the grid answers with
// WM_COPYDATA (dwData the message, the bytes as said); the result is 1
// when it answered, 0 when there is no such row, button or window.
inline constexpr unsigned kGridGetRowCount = WM_USER + 100;
inline constexpr unsigned kGridGetRowText = WM_USER + 101;
inline constexpr unsigned kGridGetButtonRect = WM_USER + 102;
inline constexpr unsigned kGridMaxRowText = 4096;

class ValueListGrid : public Window {
 public:
  ValueListGrid(const KeyMap& keyMap, std::function<void(size_t row)> editButtonClick);

  void Create(HWND parent, int id);
  // The key map changed: redraw, keeping the current row where it can.
  void Refresh();
  size_t CurrentRow() const { return current_; }
  // Makes the row the current one and scrolls it into view.
  void Select(size_t row);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int RowHeight() const;
  int KeyColumnWidth() const;
  size_t ShownRows() const;  // an empty key map still shows one empty row
  int VisibleRows() const;
  RECT RowRect(size_t row) const;     // client coordinates
  RECT ButtonRect(size_t row) const;  // empty when the row has no button
  bool HasButton(size_t row) const;
  void Paint(HDC dc);
  void ScrollTo(int top);
  void UpdateScrollBar();
  long HitRow(int y) const;
  // A reader's kGridGetRowText or kGridGetButtonRect, answered with WM_COPYDATA.
  LRESULT AnswerReader(UINT message, size_t row, HWND reader) const;

  const KeyMap& keyMap_;
  std::function<void(size_t)> editButtonClick_;
  size_t current_ = 0;
  int top_ = 0;  // first row shown
  int pressedButton_ = -1;
  int wheel_ = 0;         // wheel movement not yet scrolled, in 1/WHEEL_DELTA rows
  HFONT font_ = nullptr;  // set by the parent with WM_SETFONT, not owned
};

}  // namespace vexel
