// Actions on Linux: the key table, the key names of the US layout, the keys
// of a layout, and detached programs.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "../core/TempFolder.h"
#include "actions/ActionText.h"
#include "actions/linux/ActionPlatformLinux.h"
#include "actions/linux/KeyboardLayout.h"
#include "actions/linux/LinuxKeys.h"
#include "app/linux/HostLoop.h"
#include "comm/posix/PosixSerialPort.h"

namespace vexel {
namespace {

// The file once it ends with the text given.
std::string WaitForFile(const std::string& path, const std::string& end = "\n") {
  const int ms = 3000;
  for (int waited = 0; waited < ms; waited += 10) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    if (text.str().ends_with(end)) return text.str();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

TEST(LinuxKeys, WindowsNamesParseToTheirKeysAndEveryNamedKeyHasKeysOnLinux) {
  const KeyNamesLinux names;
  struct Case {
    const char* text;
    TShortCut value;
    unsigned long keysym;
    std::uint16_t evdev;
  } cases[] = {
      {"Caps Lock", 20, XK_Caps_Lock, KEY_CAPSLOCK},
      {"Num Lock", 144, XK_Num_Lock, KEY_NUMLOCK},
      {"Ctrl+;", scCtrl | 186, XK_semicolon, KEY_SEMICOLON},
      {"=", 187, XK_plus, KEY_EQUAL},
      {",", 188, XK_comma, KEY_COMMA},
      {"-", 189, XK_minus, KEY_MINUS},
      {".", 190, XK_period, KEY_DOT},
      {"/", 111, XK_KP_Divide, KEY_KPSLASH},  // as on Windows: the keypad key comes first
      {"`", 192, XK_grave, KEY_GRAVE},
      {"[", 219, XK_bracketleft, KEY_LEFTBRACE},
      {"\\", 220, XK_backslash, KEY_BACKSLASH},
      {"]", 221, XK_bracketright, KEY_RIGHTBRACE},
      {"'", 222, XK_apostrophe, KEY_APOSTROPHE},
      {"Num *", 106, XK_KP_Multiply, KEY_KPASTERISK},
      {"Shift+Alt+A", scShift | scAlt | 'A', XK_a, KEY_A},
      {"F13", 124, XK_F13, KEY_F13},
      {"F24", 135, XK_F24, KEY_F24},
      {"Volume Mute", 0xAD, XF86XK_AudioMute, KEY_MUTE},
      {"Play/Pause", 0xB3, XF86XK_AudioPlay, KEY_PLAYPAUSE},
      {"Browser Back", 0xA6, XF86XK_Back, KEY_BACK},
      {"Mail", 0xB4, XF86XK_Mail, KEY_MAIL},
      {"Ctrl", 17, XK_Control_L, KEY_LEFTCTRL},
      {"PgDn", 34, XK_Next, KEY_PAGEDOWN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseShortcut(c.text, names), c.value) << c.text;
    const LinuxKey* key = FindLinuxKey(static_cast<std::uint8_t>(c.value & 0xFF));
    ASSERT_NE(key, nullptr) << c.text;
    EXPECT_EQ(key->keysym, c.keysym) << c.text;
    EXPECT_EQ(key->evdevCode, c.evdev) << c.text;
  }
  // Whatever a keys file can name, Linux can press (or move the mouse by);
  // every name reads back; and two names are two keys.
  std::map<std::uint16_t, std::string> nameOfEvdevCode;
  for (unsigned code = 1; code < 256; ++code) {
    const std::string name = KeyName(static_cast<std::uint8_t>(code), names);
    if (name.empty()) continue;
    EXPECT_TRUE(FindLinuxKey(static_cast<std::uint8_t>(code)) ||
                FindMouseKey(static_cast<std::uint8_t>(code)))
        << name;
    const TShortCut parsed = ParseShortcut(name, names);
    EXPECT_EQ(KeyName(static_cast<std::uint8_t>(parsed), names), name) << code;
    const LinuxKey* key = FindLinuxKey(static_cast<std::uint8_t>(parsed));
    if (!key) continue;
    const auto [named, added] = nameOfEvdevCode.emplace(key->evdevCode, name);
    EXPECT_TRUE(added || named->second == name) << name << " and " << named->second;
  }
  EXPECT_EQ(FindLinuxKey(0), nullptr);
  EXPECT_EQ(names.LayoutKeyName('A'), "") << "letters keep their fixed names";
}

TEST(LinuxKeys, UinputKeysAreThoseOfTheSessionsLayout) {
  const KeyNamesLinux names;
  struct Case {
    const char* layout;
    const char* text;
    std::uint16_t evdev;
  } cases[] = {
      {"us", "Z", KEY_Z},     {"us", "=", KEY_EQUAL},      {"us", "Volume Down", KEY_VOLUMEDOWN},
      {"de", "Z", KEY_Y},                                   // Ctrl+Z undoes
      {"de", "Y", KEY_Z},     {"de", "=", KEY_RIGHTBRACE},  // the "+" key, as Windows' VK_OEM_PLUS
      {"de", "-", KEY_SLASH}, {"de", "F10", KEY_F10},      {"de", "Num *", KEY_KPASTERISK},
      {"fr", "A", KEY_Q},     {"fr", "W", KEY_Z},          {"fr", "M", KEY_SEMICOLON},
      {"fr", "2", KEY_2},  // typed with Shift: level 2
      {"fr", ",", KEY_M},
  };
  std::map<std::string, std::optional<LayoutKeys>> layouts;
  for (const Case& c : cases) {
    std::optional<LayoutKeys>& keys = layouts[c.layout];
    if (!keys) keys = LayoutKeysFromNames({"", "pc105", c.layout, "", ""});
    ASSERT_TRUE(keys) << c.layout;
    EXPECT_EQ(keys->evdevCodes[ParseShortcut(c.text, names) & 0xFF], c.evdev)
        << c.layout << " " << c.text;
  }
  // The layout of XKB_DEFAULT_LAYOUT, else (without an X server) of the
  // system's keyboard settings.
  TempFolder folder;
  const std::string settings = folder.Write("keyboard", "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"de\"\n");
  const char* display = std::getenv("DISPLAY");
  const std::string savedDisplay = display ? display : "";
  unsetenv("DISPLAY");
  unsetenv("XKB_DEFAULT_LAYOUT");
  EXPECT_EQ(ReadSessionKeyboard(settings).keys.name, "German, from " + settings);
  setenv("XKB_DEFAULT_LAYOUT", "fr", 1);
  EXPECT_EQ(ReadSessionKeyboard(settings).keys.name, "French, from XKB_DEFAULT_LAYOUT");
  unsetenv("XKB_DEFAULT_LAYOUT");
  if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
}

// Reaps as the program does on SIGCHLD, until this process has no child.
void CollectChildren(ActionPlatformLinux& platform) {
  siginfo_t info{};
  for (int i = 0; i < 300 && waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0; ++i) {
    platform.ReapChildren();
    usleep(10000);
  }
}

class Detached : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string Out() const { return folder_.File("out"); }
};

TEST_F(Detached, RunsInItsOwnSessionWithCleanSignalsNoPortAndNoZombie) {
  // The port, open: a program that inherited it would hold its lock, and a
  // restarted vexel would find the port busy.
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const std::string tty = ttyname(slave);
  close(slave);
  HostLoop loop;
  PosixSerialPort port(loop);
  port.SetCommPort(tty);
  ASSERT_TRUE(port.OpenPort());
  sigset_t blocked, old;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigprocmask(SIG_BLOCK, &blocked, &old);  // as the loop blocks signals
  ActionPlatformLinux platform(nullptr);
  platform.RunCommandLine(
      // The mask is read by the shell itself: while it starts a command (grep),
      // the shell blocks every signal for a moment, which the command could see.
      "{ cut -d' ' -f6 /proc/$$/stat; "
      "while read -r l; do case $l in SigBlk*) echo \"$l\";; esac; done </proc/$$/status; "
      "readlink /proc/$$/fd/0; "
      "ls -l /proc/$$/fd | grep -c -- '-> " +
      tty + "$'; echo end; } > " + Out());
  sigprocmask(SIG_SETMASK, &old, nullptr);
  std::istringstream lines(WaitForFile(Out(), "end\n"));
  std::string session, sigblk, stdinTarget, ports;
  std::getline(lines, session);
  std::getline(lines, sigblk);
  std::getline(lines, stdinTarget);
  std::getline(lines, ports);
  EXPECT_NE(session, std::to_string(getsid(0)));
  EXPECT_EQ(sigblk, "SigBlk:\t0000000000000000");
  EXPECT_EQ(stdinTarget, "/dev/null");
  EXPECT_EQ(ports, "0") << "the port's descriptor was inherited";
  CollectChildren(platform);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child is left to reap";
  port.ClosePort();
  close(master);
}

TEST_F(Detached, ActionsGoToXdgOpenShAndSystemctl) {
  // Recorders of their arguments, first in PATH.
  const std::string bin = folder_.File("bin");
  std::filesystem::create_directories(bin);
  for (const char* name : {"xdg-open", "systemctl", "my prog"}) {
    const std::string path = bin + "/" + name;
    std::ofstream(path)
        << "#!/bin/sh\necho \"" << name << " $*\" >> " << Out()
        << "\n[ \"$1\" = poweroff ] && exit 1\n[ \"$1\" = /gone ] && exit 2\nexit 0\n";
    chmod(path.c_str(), 0755);
  }
  const std::string notes = folder_.Write("notes.txt", "");
  const std::string oldPath = std::getenv("PATH");
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  unsetenv("INVOCATION_ID");  // not a service of a user manager (a CI job may be one)
  std::vector<std::string> log;
  ActionPlatformLinux platform([&](const std::string& line) { log.push_back(line); });
  ActionRunner runner(platform);
  struct Case {
    std::string payload;
    std::string recorded;
  } cases[] = {
      {"/home/me/My Music/list.m3u", "xdg-open /home/me/My Music/list.m3u"},
      {bin + "/my prog", "my prog "},  // an executable runs, without a shell
      {"my prog", "my prog "},         // found in PATH
      {notes, "xdg-open " + notes},
      {"/gone", "xdg-open /gone"},
      {"#echo \"sh -c $0\" >> " + Out(), "sh -c /bin/sh"},
      {"$reboot", "systemctl reboot"},
      {"$shutdown", "systemctl poweroff"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Out());
    runner.RunExecute(c.payload);
    EXPECT_EQ(WaitForFile(Out()), c.recorded + "\n") << c.payload;
  }
  setenv("PATH", "/nonexistent", 1);
  platform.ShellOpen("/x");  // no xdg-open: said, nothing started
  setenv("PATH", oldPath.c_str(), 1);
  CollectChildren(platform);
  EXPECT_EQ(log,
            (std::vector<std::string>{"asking systemd to reboot", "asking systemd to poweroff",
                                      "cannot run xdg-open: No such file or directory",
                                      "xdg-open could not open /gone: it does not exist (status 2)",
                                      "systemctl poweroff failed: refused (status 1)"}));
}

TEST(ActionPlatformLinux, HeldKeysAreReleasedLastFirstAndNoInjectorIsSaidOnce) {
  const char* display = std::getenv("DISPLAY");
  const std::string savedDisplay = display ? display : "";
  unsetenv("DISPLAY");
  std::vector<std::string> log;
  ActionPlatformLinux platform([&](const std::string& line) { log.push_back(line); });
  ActionRunner runner(platform);
  runner.RunKey(kmPress, scShift | scCtrl | 'A');
  EXPECT_EQ(platform.HeldKeys(), (std::vector<std::uint8_t>{16, 17, 'A'}));
  runner.RunKey(kmClick, 'B');
  platform.ReleaseHeldKeys();
  EXPECT_TRUE(platform.HeldKeys().empty());
  if (access("/dev/uinput", W_OK) != 0) {
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("keys cannot be injected: DISPLAY is not set"), std::string::npos);
    EXPECT_NE(log[0].find("/dev/uinput"), std::string::npos);
  }
  if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
}

}  // namespace
}  // namespace vexel

namespace vexel {
namespace {

// A held key goes down, repeats and goes up, as the input core passes it on.
TEST(UinputInjection, MakesAVirtualKeyboardThatTakesKeys) {
  if (access("/dev/uinput", F_OK) != 0)
    GTEST_SKIP() << "/dev/uinput is absent (no uinput module here, e.g. in a container)";
  if (access("/dev/uinput", W_OK) != 0)
    GTEST_SKIP() << "/dev/uinput is not writable by this user (see the udev rule)";
  std::string reason;
  auto injector = OpenUinputInjector(reason);
  ASSERT_NE(injector, nullptr) << reason;
  // The log names its input device first.
  const std::string device = injector->Keyboard().substr(0, injector->Keyboard().find(','));
  for (int waited = 0; waited < 1000 && access(device.c_str(), F_OK) != 0; waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // udev makes the node
  const int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const int openError = errno;
  const LinuxKey* key = FindLinuxKey(0xAF);  // Volume Up
  ASSERT_NE(key, nullptr);
  for (KeyMotion motion : {KeyMotion::kDown, KeyMotion::kRepeat, KeyMotion::kUp})
    EXPECT_TRUE(injector->Send(*key, motion));
  if (fd < 0) GTEST_SKIP() << device << " is not readable by this user: " << strerror(openError);
  std::vector<int> values;
  for (int waited = 0; waited < 1000 && values.size() < 3; waited += 10) {
    input_event event;
    while (read(fd, &event, sizeof event) == sizeof event)
      if (event.type == EV_KEY && event.code == KEY_VOLUMEUP) values.push_back(event.value);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  close(fd);
  EXPECT_EQ(values, (std::vector<int>{1, 2, 0}));
}

}  // namespace
}  // namespace vexel
