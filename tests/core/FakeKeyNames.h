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
    static const struct {
      std::uint8_t code;
      const char* name;
    } kNames[] = {
        {16, "Shift"},     {17, "Control"}, {18, "Alt"},       {19, "Pause"},
        {20, "Caps Lock"}, {106, "Num *"},  {107, "Num +"},    {109, "Num -"},
        {110, "Num Del"},  {111, "Num /"},  {144, "Num Lock"}, {145, "Scroll Lock"},
        {186, ";"},        {187, "="},      {188, ","},        {189, "-"},
        {190, "."},        {191, "/"},      {192, "`"},        {219, "["},
        {220, "\\"},       {221, "]"},      {222, "'"},
    };
    for (const auto& key : kNames)
      if (key.code == virtualKey) return key.name;
    return {};
  }
};

}  // namespace vexel
