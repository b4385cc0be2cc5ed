// The system's error: what reaches the application's standard error box.
#pragma once

#include <stdexcept>
#include <string>

namespace vexel {

// Windows code page numbers of the texts an error can carry.
inline constexpr unsigned kSystemCodePage = 0;  // CP_ACP: the system's 8-bit code page
inline constexpr unsigned kCyrillicCodePage = 1251;

// An error whose message the user sees. The message is 8-bit text in a
// known code page, so that the error box can show it correctly through the
// wide API whatever code page the system runs in.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, unsigned codePage = kSystemCodePage)
      : std::runtime_error(message), codePage_(codePage) {}
  unsigned CodePage() const { return codePage_; }

 private:
  unsigned codePage_;
};

// A text that should have been a number: a key report's flag character.
class EConvertError : public Error {
 public:
  using Error::Error;
};

// The text of the standard error box: the message with a full stop added
// when it does not already end in a full stop or other closing mark.
std::string ErrorBoxText(const std::string& message);

}  // namespace vexel
