// The application's standard error box: "Vexel", error icon, the message
// with a full stop added, shown through the wide API from the message's own
// code page so that Russian texts read right on any system.
#pragma once

#include <windows.h>

#include <exception>

namespace vexel {

void ShowException(HWND owner, const std::exception& error);

}  // namespace vexel
