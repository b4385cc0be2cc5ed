#include <gtest/gtest.h>

#include <sstream>

#include "FakeKeyNames.h"
#include "FakeLink.h"
#include "RecordingActionPlatform.h"
#include "phone/KeypadRemote.h"
#include "phone/PhoneMakers.h"

namespace vexel {
namespace {

using Log = std::vector<std::string>;

// Keeps the installed received-data handler, so that a test can feed it.
class HandlerPort : public SerialPort {
 public:
  TReceiveDataEvent onReceiveData;

  void Receive(const std::string& chunk) {
    onReceiveData(this, chunk.c_str(), static_cast<std::uint16_t>(chunk.size()));
  }

  void SetCommPort(const std::string& path) override { path_ = path; }
  const std::string& CommPort() const override { return path_; }
  bool OpenPort() override { return true; }
  void ClosePort() override {}
  bool WriteData(const void*, std::uint16_t) override { return true; }
  void SetOnReceiveData(TReceiveDataEvent handler) override { onReceiveData = std::move(handler); }
  void SetOnRequestHangup(TNotifyEvent) override {}

 private:
  std::string path_;
};

class KeyEventsTest : public ::testing::Test {
 protected:
  HandlerPort port;
  test::VirtualLoop loop;
  test::RecordingUi ui;
  FakeKeyNames layout;
  RecordingActionPlatform platform;
  KeypadRemote remote{port, loop, ui, ui, platform, layout, ""};
  KeyMap& keyMap = remote.Keys();
  KeyEventHandlers& handlers = remote.KeyEvents();

  // Each row opens "<name> down" on a press and "<name> up" on a release.
  void AddRow(const char* key, const std::string& name) {
    keyMap.Append(key, "DOWN (*1 " + name + " down*) UP (*1 " + name + " up*)", true);
  }
  void AddRows(std::initializer_list<std::pair<const char*, const char*>> rows) {
    for (const auto& [key, name] : rows) AddRow(key, name);
  }

  // What FeedbackComm did with a chunk: the files it opened, then the error.
  Log Feedback(const std::string& chunk) {
    platform.log.clear();
    try {
      handlers.FeedbackComm(chunk.c_str());
    } catch (const Error& error) {
      platform.log.push_back(std::string("error ") + error.what());
    }
    return platform.log;
  }

  // The keys of the rows MapKeys appended for a chunk.
  Log Learn(const std::string& chunk) {
    keyMap.Clear();
    handlers.MapKeys(chunk.c_str());
    Log keys;
    for (const KeyMapRow& row : keyMap.Rows()) {
      EXPECT_EQ(row.action, " ");
      EXPECT_FALSE(row.editButton);
      keys.push_back(row.key);
    }
    return keys;
  }
};

TEST_F(KeyEventsTest, ReportsRunTheKeysPartsOrLearnTheirKeys) {
  struct Case {
    std::string received;
    Log feedback;  // FeedbackComm, with the key map below
    Log learned;   // MapKeys
    int maker = -1;
  } cases[] = {
      {"+CKEV: 5,1", {"open five down"}, {"5"}},
      {"\r\n+CKEV: 5,0\r\n", {"open five up"}, {}},
      {"+CKEV: :J,1", {"open colon-J down"}, {":J"}},
      {"+CKEV: 5,3", {"open five down"}, {}},    // odd: down
      {"+CKEV: 5,2", {"open five up"}, {}},      // even: up
      {"+CKEV:5,1", {"open five down"}, {"5"}},  // no blank after the colon
      {"+CKEV::J,1", {"open colon-J down"}, {":J"}},
      {"+CKEV:  5,1", {"open five down"}, {"5"}},
      {"+CKEV: c,1", {"open C down"}, {"c"}},  // keys are looked up ignoring case
      {"+CKEV: 5", {"open no-key down"}, {}},  // no comma: empty key, flag "5"
      {"+CKEV: 5,", {}, {}},
      {"+CKEV:", {}, {}},
      {"+CKEV: 9,1", {}, {"9"}},  // no row: nothing runs
      {"+CKEV: 5,x", {"error 'x' is not a valid integer value"}, {}},
      {"+CKEV: 5, 1", {"error ' ' is not a valid integer value"}, {}},
      {"OK", {}, {}},
      // A key code that a keys file cannot hold is never learned.
      {"+CKEV: 5\"=DOWN (*1 #cmd /c evil*) x,1", {}, {}},
      {"+CKEV: 0123456789abcdefg,1", {}, {}},
      {"AT+CMER=3,2,0,0,0\r\r\nOK\r\n+CKEV: 5,1\r\n", {"open five down"}, {"5"}},
      // Every report of a chunk, in order; a bad flag is raised after the
      // others were handled.
      {"+CKEV: 5,1\r\n+CKEV: 5,0\r\n", {"open five down", "open five up"}, {"5"}},
      {"+CKEV: 5,x\r+CKEV: :J,1\n+CKEV: 5,y\r\n+CKEV: c,1",
       {"open colon-J down", "open C down", "error 'x' is not a valid integer value"},
       {":J", "c"}},
      {"+CKEV: 5,1garbage+CKEV: 7,1", {"open five down"}, {"5"}},  // the rest of a line is ignored
      {std::string("+CKEV: 5,1\r\n\0+CKEV: :J,1", 24), {"open five down"}, {"5"}},  // up to NUL
      // Quoted keys (Motorola), and Sagem's decimal codes as the phone writes them.
      {"+CKEV: \"5\",1", {"open five down"}, {"5"}},
      {"\r\n+CKEV: \"5\",0\r\n", {"open five up"}, {}},
      {"+CKEV: \"5\",", {}, {}},
      {"+CKEV: \",\",1", {}, {","}},
      {"+CKEV: 35,1", {"open hash-code down"}, {"35"}},
      // A Motorola's "@" is its keypad lock: nothing runs, nothing is learned.
      {"+CKEV: \"@\",1\r\n+CKEV: \"@\",0\r\n", {}, {}, kMotorola},
      {"+CKEV: \"@\",1\r\n+CKEV: \"5\",1\r\n", {"open five down"}, {"5"}, kMotorola},
      {"+CKEV: \"@\",1", {"open at down"}, {"@"}},  // another maker's "@" is a key
      // The phone's events run their entries, never a key of that name.
      {"+CKEV: (ring),1\r\n+CKEV: (Link Up),1", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.received);
    keyMap.Clear();
    // The second "5" is never found: the first row wins.
    AddRows({{"5", "five"}, {"5", "second five"}, {":J", "colon-J"}, {"C", "C"}, {"", "no-key"}});
    AddRows({{"35", "hash-code"}, {"@", "at"}, {"(ring)", "ring"}, {"(link up)", "link-up"}});
    handlers.SetMaker(c.maker);
    EXPECT_EQ(Feedback(c.received), c.feedback);
    EXPECT_EQ(Learn(c.received), c.learned);
  }
}

TEST_F(KeyEventsTest, MotorolasKeypadLockIsToldOnceUntilARealKeyComes) {
  handlers.SetMaker(kMotorola);
  for (const char* chunk : {"+CKEV: \"@\",1", "+CKEV: \"@\",0", "+CKEV: \"@\",1"}) Feedback(chunk);
  EXPECT_TRUE(handlers.KeypadLocked());
  EXPECT_EQ(ui.Hint(), "Vexel: keypad locked");
  Feedback("+CKEV: \"7\",1");
  EXPECT_FALSE(handlers.KeypadLocked());
  Feedback("+CKEV: \"@\",1");
  EXPECT_EQ(ui.events, (Log{"the phone's keypad is locked", "the phone's keypad is unlocked",
                            "the phone's keypad is locked"}));
}

// Presses and releases over time: a program's map for the focused window,
// the release following its press's map; long presses. Script lines:
// "focus FILE CLASS", "press K", "release K", "wait MS", "end" (the link
// goes down).
TEST_F(KeyEventsTest, PressesFollowTheFocusedProgramsMapAndTheHoldTime) {
  loop.remote = &remote;
  AddRows({{"5", "five"}, {"7", "seven"}, {"9", "nine"}});
  keyMap.Append("h", "DOWN (*1 hd*) UP (*1 hu*) HOLD (*1 hh*)", true);
  keyMap.Append("p", "DOWN (*2 0 A*) UP (*2 1 A*) HOLD (*1 hh*)", true);  // a Press cannot wait
  keyMap.Append("r", "DOWN (**) UP (**) HOLD (*2 3 Up*)", true);
  keyMap.ShowMap("vlc");
  AddRow("5", "vlc five");
  keyMap.Append("9", " ", true);  // learned, no action: the map for all programs acts
  keyMap.ShowMap("soffice");
  keyMap.Append("h", "HOLD (*1 impress*)", true);
  keyMap.ShowMap("");
  struct Case {
    std::vector<std::string> script;
    Log log;
  } cases[] = {
      {{"press 5", "release 5"}, {"open five down", "open five up"}},
      {{"focus vlc.exe Qt5", "press 5", "focus notepad.exe Notepad", "release 5"},
       {"open vlc five down", "open vlc five up"}},
      {{"focus player VLC", "press 5", "release 5"}, {"open vlc five down", "open vlc five up"}},
      {{"focus vlc.exe", "press 7", "press 9"}, {"open seven down", "open nine down"}},
      {{"focus soffice.bin libreoffice-impress", "press h", "wait 1000", "release h"},
       {"open impress"}},
      {{"press h", "wait 590", "release h"}, {"open hd", "open hu"}},
      {{"press h", "wait 600", "release h"}, {"open hh"}},
      {{"press h", "wait 700", "press h", "wait 700", "release h"}, {"open hh"}},
      {{"press h", "wait 300", "press 5", "wait 300", "release 5", "release h"},
       {"open five down", "open hh", "open five up"}},
      {{"press p", "wait 1000", "release p"}, {"down 65", "up 65"}},
      {{"press r", "wait 700", "release r"}, {"down 38", "up 38"}},
      {{"press h", "end", "wait 1000", "release h"}, {"open hu"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.script));
    platform.log.clear();
    platform.focused = {};
    for (const std::string& line : c.script) {
      std::istringstream words(line);
      std::string verb, word;
      words >> verb;
      if (verb == "focus") {
        words >> platform.focused.programFile;
        platform.focused.windowClasses.clear();
        while (words >> word) platform.focused.windowClasses.push_back(word);
      } else if (verb == "wait") {
        std::uint64_t ms = 0;
        words >> ms;
        loop.RunUntil(loop.now + ms);
      } else if (verb == "end") {
        handlers.EndRepeat();
      } else {
        words >> word;
        handlers.FeedbackComm(("+CKEV: " + word + (verb == "press" ? ",1" : ",0")).c_str());
      }
    }
    EXPECT_EQ(platform.log, c.log);
  }
  // The focused window is asked only for keys that a program's map acts on.
  platform.focusQueries = 0;
  handlers.FeedbackComm("+CKEV: 7,1\r\n+CKEV: 7,0");
  EXPECT_EQ(platform.focusQueries, 0);
}

TEST_F(KeyEventsTest, ReportsCutAcrossChunksAreHandledPieceByPiece) {
  AddRows({{"5", "five"}, {"", "no-key"}});
  EXPECT_EQ(Feedback("+CKEV: 5"), Log{"open no-key down"});
  EXPECT_EQ(Feedback(",1\r\n"), Log{});
}

TEST_F(KeyEventsTest, LearnModeEmptiesTheMapAndListsEachPressOnce) {
  AddRows({{"5", "five"}, {"(link lost)", "lost"}});  // the phone's event entries stay
  int redraws = 0;                                    // what the grid is told
  keyMap.SetOnChange([&] { ++redraws; });
  remote.Learn(true);
  EXPECT_EQ(keyMap.Rows().size(), 1u);
  EXPECT_EQ(redraws, 1);

  port.Receive("+CKEV: 5,1\r\n");
  port.Receive("+CKEV: 5,0\r\n");
  port.Receive("+CKEV: 5,1\r\n+CKEV: 5,0\r\n");
  ASSERT_EQ(keyMap.Rows().size(), 3u);
  EXPECT_FALSE(keyMap.Rows()[1].editButton);
  EXPECT_EQ(keyMap.ValueOf("5"), " ");

  remote.Learn(false);
  EXPECT_EQ(ui.events, (Log{"learn mode on", "learned 5", "learned 5", "learn mode off"}));
  for (const KeyMapRow& row : keyMap.Rows()) EXPECT_TRUE(row.editButton);
  // FeedbackComm is back: it raises for a flag that MapKeys would ignore.
  EXPECT_THROW(port.Receive("+CKEV: 5,x"), Error);
  EXPECT_TRUE(platform.log.empty());
}

TEST_F(KeyEventsTest, SwitchingControlOffAndOnIsALinkEvent) {
  keyMap.Append("0", "DOWN (*1 $on/off Vexel*)", true);
  handlers.FeedbackComm("+CKEV: 0,1\r\n+CKEV: 0,0\r\n+CKEV: 0,1\r\n");
  EXPECT_EQ(ui.events, (Log{"control off: keys run only special commands", "control on"}));
}

TEST_F(KeyEventsTest, LearnModeOffWithNothingLearnedLeavesTheMapEmpty) {
  remote.Learn(true);
  remote.Learn(false);
  EXPECT_TRUE(keyMap.Empty());
  EXPECT_THROW(port.Receive("+CKEV: 5,x"), Error);
}

}  // namespace
}  // namespace vexel
