#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "AtResponder.h"
#include "Phone.h"
#include "Script.h"

namespace vexel::phonesim {
namespace {

// --- The AT responder ------------------------------------------------------

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

TEST(AtResponder, AnswersByModeAndEcho) {
  struct Case {
    ReplyMode mode;
    bool echo;
    std::vector<std::string> input;  // fed one after another
    std::string output;              // everything answered
  } cases[] = {
      {ReplyMode::kOk, false, {"AT\r"}, kOk},
      {ReplyMode::kOk, true, {"AT\r"}, "AT\r" + kOk},
      {ReplyMode::kOk, true, {"ATE0\r", "AT\r"}, "ATE0\r" + kOk + kOk},
      {ReplyMode::kOk, false, {"ATE1\r", "at\r"}, kOk + "at\r" + kOk},
      {ReplyMode::kOk, false, {"AT+CG", "MI\r"}, "\r\nVexel\r\n" + kOk},
      {ReplyMode::kOk, false, {"AT\r\nAT\r\n"}, kOk + kOk},
      {ReplyMode::kOk, false, {"AT+FOO\r"}, kError},
      {ReplyMode::kOk, false, {"\r", "hello\r", "OK\r"}, ""},
      {ReplyMode::kError, false, {"AT\r", "AT+CMER=3,2,0,0,0\r"}, kError + kError},
      {ReplyMode::kError, false, {"ATE1\r", "AT\r"}, kError + kError},
      {ReplyMode::kSilent, false, {"AT\r", "AT+CGMI\r"}, ""},
      {ReplyMode::kSilent, true, {"AT\r"}, "AT\r"},
  };
  for (const Case& c : cases) {
    AtResponder phone(c.mode, c.echo);
    std::string output;
    for (const std::string& bytes : c.input) output += phone.Receive(bytes);
    EXPECT_EQ(output, c.output) << ReplyModeName(c.mode) << " " << Escape(c.input[0]);
  }
}

TEST(AtResponder, GivesAnInformationTextAndOkToEveryIdentificationCommand) {
  for (const char* command :
       {"ATE0", "AT+CGMI", "AT+GMM", "ATI3", "AT+CSCS=?", "AT+CSCS?", "AT+CMER=?"}) {
    AtResponder phone(ReplyMode::kOk, false);
    const std::string reply = phone.Receive(std::string(command) + "\r");
    ASSERT_GE(reply.size(), kOk.size()) << command;
    EXPECT_EQ(reply.substr(reply.size() - kOk.size()), kOk) << command;
    if (std::string(command) != "ATE0") {
      EXPECT_GT(reply.size(), kOk.size() + 4) << command;
    }
  }
}

TEST(AtResponder, KeyReportingFollowsCmer) {
  struct Case {
    const char* command;
    const std::string& reply;
    bool keysOn;
  } cases[] = {
      {"AT+CMER=3,2,0,0,0", kOk, true},    {"AT+CMER=0,0,0,0,0", kOk, false},
      {"AT+CMER=3,1,0,0,0", kOk, true},    {"AT+CMER=2,1,0,0,0", kOk, true},
      {"AT+CMER=3,0", kOk, false},         {"AT+CMER=,2", kOk, true},
      {"AT+CMER=9,2,0,0,0", kError, true}, {"AT+CMER=3,2,1,0,0", kError, true},
      {"AT+CMER=x", kError, true},
  };
  AtResponder phone(ReplyMode::kOk, false);
  for (const Case& c : cases) {
    EXPECT_EQ(phone.Receive(std::string(c.command) + "\r"), c.reply) << c.command;
    EXPECT_EQ(phone.KeysOn(), c.keysOn) << c.command;
  }
  EXPECT_EQ(phone.Receive("AT+CMER?\r"), "\r\n+CMER: 3,2,0,0,0\r\n" + kOk);
}

TEST(AtResponder, EachMakerAnswersAsItsPhonesAndTakesOnlyItsCmerValues) {
  struct Case {
    const char* maker;
    const char* command;
    std::string reply;
  } cases[] = {
      {"vexel", "AT+CMER=?", "\r\n+CMER: (0-3),(0-2),(0),(0),(0)\r\n" + kOk},
      {"nokia", "AT+CMER=?", "\r\n+CMER: (0,3),(0,2),(0),(0,1),(0)\r\n" + kOk},
      {"nokia", "AT+CGMI", "\r\nNokia\r\n" + kOk},
      {"nokia", "AT+CMER=3,2,0,1,0", kOk},
      {"nokia", "AT+CMER=3,1,0,0,0", kError},
      {"nokia", "AT+CMER=1,2,0,0,0", kError},
      {"motorola", "AT+CGMI", "\r\n+CGMI: \"Motorola CE, Copyright 2000\"\r\n" + kOk},
      {"motorola", "AT+CMER=3,1,0,0,0", kOk},
      {"motorola", "AT+CMER=3,2,0,0,0", kError},
      {"sonyericsson", "AT+CMER=3,2,0,0,0", kOk},
      {"siemens", "AT+CMER=3,2,0,0,0", kOk},
      {"siemens", "AT+CSQ", "\r\n+CSQ: 12,99\r\n" + kOk},
      {"sagem", "AT+CMER=2,1,0,0,0", kOk},
      {"sagem", "AT+CMER=3,1,0,0,0", kError},
      {"sagem", "AT+CBC", "\r\n+CBC: 0,45\r\n" + kOk},
      {"nokeys", "AT+CMER=?", kError},
      {"nokeys", "AT+CMER=3,2,0,0,0", kError},
      {"nokeys", "AT+CLIP=?", "\r\n+CLIP: (0,1)\r\n" + kOk},
  };
  for (const Case& c : cases) {
    const MakerProfile* maker = FindMaker(c.maker);
    ASSERT_TRUE(maker) << c.maker;
    AtResponder phone(ReplyMode::kOk, false, *maker);
    EXPECT_EQ(phone.Receive(std::string(c.command) + "\r"), c.reply) << c.maker << " " << c.command;
  }
}

// --- The script language ---------------------------------------------------

// Steps as one readable line, e.g. "report(\r\n+CKEV: 5,1\r\n) pause(100)".
std::string Show(const std::vector<Step>& steps) {
  static const char* const kNames[] = {"send",      "report", "pause", "reply", "echo",  "keys",
                                       "wait-keys", "hangup", "note",  "quit",  "maker", "ring"};
  std::string shown;
  for (const Step& step : steps) {
    if (!shown.empty()) shown += ' ';
    shown += kNames[static_cast<int>(step.kind)];
    shown += '(';
    switch (step.kind) {
      case Step::Kind::kSend:
      case Step::Kind::kReport:
      case Step::Kind::kNote:
      case Step::Kind::kRing:
        shown += Escape(step.bytes);
        break;
      case Step::Kind::kPause:
      case Step::Kind::kWaitKeys:
      case Step::Kind::kHangup:
        shown += std::to_string(step.ms);
        break;
      case Step::Kind::kReply:
        shown += ReplyModeName(step.mode);
        break;
      case Step::Kind::kEcho:
      case Step::Kind::kKeys:
        shown += step.on ? "on" : "off";
        break;
      case Step::Kind::kMaker:
        shown += step.maker->name;
        break;
      case Step::Kind::kQuit:
        break;
    }
    shown += ')';
  }
  return shown;
}

TEST(Script, CommandsExpandIntoSteps) {
  struct Case {
    const char* line;
    const char* steps;
  } cases[] = {
      {"press 5", R"(report(\r\n+CKEV: 5,1\r\n))"},
      {"RELEASE #", R"(report(\r\n+CKEV: #,0\r\n))"},
      {"click :J", R"(report(\r\n+CKEV: :J,1\r\n) pause(100) report(\r\n+CKEV: :J,0\r\n))"},
      {"click 5 30", R"(report(\r\n+CKEV: 5,1\r\n) pause(30) report(\r\n+CKEV: 5,0\r\n))"},
      {"reports 1,1 v,0", R"(report(\r\n+CKEV: 1,1\r\n\r\n+CKEV: v,0\r\n))"},
      {"split 5,1", R"(report(\r\n+CKEV) pause(100) report(: 5,1\r\n))"},
      {"split 5,1 4 80", R"(report(\r\n+C) pause(80) report(KEV: 5,1\r\n))"},
      {"pause 250", "pause(250)"},
      {"wait 0", "pause(0)"},
      {"send AT\\r\\x00\\\\ x", R"(send(AT\r\x00\\ x))"},
      {"flood 3 \\x41", "send(AAA)"},
      {"flood 2", "send(xx)"},
      {"hangup", "hangup(2000)"},
      {"hangup 500", "hangup(500)"},
      {"reply SILENT", "reply(silent)"},
      {"echo off", "echo(off)"},
      {"keys on", "keys(on)"},
      {"wait-keys", "wait-keys(-1)"},
      {"wait-keys 750", "wait-keys(750)"},
      {"note phone ready", "note(phone ready)"},
      {"quit", "quit()"},
      {"maker Motorola", "maker(motorola)"},
      {"lock", R"(report(\r\n+CKEV: @,1\r\n))"},
      {"ring 0301234", "ring(0301234)"},
      {"ring +4917012345 2 500", "ring(+4917012345) pause(500) ring(+4917012345)"},
      {"  # a comment", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::vector<Step> steps;
    std::string error;
    ASSERT_TRUE(ParseScriptLine(c.line, steps, error)) << c.line << ": " << error;
    EXPECT_EQ(Show(steps), c.steps) << c.line;
  }
}

TEST(Script, NoiseNeverHoldsAReplyOrAReport) {
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScriptLine("noise 5000", steps, error));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].bytes.size(), 5000u);
  for (char c : steps[0].bytes) EXPECT_FALSE(c >= 'A' && c <= 'Z');
}

TEST(Script, BadLinesAreRefusedWithAReason) {
  for (const char* line :
       {"press",      "press 5 6",   "click 5 x", "reports 5", "split 5,1 20", "split 5 1",
        "pause",      "pause -1",    "send",      "send \\q",  "send \\x4",    "flood",
        "flood 2 ab", "reply maybe", "echo 1",    "hangup x",  "bogus",        "5",
        "maker",      "maker apple", "lock 5",    "ring",      "ring 1 0"}) {
    std::vector<Step> steps;
    std::string error;
    EXPECT_FALSE(ParseScriptLine(line, steps, error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(Script, ReportsAreWrittenInTheKeyFormOfThePhonePlayed) {
  struct Case {
    const char* line;
    KeyForm form;
    const char* bytes;  // of the first step
  } cases[] = {
      {"press 5", KeyForm::kQuoted, "\r\n+CKEV: \"5\",1\r\n"},
      {"unlock", KeyForm::kQuoted, "\r\n+CKEV: \"@\",0\r\n"},
      {"reports 5,1 #,0", KeyForm::kDecimal, "\r\n+CKEV: 53,1\r\n\r\n+CKEV: 35,0\r\n"},
      {"press :J", KeyForm::kDecimal, "\r\n+CKEV: :J,1\r\n"},
      {"split 5,1 10", KeyForm::kQuoted, "\r\n+CKEV: \""},
  };
  for (const Case& c : cases) {
    std::vector<Step> steps;
    std::string error;
    ASSERT_TRUE(ParseScriptLine(c.line, steps, error)) << c.line;
    EXPECT_EQ(ReportBytes(steps[0], c.form), c.bytes) << c.line;
  }
}

TEST(Script, AtThePromptALoneWordClicksThatKey) {
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScriptLine(":R", steps, error, true));
  EXPECT_EQ(Show(steps), R"(report(\r\n+CKEV: :R,1\r\n) pause(100) report(\r\n+CKEV: :R,0\r\n))");
}

TEST(Script, ErrorsNameTheirLine) {
  std::vector<Step> steps;
  std::string error;
  EXPECT_FALSE(ParseScript("# demo\npress 5\r\nrelease\n", steps, error));
  EXPECT_EQ(error, "line 3: usage: release KEY");
}

TEST(Script, TheExampleScriptParses) {
  std::ifstream file(PHONESIM_DEMO_SCRIPT);
  std::stringstream text;
  text << file.rdbuf();
  std::vector<Step> steps;
  std::string error;
  ASSERT_FALSE(text.str().empty());
  EXPECT_TRUE(ParseScript(text.str(), steps, error)) << error;
}

// --- The phone on a pty ----------------------------------------------------

// The PC's end of a pty whose other end the phone opens.
class PtyPc {
 public:
  PtyPc() {
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(fd_);
    unlockpt(fd_);
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd_, TCSANOW, &settings);
    phoneEnd_ = ptsname(fd_);
    // Held open so that the pty keeps its buffers while the phone reopens.
    keep_ = open(phoneEnd_.c_str(), O_RDWR | O_NOCTTY);
  }
  ~PtyPc() {
    close(keep_);
    close(fd_);
  }
  const std::string& PhoneEnd() const { return phoneEnd_; }
  void Write(const std::string& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `expected` has arrived (or 10 s passed); returns all read.
  std::string ReadUntil(const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received_.find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd in{fd_, POLLIN, 0};
      if (poll(&in, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n > 0) received_.append(buffer, static_cast<size_t>(n));
    }
    return received_;
  }

 private:
  int fd_ = -1, keep_ = -1;
  std::string phoneEnd_;
  std::string received_;
};

TEST(Phone, AnswersAndPlaysKeysOnceReportingIsOn) {
  PtyPc pc;
  std::ostringstream logText;
  PhoneLog log(&logText);
  const std::unique_ptr<Line> line = MakePortLine(pc.PhoneEnd(), 0);
  PhoneOptions options;
  options.echo = false;
  Phone phone(*line, log, options);
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("press 1\nwait-keys\nclick 5 20\nhangup 50\nrelease #\n", steps, error));
  phone.Enqueue(steps);
  std::thread running([&phone] { phone.Run(); });

  pc.Write("AT+CMER=3,2,0,0,0\r");
  const std::string expected = kOk + "\r\n+CKEV: 5,1\r\n\r\n+CKEV: 5,0\r\n\r\n+CKEV: #,0\r\n";
  EXPECT_EQ(pc.ReadUntil(expected), expected);
  EXPECT_TRUE(phone.WaitPlayed(10000));
  EXPECT_EQ(phone.Received(), "AT+CMER=3,2,0,0,0\r");
  phone.Stop();
  running.join();
  // The press before AT+CMER was held back, and the hang-up reopened the port.
  const std::string shown = logText.str();
  EXPECT_NE(shown.find("key reporting is off (no AT+CMER yet); not sent"), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("port open again"), std::string::npos) << shown;
}

}  // namespace
}  // namespace vexel::phonesim
