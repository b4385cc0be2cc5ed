// The real Vexel.exe under Wine, linked to the simulated phone over the
// rig's virtual null-modem: Vexel on COM27, the phone on COM28.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <thread>

#include "NullModemRig.h"
#include "ShellRecorder.h"
#include "VexelDriver.h"

namespace vexel::test {
namespace {

using phonesim::ReplyMode;

// The simulated phone on COM28, answering as asked.
std::unique_ptr<PhoneOnCom28> StartPhone(ReplyMode reply = ReplyMode::kOk) {
  phonesim::PhoneOptions options;
  options.reply = reply;
  options.echo = false;
  options.rigFolder = NullModem::Folder();
  return std::make_unique<PhoneOnCom28>(options);
}

// Plays script lines ("press 5", "pause 100", ...) and waits until they were played.
void Play(PhoneOnCom28& phone, const std::string& script, int timeoutMs = kDeadlineMs) {
  ASSERT_TRUE(phone.Play(script)) << script;
  ASSERT_TRUE(phone.WaitPlayed(timeoutMs)) << script;
}

// Waits until the phone has received the text (a command line) `times` times.
bool Received(PhoneOnCom28& phone, const std::string& text, int timeoutMs = 20000,
              size_t times = 1) {
  return PumpUntil([&] { return phone.Count(text) >= times; }, timeoutMs);
}

std::string Settings(bool autostart, const std::string& keysFile, bool reconnect = false) {
  return "[params]\r\nport=COM27 (etc)\r\nphone=0\r\nautostart=" + std::string(autostart ? "1" : "0") +
         "\r\nKeysFile=" + keysFile + "\r\nreconnect=" + (reconnect ? "1" : "0") + "\r\n";
}

// A keys file whose key 5 leaves a file on button down and another on button up.
std::string TraceKeys(const TestFolder& folder) {
  return "[Keys]\r\n\"5\"=DOWN (*1 #cmd /c echo down>\"" + folder.File("down.txt") +
         "\"*) UP (*1 #cmd /c echo up>\"" + folder.File("up.txt") + "\"*)\r\n";
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(NullModem::Folder().empty()) << "run through scripts/wine-run";
    ASSERT_TRUE(NullModem::FreshCable());
  }
};

TEST_F(EndToEnd, AutostartBringsTheLinkUpAndKeysRunTheirActions) {
  TestFolder folder("autostart");
  folder.Write("keys.km", TraceKeys(folder));
  folder.Write("Vexel.ini", Settings(true, folder.File("keys.km")));
  auto phone = StartPhone();
  VexelProcess vexel(folder);
  ASSERT_TRUE(Received(*phone, "AT+CMER=3,2,0,0,0\r"));

  // A user presses keys once the link is up, not in the instant of its "OK".
  Play(*phone, "pause 2000\npress 5");
  EXPECT_TRUE(PumpUntil([&] { return folder.Read("down.txt").has_value(); }, 20000));
  EXPECT_FALSE(folder.Read("up.txt").has_value());
  Play(*phone, "release 5");
  EXPECT_TRUE(PumpUntil([&] { return folder.Read("up.txt").has_value(); }, 20000));
}

TEST_F(EndToEnd, SecondStartShowsTheMessageAndEnds) {
  TestFolder folder("twice");
  folder.Write("Vexel.ini", Settings(false, ""));
  VexelProcess first(folder);
  ASSERT_TRUE(first.MainWindow());
  VexelProcess second(folder);
  auto box = second.WaitDialog("Information");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text,
            "Vexel is already running.\rSee in system tray.\rOnly one instance of the programm is "
            "allowed.");
  VexelProcess::Press(box->hwnd, IDOK);
  EXPECT_EQ(second.WaitExit(10000), std::optional<DWORD>(0));
  EXPECT_TRUE(first.Running());
}

TEST_F(EndToEnd, PhoneAnsweringErrorLeadsToTheFailureReport) {
  TestFolder folder("error");
  folder.Write("Vexel.ini", Settings(false, ""));
  ShellRecorder recorder(folder.File("opened.log"));
  recorder.RegisterProtocol("mailto");
  auto phone = StartPhone(ReplyMode::kError);
  VexelProcess vexel(folder);
  vexel.Menu("StartStopItem");
  auto failed = vexel.WaitDialog("Error");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->text, "Feedback init failed.");
  VexelProcess::Press(failed->hwnd, IDOK);
  auto question = vexel.WaitDialog("Question");
  ASSERT_TRUE(question);
  VexelProcess::Press(question->hwnd, IDYES);
  const auto opened = recorder.WaitForLines(1, 30000);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find("mailto:"), std::string::npos);
  EXPECT_NE(opened[0].find("subject=Vexel_AfterFIFLog&body=Vexel+after+%22Feedback+init+failed%22"),
            std::string::npos);
  EXPECT_TRUE(Received(*phone, "AT+CMER=?\r"));  // the last identification command
}

TEST_F(EndToEnd, LostLineComesBackAfterTheSecondAttempt) {
  TestFolder folder("reconnect");
  folder.Write("keys.km", TraceKeys(folder));
  folder.Write("Vexel.ini", Settings(true, folder.File("keys.km")));
  auto phone = StartPhone();
  VexelProcess vexel(folder);
  ASSERT_TRUE(Received(*phone, "AT+CMER=3,2,0,0,0\r"));
  // Unplugged for 25 s: the attempts at 10 s and 20 s fail, the one at 30 s succeeds.
  Play(*phone, "hangup 25000", 60000);
  ASSERT_TRUE(Received(*phone, "AT+CMER=3,2,0,0,0\r", 30000, 2));
  // Keep-alive on after a reconnection, although the option is not ticked.
  EXPECT_TRUE(Received(*phone, "AT+CGMI\r", 15000));
  Play(*phone, "press 5");
  EXPECT_TRUE(PumpUntil([&] { return folder.Read("down.txt").has_value(); }, 20000));
}

TEST_F(EndToEnd, LearnModeFillsTheGridAndTheKeysAreSaved) {
  TestFolder folder("learn");
  folder.Write("Vexel.ini", Settings(false, ""));
  auto phone = StartPhone();
  VexelProcess vexel(folder);
  vexel.Menu("StartStopItem");
  ASSERT_TRUE(Received(*phone, "AT+CMER=3,2,0,0,0\r"));
  ASSERT_TRUE(PumpUntil([&] { return vexel.Enabled("MapKeysButton"); }, 20000));
  vexel.Menu("N1");
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(vexel.MainWindow()); }, 20000));
  vexel.Click("MapKeysButton");
  ASSERT_TRUE(PumpUntil([&] { return vexel.Checked("MapKeysButton"); }, 20000));
  Play(*phone, "click 1\nclick #\nclick :J\nclick 1");
  ASSERT_TRUE(PumpUntil([&] { return vexel.GridRows().size() == 4; }, 20000));
  EXPECT_EQ(vexel.GridRows(), (std::vector<std::string>{"1= ", "#= ", ":J= ", "1= "}));
  vexel.Click("MapKeysButton");
  ASSERT_TRUE(PumpUntil([&] { return !vexel.Checked("MapKeysButton"); }, 20000));

  vexel.Click("SpeedButton5");
  auto dialog = vexel.WaitDialog("Save keys file");
  ASSERT_TRUE(dialog);
  VexelProcess::ChooseFile(dialog->hwnd, folder.File("learned.km"));
  ASSERT_TRUE(PumpUntil([&] { return folder.Read("learned.km").has_value(); }, 20000));
  EXPECT_EQ(*folder.Read("learned.km"), "[Keys]\r\n\"1\"= \r\n\"#\"= \r\n\":J\"= \r\n");
}

// "Exit" from the tray while a message box of a failed start is open ends
// the program: the box, the wait behind it and the port all end with it.
TEST_F(EndToEnd, ExitWhileAMessageBoxIsOpenEndsTheProgram) {
  TestFolder folder("exit");
  folder.Write("Vexel.ini", Settings(false, ""));
  auto phone = StartPhone(ReplyMode::kSilent);
  VexelProcess vexel(folder);
  vexel.Menu("StartStopItem");
  ASSERT_TRUE(vexel.WaitDialog("Error"));
  vexel.Menu("Exit1");
  EXPECT_EQ(vexel.WaitExit(20000), std::optional<DWORD>(0));
  EXPECT_FALSE(HasWindowTitled(vexel.ProcessId(), "Question"));
}

}  // namespace
}  // namespace vexel::test
