// Finding the phone and checking it, over an open port (the shells open the
// port and close it again): the probe that tells a phone from a port with
// something else behind it, and the phone check's report.
#pragma once

#include <functional>
#include <string>

#include "phone/KeyReportingDetection.h"

namespace vexel {

// A whole search for the phone ends after this long.
inline constexpr unsigned kFindPhoneLimitMs = 60000;
// The phone check waits this long for a key.
inline constexpr unsigned kCheckKeyWaitMs = 15000;

// What answers on a port. A port answers like a phone when it answers "AT"
// with OK and its AT+CMER=? offers keypad reports (keyp 1 or 2): a 3G
// dongle or a GPS answers AT and AT+CGMI too.
struct ProbeResult {
  enum class Kind { kPhone, kNoAnswer, kNotAPhone };
  Kind kind = Kind::kNoAnswer;
  std::string maker;  // AT+CGMI's answer (a phone only)
  std::string model;  // AT+CGMM's answer
  // "Motorola CE, Copyright 2000, MODEL=V3", "no answer", "not a phone".
  std::string Describe() const;
};
ProbeResult ProbePhone(PhoneExchange& exchange);

// The phone check on an open port: maker, model, the AT+CMER ranges and the
// command Vexel would use (the settings' maker's, or detected for
// "Detect automatically"), caller ID, indicators, battery and signal; then
// key reporting is switched on and the first key pressed within 15 s is
// named. Each line goes to `out` as soon as it is known. True when a key
// came.
bool CheckPhone(PhoneExchange& exchange, LinkHost& host, SerialPort& port, int makerSetting,
                const std::function<void(const std::string& line)>& out);

}  // namespace vexel
