// The program's message loops: the main loop, the loop of a modal window,
// and the handling of pending messages inside a wait. Keyboard navigation
// (Tab, arrows) works in every window of ours that holds controls; a quit
// request seen by an inner loop is posted again, so the main loop ends too.
#pragma once

#include <windows.h>

#include <functional>

namespace vexel {

// Handles every pending message once. False when the program is to quit.
bool ProcessPendingMessages();

// Runs until the program quits; returns the quit code.
int RunMessageLoop();

// Shows a window modally: the other windows of the program take no input
// until `done` returns true or the program quits. False when it quit.
bool RunModal(HWND window, const std::function<bool()>& done);

}  // namespace vexel
