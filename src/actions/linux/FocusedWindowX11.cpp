// The window with the keyboard focus in an X11 session, for the programs'
// key maps: _NET_ACTIVE_WINDOW of the window manager, else the input focus
// (no window manager, as under Xvfb); its WM_CLASS instance and class, and
// its program's file name from the process of its client (the X-Resource
// extension, else _NET_WM_PID).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "actions/linux/ActionPlatformLinux.h"

namespace vexel {

namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }
int IgnoreXIOError(Display*) { return 0; }
void MarkLost(Display*, void* lost) { *static_cast<bool*>(lost) = true; }

// The file name of the process's program: /proc/PID/exe, else its name
// (comm) when the link may not be read.
std::string ProgramFileOf(unsigned long pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  char path[PATH_MAX];
  const ssize_t length = readlink((proc + "/exe").c_str(), path, sizeof path - 1);
  if (length > 0) {
    const std::string exe(path, static_cast<size_t>(length));
    return exe.substr(exe.rfind('/') + 1);
  }
  std::string name;
  std::getline(std::ifstream(proc + "/comm"), name);
  return name;
}

}  // namespace

class X11Focus {
 public:
  ~X11Focus() {
    if (display_ && !lost_) XCloseDisplay(display_);
  }

  FocusedWindow Query() {
    if ((!display_ || lost_) && !Open()) return {};
    FocusedWindow focused;
    const Window window = ActiveWindow();
    if (!window) return {};
    // The focus may be on a child of the window that has the class.
    XClassHint hint{};
    Window w = window;
    for (int depth = 0; w && depth < 8 && !XGetClassHint(display_, w, &hint); ++depth)
      w = Parent(w);
    for (char* name : {hint.res_name, hint.res_class}) {
      if (name && *name) focused.windowClasses.emplace_back(name);
      if (name) XFree(name);
    }
    if (const unsigned long pid = ClientPid(window)) focused.programFile = ProgramFileOf(pid);
    return lost_ ? FocusedWindow{} : focused;
  }

 private:
  bool Open() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    // The lost connection is left as it is: closing it fails again.
    XSetErrorHandler(IgnoreXError);  // a window gone meanwhile is no reason to end
    XSetIOErrorHandler(IgnoreXIOError);
    display_ = XOpenDisplay(nullptr);
    if (!display_) return false;
    lost_ = false;
    XSetIOErrorExitHandler(display_, MarkLost, &lost_);
    activeAtom_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    pidAtom_ = XInternAtom(display_, "_NET_WM_PID", False);
    int event, error;
    xres_ = XResQueryExtension(display_, &event, &error);
    return true;
  }

  // A property of one 32-bit item, 0 when there is none.
  unsigned long Property(Window window, Atom property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(display_, window, property, 0, 1, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data && actual == type && format == 32 && count == 1)
      value = *reinterpret_cast<unsigned long*>(data);
    if (data) XFree(data);
    return value;
  }

  Window ActiveWindow() {
    if (Window active = Property(DefaultRootWindow(display_), activeAtom_, XA_WINDOW))
      return active;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus == PointerRoot ? None : focus;
  }

  Window Parent(Window window) {
    Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent == root ? None : parent;
  }

  unsigned long ClientPid(Window window) {
    if (xres_) {
      XResClientIdSpec spec{window, XRES_CLIENT_ID_PID_MASK};
      long count = 0;
      XResClientIdValue* ids = nullptr;
      pid_t pid = -1;
      if (XResQueryClientIds(display_, 1, &spec, &count, &ids) == Success) {
        for (long i = 0; i < count && pid < 0; ++i) pid = XResGetClientPid(&ids[i]);
        XResClientIdsDestroy(count, ids);
      }
      if (pid > 0) return static_cast<unsigned long>(pid);
    }
    return Property(window, pidAtom_, XA_CARDINAL);
  }

  Display* display_ = nullptr;
  bool lost_ = false;
  bool xres_ = false;
  Atom activeAtom_ = None, pidAtom_ = None;
};

void X11FocusDeleter::operator()(X11Focus* focus) const { delete focus; }

bool WaylandSession() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (wayland && *wayland) || (type && std::string(type) == "wayland");
}

FocusedWindow ActionPlatformLinux::FocusedProgram() {
  if (WaylandSession()) return {};
  if (!focus_) focus_.reset(new X11Focus);
  return focus_->Query();
}

}  // namespace vexel
