// The Button Action window's extra commands: the special commands its menu
// puts into a side's text field, and the custom command line.
#pragma once

#include <string>
#include <string_view>

namespace vexel {

// The special command of a menu item's tag: 1 "$reboot", 2 "$shutdown",
// 3 "$on/off Vexel", 4 "$lock"; empty for any other tag.
std::string_view SpecialCommandText(int tag);

// Whether an Execute part's "$" payload asks for at least one special
// command: the runner looks for each one's word ("reboot", "on/off Vexel",
// ...) anywhere in it, so that "$shutdown, then reboot" asks for two.
bool AsksForSpecialCommand(std::string_view payload);

// What the custom command box offers for a side's text field: the command
// line of a "#" field, without its "#"; for anything else (a path, a
// special command, nothing) an empty line.
std::string CustomCommandProposal(std::string_view fieldText);

// The text field for a line entered in the custom command box: "#" and the
// line, also when the line is empty.
std::string CustomCommandField(std::string_view enteredLine);

// The custom command box holds at most this many characters.
inline constexpr int kCustomCommandMaxLength = 255;

}  // namespace vexel
