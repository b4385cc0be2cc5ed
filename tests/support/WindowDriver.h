// Drives windows of this or another thread or process as a user's input
// would: finds them by title, reads their controls, clicks buttons, chooses
// from popup menus, presses keys, and takes screenshots of the display.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace vexel::test {

// A path of the build (a Unix path) as Windows programs see it.
std::string WindowsPath(std::string path);

// Waits until `condition` holds, handling this thread's messages meanwhile;
// false when it still does not hold after timeoutMs (generous by default:
// the machine is shared).
bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs = 15000);

// A visible top-level window of the process with this title and, when
// given, this class; nullptr when none appears within the time.
HWND WaitTopWindow(DWORD processId, const std::string& title, unsigned timeoutMs = 20000,
                   const char* className = nullptr);
// Whether any visible top-level window of the process has this title; how many.
int CountTopWindows(DWORD processId, const std::string& title);

std::string ClassName(HWND hwnd);
// A window's text, also of another process's controls.
std::string Text(HWND hwnd);
bool IsChecked(HWND button);
// A control's rectangle in its parent's client area.
RECT PlaceInParent(HWND control);
RECT ClientRectOf(HWND window);

// Posts a click to a button (BM_CLICK), as clicking it does.
void Click(HWND button);
// A real mouse click at a screen point (the window under it gets it).
void MouseClickAt(POINT screen);
// A real mouse click at a screen point once the window there is the given
// one (one still coming up or covered would miss it); false, and no click,
// when another window stays there.
bool MouseClickOn(HWND window, POINT screen);
// Posts a key going down and up to a window; alt marks the key data as
// pressed with Alt held, as the system reports it.
void PostKey(HWND target, UINT virtualKey, bool alt = false);

// Chooses the item at index (from 0) of the popup menu that the process
// shows, with the arrow keys and Enter; false when no menu appears.
bool ChooseFromPopupMenu(DWORD processId, int index, unsigned timeoutMs = 20000);
// The visible popup menu window of the process, or nullptr.
HWND PopupMenuWindow(DWORD processId);

// Saves a PNG of the whole display as <build>/screenshots/<name>.png;
// false when it did not appear in time.
bool SaveScreenshot(const std::string& name);

}  // namespace vexel::test
