// The real Vexel.exe under Wine, linked to the simulated phone over the
// rig's virtual null-modem: Vexel on COM27, the phone on COM28.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "ShellRecorder.h"
#include "VexelTest.h"
#include "app/ProductInfo.h"

namespace vexel::test {
namespace {

using phonesim::ReplyMode;

class EndToEnd : public VexelTest {
 protected:
  // A keys file whose key 5 leaves down.txt on button down and up.txt on
  // button up; its path.
  std::string TraceKeys() {
    // A Sagem reports 5 as 53: its row does the same.
    const std::string actions = "=DOWN (*1 #cmd /c echo down>\"" + folder->File("down.txt") +
                                "\"*) UP (*1 #cmd /c echo up>\"" + folder->File("up.txt") +
                                "\"*)\r\n";
    folder->Write("keys.km", "[Keys]\r\n\"5\"" + actions + "\"53\"" + actions);
    return folder->File("keys.km");
  }

  // The phone, and Vexel linked up at its start with the trace keys.
  void LinkUpWithTraceKeys() {
    StartPhone();
    StartVexel(Settings(true, TraceKeys()));
    ASSERT_TRUE(Received(kKeyReporting));
  }
};

TEST_F(EndToEnd, AutostartBringsTheLinkUpAndKeysRunTheirActions) {
  LinkUpWithTraceKeys();
  // A user presses keys once the link is up, not in the instant of its "OK".
  Play("pause 2000\npress 5");
  EXPECT_TRUE(Left("down.txt"));
  EXPECT_FALSE(folder->Read("up.txt").has_value());
  Play("release 5");
  EXPECT_TRUE(Left("up.txt"));
}

// "Detect automatically" with each phone: the right command, then a key's
// actions; a phone without key reporting refuses it as a refusing phone does.
struct MakerCase {
  const char* maker;  // phonesim's
  const char* command;
  bool up = true;
};
void PrintTo(const MakerCase& c, std::ostream* os) { *os << c.maker; }
class DetectedMaker : public EndToEnd, public ::testing::WithParamInterface<MakerCase> {};

TEST_P(DetectedMaker, LinksUpWithTheRightCommandAndActsOnAKey) {
  const MakerCase& c = GetParam();
  StartPhone(ReplyMode::kOk, c.maker);
  StartVexel("[params]\r\nport=COM27 (etc)\r\nphone=4\r\nautostart=1\r\nKeysFile=" + TraceKeys() +
             "\r\n");
  ASSERT_TRUE(Received(std::string(c.command) + "\r")) << phone->Log();
  if (!c.up) {
    auto failed = vexel->WaitDialog("Error");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->text, "Feedback init failed.");
    VexelProcess::Press(failed->hwnd, IDOK);
    auto question = vexel->WaitDialog("Question");
    ASSERT_TRUE(question);
    VexelProcess::Press(question->hwnd, IDNO);
    return;
  }
  Play("pause 2000\nclick 5");
  EXPECT_TRUE(Left("down.txt"));
  EXPECT_TRUE(Left("up.txt"));
}

INSTANTIATE_TEST_SUITE_P(Makers, DetectedMaker,
                         ::testing::Values(MakerCase{"sonyericsson", "AT+CMER=3,2,0,0,0"},
                                           MakerCase{"motorola", "AT+CMER=3,1,0,0,0"},
                                           MakerCase{"siemens", "AT+CMER=3,2,0,0,0"},
                                           MakerCase{"sagem", "AT+CMER=2,1,0,0,0"},
                                           MakerCase{"nokia", "AT+CMER=3,2,0,0,0"},
                                           MakerCase{"nokeys", "AT+CMER=3,2,0,0,0", false}),
                         [](const auto& info) { return std::string(info.param.maker); });

// "Check phone...": the report as it comes, the key pressed named, and Copy.
TEST_F(EndToEnd, CheckPhoneShowsTheReportAndNamesTheKeyPressed) {
  StartPhone(ReplyMode::kOk, "siemens");
  StartVexel(Settings(false));
  ASSERT_TRUE(vexel->MainWindow());
  ASSERT_TRUE(phone->Play("wait-keys\npause 500\nclick 7"));
  vexel->Menu("CheckPhone1");
  const HWND window = vexel->WaitWindow("Check phone");
  ASSERT_TRUE(window);
  const HWND memo = GetDlgItem(window, ControlId(kCheckPhoneControls, "ReportMemo"));
  const auto report = [&] {
    wchar_t text[4096] = L"";
    SendMessageW(memo, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    char narrow[8192] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return std::string(narrow);
  };
  ASSERT_TRUE(WaitFor([&] { return report().find("Key pressed") != std::string::npos; }, 30000))
      << report();
  for (const char* line : {"Checking the phone on COM27 (etc)", "Maker (AT+CGMI): SIEMENS",
                           "Model (AT+CGMM): S55", "Key reporting (AT+CMER=?): (0-3),(0-2)",
                           "Command: AT+CMER=3,2,0,0,0 (Sony Ericsson, the settings' maker)",
                           "Signal (AT+CSQ): 12,99", "Key pressed: 7"})
    EXPECT_NE(report().find(line), std::string::npos) << line << " in\n" << report();
  const HWND copy = GetDlgItem(window, ControlId(kCheckPhoneControls, "CopyButton"));
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  SendMessageA(window, WM_COMMAND,
               MAKEWPARAM(ControlId(kCheckPhoneControls, "CopyButton"), BN_CLICKED),
               reinterpret_cast<LPARAM>(copy));
  std::string copied;
  ASSERT_TRUE(WaitFor(
      [&] {
        if (!OpenClipboard(nullptr)) return false;
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
          if (const char* text = static_cast<const char*>(GlobalLock(data))) copied = text;
          GlobalUnlock(data);
        }
        CloseClipboard();
        return !copied.empty();
      },
      10000));
  EXPECT_EQ(copied, report());
}

// One phone key, three actions: in Notepad (its program's name without the
// extension), in WordPad (with it) and anywhere else (a window of the
// test's own). A release goes to the map its press used.
TEST_F(EndToEnd, OneKeyActsByTheProgramInFront) {
  const auto key = [&](const std::string& where) {
    return "\"5\"=DOWN (*1 #cmd /c echo " + where + ">>\"" + folder->File("down.txt") +
           "\"*) UP (*1 #cmd /c echo " + where + ">>\"" + folder->File("up.txt") + "\"*)\r\n";
  };
  folder->Write("keys.km", "[Keys]\r\n" + key("any") + "[Keys notepad]\r\n" + key("notepad") +
                               "[Keys wordpad.exe]\r\n" + key("wordpad"));
  StartPhone();
  StartVexel(Settings(true, folder->File("keys.km")));
  ASSERT_TRUE(Received(kKeyReporting));
  std::vector<HWND> windows;  // Notepad, WordPad, elsewhere; side by side
  struct Ended : std::vector<PROCESS_INFORMATION> {
    ~Ended() {
      for (const PROCESS_INFORMATION& process : *this) TerminateProcess(process.hProcess, 0);
    }
  } programs;
  for (std::string line :
       {"notepad.exe", "\"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe\""}) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION& process = programs.emplace_back();
    CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &process);
    WaitFor([&] {  // its main window
      for (HWND w = GetTopWindow(nullptr); w; w = GetNextWindow(w, GW_HWNDNEXT))
        if (DWORD owner = 0; GetWindowThreadProcessId(w, &owner) && owner == process.dwProcessId &&
                             IsWindowVisible(w) && !GetWindow(w, GW_OWNER))
          return windows.push_back(w), true;
      return false;
    });
  }
  windows.push_back(CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 10, 10,
                                    nullptr, nullptr, nullptr, nullptr));
  ASSERT_EQ(windows.size(), 3u);
  for (int i = 0; i < 3; ++i)
    MoveWindow(windows[i], 450 * (i % 2), 100 + 350 * (i / 2), 400, 300, TRUE);
  // In front as a user brings it there, with a click into it (without a
  // window manager, Wine takes the X input focus for the foreground).
  const auto front = [&](int i) {
    HWND window = windows[i];
    const POINT inside{450 * (i % 2) + 200, 100 + 350 * (i / 2) + 150};
    for (int tries = 0; tries < 20; ++tries) {
      if (GetAncestor(WindowFromPoint(inside), GA_ROOT) == window) MouseClickAt(inside);
      if (WaitFor([&] { return GetForegroundWindow() == window; }, 500)) return true;
    }
    return false;
  };
  const auto has = [&](const char* file, const char* text) {
    return WaitFor([&] { return folder->Read(file).value_or("").find(text) != std::string::npos; },
                   20000);
  };
  const char* const steps[][3] = {{"pause 2000\nclick 5", "up.txt", "notepad"},
                                  {"press 5", "down.txt", "wordpad"},
                                  {"release 5\npause 1500\nclick 5", "up.txt", "any"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(front(i)) << i;
    Play(steps[i][0]);
    EXPECT_TRUE(has(steps[i][1], steps[i][2])) << steps[i][2];
  }
  EXPECT_EQ(folder->Read("down.txt"), "notepad\r\nwordpad\r\nany\r\n");
  EXPECT_EQ(folder->Read("up.txt"), "notepad\r\nwordpad\r\nany\r\n");
  DestroyWindow(windows[2]);
}

// A long and a short press of one key: the short one runs its DOWN part at
// the release, the long one (past holdtime, here 400 ms) its HOLD part alone.
TEST_F(EndToEnd, LongAndShortPressRunTheirOwnParts) {
  folder->Write("keys.km", "[Keys]\r\n\"8\"=DOWN (*1 #cmd /c echo short>\"" +
                               folder->File("short.txt") +
                               "\"*) UP (**) HOLD (*1 #cmd /c echo long>\"" +
                               folder->File("long.txt") + "\"*)\r\n");
  StartPhone();
  StartVexel(Settings(true, folder->File("keys.km")) + "holdtime=400\r\n");
  ASSERT_TRUE(Received(kKeyReporting));
  Play("pause 2000\nclick 8");
  EXPECT_TRUE(Left("short.txt"));
  Play("press 8\npause 1500\nrelease 8");
  EXPECT_TRUE(Left("long.txt"));
  Sleep(1000);
  EXPECT_EQ(folder->Read("short.txt"), "short\r\n");  // once: not again at the long press
}

TEST_F(EndToEnd, SecondStartShowsTheMessageAndEnds) {
  VexelProcess& first = StartVexel(Settings(false));
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
  StartVexel(Settings(false)).Menu("StartStopItem");
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
  EXPECT_TRUE(Received("AT+CMER=?\r"));  // the last identification command
}

TEST_F(EndToEnd, LostLineComesBackAfterTheSecondAttempt) {
  LinkUpWithTraceKeys();
  // Unplugged for 25 s: the attempts at 10 s and 20 s fail, the one at 30 s succeeds.
  Play("hangup 25000", 60000);
  ASSERT_TRUE(Received(kKeyReporting, 30000, 2)) << phone->Log();
  // Keep-alive on after a reconnection, although the option is not ticked.
  EXPECT_TRUE(Received("AT+CGMI\r", 15000));
  Play("press 5");
  EXPECT_TRUE(Left("down.txt"));
}

TEST_F(EndToEnd, LearnModeFillsTheGridAndTheKeysAreSaved) {
  StartPhone();
  VexelProcess& vexel = StartVexel(Settings(false));
  vexel.Menu("StartStopItem");
  ASSERT_TRUE(Received(kKeyReporting));
  ASSERT_TRUE(WaitFor([&] { return vexel.Enabled("MapKeysButton"); }, 20000));
  vexel.Menu("N1");
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(vexel.MainWindow()); }, 20000));
  vexel.Click("MapKeysButton");
  ASSERT_TRUE(WaitFor([&] { return vexel.Checked("MapKeysButton"); }, 20000));
  Play("click 1\nclick #\nclick :J\nclick 1");
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
  VexelProcess& vexel = StartVexel(Settings(false));
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
  VexelProcess& vexel = StartVexel(Settings(true));
  ASSERT_TRUE(Received(kKeyReporting));
  Play("pause 2000\nsend \\r\\n+CKEV: 5,x\\r\\n");
  auto box = vexel.WaitDialog("Vexel");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "'x' is not a valid integer value.");
  for (int i = 0; i < 5; ++i) Play("send \\r\\n+CKEV: 5,y\\r\\n\npause 100");
  Play("pause 1000");
  EXPECT_EQ(CountTopWindows(vexel.ProcessId(), "Vexel"), 1);
  VexelProcess::Press(box->hwnd, IDOK);
}

// "Exit" from the tray while a message box of a failed start is open ends
// the program: the box, the wait behind it and the port all end with it.
TEST_F(EndToEnd, ExitWhileAMessageBoxIsOpenEndsTheProgram) {
  StartPhone(ReplyMode::kSilent);
  VexelProcess& vexel = StartVexel(Settings(false));
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
    VexelProcess& vexel = StartVexel(Settings(false, folder->File("keys.km")));
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
    ASSERT_TRUE(ChooseFromPopupMenu(pid, 4));
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
  ASSERT_TRUE(Received(kKeyReporting));
  Play("pause 2000\npress 5");
  EXPECT_TRUE(Left("new.txt"));
  EXPECT_FALSE(folder->Read("old.txt").has_value());
}

TEST_F(EndToEnd, HelpHandsTheHelpFileToTheShell) {
  folder->Write("Help.chm", "ITSF");
  ShellRecorder recorder(folder->File("opened.log"));
  recorder.RegisterExtension(".chm");
  VexelProcess& vexel = StartVexel(Settings(false));
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
  VexelProcess& vexel = StartVexel(Settings(false));
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

// No message another program can send makes Vexel read, write or free
// through a pointer of the sender's choosing, or stops it: every window of
// ours gets every private message with null and garbage parameters, and
// then Vexel still answers and a phone key still acts.
TEST_F(EndToEnd, EveryWindowSurvivesForeignMessages) {
  LinkUpWithTraceKeys();
  const DWORD pid = vexel->ProcessId();
  std::vector<HWND> windows = {vexel->MainWindow(), vexel->TrayWindow(),
                               vexel->PropertiesControl("ValueListEditor1")};
  for (HWND hwnd = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
       hwnd = FindWindowExA(HWND_MESSAGE, hwnd, nullptr, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    // The serial port's notification window; not the system's windows in
    // the process, such as COM's apartment window (OleMainThreadWndClass),
    // whose messages carry pointers.
    if (owner == pid && ClassName(hwnd).starts_with("Vexel")) windows.push_back(hwnd);
  }
  ASSERT_GE(windows.size(), 4u);
  const std::pair<WPARAM, LPARAM> parameters[] = {{0, 0}, {0xDEADBEEF, 0x12345679}};
  const auto isMouseMessage = [](LPARAM value) {
    return value >= WM_MOUSEFIRST && value <= WM_MOUSELAST;
  };
  // Sent without waiting for each (a round trip per message takes minutes
  // under Wine); sent messages are handled in order, so a WM_NULL sent after
  // a batch returns once the batch was handled.
  for (HWND window : windows) {
    int batch = 0;
    for (const auto& [first, last] : {std::pair{WM_USER, 0x7FFFu}, std::pair{WM_APP, 0xBFFFu}}) {
      for (UINT message = first; message <= last; ++message) {
        for (const auto& [wParam, lParam] : parameters) {
          // The tray's call-back with a real mouse message is the user's click.
          if (window == vexel->TrayWindow() && message == kTrayCallbackMessage &&
              isMouseMessage(lParam))
            continue;
          SendNotifyMessageA(window, message, wParam, lParam);
          if (++batch % 1000 == 0) {
            DWORD_PTR ignored = 0;
            ASSERT_TRUE(
                SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 20000, &ignored))
                << "no answer after message " << message;
          }
        }
      }
    }
  }
  ASSERT_TRUE(vexel->Running());
  DWORD_PTR answered = 0;
  EXPECT_TRUE(
      SendMessageTimeoutA(vexel->TrayWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answered));
  EXPECT_FALSE(HasWindowTitled(pid, "Vexel"));  // no error box
  Play("press 5");
  EXPECT_TRUE(Left("down.txt"));
}

}  // namespace
}  // namespace vexel::test
