// Small text helpers shared by the core. All text is 8-bit, in the system's
// code page; letter case is folded for ASCII letters only.
#pragma once

#include <string>
#include <string_view>

namespace vexel {

// Removes leading and trailing characters with codes 0 to 32.
std::string_view Trim(std::string_view text);
std::string TrimCopy(std::string_view text);

// Equal ignoring letter case.
bool SameText(std::string_view a, std::string_view b);
// Starts with prefix, ignoring letter case.
bool StartsWithText(std::string_view text, std::string_view prefix);
std::string UpperCase(std::string_view text);

// The text up to its first NUL: how received buffers are read as text.
std::string_view UpToNul(const char* buffer);

// Calls each(line) for every line of the text, in order; a line ends at CR
// or LF, and the text after the last line end is a line too.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    each(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

}  // namespace vexel
