// Reading a phone's answers as whole lines, and what detection learns from
// them: the maker (AT+CGMI) and the key reporting the phone offers
// (AT+CMER=?). Pure text rules; PhoneExchange.h asks the phone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexel {

// An answer read up to its final line.
struct PhoneAnswer {
  bool complete = false;           // a final line came
  bool ok = false;                 // ... and it was OK (not ERROR)
  std::vector<std::string> lines;  // the information lines, as AnswerReader keeps them
  // The information lines joined by blanks ("" when none).
  std::string Text() const;
};

// Gathers the chunks of one answer into lines (ended by CR or LF) up to a
// final line that is exactly "OK" or "ERROR" (letter case ignored; a line
// holding "OK", such as "NOKIA", is no final line). It skips empty lines,
// the echo of the command, a "+NAME:" prefix and double quotes. A flood
// cannot grow it: past kMaxLines lines and kMaxLineBytes bytes of a line
// the rest is dropped, and a final line is still found.
class AnswerReader {
 public:
  static constexpr std::size_t kMaxLines = 16;
  static constexpr std::size_t kMaxLineBytes = 256;

  explicit AnswerReader(std::string command = {}) : command_(std::move(command)) {}
  void Feed(std::string_view chunk);
  const PhoneAnswer& Answer() const { return answer_; }
  // What came after the final line in its chunk (a key report that follows
  // an OK at once), at most kMaxLineBytes.
  const std::string& Rest() const { return rest_; }

 private:
  void EndLine();

  std::string command_;
  std::string line_;  // the line being gathered, at most kMaxLineBytes + 1 bytes
  PhoneAnswer answer_;
  std::string rest_;
};

// The maker's index in kPhoneMakers (PhoneMakers.h) when an AT+CGMI answer
// names one (Sony Ericsson or Ericsson, Motorola, Siemens, Sagem; letter
// case ignored), else -1.
int MakerOfAnswer(std::string_view answer);

// The key reporting command chosen from an AT+CMER=? answer,
// "(modes),(keyp),(disp),(ind),(bfr)" with or without "+CMER:", each element
// a list or range such as (0,3), (0-3) or (0,2-3): mode 3 if offered, else
// 2, else 1; keyp 2 if offered, else 1; 0 for the rest.
struct CmerChoice {
  int mode = 0;  // 0: no usable mode
  int keyp = 0;  // 0: no key reports offered
  bool Usable() const { return mode != 0 && keyp != 0; }
  std::string Command() const;  // "AT+CMER=3,2,0,0,0"
};
CmerChoice ChooseCmer(std::string_view ranges);

}  // namespace vexel
