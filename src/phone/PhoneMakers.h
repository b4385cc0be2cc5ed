// The phone makers of the Properties window's list cbPhoneType, in its
// order, each with the AT+CMER command that switches its phones' keypad
// reports on. The list's index is the setting "phone".
#pragma once

#include <iterator>
#include <string_view>

namespace vexel {

struct PhoneMaker {
  std::string_view name;                 // as the list shows it
  std::string_view keyReportingCommand;  // written by StartLink
};

inline constexpr PhoneMaker kPhoneMakers[] = {
    {"Sony Ericsson", "AT+CMER=3,2,0,0,0"},
    {"Motorola", "AT+CMER=3,1,0,0,0"},
    {"Siemens", "AT+CMER=3,2,0,0,0"},
    {"Sagem", "AT+CMER=2,1,0,0,0"},
};

inline constexpr bool IsPhoneMaker(int index) {
  return index >= 0 && index < static_cast<int>(std::size(kPhoneMakers));
}

// The maker's key reporting command; the empty command when the index
// names no maker (nothing selected).
inline constexpr std::string_view KeyReportingCommand(int index) {
  return IsPhoneMaker(index) ? kPhoneMakers[index].keyReportingCommand : std::string_view();
}

}  // namespace vexel
