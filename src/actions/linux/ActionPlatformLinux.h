// What the runner does on Linux: an executable file runs (no shell), any
// other path or URL opens through xdg-open, a "#" command line runs through
// /bin/sh -c, each detached from the program (own session, never waited
// for, no descriptor of the program inherited); keys are injected through
// XTest in an X11 session, through a uinput device in a Wayland session or a
// console; "$reboot" and "$shutdown" ask systemd, "$lock" asks logind.
// Under a systemd user manager each program started runs in a scope of its
// own, so that it outlives vexel.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions/ActionRunner.h"

namespace vexel {

struct LinuxKey;
class UserManager;
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
  // The keyboard it types on, for the log ("/dev/input/event7, layout
  // German, from the X server"); empty when the session's own keymap
  // applies.
  virtual std::string Keyboard() const { return {}; }
  // The desktop's repeat delay and interval that its own repeats of a held
  // key follow, where they can be read.
  virtual std::optional<KeyboardRepeat> Repeat() { return std::nullopt; }
};

// XTest on the display named by DISPLAY; nullptr and the reason when there
// is no working display with the XTEST extension. It follows the server's
// keymap, and reopens a lost connection at the next key.
std::unique_ptr<KeyInjector> OpenXTestInjector(std::string& reason);
// A virtual keyboard through /dev/uinput that types in the session's layout
// (ReadSessionKeyboard); nullptr and the reason when the device cannot be
// made.
std::unique_ptr<KeyInjector> OpenUinputInjector(std::string& reason);

// Starts argv[0] (a path, or a name searched in PATH) with the rest as its
// arguments, in a session of its own, standard input from /dev/null, the
// default signal mask and dispositions, and no descriptor of the program
// (all are close-on-exec). beforeExec, when given, runs with the new
// process's id while the process waits for it, before it runs the program
// (nothing it starts can escape what beforeExec does to it). Its process
// id, or -1 with the reason in error (also when the program could not be
// run).
int StartDetached(const std::vector<std::string>& argv, std::string& error,
                  const std::function<void(int pid)>& beforeExec = {});

// The executable file that "Open" runs for a name: the path itself when it
// has a slash, else the first of that name in PATH; empty when the name is
// no executable regular file.
std::string ExecutableFile(const std::string& name);

// Locks the user's graphical session through logind on the system bus: the
// session that logind names as the user's display (GetUser, then the user's
// Display), so that it works also from the user service, which has no
// session of its own. False with the reason when the user has no graphical
// session or logind refuses; session is the session's id once known.
bool LockGraphicalSession(std::string& session, std::string& error);

class ActionPlatformLinux : public ActionPlatform {
 public:
  using Log = std::function<void(const std::string& line)>;
  explicit ActionPlatformLinux(Log log);
  ~ActionPlatformLinux() override;

  void ShellOpen(const std::string& file) override;
  void RunCommandLine(const std::string& commandLine) override;
  void KeyTransition(std::uint8_t virtualKey, bool keyUp) override;
  // The X server's autorepeat delay and interval where the uinput keyboard
  // read them, else the defaults (Vexel's repeats show on a console only).
  KeyboardRepeat KeyboardRepeatSettings() override;
  void MouseButtonTransition(MouseButton button, bool up) override;
  void MouseMove(int dx, int dy) override;
  void MouseWheel(int notches) override;
  void Sleep(unsigned milliseconds) override;
  // "systemctl reboot" and "systemctl poweroff": systemd decides (polkit),
  // and a refusal is logged when systemctl ends (ReapChildren).
  bool Reboot() override { return AskSystemd("reboot"); }
  bool ShutDown() override { return AskSystemd("poweroff"); }
  // LockGraphicalSession; what it did, or why it could not, is logged.
  bool LockSession() override;
  // In an X11 session (DISPLAY set), through a connection of its own; none
  // in a Wayland session.
  FocusedWindow FocusedProgram() override;

  // Chooses how keys are injected: XTest in an X11 session (DISPLAY set),
  // uinput in a Wayland session (WAYLAND_DISPLAY set or XDG_SESSION_TYPE
  // wayland) or a console, each falling back to the other; the line says
  // which (and that XTest reaches only X11 programs in a Wayland session),
  // or what to do when neither works. Without a way, every key tries again.
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
  // The line logged when a program ends with a failure, by its status.
  using Refusal = std::function<std::string(int status)>;
  // False when the program cannot be started.
  bool Start(const std::vector<std::string>& argv, Refusal refusal);
  bool AskSystemd(const std::string& verb);
  // Notes a key or button going down (not yet held) or up.
  void Track(std::uint8_t virtualKey, bool up);
  // The way of injecting, tried again while there is none.
  KeyInjector* Injector();
  void Failed(bool sent);
  Log log_;
  // Under a systemd user manager, each program started goes into a scope
  // of its own (asked for at the first start).
  std::unique_ptr<UserManager> manager_;
  bool managerAsked_ = false;
  std::unique_ptr<KeyInjector> injector_;
  bool unavailableSaid_ = false;    // the line "keys cannot be injected" was logged
  std::vector<std::uint8_t> held_;  // pressed and not released, in order
  struct Child {
    int pid;
    Refusal refusal;  // empty: its end is not watched
  };
  std::vector<Child> children_;  // started and not yet collected
  std::unique_ptr<X11Focus, X11FocusDeleter> focus_;
};

}  // namespace vexel
