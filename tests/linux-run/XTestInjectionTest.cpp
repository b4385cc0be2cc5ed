// Keys and the mouse injected through XTest, and the programs' key maps
// following the focused window, as X clients of the test see them on an
// Xvfb display of its own: keys at the desktop's repeat rate, in the keymap
// of the moment, and again after the X server restarted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>
#include <utility>

#include "RunRig.h"
// After gtest: Xlib defines None and Bool.
#include <X11/XF86keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace vexel::test {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

struct Transition {
  KeySym keysym;
  bool down;
  bool operator==(const Transition&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Transition& t) {
  const char* name = XKeysymToString(t.keysym);
  return out << (name ? name : "?") << (t.down ? " down" : " up");
}

// A focused window that records the keys it receives.
class KeyWindow {
 public:
  explicit KeyWindow(Display* display) : display_(display) {
    window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
    XStoreName(display, window_, "Vexel test");
    XSelectInput(display, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    // A repeat arrives as a press alone, not as a release and a press.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    XMapWindow(display, window_);
    for (XEvent event; XNextEvent(display, &event), event.type != MapNotify;) {
    }
    XSetInputFocus(display, window_, RevertToParent, CurrentTime);
    XSync(display, False);
  }
  // Drops the last `count` transitions collected.
  void Forget(std::size_t count) { got_.resize(got_.size() - count); }
  // Collects transitions until count arrived or timeoutMs passed.
  std::vector<Transition> Collect(std::size_t count, int timeoutMs) {
    for (int waited = 0; got_.size() < count && waited < timeoutMs; waited += 5) {
      while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == KeyPress || event.type == KeyRelease)
          got_.push_back({XLookupKeysym(&event.xkey, 0), event.type == KeyPress});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return got_;
  }

 private:
  Display* display_;
  Window window_;
  std::vector<Transition> got_;
};

// The rig, an Xvfb on a display of the test's own (wide enough for the
// mouse's way) and a client of it.
class XTestInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (system("command -v Xvfb >/dev/null") != 0) GTEST_SKIP() << "Xvfb is missing";
    // A display another server holds (a test running beside this one) is
    // passed over.
    for (int tries = 0; tries < 3 && !StartX(); ++tries) {
      xvfb.Kill();
      display = FreeDisplay();
    }
    ASSERT_TRUE(client) << "Xvfb did not come up on " << display << ":\n" << rig.Read("xvfb.log");
  }
  void TearDown() override {
    if (client) XCloseDisplay(client);
    xvfb.Signal(SIGTERM);  // so that it removes its lock file
    xvfb.Wait(2000);
  }
  // A display number in 200-499 that no lock file claims.
  static std::string FreeDisplay() {
    std::random_device random;
    for (;;) {
      const std::string number = std::to_string(200 + random() % 300);
      if (!std::filesystem::exists("/tmp/.X" + number + "-lock")) return ":" + number;
    }
  }
  bool StartX() {
    xvfb.Start({"Xvfb", display, "-nolisten", "tcp", "-screen", "0", "1920x480x24"},
               rig.folder.File("xvfb.log"));
    client = nullptr;
    for (int i = 0; i < 500 && !client; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      client = XOpenDisplay(display.c_str());
    }
    return client;
  }
  RunRig rig;
  std::string display = FreeDisplay();
  Process xvfb;
  Display* client = nullptr;
};

TEST_F(XTestInjection, ClickAndHeldPressArriveInOrderAndSigtermReleases) {
  auto window = std::make_unique<KeyWindow>(client);
  // The desktop's repeat: 1 s, then 10 a second.
  XkbSetAutoRepeatRate(client, XkbUseCoreKbd, 1000, 100);
  XSync(client, False);

  // A Wayland session where the user may not write /dev/uinput: XTest, for
  // the X11 programs.
  const bool wayland = access("/dev/uinput", W_OK) != 0;
  ASSERT_TRUE(rig.LinkUp(
      "\"5\"=DOWN (*2 2 Ctrl+F10*) UP (*2 2 Volume Up*)\r\n\"6\"=DOWN (*2 0 "
      "Shift+B*)\r\n\"7\"=DOWN (*2 3 Up*)\r\n\"8\"=DOWN (*2 2 Z*)\r\n",
      {"DISPLAY=" + display, wayland ? "XDG_SESSION_TYPE=wayland" : "XDG_SESSION_TYPE=x11"}))
      << rig.VexelLog();
  EXPECT_THAT(rig.VexelLog(), HasSubstr("keys are injected through XTest"));
  if (wayland) {
    EXPECT_THAT(rig.VexelLog(), HasSubstr("only X11 programs get"));
  }

  rig.phone.Send("click 5");
  const std::vector<Transition> click = {{XK_Control_L, true},
                                         {XK_F10, true},
                                         {XK_F10, false},
                                         {XK_Control_L, false},
                                         {XF86XK_AudioRaiseVolume, true},
                                         {XF86XK_AudioRaiseVolume, false}};
  EXPECT_EQ(window->Collect(6, 3000), click);

  // Held 1.5 s with "Repeat while held": the X server repeats the key at
  // the desktop's rate (1 s, then 10 a second; it drops Vexel's presses of
  // a key that is down), and one release.
  rig.phone.Send("press 7\npause 1500\nrelease 7");
  std::vector<Transition> held = window->Collect(1000, 4000);
  held.erase(held.begin(), held.begin() + 6);
  const auto downs = std::count(held.begin(), held.end(), Transition{XK_Up, true});
  EXPECT_GE(downs, 4) << rig.VexelLog();
  EXPECT_LE(downs, 15);
  EXPECT_EQ(std::count(held.begin(), held.end(), Transition{XK_Up, false}), 1);
  ASSERT_FALSE(held.empty());
  EXPECT_EQ(held.back(), (Transition{XK_Up, false}));
  window->Forget(held.size());

  // A new keymap: Z is the key labelled Z of the German layout, from the
  // first key on.
  ASSERT_EQ(system(("setxkbmap -display " + display + " de").c_str()), 0);
  rig.phone.Send("click 8");
  const std::vector<Transition> typedZ = {{XK_z, true}, {XK_z, false}};
  std::vector<Transition> all = click;
  all.insert(all.end(), typedZ.begin(), typedZ.end());
  EXPECT_EQ(window->Collect(8, 3000), all);

  // The X server restarted: the next key reaches the new one, and the lost
  // connection is closed.
  const std::filesystem::path fds = "/proc/" + std::to_string(rig.vexel.Pid()) + "/fd";
  const auto open = std::distance(std::filesystem::directory_iterator(fds), {});
  XCloseDisplay(client);
  xvfb.Kill();
  ASSERT_TRUE(StartX()) << "Xvfb did not come up again on " << display;
  window = std::make_unique<KeyWindow>(client);
  rig.phone.Send("click 8");
  EXPECT_EQ(window->Collect(2, 3000), typedZ) << rig.VexelLog();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fds), {}), open);

  rig.phone.Send("press 6");
  ASSERT_EQ(window->Collect(4, 3000).size(), 4u);
  rig.vexel.Signal(SIGTERM);
  EXPECT_EQ(rig.vexel.Wait(5000), 0);
  all = typedZ;
  all.insert(all.end(), {{XK_Shift_L, true}, {XK_b, true}, {XK_b, false}, {XK_Shift_L, false}});
  EXPECT_EQ(window->Collect(6, 3000), all) << rig.VexelLog();
}

// One phone key, three actions: in xmessage (its WM_CLASS class), in xev
// (its program's file name; it sets no WM_CLASS) and anywhere else (the
// test's own window). A release goes where its press went.
TEST_F(XTestInjection, ProgramMapsFollowTheFocusedWindow) {
  if (system("command -v xdotool >/dev/null && command -v xmessage >/dev/null && "
             "command -v xev >/dev/null") != 0)
    GTEST_SKIP() << "xdotool, xmessage or xev is missing";
  KeyWindow window(client);
  const std::string env = "DISPLAY=" + display;
  Process xmessage, xev;
  xmessage.Start({"xmessage", "-geometry", "+200+0", "Vexel"}, rig.folder.File("xmessage.log"),
                 false, {env});
  xev.Start({"xev", "-geometry", "100x100+200+200"}, rig.folder.File("xev.log"), false, {env});
  const auto focus = [&](const std::string& search) {
    return system(("DISPLAY=" + display + " xdotool search --sync " + search +
                   " windowfocus --sync >/dev/null 2>&1")
                      .c_str()) == 0;
  };
  const auto key = [&](const std::string& where) {
    return "\"5\"=DOWN " + rig.Echo(where + " down") + " UP " + rig.Echo(where + " up") + "\r\n";
  };
  ASSERT_TRUE(rig.LinkUp(
      key("any") + "[Keys Xmessage]\r\n" + key("xmessage") + "[Keys xev]\r\n" + key("xev"), {env}))
      << rig.VexelLog();
  EXPECT_THAT(rig.VexelLog(), HasSubstr("1 keys for Xmessage"));

  const char* const steps[][3] = {
      {"--class Xmessage", "click 5", "xmessage up\n"},
      {"--name 'Event Tester'", "press 5", "xev down\n"},
      {"--name 'Vexel test'", "release 5\npause 500\nclick 5", "any up\n"}};
  for (const auto& [search, keys, done] : steps) {
    EXPECT_TRUE(focus(search)) << search;
    rig.phone.Send(keys);
    EXPECT_TRUE(rig.WaitFor("trace", done)) << keys;
  }
  EXPECT_EQ(rig.Trace(), "xmessage down\nxmessage up\nxev down\nxev up\nany down\nany up\n")
      << rig.VexelLog();
}

// A held "Mouse Right" with Repeat while held: the pointer's steps, as
// motion on the root window, grow from 2 px the longer the key is held.
TEST_F(XTestInjection, HeldMouseRightMovesFurtherTheLongerItIsHeld) {
  const Window root = DefaultRootWindow(client);
  XSelectInput(client, root, PointerMotionMask);
  XWarpPointer(client, None, root, 0, 0, 0, 0, 10, 100);
  XSync(client, True);  // the warp's own motion dropped
  ASSERT_TRUE(rig.LinkUp("\"6\"=DOWN (*2 3 Mouse Right*)\r\n", {"DISPLAY=" + display}))
      << rig.VexelLog();
  rig.phone.Send("press 6\npause 1300\nrelease 6");
  std::vector<int> steps;
  int x = 10;
  for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
       std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms))
    for (XEvent event; XPending(client) && (XNextEvent(client, &event), true);)
      if (event.type == MotionNotify)
        steps.push_back(event.xmotion.x_root - std::exchange(x, event.xmotion.x_root));
  ASSERT_GE(steps.size(), 10u) << rig.VexelLog();
  std::printf("Mouse Right held 1.3 s: %zu steps, %d px, from %d to %d px\n", steps.size(), x - 10,
              steps.front(), steps.back());
  EXPECT_EQ(steps.front(), 2);  // the press
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end())) << ::testing::PrintToString(steps);
  EXPECT_GE(steps.back(), 30);
  EXPECT_LT(x, 1910);  // it stopped at the release, short of the screen's edge
}

}  // namespace
}  // namespace vexel::test
