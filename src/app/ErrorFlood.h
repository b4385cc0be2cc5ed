// Keeps a flood of malformed key reports from stacking up error boxes:
// while the box of one conversion error is open, further conversion errors
// are not shown (their reports are ignored all the same). Every other error
// is always shown.
#pragma once

namespace vexel {

class ErrorFlood {
 public:
  // True when the box should be shown; then End must follow once it closes.
  bool Begin(bool conversionError) {
    if (!conversionError) return true;
    if (conversionBoxOpen_) return false;
    conversionBoxOpen_ = true;
    return true;
  }
  void End(bool conversionError) {
    if (conversionError) conversionBoxOpen_ = false;
  }

 private:
  bool conversionBoxOpen_ = false;
};

}  // namespace vexel
