// The two ways of injecting keys on Linux: XTest into the X display, and a
// virtual keyboard made through uinput (for a console or a Wayland session)
// that types in the session's layout.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "actions/linux/ActionPlatformLinux.h"
#include "actions/linux/KeyboardLayout.h"
#include "actions/linux/LinuxKeys.h"

namespace vexel {

namespace {

// Xlib ends the program on a lost connection unless told otherwise; the
// injector marks its display lost and the next key opens a new connection.
// The X server repeats a key held through XTest itself, at the desktop's
// rate, and drops the presses of a key that is down: Vexel's repeats add
// nothing there.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
int IgnoreXIOError(Display*) { return 0; }

class XTestInjector final : public KeyInjector {
 public:
  XTestInjector() = default;
  ~XTestInjector() override { Close(); }

  // Opens the display named by DISPLAY; false and the reason when there is
  // no working display with the XTEST extension.
  bool Open(std::string& reason) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
      reason = "DISPLAY is not set";
      return false;
    }
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(IgnoreXIOError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
      reason = std::string("cannot open display ") + name;
      return false;
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
      reason = std::string("display ") + name + " has no XTEST extension";
      XCloseDisplay(display);
      return false;
    }
    XSetIOErrorExitHandler(display, MarkLost, this);
    display_ = display;
    lost_ = false;
    pressed_ = {};
    return true;
  }

  bool Send(const LinuxKey& key, KeyMotion motion) override {
    if (!Ready()) return false;
    // A key goes up where it went down, whatever the keymap says now.
    KeyCode& pressed = pressed_[key.virtualKey];
    const KeyCode code = pressed ? pressed : XKeysymToKeycode(display_, key.keysym);
    // No key of this keyboard makes the keysym, or the connection was lost
    // while the keymap was read.
    if (code == 0 || lost_) return false;
    pressed = motion == KeyMotion::kUp ? 0 : code;
    XTestFakeKeyEvent(display_, code, motion == KeyMotion::kUp ? False : True, CurrentTime);
    XFlush(display_);
    return !lost_;
  }
  bool SendButton(MouseButton button, bool up) override {
    if (!Ready()) return false;
    const unsigned number = button == MouseButton::kLeft     ? 1
                            : button == MouseButton::kMiddle ? 2
                                                             : 3;
    XTestFakeButtonEvent(display_, number, up ? False : True, CurrentTime);
    XFlush(display_);
    return !lost_;
  }
  bool SendMove(int dx, int dy) override {
    // To where the pointer is now, plus the step: exactly so many pixels,
    // whatever the server's pointer acceleration.
    if (!Ready()) return false;
    Window root, child;
    int x, y, windowX, windowY;
    unsigned mask;
    if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &windowX,
                       &windowY, &mask))
      return false;
    XTestFakeMotionEvent(display_, -1, x + dx, y + dy, CurrentTime);
    XFlush(display_);
    return !lost_;
  }
  bool SendWheel(int notches) override {
    // Buttons 4 (up) and 5 (down), a click per notch.
    if (!Ready()) return false;
    for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
      XTestFakeButtonEvent(display_, notches > 0 ? 4 : 5, True, CurrentTime);
      XTestFakeButtonEvent(display_, notches > 0 ? 4 : 5, False, CurrentTime);
    }
    XFlush(display_);
    return !lost_;
  }
  const char* Name() const override { return "XTest"; }

 private:
  static void MarkLost(Display*, void* injector) {
    static_cast<XTestInjector*>(injector)->lost_ = true;
  }

  // Reading what the server sent notices a lost connection, and a keymap
  // change (setxkbmap) that Xlib then reloads its copy for, before a key is
  // looked up; a lost connection is opened again.
  bool Ready() {
    TakeEvents();
    std::string reason;
    return !lost_ || (Close(), Open(reason));
  }
  void TakeEvents() {
    while (!lost_ && XEventsQueued(display_, QueuedAfterReading) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }
  // After a lost connection too: Xlib then only frees what it holds.
  void Close() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
  }

  Display* display_ = nullptr;
  bool lost_ = false;
  std::array<KeyCode, 256> pressed_{};  // by virtual key: the keycode it is down on, 0 when up
};

class UinputInjector final : public KeyInjector {
 public:
  UinputInjector(int fd, libevdev* device, libevdev_uinput* uinput, SessionKeyboard keyboard)
      : fd_(fd), device_(device), uinput_(uinput), keyboard_(std::move(keyboard)) {}
  ~UinputInjector() override {
    libevdev_uinput_destroy(uinput_);  // does not close a descriptor it did not open
    libevdev_free(device_);
    close(fd_);
  }
  bool Send(const LinuxKey& key, KeyMotion motion) override {
    // The input core drops a second "down" (1) of a key that is down; a
    // repeat is value 2. The device has no EV_REP, so the kernel adds none.
    // Only a console types these repeats: libinput (X servers, Wayland
    // compositors) drops them, and the desktop repeats a held key itself.
    const int value = motion == KeyMotion::kUp ? 0 : motion == KeyMotion::kRepeat ? 2 : 1;
    const unsigned code = keyboard_.keys.evdevCodes[key.virtualKey];
    return libevdev_uinput_write_event(uinput_, EV_KEY, code, value) == 0 && Report();
  }
  bool SendButton(MouseButton button, bool up) override {
    const unsigned code = button == MouseButton::kLeft     ? BTN_LEFT
                          : button == MouseButton::kMiddle ? BTN_MIDDLE
                                                           : BTN_RIGHT;
    return libevdev_uinput_write_event(uinput_, EV_KEY, code, up ? 0 : 1) == 0 && Report();
  }
  // Relative motion, which the compositor's pointer acceleration may scale.
  bool SendMove(int dx, int dy) override {
    return (!dx || libevdev_uinput_write_event(uinput_, EV_REL, REL_X, dx) == 0) &&
           (!dy || libevdev_uinput_write_event(uinput_, EV_REL, REL_Y, dy) == 0) && Report();
  }
  bool SendWheel(int notches) override {
    return libevdev_uinput_write_event(uinput_, EV_REL, REL_WHEEL, notches) == 0 && Report();
  }
  const char* Name() const override { return "uinput"; }
  std::string Keyboard() const override {
    const char* device = libevdev_uinput_get_devnode(uinput_);
    return std::string(device ? device : "no device node") + ", layout " + keyboard_.keys.name;
  }
  std::optional<KeyboardRepeat> Repeat() override { return keyboard_.repeat; }

 private:
  bool Report() { return libevdev_uinput_write_event(uinput_, EV_SYN, SYN_REPORT, 0) == 0; }
  int fd_;
  libevdev* device_;
  libevdev_uinput* uinput_;
  const SessionKeyboard keyboard_;  // read once, when the device is made
};

}  // namespace

std::unique_ptr<KeyInjector> OpenXTestInjector(std::string& reason) {
  auto injector = std::make_unique<XTestInjector>();
  if (!injector->Open(reason)) return nullptr;
  return injector;
}

std::unique_ptr<KeyInjector> OpenUinputInjector(std::string& reason) {
  const int fd = open("/dev/uinput", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    reason = std::string("cannot open /dev/uinput: ") + std::strerror(errno);
    return nullptr;
  }
  SessionKeyboard keyboard = ReadSessionKeyboard();
  libevdev* device = libevdev_new();
  libevdev_set_name(device, "Vexel phone keypad");
  libevdev_enable_event_type(device, EV_KEY);
  for (const std::uint16_t code : keyboard.keys.evdevCodes)
    if (code) libevdev_enable_event_code(device, EV_KEY, code, nullptr);
  // The mouse keys: three buttons, the pointer's two axes and the wheel.
  for (unsigned button : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
    libevdev_enable_event_code(device, EV_KEY, button, nullptr);
  libevdev_enable_event_type(device, EV_REL);
  for (unsigned axis : {REL_X, REL_Y, REL_WHEEL})
    libevdev_enable_event_code(device, EV_REL, axis, nullptr);
  libevdev_uinput* uinput = nullptr;
  const int result = libevdev_uinput_create_from_device(device, fd, &uinput);
  if (result != 0) {
    reason = std::string("cannot make a uinput keyboard: ") + std::strerror(-result);
    libevdev_free(device);
    close(fd);
    return nullptr;
  }
  return std::make_unique<UinputInjector>(fd, device, uinput, std::move(keyboard));
}

}  // namespace vexel
