// The real vexel with the simulated phone on a socat pty pair.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "RunRig.h"

namespace vexel::test {
namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Every key leaves its trace with the recorders or through sh.
std::string Keys(const RunRig& rig) {
  const std::string five = "=DOWN " + rig.Echo("down 5") + " UP " + rig.Echo("up 5") + "\r\n";
  return "\"5\"" + five + "\"1\"=DOWN (*1 /home/me/My Music/list.m3u*)\r\n" +
         "\"0\"=DOWN (*1 $reboot*) UP (*1 $shutdown*)\r\n\"53\"" + five + "\":J\"=UP " +
         rig.Echo("up :J") + "\r\n\"(link lost)\"=DOWN " + rig.Echo("lost") + "\r\n";
}

class VexelRun : public ::testing::Test {
 protected:
  // The line, the phone, and vexel linked up.
  void LinkUp(const std::string& params = "") {
    ASSERT_TRUE(rig.LinkUp(Keys(rig), {}, params)) << rig.VexelLog();
  }
  void TearDown() override {
    if (HasFailure())
      std::cerr << "--- vexel\n" << rig.VexelLog() << "--- phone\n" << rig.PhoneLog();
  }
  RunRig rig;
};

TEST_F(VexelRun, KeysRunTheirDownAndUpActions) {
  LinkUp();
  EXPECT_THAT(rig.PhoneLog(), HasSubstr("< AT+CMER=3,2,0,0,0\\r"));
  struct Case {
    std::string phone;  // what the phone does
    std::string trace;  // what the trace gets
  } cases[] = {
      {"press 5", "down 5\n"},
      {"release 5", "up 5\n"},
      {"click 1", "xdg-open /home/me/My Music/list.m3u\n"},
      {"press :j", ""},  // key codes ignore case: its down part is empty
      {"release :j", "up :J\n"},
      {"click 7", ""},  // no row
      {"press 0", "systemctl reboot\n"},
      {"release 0", "systemctl poweroff\n"},
  };
  std::string expected;
  for (const Case& c : cases) {
    rig.phone.Send(c.phone);
    expected += c.trace;
    if (!c.trace.empty()) {
      EXPECT_TRUE(rig.WaitFor("trace", c.trace)) << c.phone;
    }
    EXPECT_TRUE(rig.WaitFor("phone.log", c.phone.substr(c.phone.find(' ') + 1) + ",")) << c.phone;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(rig.Trace(), expected);
  // systemd's refusal is a log line.
  EXPECT_TRUE(rig.WaitFor("vexel.log", "systemctl poweroff failed: refused")) << rig.VexelLog();
  rig.vexel.Signal(SIGTERM);
  EXPECT_EQ(rig.vexel.Wait(5000), 0);
}

// A long and a short press of one key: the short one runs its DOWN part at
// the release, the long one (past holdtime, 600 ms) its HOLD part alone.
TEST_F(VexelRun, LongAndShortPressRunTheirOwnParts) {
  ASSERT_TRUE(
      rig.LinkUp("\"8\"=DOWN " + rig.Echo("short") + " UP (**) HOLD " + rig.Echo("long") + "\r\n"))
      << rig.VexelLog();
  rig.phone.Send("click 8");
  EXPECT_TRUE(rig.WaitFor("trace", "short\n"));
  rig.phone.Send("press 8\npause 1000\nrelease 8");
  EXPECT_TRUE(rig.WaitFor("trace", "long\n"));
  EXPECT_TRUE(rig.WaitFor("phone.log", "8,0", 5000, 2));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(rig.Trace(), "short\nlong\n");
}

// Phone "4" is detected: the table's command for the four makers, the built
// one for another; "nokeys" refuses it, as a refusing phone does.
TEST_F(VexelRun, MakerChoosesTheKeyReportingCommand) {
  struct Case {
    const char* phone;  // the setting
    const char* maker;  // phonesim's
    const char* command;
    bool up = true;
  } cases[] = {
      {"1", "vexel", "AT+CMER=3,1,0,0,0"},         {"2", "vexel", "AT+CMER=3,2,0,0,0"},
      {"3", "vexel", "AT+CMER=2,1,0,0,0"},         {"4", "sonyericsson", "AT+CMER=3,2,0,0,0"},
      {"4", "motorola", "AT+CMER=3,1,0,0,0"},      {"4", "siemens", "AT+CMER=3,2,0,0,0"},
      {"4", "sagem", "AT+CMER=2,1,0,0,0"},         {"4", "nokia", "AT+CMER=3,2,0,0,0"},
      {"4", "nokeys", "AT+CMER=3,2,0,0,0", false},
  };
  int keys = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.phone) + " " + c.maker);
    rig.phone.Kill();
    rig.CutLine();  // a fresh line for each phone
    rig.StartLine();
    rig.StartPhone({"-m", c.maker});
    rig.Settings(std::string("phone=") + c.phone + "\r\n", Keys(rig));
    rig.StartVexel();
    EXPECT_TRUE(rig.WaitFor("phone.log", std::string("< ") + c.command)) << rig.PhoneLog();
    if (c.up) {
      EXPECT_TRUE(rig.WaitFor("vexel.log", "link up")) << rig.VexelLog();
      rig.phone.Send("click 5");  // Sagem's "53" has a row of its own
      EXPECT_TRUE(rig.WaitFor("trace", "up 5\n", 5000, ++keys)) << rig.PhoneLog();
    } else {
      EXPECT_TRUE(rig.WaitFor("vexel.log", "Feedback init failed.")) << rig.VexelLog();
    }
    rig.vexel.Signal(SIGINT);
    EXPECT_EQ(rig.vexel.Wait(5000), 0);
    std::remove(rig.folder.File("vexel.log").c_str());
  }
}

// Finding the phone among a non-phone, a silent port and the phone, saving
// it into a new settings file, and checking it there.
TEST_F(VexelRun, PortsProbeFindsThePhoneAndDoctorNamesAKey) {
  rig.StartLine();
  rig.StartPhone({"-m", "motorola"});
  Process lines[2], dongle;
  const std::string ends[2] = {rig.folder.File("C0"), rig.folder.File("C1")};
  for (int i = 0; i < 2; ++i) rig.StartPair(lines[i], ends[i], ends[i] + "x");
  dongle.Start({Program(PHONESIM_EXE), "-q", "-m", "nokeys", ends[0] + "x"},
               rig.folder.File("dongle.log"), true);
  const std::string ini = rig.folder.File("new/Vexel.ini");
  std::string output;
  EXPECT_EQ(
      RunVexel({"ports", "--probe", "--save", "--ini", ini, ends[0], ends[1], rig.A()}, output), 0);
  EXPECT_THAT(output, HasSubstr(ends[0] + " (etc): not a phone\n" + ends[1] +
                                " (etc): no answer\n" + rig.A() +
                                " (etc): phone: Motorola CE, Copyright 2000, "
                                "GSM900,GSM1800,GSM1900,MODEL=V3"));
  EXPECT_THAT(rig.Read("new/Vexel.ini"),
              StartsWith("[params]\r\nport=" + rig.A() + " (etc)\r\nphone=4\r\n"));

  rig.phone.Send("wait-keys");
  rig.phone.Send("lock");
  rig.phone.Send("click #");
  EXPECT_EQ(RunVexel({"doctor", "--ini", ini}, output), 0);
  for (const char* line : {"Maker (AT+CGMI): Motorola CE", "Key reporting (AT+CMER=?): (0,3),(0,1)",
                           "Command: AT+CMER=3,1,0,0,0 (detected: Motorola)",
                           "Battery (AT+CBC): 0,60 (60 %)", "keypad is locked", "Key pressed: #"})
    EXPECT_THAT(output, HasSubstr(line));
  // No phone: exit status 1.
  EXPECT_EQ(RunVexel({"ports", "--probe", ends[1]}, output), 1);
  EXPECT_THAT(output, HasSubstr("No phone found."));
}

TEST_F(VexelRun, SecondVexelOnThePortIsToldWhoHoldsIt) {
  LinkUp();
  // ModemManager's stand-in has the port as a modem.
  const std::string port = std::filesystem::read_symlink(rig.A()).string().substr(5);
  rig.StartBus(port);
  std::string said;
  EXPECT_EQ(RunVexel({"run", "--ini", rig.folder.File("Vexel.ini")}, said, rig.VexelEnv()), 1);
  EXPECT_THAT(said, HasSubstr("busy, held by pid " + std::to_string(rig.vexel.Pid()) + " (vexel)"));
  EXPECT_THAT(
      said,
      HasSubstr(". ModemManager has this port as a modem; keep it away from the "
                "phone with the line 'KERNEL==\"" +
                port +
                "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' in "
                "/etc/udev/rules.d/70-vexel-phone.rules, then: sudo udevadm control --reload"));
  // The phone check says how to free the port.
  std::string output;
  EXPECT_EQ(RunVexel({"doctor", "--ini", rig.folder.File("Vexel.ini")}, output), 1);
  EXPECT_THAT(output, HasSubstr("systemctl --user stop vexel"));
  // vexel ports says so too, below the ports it lists (this machine's).
  EXPECT_EQ(RunVexel({"ports"}, output, rig.VexelEnv()), 0);
  EXPECT_THAT(output,
              AnyOf(HasSubstr("no serial ports"), HasSubstr("ModemManager runs: it opens")));
  // A probe leaves ModemManager's modem alone.
  EXPECT_EQ(RunVexel({"ports", "--probe", rig.A()}, output, rig.VexelEnv()), 1);
  EXPECT_THAT(output, HasSubstr(" (etc): busy (held by ModemManager)"));
  // Killed, it leaves nothing behind that keeps the next one out, though
  // socat and the phone still hold the line.
  rig.vexel.Kill();
  rig.StartVexel();
  EXPECT_TRUE(rig.WaitFor("vexel.log", "link up", 5000, 2)) << rig.VexelLog();
}

// The real user manager is not run here: a stand-in on a private bus
// records its calls and moves nothing. It stands in for logind too: "$lock"
// from the service, which has no session, locks the user's display session.
TEST_F(VexelRun, ProgramsStartedUnderTheUserManagerGetScopesOfTheirOwn) {
  rig.StartBus();
  ASSERT_TRUE(rig.LinkUp("\"5\"=DOWN " + rig.Echo("ran $$") + "\r\n\"9\"=UP (*1 $lock*)\r\n"))
      << rig.VexelLog();
  rig.phone.Send("press 5");
  ASSERT_TRUE(rig.WaitFor("trace", "ran ")) << rig.VexelLog();
  const std::string trace = rig.Trace();
  const std::size_t ran = trace.find("ran ");
  const std::string pid = trace.substr(ran + 4, trace.find('\n', ran) - ran - 4);
  // Its own scope, and it ran once the scope was there.
  for (const std::string& call : {"\"app-vexel-sh-" + pid + ".scope\";", std::string("\"PIDs\";"),
                                  "UINT32 " + pid + ";", std::string("\"app.slice\";")})
    EXPECT_LT(trace.find(call), ran) << call << " in\n" << trace;
  rig.phone.Send("click 9");
  EXPECT_TRUE(rig.WaitFor("trace", "login1 GetUser " + std::to_string(getuid()) +
                                       "\nlogin1 Lock /org/freedesktop/login1/session/c1\n"));
  EXPECT_TRUE(rig.WaitFor("vexel.log", "locked the graphical session c1"));
}

TEST_F(VexelRun, SighupPicksUpAnEditedKeysFile) {
  LinkUp();
  rig.folder.Write("phone.km", "[Keys]\r\n\"5\"=DOWN " + rig.Echo("edited") + "\r\n");
  rig.vexel.Signal(SIGHUP);
  ASSERT_TRUE(rig.WaitFor("vexel.log", "1 keys from"));
  rig.phone.Send("click 5");
  EXPECT_TRUE(rig.WaitFor("trace", "edited\n"));
  rig.phone.Send("click 5");  // later wake-ups of the loop reload nothing
  EXPECT_TRUE(rig.WaitFor("trace", "edited\nedited\n"));
  EXPECT_FALSE(rig.WaitFor("vexel.log", "reloading", 200, 2));
}

// SIGHUP reloads a service; from a terminal it is the terminal closing, and
// under nohup it stays ignored.
TEST_F(VexelRun, SighupReloadsAServiceEndsATerminalAndIsIgnoredUnderNohup) {
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
  const std::vector<std::string> onTerminal = {
      "sh", "-c", std::string("exec \"$0\" \"$@\" <") + ptsname(terminal)};
  struct Case {
    const char* how;
    std::vector<std::string> prefix, env;
    const char* said;  // after the SIGHUP
    bool ends;
  } cases[] = {
      {"a service", {}, {}, "reloading", false},
      {"a terminal", onTerminal, {}, "terminal closed: stopping", true},
      {"a service with a terminal", onTerminal, {"INVOCATION_ID=1"}, "reloading", false},
      {"nohup", {"nohup"}, {}, nullptr, false},
  };
  rig.StartLine();
  rig.StartPhone();
  rig.Settings("", Keys(rig));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    std::remove(rig.folder.File("vexel.log").c_str());
    rig.StartVexel({"run"}, c.env, c.prefix);
    ASSERT_TRUE(rig.WaitFor("vexel.log", "link up"));
    rig.vexel.Signal(SIGHUP);
    if (c.said) {
      EXPECT_TRUE(rig.WaitFor("vexel.log", c.said));
    }
    EXPECT_EQ(rig.vexel.Wait(c.ends ? 5000 : 500), c.ends ? 0 : -1) << rig.VexelLog();
    if (!c.ends) {
      rig.vexel.Signal(SIGTERM);
      EXPECT_EQ(rig.vexel.Wait(5000), 0);
    }
    if (!c.said) {
      EXPECT_EQ(rig.VexelLog().find("reloading"), std::string::npos);
    }
  }
  close(terminal);
}

TEST_F(VexelRun, SighupWithAnotherPortReopensTheLink) {
  LinkUp();
  // A second pair: the same phone program on its other end.
  Process line2, phone2;
  const std::string a2 = rig.folder.File("A2"), b2 = rig.folder.File("B2");
  rig.StartPair(line2, a2, b2);
  phone2.Start({Program(PHONESIM_EXE), "-l", rig.folder.File("phone2.log"), b2},
               rig.folder.File("p2"), true);
  rig.folder.Write("Vexel.ini", "[params]\r\nport=" + a2 + " (etc)\r\nKeysFile=phone.km\r\n");
  rig.vexel.Signal(SIGHUP);
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up", 5000, 2));
  phone2.Send("click 5");
  EXPECT_TRUE(rig.WaitFor("trace", "up 5\n"));
}

TEST_F(VexelRun, SigtermStopsCleanlyReleasingAHeldKey) {
  ASSERT_TRUE(rig.LinkUp("\"6\"=DOWN (*2 0 Shift+B*)\r\n", {"DISPLAY="}));
  rig.phone.Send("press 6");
  ASSERT_TRUE(rig.WaitFor("phone.log", "6,1"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  rig.vexel.Signal(SIGTERM);
  EXPECT_EQ(rig.vexel.Wait(5000), 0);
  for (const char* said : {"releasing held keys: B Shift", "link down", "stopped"})
    EXPECT_THAT(rig.VexelLog(), HasSubstr(said));
  if (access("/dev/uinput", W_OK) != 0) {  // no way to inject: said once, at the start
    const std::string log = rig.VexelLog();
    const std::size_t first = log.find("keys cannot be injected");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("keys cannot be injected", first + 1), std::string::npos) << log;
  }
}

TEST_F(VexelRun, FirstStartThatFailsIsRetried) {
  rig.StartLine();
  rig.StartPhone({"-r", "silent"});
  rig.Settings("", Keys(rig));
  rig.StartVexel();
  // After the failure report's seven commands, 750 ms each.
  ASSERT_TRUE(rig.WaitFor("vexel.log", "start attempt 1 failed; next in 10 s", 15000));
  const std::string log = rig.VexelLog();
  EXPECT_THAT(log, HasSubstr("Error: Feedback init failed."));
  // Nobody to ask: the phone's answers are kept, and the log says where.
  EXPECT_EQ(log.find("Would you like"), std::string::npos);
  const std::string kept = "the phone's answers are in " + rig.folder.File("state/vexel/");
  const std::size_t at = log.find(kept);
  ASSERT_NE(at, std::string::npos) << log;
  const std::string path = log.substr(at + 27, log.find(':', at + 27) - at - 27);
  EXPECT_THAT(rig.Read(path.substr(rig.folder.File("").size())),
              StartsWith("Vexel after \"Feedback init failed\" info collection."));
  // The line stayed open at its other end all along: the retry links up.
  rig.phone.Send("reply ok");
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up", 15000)) << "no retry";
  rig.phone.Send("click 5");
  EXPECT_TRUE(rig.WaitFor("trace", "up 5\n"));
  rig.vexel.Signal(SIGTERM);
  EXPECT_EQ(rig.vexel.Wait(5000), 0);
}

// Bound with rfcomm, the port opens before the phone is reached: vexel asks
// until the phone answers.
TEST_F(VexelRun, BluetoothPhoneThatAnswersLateLinksUp) {
  rig.StartLine();
  rig.StartPhone({"-r", "silent"});
  rig.Settings("", Keys(rig));
  rig.folder.Write("Vexel.ini", "[params]\r\nport=" + rig.A() + " (bth)\r\nKeysFile=phone.km\r\n");
  rig.StartVexel();
  ASSERT_TRUE(rig.WaitFor("phone.log", "< AT\\r", 5000, 3));
  rig.phone.Send("reply ok");
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up")) << rig.VexelLog();
  EXPECT_EQ(rig.VexelLog().find("failed"), std::string::npos);
  rig.phone.Send("click 5");
  EXPECT_TRUE(rig.WaitFor("trace", "up 5\n"));
}

// A call: "(ring)" runs its DOWN part at the first RING and its UP part
// 8 s after the last one; the caller is logged and shown. Battery and
// signal are logged as the phone tells them.
TEST_F(VexelRun, CallRunsTheRingEntryOnceAndShowsTheCaller) {
  rig.StartBus();
  ASSERT_TRUE(rig.LinkUp("\"(ring)\"=DOWN " + rig.Echo("ring", "calls") + " UP " +
                         rig.Echo("ended", "calls") + "\r\n"));
  EXPECT_TRUE(rig.WaitFor("vexel.log", "battery 100 %, signal 5 of 5")) << rig.VexelLog();
  rig.phone.Send("ring +4917012345 2 1000");
  EXPECT_TRUE(rig.WaitFor("calls", "ring\n"));
  EXPECT_TRUE(rig.WaitFor("calls", "ended\n", 12000));
  EXPECT_EQ(rig.Read("calls"), "ring\nended\n");
  EXPECT_THAT(rig.VexelLog(), HasSubstr("call from +4917012345"));
  EXPECT_THAT(rig.Read("notices"), HasSubstr("Incoming call: +4917012345\n"));
}

// One real reconnection: about 10 s, the core's pause before an attempt
// (the 13 attempts and the give-up are the core tests' virtual clock's).
// The desktop hears of it: linked, lost, back.
TEST_F(VexelRun, LineLostAndBackBringsKeysBack) {
  rig.StartBus();
  LinkUp("reconnect=1\r\n");
  rig.CutLine();
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link lost"));
  rig.StartLine();  // the phone reopens its end once it is back
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up", 30000, 2)) << "no reconnection";
  rig.phone.Send("press 5");
  EXPECT_TRUE(rig.WaitFor("trace", "down 5\n"));
  EXPECT_TRUE(rig.WaitFor("trace", "lost\n"));  // "(link lost)"
  const std::string port = "Sony Ericsson on " + rig.A() + "\n";
  EXPECT_EQ(rig.Read("notices"), "Phone linked: " + port + "Phone link lost: Vexel tries to " +
                                     "re-establish it every 10 s.\nPhone link back: " + port);
}

TEST_F(VexelRun, LearnSavesTheKeysAFileCanHold) {
  rig.StartLine();
  rig.StartPhone();
  rig.Settings("", "");
  const std::string head = "; my keys\r\n[Keys]\r\n\"5\"=DOWN (*1 #keep*)\n",
                    tail = "\r\n[Keys vlc] ; VLC\r\n\"5\"=DOWN (*1 #vlc*)\r\n", keys = head + tail;
  struct Case {
    std::vector<std::string> args;
    std::string file;
    int status;  // 1: the settings' keys file is one the user cannot read
    std::string saved;
  } cases[] = {
      {{"learn", "-o", rig.folder.File("new.km")},
       "new.km",
       0,
       "[Keys]\r\n\"1\"=\r\n\"5\"=\r\n\"*\"=\r\n"},
      {{"learn"}, "phone.km", 0, head + "\"1\"=\r\n\"*\"=\r\n" + tail},  // every other byte kept
      {{"learn"}, "phone.km", 1, keys},                                  // left alone
  };
  for (const Case& c : cases) {
    std::remove(rig.folder.File("vexel.log").c_str());
    rig.folder.Write("phone.km", keys);
    chmod(rig.folder.File("phone.km").c_str(), c.status ? 0200 : 0644);
    rig.StartVexel(c.args);
    ASSERT_TRUE(rig.WaitFor("vexel.log", "learning: press"));
    for (const char* key : {"1", "5", "a=b", "*", "1"}) rig.phone.Send(std::string("click ") + key);
    ASSERT_TRUE(rig.WaitFor("vexel.log", "*\n"));
    rig.vexel.Signal(SIGINT);
    EXPECT_EQ(rig.vexel.Wait(5000), c.status);
    chmod(rig.folder.File("phone.km").c_str(), 0644);
    EXPECT_EQ(rig.Read(c.file), c.saved) << rig.VexelLog();
  }
  EXPECT_TRUE(rig.WaitFor("vexel.log", "not saved: Unable to read " + rig.folder.File("phone.km")));
}

TEST(VexelCommands, ExitCodesAndMessages) {
  TempFolder folder;
  const std::string good =
      folder.Write("good.ini", "[params]\r\nport=/dev/ttyS0 (etc)\r\nKeysFile=good.km\r\n");
  folder.Write("good.km",
               "[Keys]\r\n\"5\"=DOWN (*2 2 Volume Up*)\r\n\"(link lost)\"=DOWN (*1 $lock*)\r\n");
  const std::string bad = folder.Write("bad.ini", "[params]\r\nKeysFile=bad.km\r\n");
  folder.Write("bad.km",
               "[Keys]\r\n\"5\"=DOWN (*2 2 Hyper+Q*)\r\n\"6\"=UP (*1 $lok*)\r\n"
               "\"(link up)\"=UP (*1 $lock*)\r\n[Keys vlc]\r\n\"(ring)\"=DOWN (*1 $lock*)\r\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  } cases[] = {
      {{"--help"}, 0, "Usage: vexel COMMAND"},
      {{"run", "--help"}, 0, "SIGHUP reloads"},
      {{"learn", "-h"}, 0, "Usage: vexel learn"},
      {{"check", "--help"}, 0, "Exit status: 0 no problem; 1 problems"},
      {{"ports", "--help"}, 0, "dialout"},
      {{"doctor", "--help"}, 0, "names the first key"},
      {{"ports", "--save"}, 2, "--save and PORT go with --probe"},
      {{}, 2, "no command"},
      {{"fly"}, 2, "unknown command 'fly'"},
      {{"run", "--baud", "fast"}, 2, "--baud needs a rate"},
      {{"learn", "--baud", "115201"}, 2, "can be set to: 1200 2400 4800 9600 19200"},
      {{"check", "-o", "x"}, 2, "unexpected '-o'"},
      {{"check", "--ini", good}, 0, "\"5\": down click Volume Up; up nothing"},
      {{"check", "--ini", bad}, 1, "\"Hyper+Q\" names no key"},
      {{"check", "--ini", good}, 0, "\"(link lost)\": down special: lock; up nothing"},
      {{"check", "--ini", bad}, 1, "\"6\" up: \"$lok\" is no special command"},
      {{"check", "--ini", bad}, 1, "\"(link up)\" up: never runs, as the event has no end"},
      {{"check", "--ini", bad}, 1, "\"(ring)\" for vlc: the phone's events run only from [Keys]"},
      {{"check", "--ini", folder.File("none.ini")}, 1, "the settings file does not exist"},
      {{"run", "--ini", bad}, 1, "no port in"},
      {{"run", "--ini", folder.File("none.ini")}, 1, "no settings file"},
      {{"ports"}, 0, ""},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(RunVexel(c.args, output), c.status) << (c.args.empty() ? "" : c.args[0]) << output;
    EXPECT_THAT(output, HasSubstr(c.said));
  }
}

}  // namespace
}  // namespace vexel::test
