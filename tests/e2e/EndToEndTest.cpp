// The real Vexel.exe under Wine, linked to the simulated phone over the
// rig's virtual null-modem: Vexel on COM27, the phone on COM28.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <thread>

#include "NullModemRig.h"
#include "ShellRecorder.h"
#include "VexelDriver.h"
#include "app/ProductInfo.h"

namespace vexel::test {
namespace {

using phonesim::ReplyMode;

// Plays script lines ("press 5", "pause 100", ...) and waits until they were played.
void Play(PhoneOnCom28& phone, const std::string& script, int timeoutMs = kDeadlineMs) {
  ASSERT_TRUE(phone.Play(script)) << script;
  ASSERT_TRUE(phone.WaitPlayed(timeoutMs)) << script;
}

// Waits until the phone has received the text (a command line) `times` times.
bool Received(PhoneOnCom28& phone, const std::string& text, int timeoutMs = 20000,
              size_t times = 1) {
  return WaitFor([&] { return phone.Count(text) >= times; }, timeoutMs);
}

std::string Settings(bool autostart, const std::string& keysFile, bool reconnect = false) {
  return "[params]\r\nport=COM27 (etc)\r\nphone=0\r\nautostart=" +
         std::string(autostart ? "1" : "0") + "\r\nKeysFile=" + keysFile +
         "\r\nreconnect=" + (reconnect ? "1" : "0") + "\r\n";
}

constexpr char kKeyReporting[] = "AT+CMER=3,2,0,0,0\r";

// Each test has a folder of its own, named after it, in which it starts
// Vexel (Vexel.ini: port COM27, Sony Ericsson) and the simulated phone on
// COM28. Vexel ends first, then the phone, then the folder goes.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(NullModem::Folder().empty()) << "run through scripts/wine-run";
    EndLeftoverVexels();
    ASSERT_TRUE(NullModem::FreshCable());
    folder = std::make_unique<TestFolder>(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  PhoneOnCom28& StartPhone(ReplyMode reply = ReplyMode::kOk) {
    phonesim::PhoneOptions options;
    options.reply = reply;
    options.echo = false;
    options.rigFolder = NullModem::Folder();
    phone = std::make_unique<PhoneOnCom28>(options);
    return *phone;
  }

  VexelProcess& StartVexel(bool autostart, const std::string& keysFile = "",
                           bool reconnect = false) {
    folder->Write("Vexel.ini", Settings(autostart, keysFile, reconnect));
    vexel = std::make_unique<VexelProcess>(*folder);
    return *vexel;
  }

  // A keys file whose key 5 leaves down.txt on button down and up.txt on
  // button up; its path.
  std::string TraceKeys() {
    folder->Write("keys.km", "[Keys]\r\n\"5\"=DOWN (*1 #cmd /c echo down>\"" +
                                 folder->File("down.txt") + "\"*) UP (*1 #cmd /c echo up>\"" +
                                 folder->File("up.txt") + "\"*)\r\n");
    return folder->File("keys.km");
  }

  // The phone, and Vexel linked up at its start with the trace keys.
  void LinkUpWithTraceKeys(bool reconnect = false) {
    StartPhone();
    StartVexel(true, TraceKeys(), reconnect);
    ASSERT_TRUE(Received(*phone, kKeyReporting));
  }

  bool Left(const std::string& file) {
    return WaitFor([&] { return folder->Read(file).has_value(); }, 20000);
  }

  std::unique_ptr<TestFolder> folder;
  std::unique_ptr<PhoneOnCom28> phone;
  std::unique_ptr<VexelProcess> vexel;
};

TEST_F(EndToEnd, AutostartBringsTheLinkUpAndKeysRunTheirActions) {
  LinkUpWithTraceKeys();
  // A user presses keys once the link is up, not in the instant of its "OK".
  Play(*phone, "pause 2000\npress 5");
  EXPECT_TRUE(Left("down.txt"));
  EXPECT_FALSE(folder->Read("up.txt").has_value());
  Play(*phone, "release 5");
  EXPECT_TRUE(Left("up.txt"));
}

TEST_F(EndToEnd, SecondStartShowsTheMessageAndEnds) {
  VexelProcess& first = StartVexel(false);
  ASSERT_TRUE(first.MainWindow());
  VexelProcess second(*folder);
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
  ShellRecorder recorder(folder->File("opened.log"));
  recorder.RegisterProtocol("mailto");
  StartPhone(ReplyMode::kError);
  StartVexel(false).Menu("StartStopItem");
  auto failed = vexel->WaitDialog("Error");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->text, "Feedback init failed.");
  VexelProcess::Press(failed->hwnd, IDOK);
  auto question = vexel->WaitDialog("Question");
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
  LinkUpWithTraceKeys();
  // Unplugged for 25 s: the attempts at 10 s and 20 s fail, the one at 30 s succeeds.
  Play(*phone, "hangup 25000", 60000);
  ASSERT_TRUE(Received(*phone, kKeyReporting, 30000, 2)) << phone->Log();
  // Keep-alive on after a reconnection, although the option is not ticked.
  EXPECT_TRUE(Received(*phone, "AT+CGMI\r", 15000));
  Play(*phone, "press 5");
  EXPECT_TRUE(Left("down.txt"));
}

TEST_F(EndToEnd, LearnModeFillsTheGridAndTheKeysAreSaved) {
  StartPhone();
  VexelProcess& vexel = StartVexel(false);
  vexel.Menu("StartStopItem");
  ASSERT_TRUE(Received(*phone, kKeyReporting));
  ASSERT_TRUE(WaitFor([&] { return vexel.Enabled("MapKeysButton"); }, 20000));
  vexel.Menu("N1");
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(vexel.MainWindow()); }, 20000));
  vexel.Click("MapKeysButton");
  ASSERT_TRUE(WaitFor([&] { return vexel.Checked("MapKeysButton"); }, 20000));
  Play(*phone, "click 1\nclick #\nclick :J\nclick 1");
  ASSERT_TRUE(WaitFor([&] { return vexel.GridRows().size() == 4; }, 20000));
  EXPECT_EQ(vexel.GridRows(), (std::vector<std::string>{"1= ", "#= ", ":J= ", "1= "}));
  vexel.Click("MapKeysButton");
  ASSERT_TRUE(WaitFor([&] { return !vexel.Checked("MapKeysButton"); }, 20000));

  vexel.Click("SpeedButton5");
  auto dialog = vexel.WaitDialog("Save keys file");
  ASSERT_TRUE(dialog);
  VexelProcess::ChooseFile(dialog->hwnd, folder->File("learned.km"));
  ASSERT_TRUE(Left("learned.km"));
  EXPECT_EQ(*folder->Read("learned.km"), "[Keys]\r\n\"1\"= \r\n\"#\"= \r\n\":J\"= \r\n");
}

// A message box's text as the user reads it, whatever this program's code page.
std::wstring WideText(HWND box) {
  wchar_t text[512] = L"";
  SendMessageW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

// The driver's Russian message reaches the user in Cyrillic, on a system
// whose code page is not Cyrillic: the port is listed, but its device is
// gone (the cable unplugged). Wine then opens the port's name as something
// that is no character device, hence "invalid pointer".
TEST_F(EndToEnd, PortThatCannotBeOpenedShowsTheDriversMessage) {
  VexelProcess& vexel = StartVexel(false);
  ASSERT_TRUE(vexel.MainWindow());
  ASSERT_TRUE(NullModem::Unplug());
  vexel.Menu("StartStopItem");
  auto box = vexel.WaitDialog("Vexel");
  NullModem::RemoveDown();
  ASSERT_TRUE(box);
  EXPECT_EQ(WideText(box->hwnd),
            L"\u041d\u0435\u0432\u0435\u0440\u043d\u044b\u0439 \u0443\u043a\u0430\u0437"
            L"\u0430\u0442\u0435\u043b\u044c. ");  // "Invalid pointer. " (no full stop added)
  VexelProcess::Press(box->hwnd, IDOK);
}

// A flood of malformed reports shows one error box, not one per report.
TEST_F(EndToEnd, MalformedReportsShowOneErrorBoxAtATime) {
  StartPhone();
  VexelProcess& vexel = StartVexel(true);
  ASSERT_TRUE(Received(*phone, kKeyReporting));
  Play(*phone, "pause 2000\nsend \\r\\n+CKEV: 5,x\\r\\n");
  auto box = vexel.WaitDialog("Vexel");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "'x' is not a valid integer value.");
  for (int i = 0; i < 5; ++i) Play(*phone, "send \\r\\n+CKEV: 5,y\\r\\n\npause 100");
  Play(*phone, "pause 1000");
  EXPECT_EQ(CountTopWindows(vexel.ProcessId(), "Vexel"), 1);
  VexelProcess::Press(box->hwnd, IDOK);
}

// "Exit" from the tray while a message box of a failed start is open ends
// the program: the box, the wait behind it and the port all end with it.
TEST_F(EndToEnd, ExitWhileAMessageBoxIsOpenEndsTheProgram) {
  StartPhone(ReplyMode::kSilent);
  VexelProcess& vexel = StartVexel(false);
  vexel.Menu("StartStopItem");
  ASSERT_TRUE(vexel.WaitDialog("Error"));
  vexel.Menu("Exit1");
  EXPECT_EQ(vexel.WaitExit(20000), std::optional<DWORD>(0));
  EXPECT_FALSE(HasWindowTitled(vexel.ProcessId(), "Question"));
}

// Editing a key's action in the Button Action window, with a real click on
// the row's edit button; the key map and the settings are saved, and after a
// restart the phone key runs the edited action. Screenshots of the windows
// on the way go to <build>/screenshots.
TEST_F(EndToEnd, EditedActionIsSavedAndRunsAfterARestart) {
  const std::string newLine = "cmd /c echo new>\"" + folder->File("new.txt") + "\"";
  folder->Write("keys.km", "[Keys]\r\n\"5\"=DOWN (*1 #cmd /c echo old>\"" +
                               folder->File("old.txt") + "\"*)\r\n\"6\"=DOWN (*2 2 Ctrl+F10*)\r\n");
  {
    VexelProcess& vexel = StartVexel(false, folder->File("keys.km"));
    const DWORD pid = vexel.ProcessId();
    vexel.Menu("N1");
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(vexel.MainWindow()); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return vexel.GridRows().size() == 2; }, 20000));
    EXPECT_TRUE(SaveScreenshot("properties"));

    HWND window = nullptr;
    auto item = [&](std::string_view name) {
      return GetDlgItem(window, ControlId(kButtonActionControls, name));
    };
    auto waitText = [&](std::string_view name, const std::string& text) {
      return WaitFor([&] { return Text(item(name)) == text; }, 10000);
    };

    // Key 6 holds a Key action: shown on side 1, then cancelled.
    ASSERT_TRUE(vexel.ClickGridButton(1));
    ASSERT_TRUE(window = vexel.WaitWindow("Button Action"));
    EXPECT_EQ(Text(item("HotKey1")), "Ctrl+F10");
    EXPECT_TRUE(IsChecked(item("RadioGroup1.Key")));
    EXPECT_TRUE(SaveScreenshot("button-action-key"));
    Click(item("SpeedButton2"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); }, 10000));

    // Key 5: a new command line through "Custom command", and Alt+F5 on button up.
    ASSERT_TRUE(vexel.ClickGridButton(0));
    ASSERT_TRUE(window = vexel.WaitWindow("Button Action"));
    EXPECT_TRUE(SaveScreenshot("button-action-execute"));
    Click(item("ExtBtn1"));
    ASSERT_TRUE(WaitFor([&] { return PopupMenuWindow(pid) != nullptr; }, 10000));
    EXPECT_TRUE(SaveScreenshot("extra-commands-menu"));
    ASSERT_TRUE(ChooseFromPopupMenu(pid, 3));
    HWND box = vexel.WaitWindow("Enter custom command");
    ASSERT_TRUE(box);
    HWND line = GetDlgItem(box, ControlId(kInputBoxControls, "Edit"));
    EXPECT_EQ(Text(line), "cmd /c echo old>\"" + folder->File("old.txt") + "\"");
    EXPECT_TRUE(SaveScreenshot("custom-command"));
    SendMessageA(line, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(newLine.c_str()));
    Click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(waitText("Edit1", "#" + newLine));
    Click(item("CheckBox2"));
    Click(item("RadioGroup2.Key"));
    ASSERT_TRUE(WaitFor([&] { return IsChecked(item("RadioGroup2.Key")); }, 10000));
    PostKey(item("HotKey2"), VK_F5, true);
    EXPECT_TRUE(waitText("HotKey2", "Alt+F5"));
    Click(item("sbtnBAApply"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); }, 10000));
    EXPECT_EQ(vexel.GridRows()[0], "5=DOWN (*1 #" + newLine + "*) UP (*2 2 Alt+F5*)");

    vexel.Click("SpeedButton5");
    auto dialog = vexel.WaitDialog("Save keys file");
    ASSERT_TRUE(dialog);
    VexelProcess::ChooseFile(dialog->hwnd, folder->File("edited.km"));
    ASSERT_TRUE(Left("edited.km"));
    vexel.Click("SpeedButton1");
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(vexel.MainWindow()); }, 20000));
    vexel.Menu("Exit1");
    ASSERT_TRUE(vexel.WaitExit(20000));
  }
  StartPhone();
  vexel = std::make_unique<VexelProcess>(*folder);  // with the settings it saved
  vexel->Menu("StartStopItem");
  ASSERT_TRUE(Received(*phone, kKeyReporting));
  Play(*phone, "pause 2000\npress 5");
  EXPECT_TRUE(Left("new.txt"));
  EXPECT_FALSE(folder->Read("old.txt").has_value());
}

TEST_F(EndToEnd, HelpHandsTheHelpFileToTheShell) {
  folder->Write("Help.chm", "ITSF");
  ShellRecorder recorder(folder->File("opened.log"));
  recorder.RegisterExtension(".chm");
  VexelProcess& vexel = StartVexel(false);
  ASSERT_TRUE(vexel.MainWindow());
  vexel.Menu("Help1");
  const auto opened = recorder.WaitForLines(1, 30000);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find(folder->File("Help.chm")), std::string::npos) << opened[0];
}

TEST_F(EndToEnd, AboutOpensOnceAndItsLinksOpenMailAndWeb) {
  ShellRecorder recorder(folder->File("opened.log"));
  recorder.RegisterProtocol("mailto");
  recorder.RegisterProtocol("https");
  VexelProcess& vexel = StartVexel(false);
  vexel.Menu("About1");
  HWND about = vexel.WaitWindow("About Vexel");
  ASSERT_TRUE(about);
  auto item = [&](std::string_view name) {
    return GetDlgItem(about, ControlId(kAboutControls, name));
  };
  EXPECT_EQ(Text(item("versionLabel")), product::kVersion);
  EXPECT_TRUE(SaveScreenshot("about"));

  // "About" again while it is open, then "Properties": once the Properties
  // window shows, the second "About" has been handled.
  vexel.Menu("About1");
  vexel.Menu("N1");
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(vexel.MainWindow()); }, 20000));
  EXPECT_EQ(CountTopWindows(vexel.ProcessId(), "About Vexel"), 1);

  // Under Wine, the first click on About once Properties has come up can
  // be lost: the user clicks an empty spot of About until it is in front.
  RECT client = ClientRectOf(about);
  POINT empty{client.left + 3, client.bottom - 3};
  ClientToScreen(about, &empty);
  for (int tries = 0; tries < 20 && GetForegroundWindow() != about; ++tries) {
    MouseClickAt(empty);
    WaitFor([&] { return GetForegroundWindow() == about; }, 500);
  }
  ASSERT_EQ(GetForegroundWindow(), about);

  size_t clicked = 0;
  for (const char* link : {"Label4", "Label6"}) {
    RECT r;
    GetWindowRect(item(link), &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ASSERT_TRUE(MouseClickOn(item(link), centre))
        << link << " is covered by " << ClassName(WindowFromPoint(centre)) << " \""
        << Text(WindowFromPoint(centre)) << '"';
    recorder.WaitForLines(++clicked, 30000);
  }
  const auto opened = recorder.Lines();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_NE(opened[0].find("mailto:support@vexel.example"), std::string::npos) << opened[0];
  EXPECT_NE(opened[1].find("https://vexel.example/"), std::string::npos) << opened[1];

  // "Read" closes it; it opens again and Enter closes it.
  Click(item("Button1"));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }, 10000));
  vexel.Menu("About1");
  ASSERT_TRUE(about = vexel.WaitWindow("About Vexel"));
  PostKey(about, VK_RETURN);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }, 10000));
}

}  // namespace
}  // namespace vexel::test
