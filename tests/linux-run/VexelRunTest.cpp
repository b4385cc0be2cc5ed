// The real vexel with the simulated phone on a socat pty pair.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "RunRig.h"

namespace vexel::test {
namespace {

// Every key leaves its trace with the recorders or through sh.
std::string Keys(const RunRig& rig) {
  const std::string trace = rig.folder.File("trace");
  return "\"5\"=DOWN (*1 #echo down 5 >> " + trace + "*) UP (*1 #echo up 5 >> " + trace +
         "*)\r\n\"1\"=DOWN (*1 /home/me/My Music/list.m3u*)\r\n"
         "\"0\"=DOWN (*1 $reboot*) UP (*1 $shutdown*)\r\n"
         "\":J\"=UP (*1 #echo up :J >> " +
         trace + "*)\r\n";
}

class VexelRun : public ::testing::Test {
 protected:
  // The line, the phone, and vexel linked up.
  void LinkUp(const std::string& params = "") {
    rig.StartLine();
    rig.StartPhone();
    rig.Settings(params, Keys(rig));
    rig.StartVexel();
    ASSERT_TRUE(rig.WaitFor("vexel.log", "link up")) << rig.VexelLog();
  }
  void TearDown() override {
    if (HasFailure())
      std::cerr << "--- vexel\n" << rig.VexelLog() << "--- phone\n" << rig.PhoneLog();
  }
  RunRig rig;
};

TEST_F(VexelRun, KeysRunTheirDownAndUpActions) {
  LinkUp();
  EXPECT_NE(rig.PhoneLog().find("< AT+CMER=3,2,0,0,0\\r"), std::string::npos);
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
  rig.StartLine();
  rig.StartPhone();
  const std::string trace = rig.folder.File("trace");
  rig.Settings("", "\"8\"=DOWN (*1 #echo short >> " + trace + "*) UP (**) HOLD (*1 #echo long >> " +
                       trace + "*)\r\n");
  rig.StartVexel();
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up")) << rig.VexelLog();
  rig.phone.Send("click 8");
  EXPECT_TRUE(rig.WaitFor("trace", "short\n"));
  rig.phone.Send("press 8\npause 1000\nrelease 8");
  EXPECT_TRUE(rig.WaitFor("trace", "long\n"));
  EXPECT_TRUE(rig.WaitFor("phone.log", "8,0", 5000, 2));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(rig.Trace(), "short\nlong\n");
}

TEST_F(VexelRun, MakerChoosesTheKeyReportingCommand) {
  struct Case {
    const char* phone;
    const char* command;
  } cases[] = {{"1", "AT+CMER=3,1,0,0,0"}, {"2", "AT+CMER=3,2,0,0,0"}, {"3", "AT+CMER=2,1,0,0,0"}};
  rig.StartLine();
  rig.StartPhone();
  for (const Case& c : cases) {
    rig.Settings(std::string("phone=") + c.phone + "\r\n", Keys(rig));
    rig.StartVexel();
    EXPECT_TRUE(rig.WaitFor("phone.log", c.command)) << c.phone;
    rig.vexel.Signal(SIGINT);
    EXPECT_EQ(rig.vexel.Wait(5000), 0);
  }
}

TEST_F(VexelRun, SecondVexelOnThePortIsToldWhoHoldsIt) {
  LinkUp();
  Process second;
  second.Start({VEXEL_EXE, "run", "--ini", rig.folder.File("Vexel.ini")},
               rig.folder.File("second.log"));
  EXPECT_EQ(second.Wait(5000), 1);
  EXPECT_NE(rig.Read("second.log")
                .find("busy, held by pid " + std::to_string(rig.vexel.Pid()) + " (vexel)"),
            std::string::npos)
      << rig.Read("second.log");
}

TEST_F(VexelRun, SighupPicksUpAnEditedKeysFile) {
  LinkUp();
  const std::string trace = rig.folder.File("trace");
  rig.folder.Write("phone.km", "[Keys]\r\n\"5\"=DOWN (*1 #echo edited >> " + trace + "*)\r\n");
  rig.vexel.Signal(SIGHUP);
  ASSERT_TRUE(rig.WaitFor("vexel.log", "1 keys from"));
  rig.phone.Send("click 5");
  EXPECT_TRUE(rig.WaitFor("trace", "edited\n"));
  EXPECT_EQ(rig.Trace(), "edited\n");
}

TEST_F(VexelRun, SighupWithAnotherPortReopensTheLink) {
  LinkUp();
  // A second pair: the same phone program on its other end.
  Process line2, phone2;
  const std::string a2 = rig.folder.File("A2"), b2 = rig.folder.File("B2");
  line2.Start({"socat", "pty,raw,echo=0,link=" + a2, "pty,raw,echo=0,link=" + b2},
              rig.folder.File("socat2.log"));
  for (int i = 0; i < 300 && access(b2.c_str(), F_OK); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  phone2.Start({PHONESIM_EXE, "-l", rig.folder.File("phone2.log"), b2}, rig.folder.File("p2"),
               true);
  rig.folder.Write("Vexel.ini", "[params]\r\nport=" + a2 + " (etc)\r\nKeysFile=phone.km\r\n");
  rig.vexel.Signal(SIGHUP);
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up", 5000, 2));
  phone2.Send("click 5");
  EXPECT_TRUE(rig.WaitFor("trace", "up 5\n"));
}

TEST_F(VexelRun, SigtermStopsCleanlyReleasingAHeldKey) {
  rig.StartLine();
  rig.StartPhone();
  rig.Settings("", "\"6\"=DOWN (*2 0 Shift+B*)\r\n");
  rig.StartVexel({"run"}, {"DISPLAY="});
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up"));
  rig.phone.Send("press 6");
  ASSERT_TRUE(rig.WaitFor("phone.log", "6,1"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  rig.vexel.Signal(SIGTERM);
  EXPECT_EQ(rig.vexel.Wait(5000), 0);
  EXPECT_NE(rig.VexelLog().find("releasing held keys: B Shift"), std::string::npos);
  EXPECT_NE(rig.VexelLog().find("link down"), std::string::npos);
  EXPECT_NE(rig.VexelLog().find("stopped"), std::string::npos);
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
  ASSERT_TRUE(rig.WaitFor("vexel.log", "start attempt 1 failed; next in 10 s"));
  const std::string log = rig.VexelLog();
  EXPECT_NE(log.find("Error: Feedback init failed."), std::string::npos);
  EXPECT_NE(log.find("Would you like to send email with auto-generated log? Thank you! -> No"),
            std::string::npos);
  rig.vexel.Signal(SIGTERM);
  EXPECT_EQ(rig.vexel.Wait(5000), 0);
}

// One real reconnection: about 10 s, the core's pause before an attempt
// (the 13 attempts and the give-up are the core tests' virtual clock's).
TEST_F(VexelRun, LineLostAndBackBringsKeysBack) {
  LinkUp("reconnect=1\r\n");
  rig.CutLine();
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link lost"));
  rig.StartLine();  // the phone reopens its end once it is back
  ASSERT_TRUE(rig.WaitFor("vexel.log", "link up", 30000, 2)) << "no reconnection";
  rig.phone.Send("press 5");
  EXPECT_TRUE(rig.WaitFor("trace", "down 5\n"));
}

TEST_F(VexelRun, LearnSavesTheKeysAFileCanHold) {
  rig.StartLine();
  rig.StartPhone();
  rig.Settings("", "\"5\"=DOWN (*1 #keep*)\r\n[Keys vlc]\r\n\"5\"=DOWN (*1 #vlc*)\r\n");
  struct Case {
    std::vector<std::string> args;
    std::string file;
    std::string saved;
  } cases[] = {
      {{"learn", "-o", rig.folder.File("new.km")},
       "new.km",
       "[Keys]\r\n\"1\"=\r\n\"5\"=\r\n\"*\"=\r\n"},
      {{"learn"},
       "phone.km",  // every map kept
       "[Keys]\r\n\"5\"=DOWN (*1 #keep*)\r\n\"1\"=\r\n\"*\"=\r\n[Keys vlc]\r\n\"5\"=DOWN (*1 "
       "#vlc*)\r\n"},
  };
  for (const Case& c : cases) {
    std::remove(rig.folder.File("vexel.log").c_str());
    rig.StartVexel(c.args);
    ASSERT_TRUE(rig.WaitFor("vexel.log", "learning: press"));
    for (const char* key : {"1", "5", "a=b", "*", "1"}) rig.phone.Send(std::string("click ") + key);
    ASSERT_TRUE(rig.WaitFor("vexel.log", "*\n"));
    rig.vexel.Signal(SIGINT);
    EXPECT_EQ(rig.vexel.Wait(5000), 0);
    EXPECT_EQ(rig.Read(c.file), c.saved) << rig.VexelLog();
  }
}

TEST(VexelCommands, ExitCodesAndMessages) {
  TempFolder folder;
  const std::string good = folder.Write("good.ini",
                                        "[params]\r\nport=/dev/ttyS0 (etc)\r\n"
                                        "KeysFile=good.km\r\n");
  folder.Write("good.km", "[Keys]\r\n\"5\"=DOWN (*2 2 Volume Up*)\r\n");
  const std::string bad = folder.Write("bad.ini", "[params]\r\nKeysFile=bad.km\r\n");
  folder.Write("bad.km", "[Keys]\r\n\"5\"=DOWN (*2 2 Hyper+Q*)\r\n");
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
      {{}, 2, "no command"},
      {{"fly"}, 2, "unknown command 'fly'"},
      {{"run", "--baud", "fast"}, 2, "--baud needs a rate"},
      {{"check", "-o", "x"}, 2, "unexpected '-o'"},
      {{"check", "--ini", good}, 0, "\"5\": down click Volume Up; up nothing"},
      {{"check", "--ini", bad}, 1, "\"Hyper+Q\" names no key"},
      {{"check", "--ini", folder.File("none.ini")}, 1, "the settings file does not exist"},
      {{"run", "--ini", bad}, 1, "no port in"},
      {{"run", "--ini", folder.File("none.ini")}, 1, "no settings file"},
      {{"ports"}, 0, ""},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(RunVexel(c.args, output), c.status) << (c.args.empty() ? "" : c.args[0]) << output;
    EXPECT_NE(output.find(c.said), std::string::npos) << c.said << " in\n" << output;
  }
}

}  // namespace
}  // namespace vexel::test
