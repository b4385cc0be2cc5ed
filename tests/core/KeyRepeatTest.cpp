// A Repeat part on a virtual clock: the key's down transitions a hold
// gives at the keyboard's delay and speed, and every way a repeat ends
// releasing the keys exactly once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "FakeKeyNames.h"
#include "FakeLink.h"
#include "RecordingActionPlatform.h"
#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "actions/KeyRepeat.h"
#include "phone/KeypadRemote.h"

namespace vexel {
namespace {

using Log = std::vector<std::string>;

// Timers on a virtual clock. A timer fires at its due time rounded up to
// the tick (Windows' timers fire on a 15.6 ms tick, late but never early).
class VirtualTimers : public TimerHost {
 public:
  std::function<void(unsigned id)> fired;
  std::uint64_t now = 0;
  unsigned tick = 1;

  void StartTimer(unsigned id, unsigned intervalMs) override {
    timers_[id] = {intervalMs, now + intervalMs};
  }
  void StopTimer(unsigned id) override { timers_.erase(id); }
  std::uint64_t Milliseconds() override { return now; }
  bool Running(unsigned id) const { return timers_.count(id) != 0; }

  // Fires every timer that falls due until the time given, in time order.
  void RunUntil(std::uint64_t time) {
    for (;;) {
      auto next = std::min_element(timers_.begin(), timers_.end(),
                                   [](auto& a, auto& b) { return a.second.due < b.second.due; });
      if (next == timers_.end()) break;
      const std::uint64_t at = (next->second.due + tick - 1) / tick * tick;
      if (at > time) break;
      now = std::max(now, at);
      next->second.due = now + next->second.interval;
      fired(next->first);
    }
    now = time;
  }

 private:
  struct Timer {
    unsigned interval;
    std::uint64_t due;
  };
  std::map<unsigned, Timer> timers_;
};

class KeyRepeatTest : public ::testing::Test {
 public:
  KeyRepeatTest() {
    timers.fired = [this](unsigned id) {
      if (id == kRepeatTimerId && runner) runner->RepeatTimerTimer();
    };
  }
  int Count(const std::string& line) const {
    return static_cast<int>(std::count(platform.log.begin(), platform.log.end(), line));
  }

  FakeKeyNames layout;
  RecordingActionPlatform platform;
  VirtualTimers timers;
  std::unique_ptr<ActionRunner> runner = std::make_unique<ActionRunner>(platform, timers);
  KeyActions actions{layout, *runner};
};

TEST_F(KeyRepeatTest, HoldGivesTheKeyboardsRepeatsAtItsDelayAndSpeed) {
  struct Case {
    KeyboardRepeat keyboard;
    std::uint64_t holdMs;
    int repeats;  // down transitions after the press
  } cases[] = {
      {{1, 31}, 1490, 30},  // 500 ms, then 30 a second: at 500, 533, ... 1467
      {{1, 31}, 499, 0},           {{1, 31}, 520, 1},
      {{0, 31}, 1000, 23},  // 250 ms, then 30 a second
      {{3, 0}, 2500, 4},    // 1000 ms, then 2.5 a second: 1000, 1400, 1800, 2200
      {{3, 0}, 2199, 3},           {{2, 15}, 1750, 16},  // 750 ms, then 15.8 a second
      {{7, 99}, 1110, 4},                                // out of range: 3 and 31
      {{3, 0, 660, 40}, 1490, 21},                       // an X server's: 660 ms, then every 40 ms
      {{3, 0, 200, 1}, 355, 16},                         // every 10 ms at the most
  };
  for (unsigned tick : {1u, 16u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "tick " << tick << ", delay " << c.keyboard.delay
                                      << ", speed " << c.keyboard.speed << ", " << c.holdMs);
      platform.log.clear();
      platform.keyboard = c.keyboard;
      timers.tick = tick;
      timers.now = 1000000;
      actions.DispatchKeyAction("DOWN (*2 3 Shift+Up*) UP (*2 3 Shift+Up*)", 1, nullptr);
      timers.RunUntil(1000000 + c.holdMs);
      runner->StopRepeat();  // the phone key's release
      actions.DispatchKeyAction("DOWN (*2 3 Shift+Up*) UP (*2 3 Shift+Up*)", 2, nullptr);
      Log expected = {"down 16", "down 38"};
      expected.insert(expected.end(), c.repeats, "down 38");
      expected.insert(expected.end(), {"up 38", "up 16"});
      EXPECT_EQ(platform.log, expected);
      EXPECT_FALSE(timers.Running(kRepeatTimerId));
    }
  }
}

// A held mouse move key steps on its own schedule (250 ms, then 30 a
// second), each step as long as the key was held: 2 px for a tap, 40 px
// from 1.5 s on; 1920 px are crossed after about 2 s. A held button is
// held down, never repeated.
TEST_F(KeyRepeatTest, HeldMouseKeysMoveFurtherTheLongerTheyAreHeld) {
  struct Case {
    TShortCut key;
    std::uint64_t holdMs;
    int pixels;    // the whole way
    int lastStep;  // the last step's length
  } cases[] = {
      {0x98, 200, 2, 2},      {0x98, 1000, 589, 32},    {0x98, 2000, 1731, 40},
      {0x98, 2200, 1971, 40}, {0x2099, 2200, 1971, 40},  // Shift+Mouse Up
  };
  platform.keyboard = {3, 0};  // the keyboard's own settings play no part
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.key << std::dec << " " << c.holdMs);
    platform.log.clear();
    timers.now = 0;
    runner->RunKey(kmRepeat, c.key);
    timers.RunUntil(c.holdMs);
    runner->StopRepeat();
    int pixels = 0, step = 0;
    for (const std::string& line : platform.log) {
      int dx = 0, dy = 0;
      if (std::sscanf(line.c_str(), "move %d %d", &dx, &dy) != 2) continue;
      EXPECT_GE(std::abs(dx + dy), step) << "steps only grow";
      step = std::abs(dx + dy);
      pixels += step;
    }
    EXPECT_EQ(pixels, c.pixels);
    EXPECT_EQ(step, c.lastStep);
  }
  platform.log.clear();
  runner->RunKey(kmRepeat, 0x01);  // Left Click: a drag for as long as the key is held
  timers.RunUntil(timers.now + 2000);
  runner->StopRepeat();
  EXPECT_EQ(platform.log, (Log{"button 0 down", "button 0 up"}));
}

TEST_F(KeyRepeatTest, RepeatsAreTimedByTheClockAndCatchUpAfterABusySpell) {
  platform.keyboard = {3, 0};  // 1000 ms, then every 400 ms
  EXPECT_EQ(RepeatDueMs(platform.keyboard, 1), 1000u);
  EXPECT_EQ(RepeatDueMs(platform.keyboard, 4), 2200u);
  EXPECT_EQ(RepeatDueMs({1, 31}, 2), 534u);  // 33.3 ms later, never early
  runner->RunKey(kmRepeat, 'A');
  timers.RunUntil(999);
  EXPECT_EQ(Count("down 65"), 1);
  // The main thread was busy from 999 to 2300: the four repeats due by
  // then (1000, 1400, 1800, 2200) come at once; after a longer spell, at
  // most kMaxRepeatsAtOnce come, and the next one keeps the clock's time.
  timers.now = 2300;
  timers.RunUntil(2300);
  EXPECT_EQ(Count("down 65"), 1 + 4);
  timers.now = 9000;
  timers.RunUntil(9000);
  EXPECT_EQ(Count("down 65"), 1 + 4 + static_cast<int>(kMaxRepeatsAtOnce));
  timers.RunUntil(9399);
  EXPECT_EQ(Count("down 65"), 1 + 4 + static_cast<int>(kMaxRepeatsAtOnce));
  timers.RunUntil(9400);
  EXPECT_EQ(Count("down 65"), 2 + 4 + static_cast<int>(kMaxRepeatsAtOnce));
}

TEST_F(KeyRepeatTest, EveryEndReleasesTheKeysOnce) {
  struct Case {
    const char* name;
    std::function<void(KeyRepeatTest&)> end;
    Log then;  // what the end sends after the release
  } cases[] = {
      {"release report", [](KeyRepeatTest& t) { t.runner->StopRepeat(); }, {}},
      {"control switched off", [](KeyRepeatTest& t) { t.runner->RunExecute("$on/off Vexel"); }, {}},
      {"no release within 30 s", [](KeyRepeatTest& t) { t.timers.RunUntil(40000); }, {}},
      {"another Repeat part",
       [](KeyRepeatTest& t) { t.runner->RunKey(kmRepeat, 0x4041); },
       {"down 17", "down 65"}},
      {"program exit", [](KeyRepeatTest& t) { t.runner.reset(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    runner = std::make_unique<ActionRunner>(platform, timers);
    platform.log.clear();
    timers.now = 0;
    runner->RunKey(kmRepeat, 0xA026);  // Shift+Alt+Up
    timers.RunUntil(700);
    const size_t pressed = platform.log.size();
    c.end(*this);
    Log released(platform.log.begin() + static_cast<std::ptrdiff_t>(pressed), platform.log.end());
    // Only the 30 s limit lets repeats come before the end.
    released.erase(std::remove(released.begin(), released.end(), "down 38"), released.end());
    Log expected = {"up 38", "up 18", "up 16"};
    expected.insert(expected.end(), c.then.begin(), c.then.end());
    EXPECT_EQ(released, expected);
    const size_t ended = platform.log.size();
    // Whatever comes later sends nothing more for this repeat.
    if (runner) {
      runner->RepeatTimerTimer();
      if (c.then.empty()) runner->StopRepeat();
    }
    timers.RunUntil(timers.now + 1000);
    if (c.then.empty()) {
      EXPECT_EQ(platform.log.size(), ended);
    }
    if (c.then.empty() && runner) {
      EXPECT_FALSE(timers.Running(kRepeatTimerId));
    }
  }
}

TEST_F(KeyRepeatTest, NoReleaseEndsTheRepeatAfterThirtySeconds) {
  runner->RunKey(kmRepeat, 'A');  // 500 ms, then 30 a second
  timers.RunUntil(29999);
  EXPECT_EQ(Count("down 65"), 1 + 885);
  EXPECT_EQ(Count("up 65"), 0);
  timers.RunUntil(30000);
  EXPECT_EQ(Count("down 65"), 1 + 885);
  EXPECT_EQ(Count("up 65"), 1);
  EXPECT_FALSE(runner->Repeating());
}

TEST_F(KeyRepeatTest, RepeatRunsOnButtonDownOnly) {
  struct Case {
    const char* text;
    int request;
    bool repeating;
  } cases[] = {
      {"DOWN (*2 3 Up*)", 1, true},
      {"UP (*2 3 Up*)", 2, false},  // mode 3 on the button-up side does nothing
      {"DOWN (*2 4 Up*)", 1, false},
      {"DOWN (*2 9 Up*)", 1, false},
      {"DOWN (*2 3 *)", 1, false},  // no key to hold
  };
  for (const Case& c : cases) {
    platform.log.clear();
    actions.DispatchKeyAction(c.text, c.request, nullptr);
    EXPECT_EQ(runner->Repeating(), c.repeating) << c.text;
    EXPECT_EQ(platform.log.empty(), !c.repeating) << c.text;
    runner->StopRepeat();
  }
  // A runner without timers runs no Repeat part, as before repeats existed.
  ActionRunner timerless(platform);
  platform.log.clear();
  timerless.RunKey(kmRepeat, 'A');
  EXPECT_FALSE(timerless.Repeating());
  EXPECT_TRUE(platform.log.empty());
}

TEST_F(KeyRepeatTest, ControlOffRunsNoRepeat) {
  runner->RunExecute("$on/off Vexel");
  runner->RunKey(kmRepeat, 'A');
  EXPECT_FALSE(runner->Repeating());
  EXPECT_TRUE(platform.log.empty());
}

// The whole chain: reports from the phone over a link that is up, the
// repeat timer routed by the front door.
class HeldPhoneKey : public ::testing::Test {
 public:
  HeldPhoneKey() {
    loop.remote = &remote;
    remote.Keys().Append("2", "DOWN (*2 3 Shift+Up*) UP (*1 #up2*)", true);
    remote.Keys().Append("5", "DOWN (*1 #down5*) UP (*1 #up5*)", true);
    remote.Link().StartStopItemClick();
  }
  void Report(const std::string& key, char flag) {
    port.Deliver("\r\n+CKEV: " + key + "," + flag + "\r\n");
    loop.ProcessMessages();
  }
  int Count(const std::string& line) const {
    return static_cast<int>(std::count(platform.log.begin(), platform.log.end(), line));
  }

  test::VirtualLoop loop;
  test::ScriptedPort port{loop};
  test::RecordingUi ui;
  FakeKeyNames layout;
  RecordingActionPlatform platform;
  KeypadRemote remote{port, loop, ui, ui, platform, layout, ""};
};

TEST_F(HeldPhoneKey, RepeatsUntilTheKeysReleaseThenRunsItsButtonUpPart) {
  ASSERT_TRUE(remote.Link().Connected());
  loop.RunUntil(loop.now + 1000);
  platform.log.clear();
  Report("2", '1');
  loop.RunUntil(loop.now + 1480);  // 500 ms, then 30 a second: 30 repeats
  Report("2", '1');                // the phone's own repeat of the press: ignored
  Report("2", '0');
  loop.RunUntil(loop.now + 2000);
  Log expected = {"down 16", "down 38"};
  expected.insert(expected.end(), 30, "down 38");
  expected.insert(expected.end(), {"up 38", "up 16", "run up2"});
  EXPECT_EQ(platform.log, expected);
  EXPECT_FALSE(loop.TimerRunning(kRepeatTimerId));
}

TEST_F(HeldPhoneKey, EveryOtherEndReleasesTheKeysOnce) {
  struct Case {
    const char* name;
    std::function<void(HeldPhoneKey&)> end;
    Log after;  // what comes after the release
  } cases[] = {
      {"another key's press", [](HeldPhoneKey& t) { t.Report("5", '1'); }, {"run down5"}},
      {"learn mode starting", [](HeldPhoneKey& t) { t.remote.Learn(true); }, {}},
      {"the link stopped", [](HeldPhoneKey& t) { t.remote.Link().StartStopItemClick(); }, {}},
      {"the link lost",
       [](HeldPhoneKey& t) {
         t.port.Hangup();
         t.loop.ProcessMessages();
       },
       {}},
      {"no release within 30 s", [](HeldPhoneKey& t) { t.loop.RunUntil(t.loop.now + 30000); }, {}},
      {"program exit", [](HeldPhoneKey& t) { t.remote.Link().Exit1Click(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (remote.KeyEvents().Learning()) remote.Learn(false);
    // Stop a reconnection, then start again.
    for (int click = 0; click < 2 && !remote.Link().Connected(); ++click)
      remote.Link().StartStopItemClick();
    ASSERT_TRUE(remote.Link().Connected());
    remote.Keys().Clear();
    remote.Keys().Append("2", "DOWN (*2 3 Shift+Up*) UP (*1 #up2*)", true);
    remote.Keys().Append("5", "DOWN (*1 #down5*) UP (*1 #up5*)", true);
    Report("2", '1');
    loop.RunUntil(loop.now + 700);
    platform.log.clear();
    c.end(*this);
    Log log = platform.log;
    log.erase(std::remove(log.begin(), log.end(), "down 38"), log.end());
    Log expected = {"up 38", "up 16"};
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(log, expected);
    // Its release report, later, only runs the key's button-up part.
    platform.log.clear();
    if (remote.Link().Connected() && !remote.KeyEvents().Learning()) {
      Report("2", '0');
      EXPECT_EQ(platform.log, Log{"run up2"});
    }
    loop.RunUntil(loop.now + 1000);
    EXPECT_EQ(Count("down 38"), 0);
    EXPECT_EQ(Count("up 38"), 0);
  }
}

}  // namespace
}  // namespace vexel
