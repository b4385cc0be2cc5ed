// A one-line modal text prompt: a title, a prompt, one line of at most
// maxLength characters that starts with `initial`, all of it selected, and
// the buttons "OK" and "Cancel"; centred on the screen. The line is the
// control named "Edit" (an edit control, or a drop-down box with choices).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vexel {

// The line entered with "OK" (or Enter); nothing with "Cancel", Escape,
// the close box, or when the program quits meanwhile. With choices, the
// line is a drop-down box that also lists them, to pick one.
std::optional<std::string> InputBox(HWND owner, const std::string& title, const std::string& prompt,
                                    const std::string& initial, int maxLength,
                                    const std::vector<std::string>& choices = {});

}  // namespace vexel
