#include "base/Error.h"

namespace vexel {

std::string ErrorBoxText(const std::string& message) {
  // Codes above '.' are letters, digits and most punctuation: those get the
  // full stop; a text ending in '.', '!', a blank or a line break does not.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
  return message;
}

}  // namespace vexel
