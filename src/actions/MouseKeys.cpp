#include "actions/MouseKeys.h"

#include <algorithm>
#include <cmath>

namespace vexel {

const MouseKey* FindMouseKey(std::uint8_t code) {
  for (const MouseKey& key : kMouseKeys)
    if (key.code == code) return &key;
  return nullptr;
}

int MouseStepPx(std::uint64_t heldMs) {
  constexpr double kFullSpeedMs = 1500;
  const double part = static_cast<double>(std::min<std::uint64_t>(heldMs, 1500)) / kFullSpeedMs;
  return 2 + static_cast<int>(38 * std::sqrt(part));
}

}  // namespace vexel
