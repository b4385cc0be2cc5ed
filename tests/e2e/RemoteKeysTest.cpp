// The real Vexel.exe under Wine with the simulated phone: key combinations
// and mouse moves as a held phone key gives them, seen by low-level hooks in
// this process (Wine calls them for the input that any process injects).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "VexelTest.h"

namespace vexel::test {
namespace {

// The injected transitions of one key, in order, as the hook saw them.
struct Transition {
  bool up;
  ULONGLONG at;
  DWORD flags;
};
DWORD watchedKey = 0;
std::vector<Transition> transitions;

LRESULT CALLBACK RecordKey(int code, WPARAM wParam, LPARAM lParam) {
  const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && key->vkCode == watchedKey && (key->flags & LLKHF_INJECTED))
    transitions.push_back({(key->flags & LLKHF_UP) != 0, GetTickCount64(), key->flags});
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class RemoteKeys : public VexelTest {
 protected:
  void SetUp() override {
    VexelTest::SetUp();
    transitions.clear();
  }

  // Vexel linked up to the phone with the keys file.
  void Start(const std::string& keys) {
    folder->Write("keys.km", keys);
    StartPhone();
    StartVexel(Settings(true, folder->File("keys.km")));
    ASSERT_TRUE(Received(kKeyReporting));
    // A user presses keys once the link is up, not in the instant of its "OK".
    WaitFor([] { return false; }, 2000);
  }

  int Count(bool up) const {
    int n = 0;
    for (const Transition& t : transitions) n += t.up == up;
    return n;
  }
};

TEST_F(RemoteKeys, HeldPhoneKeyRepeatsTheKeyUntilItsRelease) {
  Start("[Keys]\r\n\"2\"=DOWN (*2 3 Up*)\r\n");
  watchedKey = VK_UP;
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, RecordKey, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Play("press 2\npause 1500\nrelease 2");
  const bool released = WaitFor([&] { return Count(true) > 0; }, 10000);
  const size_t atRelease = transitions.size();
  WaitFor([] { return false; }, 1500);  // nothing more comes
  UnhookWindowsHookEx(hook);

  ASSERT_TRUE(released);
  const int downs = Count(false);
  std::printf("a phone key held 1.5 s: %d Up key-downs over %.0f ms, then %d key-up\n", downs,
              static_cast<double>(transitions[atRelease - 1].at - transitions.front().at),
              Count(true));
  EXPECT_GE(downs, 4);                       // the press and several repeats
  EXPECT_EQ(transitions.size(), atRelease);  // none after the key-up
  EXPECT_EQ(Count(true), 1);
  EXPECT_TRUE(transitions.back().up);
  for (const Transition& t : transitions) EXPECT_NE(t.flags & LLKHF_EXTENDED, 0u);
}

// A call as Media.km meets it: "(ring)" clicks Volume Mute at the first
// RING and again when the phone has not rung for 8 s.
TEST_F(RemoteKeys, RingMutesOnceAndItsEndUnmutesOnce) {
  Start("[Keys]\r\n\"(ring)\"=DOWN (*2 2 Volume Mute*) UP (*2 2 Volume Mute*)\r\n");
  EXPECT_TRUE(Received("AT+CLIP=1\r"));
  EXPECT_TRUE(Received("AT+CSQ\r"));
  watchedKey = VK_VOLUME_MUTE;
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, RecordKey, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Play("ring +4917012345 3 1000");
  const int duringTheCall = Count(false);
  const bool ended = WaitFor([&] { return Count(true) >= 2; }, 15000);
  WaitFor([] { return false; }, 1000);  // nothing more comes
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(duringTheCall, 1);
  EXPECT_TRUE(ended);
  EXPECT_EQ(Count(false), 2);
  EXPECT_EQ(Count(true), 2);
}

// The pointer's places as the injected moves leave them.
std::vector<POINT> pointer;

LRESULT CALLBACK RecordMove(int code, WPARAM wParam, LPARAM lParam) {
  const auto* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && wParam == WM_MOUSEMOVE && (mouse->flags & LLMHF_INJECTED))
    pointer.push_back(mouse->pt);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A held "Mouse Right" with Repeat while held: its steps grow from 2 px the
// longer the phone key is held.
TEST_F(RemoteKeys, HeldMouseRightMovesFurtherTheLongerItIsHeld) {
  Start("[Keys]\r\n\"6\"=DOWN (*2 3 Mouse Right*)\r\n");
  ASSERT_TRUE(SetCursorPos(10, 100));
  pointer.clear();
  HHOOK hook = SetWindowsHookExA(WH_MOUSE_LL, RecordMove, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Play("press 6\npause 1300\nrelease 6");
  WaitFor([] { return false; }, 1500);  // nothing more comes
  UnhookWindowsHookEx(hook);
  ASSERT_GE(pointer.size(), 10u);
  std::vector<int> steps;
  for (LONG x = 10; const POINT& at : pointer) steps.push_back(at.x - std::exchange(x, at.x));
  std::printf("Mouse Right held 1.3 s: %zu steps, to x %ld, from %d to %d px\n", steps.size(),
              pointer.back().x, steps.front(), steps.back());
  EXPECT_EQ(pointer.back().y, 100);
  EXPECT_EQ(steps.front(), 2);  // the press
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end())) << ::testing::PrintToString(steps);
  EXPECT_GE(steps.back(), 30);
}

}  // namespace
}  // namespace vexel::test
