#include "app/win32/ValueListGrid.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace vexel {

namespace {
const char kClassName[] = "VexelValueList";
constexpr int kRowHeight96 = 18;
constexpr int kKeyColumn96 = 27;
}  // namespace

ValueListGrid::ValueListGrid(const KeyMap& keyMap, std::function<void(size_t)> editButtonClick)
    : keyMap_(keyMap), editButtonClick_(std::move(editButtonClick)) {}

void ValueListGrid::Create(HWND parent, int id) {
  CreateWindowObject(kClassName, WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL,
                     "", 0, 0, 10, 10, parent, id);
  UpdateScrollBar();
}

int ValueListGrid::RowHeight() const { return Scaled(Handle(), kRowHeight96); }
int ValueListGrid::KeyColumnWidth() const { return Scaled(Handle(), kKeyColumn96); }
size_t ValueListGrid::ShownRows() const { return std::max<size_t>(keyMap_.Rows().size(), 1); }
bool ValueListGrid::HasButton(size_t row) const {
  return row < keyMap_.Rows().size() && keyMap_.Rows()[row].editButton;
}

int ValueListGrid::VisibleRows() const {
  RECT client;
  GetClientRect(Handle(), &client);
  return std::max(1, static_cast<int>((client.bottom - RowHeight()) / RowHeight()));
}

RECT ValueListGrid::RowRect(size_t row) const {
  RECT client;
  GetClientRect(Handle(), &client);
  const int y = RowHeight() * (1 + static_cast<int>(row) - top_);
  return {0, y, client.right, y + RowHeight()};
}

RECT ValueListGrid::ButtonRect(size_t row) const {
  if (!HasButton(row)) return {};
  RECT r = RowRect(row);
  const int width = std::min(Scaled(Handle(), 17), static_cast<int>(r.right - r.left));
  return {r.right - width, r.top + 1, r.right - 1, r.bottom - 1};
}

void ValueListGrid::Refresh() {
  if (!Handle()) return;
  if (current_ >= ShownRows()) current_ = ShownRows() - 1;
  UpdateScrollBar();
  InvalidateRect(Handle(), nullptr, TRUE);
}

void ValueListGrid::UpdateScrollBar() {
  const int maxTop = std::max(0, static_cast<int>(ShownRows()) - VisibleRows());
  top_ = std::clamp(top_, 0, maxTop);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = static_cast<int>(ShownRows()) - 1;
  si.nPage = static_cast<UINT>(VisibleRows());
  si.nPos = top_;
  SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void ValueListGrid::ScrollTo(int top) {
  const int before = top_;
  top_ = top;
  UpdateScrollBar();
  if (top_ != before) InvalidateRect(Handle(), nullptr, TRUE);
}

void ValueListGrid::Select(size_t row) {
  current_ = std::min(row, ShownRows() - 1);
  const int r = static_cast<int>(current_);
  if (r < top_) ScrollTo(r);
  if (r >= top_ + VisibleRows()) ScrollTo(r - VisibleRows() + 1);
  InvalidateRect(Handle(), nullptr, TRUE);
}

long ValueListGrid::HitRow(int y) const {
  if (y < RowHeight()) return -1;  // the title row
  const long row = y / RowHeight() - 1 + top_;
  return row < static_cast<long>(ShownRows()) ? row : -1;
}

void ValueListGrid::Paint(HDC dc) {
  RECT client;
  GetClientRect(Handle(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const int split = KeyColumnWidth();
  const int pad = Scaled(Handle(), 2);

  auto cell = [&](RECT r, const std::string& text) {
    r.left += pad;
    r.right -= pad;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  };

  RECT title{0, 0, client.right, RowHeight()};
  FillRect(dc, &title, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  cell({0, 0, split, title.bottom}, "Key");
  cell({split, 0, client.right, title.bottom}, "Value");
  DrawEdge(dc, &title, BDR_RAISEDINNER, BF_BOTTOM);
  RECT keyTitle{0, 0, split, title.bottom};
  DrawEdge(dc, &keyTitle, BDR_RAISEDINNER, BF_RIGHT);

  const auto& rows = keyMap_.Rows();
  for (size_t row = static_cast<size_t>(top_); row < ShownRows(); ++row) {
    RECT r = RowRect(row);
    if (r.top >= client.bottom) break;
    const bool current = row == current_;
    RECT keyCell{0, r.top, split, r.bottom};
    FillRect(dc, &keyCell, GetSysColorBrush(COLOR_BTNFACE));  // the fixed key column
    RECT valueCell{split, r.top, r.right, r.bottom};
    if (current) FillRect(dc, &valueCell, GetSysColorBrush(COLOR_HIGHLIGHT));
    const std::string key = row < rows.size() ? rows[row].key : "";
    const std::string value = row < rows.size() ? rows[row].action : "";
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    cell(keyCell, key);
    SetTextColor(dc, GetSysColor(current ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT valueText = valueCell;
    if (HasButton(row)) valueText.right = ButtonRect(row).left;
    cell(valueText, value);
    MoveToEx(dc, 0, r.bottom - 1, nullptr);
    LineTo(dc, r.right, r.bottom - 1);
    MoveToEx(dc, split - 1, r.top, nullptr);
    LineTo(dc, split - 1, r.bottom);
    if (HasButton(row)) {
      RECT b = ButtonRect(row);
      const UINT state =
          DFCS_BUTTONPUSH | (pressedButton_ == static_cast<int>(row) ? DFCS_PUSHED : 0);
      DrawFrameControl(dc, &b, DFC_BUTTON, state);
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      DrawTextA(dc, "...", 3, &b, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    }
  }
  if (GetFocus() == Handle()) {
    RECT focus = RowRect(current_);
    focus.left = split;
    DrawFocusRect(dc, &focus);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
  DeleteObject(pen);
}

LRESULT ValueListGrid::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      Paint(dc);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(Handle(), nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SIZE:
      UpdateScrollBar();
      InvalidateRect(Handle(), nullptr, TRUE);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_CHAR:
      return 0;  // ValueListEditor1KeyPress: typing changes nothing
    case WM_KEYDOWN: {
      const long last = static_cast<long>(ShownRows()) - 1;
      const long row = static_cast<long>(current_);
      switch (wParam) {
        case VK_UP:
          Select(static_cast<size_t>(std::max(0L, row - 1)));
          break;
        case VK_DOWN:
          Select(static_cast<size_t>(std::min(last, row + 1)));
          break;
        case VK_PRIOR:
          Select(static_cast<size_t>(std::max(0L, row - VisibleRows())));
          break;
        case VK_NEXT:
          Select(static_cast<size_t>(std::min(last, row + VisibleRows())));
          break;
        case VK_HOME:
          Select(0);
          break;
        case VK_END:
          Select(static_cast<size_t>(last));
          break;
        case VK_RETURN:
          if ((GetKeyState(VK_CONTROL) & 0x8000) && HasButton(current_)) editButtonClick_(current_);
          break;
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(Handle());
      const long row = HitRow(GET_Y_LPARAM(lParam));
      if (row < 0) return 0;
      Select(static_cast<size_t>(row));
      const RECT b = ButtonRect(static_cast<size_t>(row));
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (PtInRect(&b, p)) {
        pressedButton_ = static_cast<int>(row);
        SetCapture(Handle());
        InvalidateRect(Handle(), &b, FALSE);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      if (pressedButton_ < 0) return 0;
      const size_t row = static_cast<size_t>(pressedButton_);
      pressedButton_ = -1;
      ReleaseCapture();
      InvalidateRect(Handle(), nullptr, FALSE);
      const RECT b = ButtonRect(row);
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (PtInRect(&b, p)) editButtonClick_(row);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      // Three rows a notch; the small steps of a touchpad add up to rows.
      wheel_ += GET_WHEEL_DELTA_WPARAM(wParam) * 3;
      const int rows = wheel_ / WHEEL_DELTA;
      wheel_ -= rows * WHEEL_DELTA;
      ScrollTo(top_ - rows);
      return 0;
    }
    case WM_VSCROLL: {
      int top = top_;
      switch (LOWORD(wParam)) {
        case SB_LINEUP:
          --top;
          break;
        case SB_LINEDOWN:
          ++top;
          break;
        case SB_PAGEUP:
          top -= VisibleRows();
          break;
        case SB_PAGEDOWN:
          top += VisibleRows();
          break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
          top = HIWORD(wParam);
          break;
        case SB_TOP:
          top = 0;
          break;
        case SB_BOTTOM:
          top = static_cast<int>(ShownRows());
          break;
      }
      ScrollTo(top);
      return 0;
    }
    default:
      break;
  }
  if (message == kGridGetRowCount) return static_cast<LRESULT>(ShownRows());
  if (message == kGridGetRowText || message == kGridGetButtonRect)
    return AnswerReader(message, wParam, reinterpret_cast<HWND>(lParam));
  return Window::HandleMessage(message, wParam, lParam);
}

LRESULT ValueListGrid::AnswerReader(UINT message, size_t row, HWND reader) const {
  if (row >= ShownRows() || !IsWindow(reader)) return 0;
  std::string answer;
  if (message == kGridGetRowText) {
    const auto& rows = keyMap_.Rows();
    answer = row < rows.size() ? rows[row].key + "=" + rows[row].action : "=";
    answer.resize(std::min<size_t>(answer.size(), kGridMaxRowText));
  } else {
    const int r = static_cast<int>(row);
    if (!HasButton(row) || r < top_ || r >= top_ + VisibleRows()) return 0;
    RECT b = ButtonRect(row);
    MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&b), 2);
    const std::int32_t corners[] = {b.left, b.top, b.right, b.bottom};
    answer.assign(reinterpret_cast<const char*>(corners), sizeof corners);
  }
  COPYDATASTRUCT data{message, static_cast<DWORD>(answer.size()), answer.data()};
  DWORD_PTR ignored = 0;
  // Briefly: the main thread (timers, phone keys) waits meanwhile.
  SendMessageTimeoutA(reader, WM_COPYDATA, reinterpret_cast<WPARAM>(Handle()),
                      reinterpret_cast<LPARAM>(&data), SMTO_BLOCK | SMTO_ABORTIFHUNG, 500,
                      &ignored);
  return 1;
}

}  // namespace vexel
