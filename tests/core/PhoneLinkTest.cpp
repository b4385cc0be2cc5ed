#include <gtest/gtest.h>

#include <sstream>

#include "FakeKeyNames.h"
#include "FakeLink.h"
#include "RecordingActionPlatform.h"
#include "app/LinkNotices.h"
#include "phone/KeypadRemote.h"
#include "phone/PhoneLink.h"
#include "phone/UrlEncode.h"

namespace vexel::test {
namespace {

const char kKeepAlive[] = "AT+CGMI\r";
using Lines = std::vector<std::string>;
using Answer = std::optional<std::string>;  // the phone's to a line

// The phone link with everything around it on a virtual clock.
struct LinkRig {
  VirtualLoop loop;
  ScriptedPort port{loop};
  RecordingUi ui;
  FakeKeyNames names;
  RecordingActionPlatform platform;
  KeypadRemote remote{port, loop, ui, ui, platform, names, "support@vexel.example"};
  PhoneLink& link = remote.Link();

  LinkRig() {
    loop.remote = &remote;
    remote.Keys().Append("5", "DOWN (*1 #down5*) UP (*1 #up5*)", true);
  }
  void PhoneSilent() {
    port.phone = [](const std::string&) { return Answer(); };
  }
  void Up() {
    link.StartStopItemClick();
    ASSERT_TRUE(link.Connected());
  }
  // The line is lost now; the link handles it from its message loop, and
  // the reconnection sequence runs from there to its end.
  void LoseLine() {
    HangUpNow();
    RunWhileReconnecting();
  }
  void HangUpNow() {
    port.Hangup();
    loop.ProcessMessages();
  }
  void MailTheReport() {
    ui.answer = [](const RecordingUi::Box& box) {
      return box.buttons == MsgButtons::kYesNo ? MsgAnswer::kYes : MsgAnswer::kOk;
    };
  }
  void RunWhileReconnecting() {
    for (int pass = 0; link.Reconnecting() && pass < 100000; ++pass) loop.RunUntil(loop.now + 10);
  }
};

// ---------------------------------------------------------------------------
// Command exchange

TEST(CommandExchange, ReplyIsFoundAsACaseSensitiveSubstringOfOneChunk) {
  struct Case {
    Lines chunks;  // delivered `at` ms apart
    bool matched;
    unsigned at = 100;
    std::uint64_t from = 0, to = UINT64_MAX;  // when the wait ends
  } cases[] = {
      {{"\r\nOK\r\n"}, true},
      {{"AT+CMER=3,2,0,0,0\r\r\nOK\r\n"}, true},  // echo on
      {{"xOKx"}, true},
      {{"\r\nok\r\n"}, false},
      {{"\r\nERROR\r\n"}, false},
      {{"\r\nO", "K\r\n"}, false},          // cut between two chunks
      {{}, false, 100, 750, 800},           // SilentPhoneEndsTheWaitBetween750And800ms
      {{"\r\nOK\r\n"}, true, 200, 0, 300},  // MatchEndsTheWaitWithinTwoPasses
      {{"\r\nOK\r\n"}, true, 740},          // just before the 750 ms time-out
      {{"\r\nOK\r\n"}, false, 760},
  };
  for (const Case& c : cases) {
    LinkRig rig;
    rig.PhoneSilent();
    rig.port.OpenPort();
    for (size_t i = 0; i < c.chunks.size(); ++i) rig.port.Deliver(c.chunks[i], c.at * (i + 1));
    EXPECT_EQ(rig.link.SendAndWait("AT", "OK"), c.matched) << ::testing::PrintToString(c.chunks);
    EXPECT_GE(rig.loop.now, c.from);
    EXPECT_LE(rig.loop.now, c.to);
    EXPECT_FALSE(rig.loop.TimerRunning(kWaitTimerId));
  }
}

TEST(CommandExchange, LateReplyCountsForTheNextCommand) {
  LinkRig rig;
  rig.PhoneSilent();
  rig.port.OpenPort();
  rig.port.Deliver("\r\nOK\r\n", 900);
  EXPECT_FALSE(rig.link.SendAndWait("AT+A", "OK"));
  EXPECT_TRUE(rig.link.SendAndWait("AT+B", "OK"));
}

TEST(CommandExchange, WritesTheCommandWithOneCarriageReturn) {
  LinkRig rig;
  rig.port.OpenPort();
  rig.link.SendAndWait("AT+CGMI", "OK");
  rig.link.SendAndWait("", "OK");
  EXPECT_EQ(rig.port.written, (Lines{"AT+CGMI\r", "\r"}));
}

TEST(CommandExchange, ReplyLogStaysEmptyOutsideTheFailureReport) {
  LinkRig rig;
  rig.port.OpenPort();
  rig.link.SendAndWait("AT", "OK");
  EXPECT_TRUE(rig.link.Memo().empty());
}

// ---------------------------------------------------------------------------
// Link start and stop

TEST(StartLink, OpensThePortNamedByTheEntryAndSendsTheMakersCommand) {
  const std::string ok = "\r\nOK\r\n", error = "\r\nERROR\r\n";
  // "Detect automatically": what the phone answers to AT+CGMI and AT+CMER=?
  // (empty: nothing), and how many of those waited the whole 750 ms.
  const std::string nokia = "\r\nNokia\r\n" + ok, both = "CGMI CMER=? CMER=";
  const auto ranges = [&](const std::string& text) { return "\r\n+CMER: " + text + "\r\n" + ok; };
  struct Case {
    int maker;
    std::string shownMaker;  // before the command in the up event and the tray hint
    std::string written;     // the lines written, "AT+" and "\r" left out; "-": "\r" alone
    std::string cgmi = "", cmerRanges = "";
    int waits = 0;
    std::string acknowledge = "\r\nOK\r\n", entry = "COM27 (etc)", path = "COM27";
  } cases[] = {
      {0, "Sony Ericsson", "CMER=3,2,0,0,0", "", "", 0, ok, "COM12 (usb)", "COM12"},
      {1, "Motorola", "CMER=3,1,0,0,0", "", "", 0, ok, "COM5 (bth)", "COM5"},
      {2, "Siemens", "CMER=3,2,0,0,0", "", "", 0, ok, "COM3 (etc)", "COM3"},
      {3, "Sagem", "CMER=2,1,0,0,0"},
      {-1, "", "-"},
      // As the port takes it:
      {0, "Sony Ericsson", "CMER=3,2,0,0,0", "", "", 0, ok, "/dev/rfcomm0 (bth)", "/dev/rfcomm0"},
      // A phone that names its maker: one round trip (echo, prefix, quotes, case).
      {4, "Sony Ericsson", "CGMI CMER=3,2,0,0,0", "\r\nSony Ericsson\r\n" + ok},
      {4, "Motorola", "CGMI CMER=3,1,0,0,0",
       "AT+CGMI\r\r\n+CGMI: \"Motorola CE, Copyright 2000\"\r\n" + ok},
      {4, "Siemens", "CGMI CMER=3,2,0,0,0", "\r\nSIEMENS\r\n" + ok},
      {4, "Sagem", "CGMI CMER=2,1,0,0,0", "\r\nsagem\r\nok\r\n"},
      {4, "Sony Ericsson", "CGMI CMER=3,2,0,0,0", "\r\nERICSSON\r\n" + ok},
      // Another maker: two, the command built from the ranges it offers.
      {4, "Nokia", both + "3,2,0,0,0", nokia, ranges("(0,3),(0,2),(0),(0,1),(0)")},
      {4, "Nokia", both + "2,1,0,0,0", nokia, ranges("(0-2),(0-1),(0),(0),(0)")},
      {4, "Nokia", both + "1,2,0,0,0", nokia, ranges("(1), (0,1-2),0,0,0")},
      // "NOKIA" holds "OK" but ends nothing: the answer waits for its final line.
      {4, "", both + "3,2,0,0,0", "\r\nNOKIA\r\n", ranges("(0-3),(0-2),(0),(0),(0)"), 1},
      // Nothing usable, no answer, garbage, a flood, an unended line: Sony Ericsson's.
      {4, "Nokia", both + "3,2,0,0,0", nokia, ranges("(0),(0-2),(0),(0),(0)")},
      {4, "Nokia", both + "3,2,0,0,0", nokia, ranges("(0-3),(0),(0),(0),(0)")},
      {4, "", both + "3,2,0,0,0", "", "", 2},
      {4, "", both + "3,2,0,0,0", error, error},
      {4, "", both + "3,2,0,0,0", std::string(5000, 'x'), "\x01\xff((((--9999999999,,)" + ok, 1},
      {4, "Nokia", both + "3,2,0,0,0", nokia, "\r\n+CMER: (0-3),(0-2)", 1},
      // A phone without key reporting refuses the command: the start fails
      // (the one wait: the refused command's).
      {4, "", both + "3,2,0,0,0", "\r\nHuawei\r\n" + ok, error, 1, error},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry + " " + std::to_string(c.maker) + " " + c.cgmi.substr(0, 40));
    LinkRig rig;
    rig.ui.portText = c.entry;
    rig.ui.phoneType = c.maker;
    rig.port.phone = [&c](const std::string& line) -> Answer {
      const std::string answer = line == "AT+CGMI\r"     ? c.cgmi
                                 : line == "AT+CMER=?\r" ? c.cmerRanges
                                                         : c.acknowledge;
      if (answer.empty()) return std::nullopt;
      return answer;
    };
    rig.link.StartLink();
    EXPECT_EQ(rig.port.openedPaths, Lines{c.path});
    Lines written;
    std::istringstream words(c.written);
    for (std::string word; words >> word;)
      written.push_back(word == "-" ? "\r" : "AT+" + word + "\r");
    EXPECT_EQ(rig.port.written, written);
    EXPECT_EQ(rig.link.Connected(), c.acknowledge == ok);
    // The 100 ms pause, the answers (40 ms each, seen within a pass) and the
    // 750 ms waits of a silent or unended answer.
    const std::uint64_t answered = 100 * written.size();
    EXPECT_GE(rig.loop.now, 100u + 750u * c.waits);
    EXPECT_LE(rig.loop.now, 100u + 800u * c.waits + answered) << rig.loop.now;
    if (c.acknowledge != ok) {
      EXPECT_EQ(rig.ui.BoxTexts().front(), "Feedback init failed.");
    }
    if (rig.link.Connected()) {
      const std::string command = written.back().substr(0, written.back().size() - 1);
      const std::string shown = c.shownMaker.empty() ? command : c.shownMaker + ", " + command;
      const std::string up = "link up on " + c.path + (shown.empty() ? "" : ": " + shown);
      EXPECT_EQ(rig.ui.events, (Lines{"starting on " + c.path, up}));
      EXPECT_EQ(rig.ui.Hint(), shown.empty() ? "Vexel" : "Vexel: " + shown);
    }
  }
}

TEST(StartLink, SuccessShowsTheLinkUpAndHandsReportsToTheKeyMap) {
  LinkRig rig;
  rig.link.StartLink();
  EXPECT_EQ(rig.ui.caption, "Stop");
  EXPECT_EQ(rig.ui.tray, TrayImage::kConnect);
  EXPECT_TRUE(rig.ui.boxes.empty());
  rig.port.Deliver("\r\n+CKEV: 5,1\r\n");
  rig.port.Deliver("\r\n+CKEV: 5,0\r\n");
  rig.loop.ProcessMessages();
  EXPECT_EQ(rig.platform.log, (Lines{"run down5", "run up5"}));
}

TEST(StartLink, NoPortSelectedWarnsAndOpensTheProperties) {
  LinkRig rig;
  rig.ui.portText = "";
  rig.link.StartLink();
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "Select port first!");
  EXPECT_EQ(rig.ui.boxes[0].title, "Error");
  EXPECT_EQ(rig.ui.boxes[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(rig.ui.propertiesShown, 1);
  EXPECT_TRUE(rig.port.openedPaths.empty());
}

TEST(StartLink, PortThatWillNotOpen) {
  LinkRig rig;
  rig.port.openOutcomes = {ScriptedPort::OpenOutcome::kFalse};
  rig.link.StartLink();
  ASSERT_EQ(rig.ui.BoxTexts(), Lines{"Unable to open port!"});
  EXPECT_EQ(rig.ui.boxes[0].icon, MsgIcon::kError);
  EXPECT_EQ(rig.ui.caption, "Start");

  rig.port.openOutcomes = {ScriptedPort::OpenOutcome::kThrow};
  rig.ui.mapKeysEnabled = true;
  EXPECT_THROW(rig.link.StartStopItemClick(), ECommsError);
  EXPECT_FALSE(rig.ui.mapKeysEnabled);  // disabled from the start on, the link is down
  EXPECT_FALSE(rig.link.Connected());
}

TEST(StartLink, PhoneAnsweringErrorFailsAndAsksForTheReport) {
  LinkRig rig;
  rig.port.phone = [](const std::string&) { return Answer("\r\nERROR\r\n"); };
  rig.link.StartLink();
  ASSERT_EQ(rig.ui.boxes.size(), 2u);
  EXPECT_EQ(rig.ui.boxes[0].text, "Feedback init failed.");
  EXPECT_EQ(rig.ui.boxes[0].title, "Error");
  EXPECT_EQ(rig.ui.boxes[0].icon, MsgIcon::kError);
  EXPECT_EQ(rig.ui.boxes[1].text,
            "Vexel unable to continue it's work.\rBut you can help us to improve it! It is very "
            "easy.\rWould you like to send email with auto-generated log?\rThank you!");
  EXPECT_EQ(rig.ui.boxes[1].title, "Question");
  EXPECT_EQ(rig.ui.boxes[1].buttons, MsgButtons::kYesNo);
  // No: nothing more is sent and the port is closed; the state is unchanged.
  EXPECT_EQ(rig.port.written.size(), 1u);
  EXPECT_FALSE(rig.port.open);
  EXPECT_EQ(rig.ui.caption, "Start");
  EXPECT_EQ(rig.ui.tray, TrayImage::kApplication);
  EXPECT_FALSE(rig.link.Connected());
  EXPECT_TRUE(rig.ui.opened.empty());
}

TEST(FailureReport, SilentPhoneMailsTheHeaderLineOnly) {
  LinkRig rig;
  rig.PhoneSilent();
  rig.MailTheReport();
  rig.link.StartLink();
  Lines expected = {"AT+CMER=3,2,0,0,0\r"};
  for (const auto& command : IdentificationCommands()) expected.push_back(command + "\r");
  EXPECT_EQ(rig.port.written, expected);
  ASSERT_EQ(rig.ui.opened.size(), 1u);
  EXPECT_EQ(rig.ui.opened[0],
            "mailto:support@vexel.example?subject=Vexel_AfterFIFLog&body=" +
                UrlEncode("Vexel after \"Feedback init failed\" info collection.") + "%0D%0A");
  EXPECT_FALSE(rig.port.open);
  // Seven waits of 750 to 800 ms after the failed start.
  EXPECT_GE(rig.loop.now, 8 * 750u);
}

TEST(FailureReport, LogsEveryReceivedTextInArrivalOrder) {
  LinkRig rig;
  rig.port.phone = [](const std::string& line) {
    if (line.rfind("AT+CMER=3", 0) == 0) return Answer("\r\nERROR\r\n");
    if (line == "AT+CGMI\r") return Answer("\r\nAcme\r\n\r\nOK\r\n");
    return Answer("\r\nOK\r\n");
  };
  rig.MailTheReport();
  rig.link.StartLink();
  const auto& memo = rig.link.Memo();
  ASSERT_EQ(memo.size(), 8u);
  EXPECT_EQ(memo[0], "Vexel after \"Feedback init failed\" info collection.");
  EXPECT_EQ(memo[1], "\r\nOK\r\n");
  EXPECT_EQ(memo[2], "\r\nAcme\r\n\r\nOK\r\n");
  std::string log;
  for (const auto& line : memo) log += line + "\r\n";
  EXPECT_EQ(rig.ui.opened.at(0),
            "mailto:support@vexel.example?subject=Vexel_AfterFIFLog&body=" + UrlEncode(log));
}

// A Bluetooth port bound to its phone (Linux): "AT" every second until the
// phone answers, at most 20 s, as part of the start; Exit ends the wait.
TEST(StartLink, BluetoothPhoneIsAwaitedAfterTheOpen) {
  struct Case {
    std::string entry;
    std::uint64_t answersAfter;  // the phone's first answer, ms after the open
    int ats;                     // "AT" written
    bool up;
  } cases[] = {
      {"/dev/rfcomm0 (bth)", 3500, 5, true},    {"/dev/ttyUSB0 (bth)", 0, 1, true},
      {"/dev/rfcomm0 (etc)", 60000, 20, false}, {"/dev/ttyACM0 (usb)", 60000, 0, false},
      {"COM5 (bth)", 60000, 20, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    LinkRig rig;
    rig.link.SetAwaitBluetoothPhone(true);
    rig.ui.portText = c.entry;
    rig.port.phone = [&rig, &c](const std::string&) {
      return rig.loop.now >= c.answersAfter ? Answer("\r\nOK\r\n") : std::nullopt;
    };
    rig.link.StartLink();
    EXPECT_EQ(rig.port.WritesOf("AT\r"), c.ats);
    EXPECT_LE(rig.loop.now, 21000u);
    EXPECT_EQ(rig.link.Connected(), c.up);
  }
  LinkRig rig;
  rig.link.SetAwaitBluetoothPhone(true);
  rig.ui.portText = "/dev/rfcomm0";
  rig.PhoneSilent();
  rig.loop.Post(2500, [&] { rig.link.Exit1Click(); });
  rig.link.StartLink();
  EXPECT_LT(rig.loop.now, 2600u);
  EXPECT_FALSE(rig.port.open);
}

// Settings read again: the link follows another port or maker at once, a
// reconnection at its next attempt; a link that is down stays down.
TEST(StartLink, FollowsTheSettingsReadAgain) {
  struct Case {
    const char* why;
    std::string entry;
    int maker;
    std::function<void(LinkRig&)> before;
    Lines opened;  // after the first start
  } cases[] = {
      {"nothing changed", "COM27 (etc)", 0, [](LinkRig&) {}, {}},
      {"another port", "COM28 (usb)", 0, [](LinkRig&) {}, {"COM28"}},
      {"another maker", "COM27 (etc)", 1, [](LinkRig&) {}, {"COM27"}},
      {"stopped", "COM28 (usb)", 0, [](LinkRig& rig) { rig.remote.Stop(); }, {}},
      {"reconnecting", "COM28 (usb)", 0, [](LinkRig& rig) { rig.HangUpNow(); }, {"COM28"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    LinkRig rig;
    rig.Up();
    c.before(rig);
    rig.ui.portText = c.entry;
    rig.ui.phoneType = c.maker;
    rig.remote.ReloadSettings();
    if (rig.link.Reconnecting()) {
      EXPECT_EQ(rig.port.openedPaths.size(), 1u);  // not before its attempt
    }
    rig.RunWhileReconnecting();
    EXPECT_EQ(Lines(rig.port.openedPaths.begin() + 1, rig.port.openedPaths.end()), c.opened);
    if (c.opened.empty()) continue;
    EXPECT_TRUE(rig.link.Connected());
    EXPECT_EQ(rig.port.written.back(), std::string(KeyReportingCommand(c.maker)) + "\r");
  }
}

TEST(StopLink, ResetsTheStateAlsoWhenThePortIsClosed) {
  LinkRig rig;
  rig.ui.caption = "Stop";
  rig.ui.tray = TrayImage::kConnect;
  rig.ui.maker = "Sagem";
  rig.link.StopLink();
  EXPECT_EQ(rig.ui.Hint(), "Vexel");
  EXPECT_EQ(rig.ui.caption, "Start");
  EXPECT_EQ(rig.ui.tray, TrayImage::kApplication);
  EXPECT_FALSE(rig.link.Connected());
}

// ---------------------------------------------------------------------------
// Supervision

TEST(StartStop, TogglesTheLinkAndKeepsMapKeysInStep) {
  LinkRig rig;
  rig.link.StartStopItemClick();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_TRUE(rig.ui.mapKeysEnabled);
  rig.link.StartStopItemClick();
  EXPECT_FALSE(rig.link.Connected());
  EXPECT_FALSE(rig.ui.mapKeysEnabled);
  EXPECT_FALSE(rig.port.open);

  rig.PhoneSilent();
  rig.link.StartStopItemClick();  // a failed start leaves the button disabled
  EXPECT_FALSE(rig.ui.mapKeysEnabled);
}

TEST(KeepAlive, WritesEveryFiveSecondsOnlyWhileTheLinkIsUp) {
  LinkRig rig;
  rig.link.cbReconnectClick(true);
  EXPECT_TRUE(rig.link.ReconnectOption());
  rig.loop.RunUntil(20000);
  EXPECT_EQ(rig.port.WritesOf(kKeepAlive), 0);

  rig.Up();
  const auto start = rig.loop.now;
  rig.loop.RunUntil(start + 20000);
  EXPECT_EQ(rig.port.WritesOf(kKeepAlive), 4);

  rig.link.cbReconnectClick(false);
  EXPECT_FALSE(rig.link.ReconnectOption());
  rig.loop.RunUntil(rig.loop.now + 20000);
  EXPECT_EQ(rig.port.WritesOf(kKeepAlive), 4);
}

TEST(Reconnection, PhoneBackAfterTheSecondAttempt) {
  LinkRig rig;
  rig.Up();
  rig.port.openOutcomes = {ScriptedPort::OpenOutcome::kThrow, ScriptedPort::OpenOutcome::kThrow};
  const auto lost = rig.loop.now;
  rig.LoseLine();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_GE(rig.loop.now - lost, 30000u);
  EXPECT_LT(rig.loop.now - lost, 31000u);
  EXPECT_EQ(rig.ui.caption, "Stop");
  EXPECT_EQ(rig.ui.tray, TrayImage::kConnect);
  EXPECT_TRUE(rig.ui.boxes.empty());  // attempts run unattended
  EXPECT_EQ(Lines(rig.ui.events.begin() + 2, rig.ui.events.end()),
            (Lines{"link lost", "attempt 1 of 13", "attempt 2 of 13", "attempt 3 of 13",
                   "link up again on COM27: Sony Ericsson, AT+CMER=3,2,0,0,0"}));
  // Keep-alive on although the option was never ticked.
  EXPECT_FALSE(rig.link.ReconnectOption());
  rig.loop.RunUntil(rig.loop.now + 10000);
  EXPECT_EQ(rig.port.WritesOf(kKeepAlive), 2);
  // Reports run actions again.
  rig.port.Deliver("+CKEV: 5,1\r\n");
  rig.loop.ProcessMessages();
  EXPECT_EQ(rig.platform.log, Lines{"run down5"});
}

TEST(Reconnection, ShowsTheHangUpIconWhileItRuns) {
  LinkRig rig;
  rig.Up();
  rig.PhoneSilent();
  std::vector<TrayImage> seen;
  rig.loop.Post(15000, [&] { seen.push_back(rig.ui.tray); });
  rig.LoseLine();
  EXPECT_EQ(seen, std::vector<TrayImage>{TrayImage::kHangUp});
}

// A lost line, and with the retry on (the Linux program) a first start
// that fails: 13 attempts 10 s apart, then the link is given up.
TEST(Reconnection, GivesUpAfterThirteenAttempts) {
  const Lines lost = {"attempt 13 of 13", "giving up: Connection lost and reconnection failed."};
  const auto failed = [](const std::string& why) {
    return Lines{"start attempt 14 failed (" + why + ")",
                 "giving up: the link could not be started: " + why};
  };
  using O = ScriptedPort::OpenOutcome;
  struct Case {
    const char* why;
    O outcome;        // of every attempt's port open
    bool firstStart;  // no link was up yet
    Lines lastLines;
  } cases[] = {
      {"phone silent", O::kOpen, false, lost},
      {"port refuses", O::kFalse, false, lost},
      {"device gone", O::kThrow, false, lost},
      {"first start, phone silent", O::kOpen, true, failed("Feedback init failed.")},
      {"first start, port refuses", O::kFalse, true, failed("Unable to open port!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    LinkRig rig;
    rig.link.SetRetryFailedStart(c.firstStart);
    if (!c.firstStart) rig.Up();
    rig.PhoneSilent();
    rig.port.openOutcomes.assign(13 + c.firstStart, c.outcome);
    rig.port.openCalls.clear();
    if (c.firstStart) {
      rig.remote.Start();
      rig.RunWhileReconnecting();
    } else {
      rig.LoseLine();
    }
    EXPECT_TRUE(rig.port.openOutcomes.empty());  // 13 attempts, no more
    ASSERT_EQ(rig.port.openCalls.size(), 13u + c.firstStart);
    for (size_t i = 1; i < rig.port.openCalls.size(); ++i) {
      EXPECT_GE(rig.port.openCalls[i] - rig.port.openCalls[i - 1], 10000u) << i;
      EXPECT_LT(rig.port.openCalls[i] - rig.port.openCalls[i - 1], 11000u) << i;
    }
    EXPECT_FALSE(rig.link.Connected());
    EXPECT_EQ(rig.ui.caption, "Start");
    EXPECT_EQ(rig.ui.tray, TrayImage::kApplication);
    EXPECT_EQ(Lines(rig.ui.events.end() - 2, rig.ui.events.end()), c.lastLines);
    if (c.firstStart) continue;  // nobody to warn: the retry's program exits
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].text, "Connection lost and reconnection failed.");
    EXPECT_EQ(rig.ui.boxes[0].title, "Warning");
    EXPECT_EQ(rig.ui.boxes[0].icon, MsgIcon::kWarning);
  }
}

// The desktop is told of an outage once: not per attempt, and not again by
// a program restarted while it lasts (what was told is remembered).
TEST(Reconnection, DesktopNoticesTellEachOutageOnce) {
  using K = LinkEventKind;
  const std::string lost = "Phone link lost", gaveUp = "Vexel gave up the phone link: the reason";
  struct Case {
    std::string toldBefore;
    std::vector<LinkEventKind> events;
    Lines notices;
    std::string toldAfter;
  } cases[] = {
      {"", {K::kStarting, K::kUp}, {"Phone linked"}, ""},
      {"", {K::kLost, K::kReconnecting, K::kReconnecting, K::kBack}, {lost, "Phone link back"}, ""},
      {"", {K::kLost, K::kReconnecting, K::kGaveUp}, {lost, gaveUp}, "gave up"},
      {"", {K::kStartFailed, K::kStartFailed, K::kGaveUp}, {gaveUp}, "gave up"},
      {"gave up", {K::kStarting, K::kStartFailed, K::kGaveUp}, {}, "gave up"},  // restarted
      {"gave up", {K::kStarting, K::kUp}, {"Phone link back"}, ""},
      {"lost", {K::kStartFailed, K::kGaveUp}, {gaveUp}, "gave up"},
      {"", {K::kStopped, K::kLearning, K::kKeyLearned, K::kControl}, {}, ""},
  };
  for (const Case& c : cases) {
    LinkNotices notices(c.toldBefore);
    Lines shown;
    for (LinkEventKind kind : c.events) {
      LinkEvent event(kind);
      event.reason = "the reason";
      if (auto notice = notices.For(event))
        shown.push_back(notice->summary + (kind == K::kGaveUp ? ": " + notice->body : ""));
    }
    EXPECT_EQ(shown, c.notices) << c.toldBefore;
    EXPECT_EQ(notices.Told(), c.toldAfter);
  }
}

// After a success the next sequence has all its 13 attempts again.
TEST(Reconnection, CountStartsAgainAfterASuccess) {
  for (const bool firstStart : {false, true}) {
    SCOPED_TRACE(firstStart ? "a retried first start" : "a lost line");
    LinkRig rig;
    rig.link.SetRetryFailedStart(true);
    using Outcome = ScriptedPort::OpenOutcome;
    if (firstStart) {
      rig.port.openOutcomes.assign(5, Outcome::kFalse);  // up at the fifth retry
      rig.remote.Start();
      rig.RunWhileReconnecting();
    } else {
      rig.Up();
      rig.port.openOutcomes.assign(4, Outcome::kThrow);
      rig.LoseLine();
    }
    ASSERT_TRUE(rig.link.Connected());
    rig.port.openOutcomes.assign(13, Outcome::kThrow);
    rig.port.openCalls.clear();
    rig.LoseLine();
    EXPECT_EQ(rig.port.openCalls.size(), 13u);
    EXPECT_EQ(rig.ui.events.back(), "giving up: Connection lost and reconnection failed.");
  }
}

TEST(Reconnection, ThirteenthAttemptSucceeds) {
  LinkRig rig;
  rig.Up();
  rig.port.openOutcomes.assign(12, ScriptedPort::OpenOutcome::kThrow);
  rig.LoseLine();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_TRUE(rig.ui.boxes.empty());
}

// Learn mode ends with the link, lost or stopped: the button comes up and
// presses run actions again once the link is back.
TEST(Reconnection, LearnModeEndsWithTheLink) {
  for (const bool lost : {true, false}) {
    LinkRig rig;
    rig.Up();
    rig.ui.mapKeysDown = true;
    rig.remote.Learn(true);
    if (lost) {
      rig.LoseLine();  // the first attempt succeeds
    } else {
      rig.link.StartStopItemClick();
      rig.link.StartStopItemClick();
    }
    EXPECT_FALSE(rig.ui.mapKeysDown) << lost;
    EXPECT_TRUE(rig.ui.mapKeysEnabled) << lost;
    rig.port.Deliver("+CKEV: 7,1\r\n");
    rig.loop.ProcessMessages();
    EXPECT_TRUE(rig.remote.Keys().Empty());  // the press was not learned: FeedbackComm is back
  }
}

// "vexel learn" keeps what it learned when the link is given up.
TEST(Reconnection, KeysLearnedBeforeTheLinkGivesUpAreKept) {
  LinkRig rig;
  rig.Up();
  rig.remote.Learn(true);
  rig.port.Deliver("+CKEV: 5,1\r\n+CKEV: :J,1\r\n+CKEV: 5,0\r\n+CKEV: 5,1\r\n");
  rig.PhoneSilent();
  rig.LoseLine();
  ASSERT_EQ(rig.ui.events.back(), "giving up: Connection lost and reconnection failed.");
  EXPECT_EQ(rig.remote.LearnedKeys(), (Lines{"5", ":J"}));
}

// Leftover and repeated hang-up requests start nothing new.
TEST(Reconnection, HangUpQueuedBeforeStopIsIgnored) {
  LinkRig rig;
  rig.Up();
  rig.port.Hangup();              // queued...
  rig.link.StartStopItemClick();  // ...while the user stops the link
  rig.loop.RunUntil(rig.loop.now + 30000);
  EXPECT_EQ(rig.port.openedPaths.size(), 1u);
  EXPECT_EQ(rig.ui.tray, TrayImage::kApplication);
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST(Reconnection, SecondHangUpDuringASequenceStartsNoSecondOne) {
  LinkRig rig;
  rig.Up();
  rig.PhoneSilent();
  rig.port.Hangup(5000);
  rig.port.Hangup(25000);
  rig.LoseLine();
  EXPECT_EQ(rig.port.openedPaths.size(), 1u + 13u);
  EXPECT_EQ(rig.ui.BoxTexts(), Lines{"Connection lost and reconnection failed."});
}

TEST(Reconnection, StopDuringTheSequenceEndsItAtOnce) {
  LinkRig rig;
  rig.Up();
  rig.PhoneSilent();
  rig.loop.Post(15000, [&] { rig.link.StartStopItemClick(); });
  const auto lost = rig.loop.now;
  rig.LoseLine();
  EXPECT_LT(rig.loop.now - lost, 16000u);  // handled during the pause, not after 130 s
  EXPECT_FALSE(rig.link.Connected());
  EXPECT_FALSE(rig.link.Reconnecting());
  EXPECT_EQ(rig.ui.caption, "Start");
  EXPECT_EQ(rig.ui.tray, TrayImage::kApplication);
  EXPECT_FALSE(rig.ui.mapKeysEnabled);
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_FALSE(rig.port.open);
  rig.port.phone = [](const std::string&) { return Answer("\r\nOK\r\n"); };
  rig.link.StartStopItemClick();  // the next click starts the link again
  EXPECT_TRUE(rig.link.Connected());
}

// A line lost while the phone acknowledges is not forgotten: the start
// goes on to a reconnection, and an attempt that meets it counts as failed.
TEST(Reconnection, LineLostWhileStartingIsReEstablished) {
  LinkRig rig;
  rig.port.Hangup(120);  // after the open, before the "OK" at 140 ms is handled
  rig.link.StartStopItemClick();
  EXPECT_TRUE(rig.link.Reconnecting());
  rig.RunWhileReconnecting();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_EQ(rig.port.openedPaths.size(), 2u);  // the start, then the first attempt
  EXPECT_GE(rig.loop.now, 10000u);
  EXPECT_TRUE(rig.loop.TimerRunning(kReconnectTimerId));
}

TEST(Reconnection, AttemptWhoseLineIsLostAgainFails) {
  LinkRig rig;
  rig.Up();
  rig.loop.Post(10120, [&] { rig.port.Hangup(); });  // during the first attempt's wait
  rig.LoseLine();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_EQ(rig.port.openedPaths.size(), 3u);  // the start and two attempts
  EXPECT_EQ(rig.ui.tray, TrayImage::kConnect);
}

// ---------------------------------------------------------------------------
// "Exit" at any moment

TEST(Exit, DuringACommandWaitEndsTheWaitAndClosesThePort) {
  LinkRig rig;
  rig.PhoneSilent();
  rig.loop.Post(200, [&] { rig.link.Exit1Click(); });
  rig.link.StartStopItemClick();
  EXPECT_LE(rig.loop.now, 300u);
  EXPECT_TRUE(rig.ui.boxes.empty());  // no "Feedback init failed." after Exit
  EXPECT_FALSE(rig.port.open);
  EXPECT_FALSE(rig.loop.TimerRunning(kWaitTimerId));
}

TEST(Exit, WhileAMessageBoxIsOpenAsksNothingMore) {
  LinkRig rig;
  rig.PhoneSilent();
  rig.ui.answer = [&](const RecordingUi::Box&) {
    rig.link.Exit1Click();  // chosen from the tray while the box is open
    return MsgAnswer::kOk;
  };
  rig.link.StartLink();
  EXPECT_EQ(rig.ui.BoxTexts(), Lines{"Feedback init failed."});
  EXPECT_FALSE(rig.port.open);
}

TEST(Exit, DuringReconnectionEndsItWithoutTheWarning) {
  LinkRig rig;
  rig.Up();
  rig.PhoneSilent();
  rig.loop.Post(25000, [&] { rig.link.Exit1Click(); });
  const auto lost = rig.loop.now;
  rig.LoseLine();
  EXPECT_LT(rig.loop.now - lost, 26000u);
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_FALSE(rig.port.open);
}

TEST(StartStop, ClickWhileAStartRunsIsIgnored) {
  LinkRig rig;
  rig.port.answerDelayMs = 500;
  rig.loop.Post(100, [&] { rig.link.StartStopItemClick(); });
  rig.link.StartStopItemClick();
  EXPECT_EQ(rig.port.openedPaths.size(), 1u);
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_TRUE(rig.link.Connected());
}

// The sequence runs from the main loop: the hang-up handler returns at once
// and messages (tray clicks, dialogs) are handled between the attempts.
TEST(Reconnection, RunsFromTheMainLoopWithoutHoldingIt) {
  LinkRig rig;
  rig.Up();
  rig.PhoneSilent();
  rig.port.Hangup();
  const auto lost = rig.loop.now;
  rig.loop.ProcessMessages();
  EXPECT_TRUE(rig.link.Reconnecting());
  EXPECT_EQ(rig.loop.now, lost);
  EXPECT_EQ(rig.ui.tray, TrayImage::kHangUp);
  EXPECT_FALSE(rig.ui.mapKeysEnabled);  // no learn mode while a reconnection runs
  EXPECT_TRUE(rig.loop.TimerRunning(kAttemptTimerId));
  rig.RunWhileReconnecting();
  EXPECT_EQ(rig.port.openedPaths.size(), 1u + 13u);
}

// An attempt that fails in any way is one failed attempt; the sequence
// neither ends early nor stays marked as running.
TEST(Reconnection, AnyFailureOfAnAttemptIsAFailedAttempt) {
  LinkRig rig;
  rig.Up();
  rig.port.openOutcomes = {ScriptedPort::OpenOutcome::kThrowOther,
                           ScriptedPort::OpenOutcome::kThrow};
  rig.LoseLine();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_FALSE(rig.link.Reconnecting());
  EXPECT_EQ(rig.port.openedPaths.size(), 2u);  // the start, then the third attempt
  EXPECT_TRUE(rig.ui.mapKeysEnabled);
}

TEST(Reconnection, StoppedThenStartedLinkIsReEstablishedAgain) {
  LinkRig rig;
  rig.Up();
  rig.PhoneSilent();
  rig.loop.Post(15000, [&] { rig.link.StartStopItemClick(); });
  rig.LoseLine();
  ASSERT_FALSE(rig.link.Connected());
  rig.port.phone = [](const std::string&) { return Answer("\r\nOK\r\n"); };
  rig.Up();
  rig.LoseLine();
  EXPECT_TRUE(rig.link.Connected());
  EXPECT_EQ(rig.ui.tray, TrayImage::kConnect);
}

// With "Keep connection alive" ticked the keep-alive runs whenever the link
// is up, also after a manual Start that follows a failed reconnection.
TEST(KeepAlive, FollowsItsBoxAfterAFailedReconnection) {
  LinkRig rig;
  rig.link.cbReconnectClick(true);
  rig.Up();
  rig.PhoneSilent();
  rig.LoseLine();  // 13 attempts fail
  ASSERT_FALSE(rig.link.Connected());
  rig.ui.boxes.clear();
  rig.port.phone = [](const std::string&) { return Answer("\r\nOK\r\n"); };
  rig.Up();
  const int before = rig.port.WritesOf(kKeepAlive);
  rig.loop.RunUntil(rig.loop.now + 10000);
  EXPECT_EQ(rig.port.WritesOf(kKeepAlive) - before, 2);
}

TEST(StartStop, MapKeysIsEnabledExactlyWhileTheLinkIsUpAndIdle) {
  LinkRig rig;
  std::vector<bool> duringStart;
  rig.port.phone = [&](const std::string&) {
    duringStart.push_back(rig.ui.mapKeysEnabled);
    return Answer("\r\nOK\r\n");
  };
  rig.ui.mapKeysEnabled = true;
  rig.link.StartLink();  // as autostart starts it
  EXPECT_EQ(duringStart, std::vector<bool>{false});
  EXPECT_TRUE(rig.ui.mapKeysEnabled);
}

TEST(Exit, WhileTheFailureReportCollectsRepliesOpensNoMail) {
  LinkRig rig;
  rig.PhoneSilent();
  rig.MailTheReport();
  rig.loop.Post(2000, [&] { rig.link.Exit1Click(); });  // during the identification commands
  rig.link.StartLink();
  EXPECT_TRUE(rig.ui.opened.empty());
  EXPECT_FALSE(rig.port.open);
}

TEST(Exit, WhileSelectPortFirstIsOpenShowsNoProperties) {
  LinkRig rig;
  rig.ui.portText = "";
  rig.ui.answer = [&](const RecordingUi::Box&) {
    rig.link.Exit1Click();
    return MsgAnswer::kOk;
  };
  rig.link.StartLink();
  EXPECT_EQ(rig.ui.propertiesShown, 0);
}

// A program nobody sits at (Linux) asks nothing and keeps the report once.
TEST(FailureReport, KeptOncePerRunWithoutAQuestion) {
  LinkRig rig;
  rig.port.phone = [](const std::string& line) {
    return Answer(line.starts_with("AT+CMER") ? "\r\nERROR\r\n" : "\r\nOK\r\n");
  };
  rig.ui.failureReport = LinkUi::FailureReport::kKeep;
  rig.link.StartLink();
  rig.link.StartLink();
  EXPECT_EQ(rig.ui.BoxTexts(), (Lines{"Feedback init failed.", "Feedback init failed."}));
  ASSERT_EQ(rig.ui.kept.size(), 1u);
  EXPECT_TRUE(rig.ui.kept[0].starts_with(
      "support@vexel.example: Vexel after \"Feedback init failed\" info collection.\r\n"));
  EXPECT_TRUE(rig.ui.opened.empty());
}

TEST(FailureReport, ASecondReportHoldsOnlyItsOwnReplies) {
  LinkRig rig;
  int starts = 0;
  rig.port.phone = [&](const std::string& line) {
    if (line.rfind("AT+CMER=3", 0) == 0) ++starts;
    if (line.rfind("AT+CMER=3", 0) == 0) return Answer("\r\nERROR\r\n");
    return Answer("\r\nreply " + std::to_string(starts) + "\r\nOK\r\n");
  };
  rig.MailTheReport();
  rig.link.StartLink();
  rig.link.StartLink();
  ASSERT_EQ(rig.ui.opened.size(), 2u);
  EXPECT_EQ(rig.ui.replyLog.find("reply 1"), std::string::npos);
  EXPECT_NE(rig.ui.replyLog.find("reply 2"), std::string::npos);
  EXPECT_EQ(rig.link.Memo().size(), 8u);  // the header and the seven replies
}

// ---------------------------------------------------------------------------
// The phone's events

TEST(PhoneLines, CallsAndTheLinkRunTheirEntriesAndBatteryAndSignalAreTold) {
  LinkRig rig;
  rig.remote.Keys().Append("(ring)", "DOWN (*1 #pause*) UP (*1 #play*)", true);
  rig.remote.Keys().Append("(link up)", "DOWN (*1 #linked*)", true);
  rig.remote.Keys().Append("(link lost)", "DOWN (*1 #lock*)", true);
  std::string signal = "17";
  rig.port.phone = [&](const std::string& line) -> Answer {
    if (line == "AT+CLIP=1\r") return "\r\nERROR\r\n";  // callers stay unknown, nothing else
    if (line == "AT+CBC\r") return "\r\n+CBC: 0,60\r\n\r\nOK\r\n";
    if (line == "AT+CSQ\r") return "\r\n+CSQ: " + signal + ",99\r\n\r\nOK\r\n";
    return "\r\nOK\r\n";
  };
  rig.Up();
  rig.ui.events.clear();
  rig.loop.RunUntil(rig.loop.now + 1000);
  EXPECT_EQ(rig.port.written,
            (Lines{"AT+CMER=3,2,0,0,0\r", "AT+CLIP=1\r", "AT+CBC\r", "AT+CSQ\r"}));
  EXPECT_EQ(rig.ui.events, (Lines{"battery 60 %", "battery 60 %, signal 3 of 5"}));
  EXPECT_TRUE(rig.ui.Hint().ends_with(", battery 60 %, signal 3 of 5")) << rig.ui.Hint();
  EXPECT_EQ(rig.platform.log, Lines{"run linked"});

  // A call: its first RING runs the DOWN part, the number is told once, and
  // 8 s without a RING run the UP part.
  rig.ui.events.clear();
  const std::string ring = "\r\nRING\r\n\r\n+CLIP: \"+4917012345\",145,,,,0\r\n";
  rig.port.Deliver(ring);
  rig.port.Deliver(ring, 3000);
  rig.port.Deliver("\r\n+CKEV: 5,1\r\n", 3500);
  rig.loop.RunUntil(rig.loop.now + 10900);
  EXPECT_EQ(rig.platform.log, (Lines{"run linked", "run pause", "run down5"}));
  rig.loop.RunUntil(rig.loop.now + 200);
  EXPECT_EQ(rig.platform.log.back(), "run play");
  EXPECT_EQ(rig.ui.events, (Lines{"call from +4917012345", "the phone stopped ringing"}));

  // Every 60 s battery and signal are asked again; 99 is no figure.
  signal = "99";
  rig.loop.RunUntil(rig.loop.now + kPhoneStateMs);
  EXPECT_EQ(rig.port.WritesOf("AT+CSQ\r"), 2);
  EXPECT_EQ(rig.ui.events.back(), "battery 60 %");

  rig.platform.log.clear();
  rig.port.Hangup();
  rig.loop.RunUntil(rig.loop.now + 100);
  EXPECT_EQ(rig.platform.log, Lines{"run lock"});
  EXPECT_EQ(rig.ui.Hint(), "Vexel");
}

TEST(PhoneLines, SignalBarsOfEachStrength) {
  const std::pair<int, int> bars[] = {{0, 0},  {1, 0},  {2, 1},   {7, 1},   {8, 2},
                                      {12, 2}, {13, 3}, {17, 3},  {18, 4},  {23, 4},
                                      {24, 5}, {31, 5}, {99, -1}, {32, -1}, {-1, -1}};
  for (const auto& [rssi, expected] : bars) EXPECT_EQ(SignalBars(rssi), expected) << rssi;
}

}  // namespace
}  // namespace vexel::test
