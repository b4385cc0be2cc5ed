// A one-line modal text prompt: a title, a prompt, one line of at most
// maxLength characters that starts with `initial`, all of it selected, and
// the buttons "OK" and "Cancel"; centred on the screen.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vexel {

// The line entered with "OK" (or Enter); nothing with "Cancel", Escape,
// the close box, or when the program quits meanwhile.
std::optional<std::string> InputBox(HWND owner, const std::string& title, const std::string& prompt,
                                    const std::string& initial, int maxLength);

}  // namespace vexel
