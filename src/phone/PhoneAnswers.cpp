#include "phone/PhoneAnswers.h"

#include <cstdint>

#include "base/Text.h"
#include "phone/PhoneMakers.h"

namespace vexel {

std::string PhoneAnswer::Text() const {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
  return text;
}

void AnswerReader::Feed(std::string_view chunk) {
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    const char c = chunk[i];
    if (answer_.complete) {
      rest_ = chunk.substr(i, kMaxLineBytes);
      return;
    }
    if (c == '\r' || c == '\n') {
      EndLine();
    } else if (line_.size() <= kMaxLineBytes) {
      line_ += c;
    }
  }
}

void AnswerReader::EndLine() {
  std::string_view line = Trim(line_);
  if (line.size() > kMaxLineBytes) line = line.substr(0, kMaxLineBytes);
  if (SameText(line, "OK") || SameText(line, "ERROR")) {
    answer_.complete = true;
    answer_.ok = SameText(line, "OK");
  } else if (!line.empty() && !SameText(line, command_) && answer_.lines.size() < kMaxLines) {
    // "+CGMI: ..." -> "...": a prefix is a plus, letters and a colon.
    if (line.front() == '+') {
      std::size_t end = 1;
      while (end < line.size() &&
             ((line[end] >= 'A' && line[end] <= 'Z') || (line[end] >= 'a' && line[end] <= 'z')))
        ++end;
      if (end > 1 && end < line.size() && line[end] == ':') line = Trim(line.substr(end + 1));
    }
    std::string kept;
    for (char c : line)
      if (c != '"') kept += c;
    if (std::string line = TrimCopy(kept); !line.empty()) answer_.lines.push_back(std::move(line));
  }
  line_.clear();
}

int MakerOfAnswer(std::string_view answer) {
  const std::string upper = UpperCase(answer);
  for (int index = 0; IsPhoneMaker(index); ++index) {
    const std::string_view word = kPhoneMakers[index].answerWord;
    if (!word.empty() && upper.find(word) != std::string::npos) return index;
  }
  return -1;
}

namespace {

// The values 0 to 15 that one element lists, as bits: "(0,2-3)" or "0".
std::uint32_t ElementValues(std::string_view element) {
  std::uint32_t values = 0;
  std::size_t at = 0;
  const auto number = [&](int& n) {
    const std::size_t start = at;
    n = 0;
    while (at < element.size() && element[at] >= '0' && element[at] <= '9') {
      if (n < 100) n = n * 10 + (element[at] - '0');
      ++at;
    }
    return at > start;
  };
  while (at < element.size()) {
    int first = 0, last = 0;
    if (!number(first)) {
      ++at;  // a bracket, a blank or anything else between the numbers
      continue;
    }
    last = first;
    if (at < element.size() && element[at] == '-') {
      ++at;
      if (!number(last)) last = first;
    }
    for (int v = first; v <= last && v < 16; ++v) values |= 1u << v;
  }
  return values;
}

}  // namespace

std::string CmerChoice::Command() const {
  return "AT+CMER=" + std::to_string(mode) + "," + std::to_string(keyp) + ",0,0,0";
}

CmerChoice ChooseCmer(std::string_view ranges) {
  if (StartsWithText(ranges, "+CMER:")) ranges.remove_prefix(6);
  // The first two elements: each a bracketed list, or a bare one up to a comma.
  std::uint32_t elements[2] = {0, 0};
  std::size_t at = 0;
  for (std::uint32_t& element : elements) {
    while (at < ranges.size() && (ranges[at] == ' ' || ranges[at] == ',')) ++at;
    if (at >= ranges.size()) break;
    const std::size_t end =
        ranges[at] == '(' ? ranges.find(')', at) : ranges.find_first_of(",(", at);
    const std::size_t stop = end == std::string_view::npos ? ranges.size() : end;
    element = ElementValues(ranges.substr(at, stop - at));
    at = stop == ranges.size() ? stop : stop + (ranges[stop] == ')' ? 1 : 0);
  }
  CmerChoice choice;
  for (int mode : {3, 2, 1})
    if (elements[0] & (1u << mode)) {
      choice.mode = mode;
      break;
    }
  for (int keyp : {2, 1})
    if (elements[1] & (1u << keyp)) {
      choice.keyp = keyp;
      break;
    }
  return choice;
}

}  // namespace vexel
