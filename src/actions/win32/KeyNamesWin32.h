// Key names from the current keyboard layout.
#pragma once

#include "actions/ShortcutText.h"

namespace vexel {

class KeyNamesWin32 : public KeyNames {
 public:
  std::string LayoutKeyName(std::uint8_t virtualKey) const override;
};

}  // namespace vexel
