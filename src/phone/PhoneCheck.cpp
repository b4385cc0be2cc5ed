#include "phone/PhoneCheck.h"

#include <optional>

#include "comm/SerialPort.h"
#include "phone/KeyEvents.h"
#include "phone/PhoneLink.h"
#include "phone/PhoneMakers.h"

namespace vexel {

namespace {

int FirstNumber(const std::string& text) {
  int n = -1;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    n = (n < 0 ? 0 : n) * 10 + (c - '0');
    if (n > 1000) return -1;
  }
  return n;
}

std::string Shown(const PhoneAnswer& answer) {
  if (!answer.complete) return "no answer";
  if (!answer.ok) return "not offered (ERROR)";
  return answer.lines.empty() ? "OK" : answer.Text();
}

// The second number of "0,60" (battery level, signal quality), or -1.
int SecondNumber(const std::string& text) { return FirstNumber(text.substr(text.find(',') + 1)); }

}  // namespace

std::string ProbeResult::Describe() const {
  switch (kind) {
    case Kind::kPhone: {
      std::string name = maker.empty() ? "a phone" : maker;
      if (!model.empty()) name += ", " + model;
      return name;
    }
    case Kind::kNotAPhone:
      return "not a phone";
    case Kind::kNoAnswer:
      break;
  }
  return "no answer";
}

ProbeResult ProbePhone(PhoneExchange& exchange) {
  ProbeResult result;
  const PhoneAnswer at = exchange.Ask("AT", kReplyTimeoutMs);
  if (!at.complete) return result;
  result.kind = ProbeResult::Kind::kNotAPhone;
  if (!at.ok || exchange.Stopped()) return result;
  const PhoneAnswer ranges = exchange.Ask("AT+CMER=?", kReplyTimeoutMs);
  if (!ranges.ok || ChooseCmer(ranges.Text()).keyp == 0 || exchange.Stopped()) return result;
  result.kind = ProbeResult::Kind::kPhone;
  const PhoneAnswer maker = exchange.Ask("AT+CGMI", kReplyTimeoutMs);
  if (maker.ok) result.maker = maker.Text();
  const PhoneAnswer model =
      exchange.Stopped() ? PhoneAnswer() : exchange.Ask("AT+CGMM", kReplyTimeoutMs);
  if (model.ok) result.model = model.Text();
  return result;
}

bool CheckPhone(PhoneExchange& exchange, LinkHost& host, SerialPort& port, int makerSetting,
                const std::function<void(const std::string& line)>& out) {
  const PhoneAnswer at = exchange.Ask("AT", kReplyTimeoutMs);
  if (!at.complete) {
    out("The phone does not answer (AT). Check that it is on and connected (a Bluetooth "
        "phone paired and in reach), that this is its port, and the line speed.");
    return false;
  }
  const auto ask = [&](const char* label, const char* command) {
    const PhoneAnswer answer = exchange.Ask(command, kReplyTimeoutMs);
    out(std::string(label) + " (" + command + "): " + Shown(answer));
    return answer;
  };
  const PhoneAnswer maker = ask("Maker", "AT+CGMI");
  ask("Model", "AT+CGMM");
  const PhoneAnswer ranges = ask("Key reporting", "AT+CMER=?");
  const KeyReportingChoice detected = ChooseFromAnswers(maker, ranges);
  const bool chosen = IsPhoneMaker(makerSetting) && makerSetting != kDetectPhoneMaker;
  const std::string command =
      chosen ? std::string(KeyReportingCommand(makerSetting)) : detected.command;
  const int makerInUse = chosen ? makerSetting : detected.maker;
  std::string line = "Command: " + command + " (";
  if (chosen)
    line += std::string(kPhoneMakers[makerSetting].name) + ", the settings' maker";
  else if (detected.from == KeyReportingChoice::From::kMaker)
    line += "detected: " + detected.makerName;
  else if (detected.from == KeyReportingChoice::From::kRanges)
    line += "detected: built from the ranges offered";
  else
    line += "detected: nothing usable, so Sony Ericsson's";
  if (chosen && detected.command != command) line += "; detection would send " + detected.command;
  out(line + ")");
  ask("Caller ID", "AT+CLIP=?");
  ask("Indicators", "AT+CIND=?");
  PhoneAnswer answer = exchange.Ask("AT+CBC", kReplyTimeoutMs);
  const int battery = answer.ok ? SecondNumber(answer.Text()) : -1;
  out("Battery (AT+CBC): " + Shown(answer) +
      (battery >= 0 && battery <= 100 ? " (" + std::to_string(battery) + " %)" : ""));
  answer = exchange.Ask("AT+CSQ", kReplyTimeoutMs);
  const int signal = answer.ok ? FirstNumber(answer.Text()) : -1;
  out("Signal (AT+CSQ): " + Shown(answer) +
      (signal >= 0 && signal <= 31 ? " (" + std::to_string(signal * 2 - 113) + " dBm)"
       : signal == 99              ? " (unknown)"
                                   : ""));
  if (exchange.Stopped()) return false;

  const PhoneAnswer on = exchange.Ask(command, kReplyTimeoutMs);
  if (!on.ok) {
    out("The phone " + std::string(on.complete ? "refused " : "did not answer ") + command +
        ": it cannot report its keys this way. Try another maker, or Detect automatically.");
    return false;
  }
  out("Press any key on the phone (within " + std::to_string(kCheckKeyWaitMs / 1000) + " s)...");
  std::optional<KeyEvent> key;
  bool lockShown = false;
  const auto keys = [&](std::string_view text) {
    for (const KeyEvent& event : ParseKeyEvents(text)) {
      if (makerInUse == kMotorola && event.key == "@") {
        if (!lockShown) out("The phone's keypad is locked (it reports \"@\"): unlock it.");
        lockShown = true;
      } else if (!key) {
        key = event;
      }
    }
  };
  keys(exchange.Rest());  // a key pressed as the phone said OK
  port.SetOnReceiveData([&](void*, const char* buffer, std::uint16_t length) {
    keys({buffer, length});
  });
  const std::uint64_t deadline = host.Milliseconds() + kCheckKeyWaitMs;
  while (!key && host.Milliseconds() < deadline && !exchange.Stopped()) {
    host.ProcessMessages();
    host.Sleep(kWaitPassMs);
  }
  port.SetOnReceiveData({});
  if (!key) {
    out("No key report came within " + std::to_string(kCheckKeyWaitMs / 1000) +
        " s. Try: another maker or Detect automatically; unlock the keypad; on some phones "
        "keys are reported only on the main screen, or only while no menu is open.");
    return false;
  }
  out("Key pressed: " + key->key + (key->flag == '0' ? " (released)" : "") +
      " - this phone works with Vexel.");
  return true;
}

}  // namespace vexel
