#include "Script.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vexel::phonesim {
namespace {

constexpr int kDefaultHoldMs = 100;
constexpr int kDefaultRingEveryMs = 3000;
constexpr int kDefaultSplitPauseMs = 100;
constexpr int kDefaultHangupMs = 2000;
constexpr int kMaxCount = 1 << 20;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The text after the first word, leading blanks removed.
std::string_view Rest(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::string_view rest = line.substr(i);
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.remove_suffix(1);
  return rest;
}

bool Lower(std::string_view word, std::string_view expected) {
  if (word.size() != expected.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(word[i])) != expected[i]) return false;
  return true;
}

bool Number(std::string_view text, int& value, int max = kMaxCount) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= 0 &&
         value <= max;
}

bool OnOff(std::string_view text, bool& on) {
  if (Lower(text, "on"))
    on = true;
  else if (Lower(text, "off"))
    on = false;
  else
    return false;
  return true;
}

Step Make(Step::Kind kind, std::string bytes = {}, int ms = 0) {
  Step step;
  step.kind = kind;
  step.bytes = std::move(bytes);
  step.ms = ms;
  return step;
}

// Reports of keys and flags; a part of them with `cut` (see Step).
Step Reports(std::vector<std::pair<std::string, char>> reports, int cut = 0) {
  Step step = Make(Step::Kind::kReport);
  step.reports = std::move(reports);
  step.cut = cut;
  step.bytes = ReportBytes(step, KeyForm::kPlain);
  return step;
}

// Noise: a fixed pseudo-random run of bytes without capital letters, so it
// can never hold "OK" or "CKEV".
std::string Noise(int count) {
  std::string bytes;
  unsigned state = 12345;
  while (static_cast<int>(bytes.size()) < count) {
    state = state * 1103515245u + 12345u;
    const char c = static_cast<char>((state >> 16) & 0xFF);
    if (c >= 'A' && c <= 'Z') continue;
    bytes += c;
  }
  return bytes;
}

// "5,1" -> key "5", flag '1' (the flag is the character after the last comma).
bool KeyAndFlag(std::string_view word, std::string& key, char& flag) {
  const size_t comma = word.rfind(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 2 != word.size()) return false;
  key = std::string(word.substr(0, comma));
  flag = word.back();
  return true;
}

}  // namespace

std::string ReportBytes(const Step& step, KeyForm form) {
  std::string bytes;
  for (const auto& [key, flag] : step.reports) bytes += KeyReport(key, flag, form);
  if (step.cut > 0) return bytes.substr(0, std::min<size_t>(bytes.size(), step.cut));
  if (step.cut < 0) return bytes.substr(std::min<size_t>(bytes.size(), -step.cut));
  return bytes;
}

bool Unescape(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'r':
        bytes += '\r';
        break;
      case 'n':
        bytes += '\n';
        break;
      case 't':
        bytes += '\t';
        break;
      case '\\':
        bytes += '\\';
        break;
      case 'x': {
        int value = 0;
        if (i + 2 >= text.size()) return false;
        const auto result = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (result.ec != std::errc() || result.ptr != text.data() + i + 3) return false;
        bytes += static_cast<char>(value);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

std::string Escape(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r')
      text += "\\r";
    else if (c == '\n')
      text += "\\n";
    else if (c == '\\')
      text += "\\\\";
    else if (u >= 32 && u < 127)
      text += c;
    else
      text += std::string("\\x") + kHex[u >> 4] + kHex[u & 15];
  }
  return text;
}

bool ParseScriptLine(std::string_view line, std::vector<Step>& steps, std::string& error,
                     bool clickBareKeys) {
  const std::vector<std::string_view> words = Words(line);
  if (words.empty() || words[0][0] == '#') return true;
  const std::string_view command = words[0];
  const size_t argc = words.size() - 1;
  const auto fail = [&error](std::string message) {
    error = std::move(message);
    return false;
  };
  const auto usage = [&](const char* form) { return fail(std::string("usage: ") + form); };
  int n = 0;

  if (Lower(command, "press") || Lower(command, "release")) {
    if (argc != 1) return usage(Lower(command, "press") ? "press KEY" : "release KEY");
    steps.push_back(Reports({{std::string(words[1]), Lower(command, "press") ? '1' : '0'}}));
  } else if (Lower(command, "lock") || Lower(command, "unlock")) {
    if (argc != 0) return usage(Lower(command, "lock") ? "lock" : "unlock");
    steps.push_back(Reports({{"@", Lower(command, "lock") ? '1' : '0'}}));
  } else if (Lower(command, "ring")) {
    int rings = 1, every = kDefaultRingEveryMs;
    if (argc < 1 || argc > 3 || (argc >= 2 && (!Number(words[2], rings) || rings < 1)) ||
        (argc == 3 && !Number(words[3], every)))
      return usage("ring NUMBER [N] [EVERY_MS]");
    for (int i = 0; i < rings; ++i) {
      if (i) steps.push_back(Make(Step::Kind::kPause, {}, every));
      steps.push_back(Make(Step::Kind::kRing, std::string(words[1])));
    }
  } else if (Lower(command, "maker")) {
    Step step = Make(Step::Kind::kMaker);
    if (argc != 1 || !(step.maker = FindMaker(words[1])))
      return usage(("maker " + MakerNames()).c_str());
    step.bytes = step.maker->name;
    steps.push_back(step);
  } else if (Lower(command, "click")) {
    int hold = kDefaultHoldMs;
    if (argc < 1 || argc > 2 || (argc == 2 && !Number(words[2], hold)))
      return usage("click KEY [HOLD_MS]");
    steps.push_back(Reports({{std::string(words[1]), '1'}}));
    steps.push_back(Make(Step::Kind::kPause, {}, hold));
    steps.push_back(Reports({{std::string(words[1]), '0'}}));
  } else if (Lower(command, "reports")) {
    std::vector<std::pair<std::string, char>> reports;
    std::string key;
    char flag = 0;
    if (argc < 1) return usage("reports KEY,FLAG [KEY,FLAG...]");
    for (size_t i = 1; i < words.size(); ++i) {
      if (!KeyAndFlag(words[i], key, flag)) return fail("not KEY,FLAG: " + std::string(words[i]));
      reports.emplace_back(key, flag);
    }
    steps.push_back(Reports(std::move(reports)));
  } else if (Lower(command, "split")) {
    std::string key;
    char flag = 0;
    int cut = -1, pause = kDefaultSplitPauseMs;
    if (argc < 1 || argc > 3 || !KeyAndFlag(words[1], key, flag) ||
        (argc >= 2 && !Number(words[2], cut)) || (argc == 3 && !Number(words[3], pause)))
      return usage("split KEY,FLAG [CUT] [PAUSE_MS]");
    const std::string report = KeyReport(key, flag);
    if (cut < 0) cut = static_cast<int>(report.size() / 2);
    if (cut < 1 || cut >= static_cast<int>(report.size()))
      return fail("CUT must be 1 to " + std::to_string(report.size() - 1));
    steps.push_back(Reports({{key, flag}}, cut));
    steps.push_back(Make(Step::Kind::kPause, {}, pause));
    steps.push_back(Reports({{key, flag}}, -cut));
  } else if (Lower(command, "pause") || Lower(command, "wait")) {
    if (argc != 1 || !Number(words[1], n)) return usage("pause MS");
    steps.push_back(Make(Step::Kind::kPause, {}, n));
  } else if (Lower(command, "send")) {
    std::string bytes;
    if (argc < 1) return usage("send TEXT");
    if (!Unescape(Rest(line), bytes)) return fail("bad escape in: " + std::string(Rest(line)));
    steps.push_back(Make(Step::Kind::kSend, bytes));
  } else if (Lower(command, "noise")) {
    if (argc != 1 || !Number(words[1], n)) return usage("noise N");
    steps.push_back(Make(Step::Kind::kSend, Noise(n)));
  } else if (Lower(command, "flood")) {
    std::string fill = "x";
    if (argc < 1 || argc > 2 || !Number(words[1], n) ||
        (argc == 2 && (!Unescape(words[2], fill) || fill.size() != 1)))
      return usage("flood N [CHAR]");
    steps.push_back(Make(Step::Kind::kSend, std::string(n, fill[0])));
  } else if (Lower(command, "hangup")) {
    n = kDefaultHangupMs;
    if (argc > 1 || (argc == 1 && !Number(words[1], n))) return usage("hangup [MS]");
    steps.push_back(Make(Step::Kind::kHangup, {}, n));
  } else if (Lower(command, "reply")) {
    Step step = Make(Step::Kind::kReply);
    if (argc != 1 || !ParseReplyMode(words[1], step.mode)) return usage("reply ok|error|silent");
    steps.push_back(step);
  } else if (Lower(command, "echo") || Lower(command, "keys")) {
    Step step = Make(Lower(command, "echo") ? Step::Kind::kEcho : Step::Kind::kKeys);
    if (argc != 1 || !OnOff(words[1], step.on))
      return usage(step.kind == Step::Kind::kEcho ? "echo on|off" : "keys on|off");
    steps.push_back(step);
  } else if (Lower(command, "wait-keys")) {
    n = -1;
    if (argc > 1 || (argc == 1 && !Number(words[1], n))) return usage("wait-keys [MS]");
    steps.push_back(Make(Step::Kind::kWaitKeys, {}, n));
  } else if (Lower(command, "note")) {
    steps.push_back(Make(Step::Kind::kNote, std::string(Rest(line))));
  } else if (Lower(command, "quit") || Lower(command, "exit")) {
    steps.push_back(Make(Step::Kind::kQuit));
  } else if (clickBareKeys && words.size() == 1) {
    return ParseScriptLine("click " + std::string(command), steps, error);
  } else {
    return fail("unknown command: " + std::string(command));
  }
  return true;
}

bool ParseScript(std::string_view text, std::vector<Step>& steps, std::string& error) {
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!ParseScriptLine(line, steps, error)) {
      error = "line " + std::to_string(number) + ": " + error;
      return false;
    }
  }
  return true;
}

std::string ScriptHelp() {
  return R"(Script language: one command per line; blank lines and lines starting
with # are ignored; command words ignore letter case. Key reports are sent
as CR LF "+CKEV: KEY,FLAG" CR LF (FLAG 1 press, 0 release) and, like a real
phone's, only while key reporting is on (after an AT+CMER that switches it
on, or "keys on", or --keys-on); otherwise they are logged and skipped.

  press KEY              report KEY pressed
  release KEY            report KEY released
  click KEY [HOLD]       press, hold HOLD ms (default 100), release
  reports K,F [K,F...]   several reports in one write (e.g. reports 5,1 5,0)
  split K,F [CUT] [MS]   one report in two writes: its first CUT bytes (default
                         half), a pause of MS ms (default 100), the rest
  pause MS               wait MS milliseconds (also: wait MS)
  send TEXT              write TEXT as it stands, always (escapes: \r \n \t
                         \\ \xHH)
  noise N                write N garbage bytes (never a capital letter, so
                         never "OK" or "CKEV")
  flood N [CHAR]         write N bytes of CHAR (default x) in one write
  hangup [MS]            unplug the null-modem (the rig's "down" file) for MS
                         ms (default 2000), then reopen the port once the
                         cable is back
  lock, unlock           report the key "@" pressed or released (a Motorola's
                         keypad lock)
  ring NUMBER [N] [MS]   a call from NUMBER: N times (default 1), MS ms apart
                         (default 3000), "RING" and, once AT+CLIP=1 switched
                         caller ID on, +CLIP: "NUMBER",145 (129 without +)
  maker NAME             play another phone from now on (see --maker)
  reply ok|error|silent  how commands are answered from now on
  echo on|off            echo received command lines
  keys on|off            key reporting on or off, as AT+CMER would
  wait-keys [MS]         wait until key reporting is on (at most MS ms)
  note TEXT              write TEXT to the log
  quit                   end (also: exit)

At the prompt (commands from standard input) a line holding one word that is
no command clicks that key: "5" is "click 5", ":J" is "click :J". "help"
shows this text.

Commands answered (reply ok): AT, ATE0, ATE1, AT+CGMI, AT+GMI, AT+CGMM,
AT+GMM, AT+CGMR, AT+GMR, ATI, ATI3, AT+CSCS=?, AT+CSCS?, AT+CSCS=<set>,
AT+CLIP=?, AT+CLIP?, AT+CLIP=0|1, AT+CIND=?, AT+CBC, AT+CSQ, AT+CMER=?, AT+CMER?,
AT+CMER=<mode>,<keyp>,<disp>,<ind>,<bfr> (values outside the ranges the
phone lists for AT+CMER=? get ERROR; key reporting is on while mode and keyp
are not 0). Anything else starting with AT gets ERROR; other lines are
ignored. What each phone answers, and how it writes keys, depends on the
maker played (--maker, "maker"):
)" + MakerHelp();
}

}  // namespace vexel::phonesim
