// The window with the keyboard focus in an X11 session, for the programs'
// key maps: _NET_ACTIVE_WINDOW of the window manager, else the input focus
// (no window manager, as under Xvfb); its WM_CLASS instance and class, and
// its program's file name from the process of its client (the X-Resource
// extension, else _NET_WM_PID). A connection of its own, apart from XTest's.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
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

  // Few round trips to the server: the window manager's active window is
  // read again only when its property changed (PropertyNotify on the
  // root); without a window manager the input focus is asked for. The
  // classes are read at every query (a program may change them: LibreOffice
  // when a window turns from its Start Center into Impress); the program
  // and the window that holds the classes are kept for each window until
  // it is destroyed (DestroyNotify), as its id may then be another's.
  FocusedWindow Query() {
    if ((!display_ || lost_) && !Open()) return {};
    TakeEvents();
    if (activeChanged_) {
      activeChanged_ = false;
      active_ = Property(DefaultRootWindow(display_), activeAtom_, XA_WINDOW);
    }
    Window window = active_;
    if (!window) {
      int revert = 0;
      XGetInputFocus(display_, &window, &revert);
      if (window == PointerRoot) window = None;
    }
    if (!window || lost_) return {};
    auto known = windows_.find(window);
    if (known == windows_.end()) {
      if (windows_.size() >= 64) windows_.clear();
      known = windows_.emplace(window, Describe(window)).first;
      XSelectInput(display_, window, StructureNotifyMask);  // to hear of its end
    }
    FocusedWindow focused;
    focused.programFile = known->second.programFile;
    XClassHint hint{};
    if (known->second.classHolder && XGetClassHint(display_, known->second.classHolder, &hint)) {
      for (char* name : {hint.res_name, hint.res_class}) {
        if (name && *name) focused.windowClasses.emplace_back(name);
        if (name) XFree(name);
      }
    }
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
    XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
    activeChanged_ = true;
    windows_.clear();
    return true;
  }

  // The events that came meanwhile, read without waiting for more.
  void TakeEvents() {
    while (!lost_ && XEventsQueued(display_, QueuedAfterReading) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == PropertyNotify && event.xproperty.atom == activeAtom_)
        activeChanged_ = true;
      else if (event.type == DestroyNotify)
        windows_.erase(event.xdestroywindow.window);
    }
  }

  struct Known {
    std::string programFile;
    Window classHolder = None;  // the window itself, or the ancestor with WM_CLASS
  };

  // The window's client's program, and the window that holds its classes
  // (the focus may be on a child of it).
  Known Describe(Window window) {
    Known known;
    Window w = window;
    for (int depth = 0; w && depth < 8; ++depth, w = Parent(w)) {
      XClassHint hint{};
      if (!XGetClassHint(display_, w, &hint)) continue;
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
      known.classHolder = w;
      break;
    }
    if (const unsigned long pid = ClientPid(window)) known.programFile = ProgramFileOf(pid);
    return known;
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

  Window Parent(Window window) {
    Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent == root ? None : parent;
  }

  unsigned long ClientPid(Window window) {
    if (xres_) {
      XResClientIdSpec client{window, XRES_CLIENT_ID_PID_MASK};
      long count = 0;
      XResClientIdValue* ids = nullptr;
      pid_t pid = -1;
      if (XResQueryClientIds(display_, 1, &client, &count, &ids) == Success) {
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
  bool activeChanged_ = true;        // _NET_ACTIVE_WINDOW is to be read again
  Window active_ = None;             // the window manager's active window; None: ask the focus
  std::map<Window, Known> windows_;  // described, and not known to be destroyed
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
