#include "phone/KeyReportingDetection.h"

#include "comm/SerialPort.h"
#include "phone/PhoneLink.h"
#include "phone/PhoneMakers.h"

namespace vexel {

PhoneExchange::PhoneExchange(SerialPort& port, LinkHost& host, std::function<bool()> stopped)
    : port_(port), host_(host), stopped_(std::move(stopped)) {}

PhoneExchange::~PhoneExchange() { port_.SetOnReceiveData({}); }

PhoneAnswer PhoneExchange::Ask(std::string_view command, unsigned timeoutMs) {
  ++roundTrips_;
  reader_ = AnswerReader(std::string(command));
  port_.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t length) {
    reader_.Feed(std::string_view(buffer, length));
  });
  std::string line(command);
  line += '\r';
  port_.WriteData(line.data(), static_cast<std::uint16_t>(line.size()));
  const std::uint64_t deadline = host_.Milliseconds() + timeoutMs;
  do {
    host_.ProcessMessages();
    host_.Sleep(kWaitPassMs);
  } while (!reader_.Answer().complete && host_.Milliseconds() < deadline && !Stopped());
  return reader_.Answer();
}

KeyReportingChoice ChooseFromAnswers(const PhoneAnswer& maker, const PhoneAnswer& ranges) {
  KeyReportingChoice choice;
  choice.maker = maker.ok ? MakerOfAnswer(maker.Text()) : -1;
  if (choice.maker >= 0) {
    choice.from = KeyReportingChoice::From::kMaker;
    choice.makerName = kPhoneMakers[choice.maker].name;
    choice.command = kPhoneMakers[choice.maker].keyReportingCommand;
    return choice;
  }
  if (maker.ok && !maker.lines.empty()) choice.makerName = maker.lines.front();
  const CmerChoice cmer = ranges.ok ? ChooseCmer(ranges.Text()) : CmerChoice();
  if (cmer.Usable()) {
    choice.from = KeyReportingChoice::From::kRanges;
    choice.command = cmer.Command();
  } else {
    choice.command = kPhoneMakers[0].keyReportingCommand;
  }
  return choice;
}

KeyReportingChoice DetectKeyReporting(PhoneExchange& exchange) {
  const PhoneAnswer maker = exchange.Ask("AT+CGMI", kReplyTimeoutMs);
  PhoneAnswer ranges;
  if ((!maker.ok || MakerOfAnswer(maker.Text()) < 0) && !exchange.Stopped())
    ranges = exchange.Ask("AT+CMER=?", kReplyTimeoutMs);
  KeyReportingChoice choice = ChooseFromAnswers(maker, ranges);
  choice.roundTrips = exchange.RoundTrips();
  return choice;
}

KeyReportingChoice ChooseKeyReporting(int makerIndex, SerialPort& port, LinkHost& host,
                                      std::function<bool()> stopped) {
  if (makerIndex == kDetectPhoneMaker) {
    PhoneExchange exchange(port, host, std::move(stopped));
    return DetectKeyReporting(exchange);
  }
  KeyReportingChoice choice;
  choice.from = KeyReportingChoice::From::kChosen;
  if (IsPhoneMaker(makerIndex)) {
    choice.maker = makerIndex;
    choice.makerName = kPhoneMakers[makerIndex].name;
  }
  choice.command = KeyReportingCommand(makerIndex);
  return choice;
}

}  // namespace vexel
