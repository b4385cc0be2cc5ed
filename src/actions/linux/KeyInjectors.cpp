// The two ways of injecting keys on Linux: XTest into the X display, and a
// virtual keyboard made through uinput (for a console or a Wayland session).
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "actions/linux/ActionPlatformLinux.h"
#include "actions/linux/LinuxKeys.h"

namespace vexel {

namespace {

// Xlib ends the program on a lost connection unless told otherwise; the
// display is then marked lost and the next key opens a new connection.
bool xConnectionLost = false;
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
int IgnoreXIOError(Display*) { return 0; }
void MarkXConnectionLost(Display*, void*) { xConnectionLost = true; }

class XTestInjector final : public KeyInjector {
 public:
  explicit XTestInjector(Display* display) : display_(display) {}
  ~XTestInjector() override {
    if (display_ && !xConnectionLost) XCloseDisplay(display_);
  }

  bool Send(const LinuxKey& key, KeyMotion motion) override {
    if (xConnectionLost && !Reopen()) return false;
    const KeyCode code = XKeysymToKeycode(display_, key.keysym);
    if (code == 0) return false;  // no key of this keyboard makes the keysym
    XTestFakeKeyEvent(display_, code, motion == KeyMotion::kUp ? False : True, CurrentTime);
    XFlush(display_);
    return !xConnectionLost;
  }
  bool SendButton(MouseButton button, bool up) override {
    if (xConnectionLost && !Reopen()) return false;
    const unsigned number = button == MouseButton::kLeft     ? 1
                            : button == MouseButton::kMiddle ? 2
                                                             : 3;
    XTestFakeButtonEvent(display_, number, up ? False : True, CurrentTime);
    XFlush(display_);
    return !xConnectionLost;
  }
  bool SendMove(int dx, int dy) override {
    // To where the pointer is now, plus the step: exactly so many pixels,
    // whatever the server's pointer acceleration.
    if (xConnectionLost && !Reopen()) return false;
    Window root, child;
    int x, y, windowX, windowY;
    unsigned mask;
    if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &windowX,
                       &windowY, &mask))
      return false;
    XTestFakeMotionEvent(display_, -1, x + dx, y + dy, CurrentTime);
    XFlush(display_);
    return !xConnectionLost;
  }
  bool SendWheel(int notches) override {
    // Buttons 4 (up) and 5 (down), a click per notch.
    if (xConnectionLost && !Reopen()) return false;
    for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
      XTestFakeButtonEvent(display_, notches > 0 ? 4 : 5, True, CurrentTime);
      XTestFakeButtonEvent(display_, notches > 0 ? 4 : 5, False, CurrentTime);
    }
    XFlush(display_);
    return !xConnectionLost;
  }
  const char* Name() const override { return "XTest"; }

  static Display* Open(std::string& reason) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
      reason = "DISPLAY is not set";
      return nullptr;
    }
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(IgnoreXIOError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
      reason = std::string("cannot open display ") + name;
      return nullptr;
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
      reason = std::string("display ") + name + " has no XTEST extension";
      XCloseDisplay(display);
      return nullptr;
    }
    XSetIOErrorExitHandler(display, MarkXConnectionLost, nullptr);
    xConnectionLost = false;
    return display;
  }

 private:
  bool Reopen() {
    std::string reason;
    Display* display = Open(reason);  // the lost one is left as it is: closing it fails again
    if (display) display_ = display;
    return display != nullptr;
  }
  Display* display_;
};

class UinputInjector final : public KeyInjector {
 public:
  UinputInjector(int fd, libevdev* device, libevdev_uinput* uinput)
      : fd_(fd), device_(device), uinput_(uinput) {}
  ~UinputInjector() override {
    libevdev_uinput_destroy(uinput_);  // does not close a descriptor it did not open
    libevdev_free(device_);
    close(fd_);
  }
  bool Send(const LinuxKey& key, KeyMotion motion) override {
    // The input core drops a second "down" (1) of a key that is down; a
    // repeat is value 2. The device has no EV_REP, so the kernel adds none.
    const int value = motion == KeyMotion::kUp ? 0 : motion == KeyMotion::kRepeat ? 2 : 1;
    return libevdev_uinput_write_event(uinput_, EV_KEY, key.evdevCode, value) == 0 && Report();
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

 private:
  bool Report() { return libevdev_uinput_write_event(uinput_, EV_SYN, SYN_REPORT, 0) == 0; }
  int fd_;
  libevdev* device_;
  libevdev_uinput* uinput_;
};

}  // namespace

std::unique_ptr<KeyInjector> OpenXTestInjector(std::string& reason) {
  Display* display = XTestInjector::Open(reason);
  if (!display) return nullptr;
  return std::make_unique<XTestInjector>(display);
}

std::unique_ptr<KeyInjector> OpenUinputInjector(std::string& reason) {
  const int fd = open("/dev/uinput", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    reason = std::string("cannot open /dev/uinput: ") + std::strerror(errno);
    return nullptr;
  }
  libevdev* device = libevdev_new();
  libevdev_set_name(device, "Vexel phone keypad");
  libevdev_enable_event_type(device, EV_KEY);
  for (const LinuxKey* key = LinuxKeysBegin(); key != LinuxKeysEnd(); ++key)
    libevdev_enable_event_code(device, EV_KEY, key->evdevCode, nullptr);
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
  return std::make_unique<UinputInjector>(fd, device, uinput);
}

}  // namespace vexel
