// A fixed keyboard layout for tests that need key names: what a US layout
// calls the keys that the fixed key-name table leaves to the layout, with
// the modifier keys named as Wine names them. So "Control" is the Ctrl key
// and the text "Ctrl" names no key; codes not listed have no name.
#pragma once

#include "actions/ShortcutText.h"

namespace vexel {

class FakeKeyNames : public KeyNames {
 public:
  std::string LayoutKeyName(std::uint8_t virtualKey) const override {
    switch (virtualKey) {
      case 16: return "Shift";
      case 17: return "Control";
      case 18: return "Alt";
      case 19: return "Pause";
      case 20: return "Caps Lock";
      case 106: return "Num *";
      case 107: return "Num +";
      case 109: return "Num -";
      case 110: return "Num Del";
      case 111: return "Num /";
      case 144: return "Num Lock";
      case 145: return "Scroll Lock";
      case 186: return ";";
      case 187: return "=";
      case 188: return ",";
      case 189: return "-";
      case 190: return ".";
      case 191: return "/";
      case 192: return "`";
      case 219: return "[";
      case 220: return "\\";
      case 221: return "]";
      case 222: return "'";
      default: return {};
    }
  }
};

}  // namespace vexel
