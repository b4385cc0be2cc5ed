// The phone makers of the Properties window's list cbPhoneType, in its
// order, each with the AT+CMER command that switches its phones' keypad
// reports on. The list's index is the setting "phone". The last entry,
// "Detect automatically", asks the phone at each start (KeyReportingDetection.h).
#pragma once

#include <iterator>
#include <string_view>

namespace vexel {

struct PhoneMaker {
  std::string_view name;                 // as the list shows it
  std::string_view keyReportingCommand;  // written by StartLink
  std::string_view answerWord;           // in its phones' AT+CGMI answer, in capitals
};

inline constexpr PhoneMaker kPhoneMakers[] = {
    {"Sony Ericsson", "AT+CMER=3,2,0,0,0", "ERICSSON"},
    {"Motorola", "AT+CMER=3,1,0,0,0", "MOTOROLA"},
    {"Siemens", "AT+CMER=3,2,0,0,0", "SIEMENS"},
    {"Sagem", "AT+CMER=2,1,0,0,0", "SAGEM"},
    {"Detect automatically", "", ""},
};

// The entry that asks the phone: stored as phone=4.
inline constexpr int kDetectPhoneMaker = 4;
inline constexpr int kMotorola = 1;

inline constexpr bool IsPhoneMaker(int index) {
  return index >= 0 && index < static_cast<int>(std::size(kPhoneMakers));
}

// The maker's key reporting command; the empty command when the index
// names no maker (nothing selected) or is "Detect automatically".
inline constexpr std::string_view KeyReportingCommand(int index) {
  return IsPhoneMaker(index) ? kPhoneMakers[index].keyReportingCommand : std::string_view();
}

}  // namespace vexel
