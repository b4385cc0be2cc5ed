// Small helpers for the controls of our windows, and the creation and
// layout of a window's controls from a table of positions at 96 DPI, laid
// out at the window's own DPI.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "app/ControlIds.h"

namespace vexel {

bool Checked(HWND button);
void SetChecked(HWND button, bool checked);
std::string WindowText(HWND hwnd);
// The width of a control's text in the font.
int TextWidth(HWND control, HFONT font);
// A speed button: a click leaves the keyboard focus where it was.
void MakeNoFocusButton(HWND button);

// Gives a top-level window a client area of width96 x height96 at its DPI,
// keeping its position.
void SetClientSize(HWND window, int width96, int height96);
// The window moved to another DPI (WM_DPICHANGED): a new font for its
// controls (the old one deleted) and the size and place Windows suggests.
// The caller lays the controls out again.
void FollowDpiChange(HWND window, HFONT& font, const RECT& suggested);
// The common Open (or Save As) dialog: the chosen file, or empty when
// cancelled. filter is the dialog's list of "name\0pattern\0" pairs.
struct FileDialog {
  const char* title;
  const char* filter;
  const char* defaultExtension = nullptr;
  DWORD flags = 0;  // added to OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER
  bool save = false;
};
std::string AskFileName(HWND owner, const FileDialog& dialog);
// Moves a top-level window to the middle of the primary screen.
void CenterOnScreen(HWND window);
// Keeps the keyboard focus of a window that holds controls across
// deactivation, as a dialog does (call on WM_ACTIVATE); a window activated
// for the first time focuses `first`.
void KeepFocusOnActivate(WPARAM activateState, HWND& savedFocus, HWND first);

// How a control's width follows its text in the window's font.
enum class Fit {
  kAsGiven,  // the width in the table
  kLabel,    // exactly the text's width
  kCentred,  // exactly the text's width, centred where the table's width is
  kCheck,    // at least the table's width, and wide enough for box and text
};

// How a control follows the right and bottom edges of a resizable window.
enum Anchor { kFixed = 0, kStretchRight = 1, kStretchDown = 2, kKeepRight = 4, kKeepBottom = 8 };

struct ControlLayout {
  const char* name;         // in the window's control table
  const char* windowClass;  // nullptr: the window creates this control itself
  const char* text;
  DWORD style;
  int x, y, width, height;  // client coordinates at 96 DPI
  Fit fit = Fit::kAsGiven;
  DWORD exStyle = 0;
  // The control (earlier in the table) that this one stands beside: where
  // that one came out wider than planned, this one starts after it, its
  // right edge kept.
  const char* after = nullptr;
  int anchors = kFixed;
};

using ControlTable = std::span<const ControlName>;

// Creates the table's controls in order (the order of keyboard focus).
void CreateControls(HWND parent, ControlTable names, std::span<const ControlLayout> controls);
// Places every control of the table at the parent's DPI, for a client area
// planned as width96 x height96: anchored controls follow the edges of a
// larger or smaller one. A width that follows the text is measured in the
// control's own font; such a control is kept inside the client area, moving
// left when its text is wider than planned (fonts differ between systems).
void LayoutControls(HWND parent, ControlTable names, std::span<const ControlLayout> controls,
                    int width96, int height96);

}  // namespace vexel
