// Asking the phone, on the command exchange's rules (one command at a time,
// up to 750 ms for its answer, the main loop's messages handled meanwhile),
// but reading whole answers (PhoneAnswers.h); and the detection of the key
// reporting command for "Detect automatically".
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "phone/LinkHost.h"
#include "phone/PhoneAnswers.h"

namespace vexel {

class SerialPort;

// One command and its whole answer. While a command waits, the exchange's
// handler is the port's received-data handler; it is taken away when the
// exchange ends, and the caller installs its own again.
class PhoneExchange {
 public:
  // `stopped` ends a wait at once when it turns true (the program exits).
  PhoneExchange(SerialPort& port, LinkHost& host, std::function<bool()> stopped = {});
  ~PhoneExchange();
  PhoneExchange(const PhoneExchange&) = delete;
  PhoneExchange& operator=(const PhoneExchange&) = delete;

  // Writes the command and a CR; waits up to timeoutMs for its final line.
  PhoneAnswer Ask(std::string_view command, unsigned timeoutMs);
  int RoundTrips() const { return roundTrips_; }
  // What followed the last answer's final line in its chunk.
  const std::string& Rest() const { return reader_.Rest(); }
  bool Stopped() const { return stopped_ && stopped_(); }

 private:
  SerialPort& port_;
  LinkHost& host_;
  std::function<bool()> stopped_;
  AnswerReader reader_;
  int roundTrips_ = 0;
};

// What detection chose, and why.
struct KeyReportingChoice {
  enum class From { kChosen, kMaker, kRanges, kFallback };
  From from = From::kFallback;
  int maker = -1;         // kPhoneMakers index that AT+CGMI named, else -1
  std::string makerName;  // that maker's name, or the phone's own AT+CGMI answer
  std::string command;    // the AT+CMER command to send
  int roundTrips = 0;     // commands asked
};

// "Detect automatically": AT+CGMI; an answer naming one of the four makers
// chooses its command. Else AT+CMER=?, whose ranges give the command
// (ChooseCmer). Neither: Sony Ericsson's command. Each waits up to 750 ms.
KeyReportingChoice DetectKeyReporting(PhoneExchange& exchange);
// The same choice from the two answers (an empty ranges answer when the
// maker was named).
KeyReportingChoice ChooseFromAnswers(const PhoneAnswer& maker, const PhoneAnswer& ranges);

// The key reporting of a start, 100 ms after the port opened: the maker's
// command from the table (the empty command when none is chosen), or for
// "Detect automatically" the detected one. The port's received-data handler
// is taken away when it returns.
KeyReportingChoice ChooseKeyReporting(int makerIndex, SerialPort& port, LinkHost& host,
                                      std::function<bool()> stopped);

}  // namespace vexel
