// What the runner does on Linux: a path opens through xdg-open, a "#"
// command line runs through /bin/sh -c, both detached from the program (own
// session, never waited for, no descriptor of the program inherited); keys
// are injected through XTest on a working X display, else through a uinput
// device; "$reboot" and "$shutdown" ask systemd.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/ActionRunner.h"

namespace vexel {

struct LinuxKey;
class X11Focus;
struct X11FocusDeleter {
  void operator()(X11Focus* focus) const;
};

// Whether the program runs in a Wayland session (WAYLAND_DISPLAY, or
// XDG_SESSION_TYPE=wayland), where no general way tells the focused
// window: the programs' key maps do not apply there.
bool WaylandSession();

// A key going down, again down while it is held (Vexel's own repeat of a
// held key), or up.
enum class KeyMotion { kDown, kRepeat, kUp };

// Injects key transitions and mouse input one way (XTest, uinput).
class KeyInjector {
 public:
  virtual ~KeyInjector() = default;
  // False when the transition could not be sent.
  virtual bool Send(const LinuxKey& key, KeyMotion motion) = 0;
  virtual bool SendButton(MouseButton button, bool up) = 0;
  // The pointer moved by exactly so many pixels (y down).
  virtual bool SendMove(int dx, int dy) = 0;
  virtual bool SendWheel(int notches) = 0;  // positive: away from the user
  virtual const char* Name() const = 0;
};

// XTest on the display named by DISPLAY; nullptr and the reason when there
// is no working display with the XTEST extension.
std::unique_ptr<KeyInjector> OpenXTestInjector(std::string& reason);
// A virtual keyboard through /dev/uinput; nullptr and the reason when the
// device cannot be made.
std::unique_ptr<KeyInjector> OpenUinputInjector(std::string& reason);

// Starts argv[0] (searched in PATH) with the rest as its arguments, in a
// session of its own, standard input from /dev/null, the default signal
// mask and dispositions (posix_spawn: no copy of the program, and no
// descriptor of it, as all are close-on-exec). Its process id, or -1 with
// the reason in error.
int StartDetached(const std::vector<std::string>& argv, std::string& error);

class ActionPlatformLinux : public ActionPlatform {
 public:
  using Log = std::function<void(const std::string& line)>;
  explicit ActionPlatformLinux(Log log);
  ~ActionPlatformLinux() override;

  void ShellOpen(const std::string& file) override;
  void RunCommandLine(const std::string& commandLine) override;
  void KeyTransition(std::uint8_t virtualKey, bool keyUp) override;
  void MouseButtonTransition(MouseButton button, bool up) override;
  void MouseMove(int dx, int dy) override;
  void MouseWheel(int notches) override;
  void Sleep(unsigned milliseconds) override;
  // Linux has no privilege to hold: systemd decides (polkit) and refuses.
  bool SetTokenPrivilege(const std::string&, bool) override { return true; }
  // kRebootFlags: "systemctl reboot"; kShutdownFlags: "systemctl poweroff".
  bool RequestExitWindows(unsigned flags) override;
  // In an X11 session (DISPLAY set), through a connection of its own; none
  // in a Wayland session.
  FocusedWindow FocusedProgram() override;

  // Chooses how keys are injected (XTest when DISPLAY works, else uinput);
  // the line says which, or what to do when neither works. Without a way,
  // every key tries again.
  std::string PrepareKeys();
  // Collects the programs started that have ended (on SIGCHLD), so that
  // none stays a zombie; a reboot or power-off that systemd refused is
  // logged here.
  void ReapChildren();
  // Releases every key and mouse button pressed and not released yet, last
  // pressed first.
  void ReleaseHeldKeys();
  // Their virtual-key codes (a mouse button's of actions/MouseKeys.h).
  const std::vector<std::uint8_t>& HeldKeys() const { return held_; }

 private:
  void Start(const std::vector<std::string>& argv, std::string refusal);
  // Notes a key or button going down (not yet held) or up.
  void Track(std::uint8_t virtualKey, bool up);
  // The way of injecting, tried again while there is none.
  KeyInjector* Injector();
  void Failed(bool sent);
  Log log_;
  std::unique_ptr<KeyInjector> injector_;
  bool unavailableSaid_ = false;    // the line "keys cannot be injected" was logged
  std::vector<std::uint8_t> held_;  // pressed and not released, in order
  struct Child {
    int pid;
    std::string refusal;  // logged when it ends with a failure; empty: not watched
  };
  std::vector<Child> children_;  // started and not yet collected
  std::unique_ptr<X11Focus, X11FocusDeleter> focus_;
};

}  // namespace vexel
