#include "AtResponder.h"

#include <cctype>
#include <vector>

#include "app/Version.h"

namespace vexel::phonesim {
namespace {

constexpr char kRevision[] = VEXEL_VERSION;
constexpr char kIdentification[] = "Vexel PhoneSim " VEXEL_VERSION " (a simulated 27.007 phone)";
const char* const kCharsets[] = {"GSM", "IRA", "8859-1", "UCS2"};

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string Final(const char* code) { return std::string("\r\n") + code + "\r\n"; }
std::string Info(const std::string& text) { return "\r\n" + text + "\r\n" + Final("OK"); }

// "3,2,,0" -> {3, 2, -1, 0}; -1 for an omitted value. False on anything else.
bool ParseNumbers(std::string_view text, std::vector<int>& numbers) {
  numbers.assign(1, -1);
  for (char c : text) {
    if (c == ',') {
      numbers.push_back(-1);
    } else if (c >= '0' && c <= '9') {
      int& n = numbers.back();
      n = (n < 0 ? 0 : n) * 10 + (c - '0');
      if (n > 255) return false;
    } else if (c != ' ') {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseReplyMode(std::string_view text, ReplyMode& mode) {
  const std::string upper = Upper(text);
  if (upper == "OK")
    mode = ReplyMode::kOk;
  else if (upper == "ERROR")
    mode = ReplyMode::kError;
  else if (upper == "SILENT")
    mode = ReplyMode::kSilent;
  else
    return false;
  return true;
}

const char* ReplyModeName(ReplyMode mode) {
  switch (mode) {
    case ReplyMode::kOk:
      return "ok";
    case ReplyMode::kError:
      return "error";
    case ReplyMode::kSilent:
      return "silent";
  }
  return "?";
}

void AtResponder::SetKeysOn(bool on) {
  cmerMode_ = on ? 3 : 0;
  cmerKeypad_ = on ? 2 : 0;
}

std::string AtResponder::Receive(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (c == '\n') continue;
    if (c != '\r') {
      if (pending_.size() < 4096) pending_ += c;
      continue;
    }
    std::string command;
    command.swap(pending_);
    if (echo_) out += command + '\r';
    out += Answer(command);
  }
  return out;
}

std::string AtResponder::Answer(const std::string& line) {
  // Only lines that start with AT are commands; an empty line gets nothing.
  const std::string upper = Upper(line);
  if (upper.rfind("AT", 0) != 0) return "";
  if (mode_ == ReplyMode::kSilent) return "";
  if (mode_ == ReplyMode::kError) return Final("ERROR");

  const std::string command = upper.substr(2);
  if (command.empty()) return Final("OK");
  if (command == "E0" || command == "E" || command == "E1") {
    echo_ = command == "E1";
    return Final("OK");
  }
  if (command == "+CGMI" || command == "+GMI") return Info(maker_->cgmi);
  if (command == "+CGMM" || command == "+GMM") return Info(maker_->cgmm);
  if (command == "+CGMR" || command == "+GMR") return Info(kRevision);
  if (command == "I" || command == "I0" || command == "I3") return Info(kIdentification);
  if (command == "+CSCS=?") {
    std::string list;
    for (const char* charset : kCharsets)
      list += std::string(list.empty() ? "" : ",") + '"' + charset + '"';
    return Info("+CSCS: (" + list + ")");
  }
  if (command == "+CSCS?") return Info("+CSCS: \"" + charset_ + "\"");
  if (command.rfind("+CSCS=", 0) == 0) {
    std::string wanted = command.substr(6);
    if (wanted.size() >= 2 && wanted.front() == '"' && wanted.back() == '"')
      wanted = wanted.substr(1, wanted.size() - 2);
    for (const char* charset : kCharsets)
      if (wanted == charset) {
        charset_ = wanted;
        return Final("OK");
      }
    return Final("ERROR");
  }
  if (command == "+CLIP=?") return Info(maker_->clip);
  if (command == "+CLIP=0" || command == "+CLIP=1") {
    callerId_ = command.back() == '1';
    return Final("OK");
  }
  if (command == "+CLIP?") return Info(std::string("+CLIP: ") + (callerId_ ? "1" : "0") + ",1");
  if (command == "+CIND=?") return Info(maker_->cind);
  if (command == "+CBC") return Info(maker_->cbc);
  if (command == "+CSQ") return Info(maker_->csq);
  if (!maker_->cmer[0] && command.rfind("+CMER", 0) == 0) return Final("ERROR");
  if (command == "+CMER=?") return Info(CmerRanges(*maker_));
  if (command == "+CMER?")
    return Info("+CMER: " + std::to_string(cmerMode_) + "," + std::to_string(cmerKeypad_) +
                ",0,0,0");
  if (command.rfind("+CMER=", 0) == 0) return SetCmer(std::string_view(command).substr(6));
  return Final("ERROR");
}

std::string AtResponder::SetCmer(std::string_view parameters) {
  std::vector<int> numbers;
  if (!ParseNumbers(parameters, numbers) || numbers.size() > 5) return Final("ERROR");
  numbers.resize(5, -1);
  // An omitted mode or keyp keeps its value; the others are 0 then.
  if (numbers[0] < 0) numbers[0] = cmerMode_;
  if (numbers[1] < 0) numbers[1] = cmerKeypad_;
  for (int i = 0; i < 5; ++i)
    if (!TakesCmerValue(*maker_, i, numbers[i] < 0 ? 0 : numbers[i])) return Final("ERROR");
  const int mode = numbers[0], keypad = numbers[1];
  cmerMode_ = mode;
  cmerKeypad_ = keypad;
  return Final("OK");
}

}  // namespace vexel::phonesim
