// What the runner does on Linux: an executable file runs (no shell), any
// other path or URL opens through xdg-open, a "#" command line runs through
// /bin/sh -c, each detached from the program (own session, never waited
// for, no descriptor of the program inherited); keys are injected through
// XTest on a working X display, else through a uinput device; "$reboot" and
// "$shutdown" ask systemd. Under a systemd user manager each program started
// runs in a scope of its own, so that it outlives vexel.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/ActionRunner.h"

namespace vexel {

struct LinuxKey;
class UserManager;

// A key going down, again down while it is held (Vexel's own repeat of a
// held key), or up.
enum class KeyMotion { kDown, kRepeat, kUp };

// Injects key transitions one way (XTest, uinput).
class KeyInjector {
 public:
  virtual ~KeyInjector() = default;
  // False when the transition could not be sent.
  virtual bool Send(const LinuxKey& key, KeyMotion motion) = 0;
  virtual const char* Name() const = 0;
};

// XTest on the display named by DISPLAY; nullptr and the reason when there
// is no working display with the XTEST extension.
std::unique_ptr<KeyInjector> OpenXTestInjector(std::string& reason);
// A virtual keyboard through /dev/uinput; nullptr and the reason when the
// device cannot be made.
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

class ActionPlatformLinux : public ActionPlatform {
 public:
  using Log = std::function<void(const std::string& line)>;
  explicit ActionPlatformLinux(Log log);
  ~ActionPlatformLinux() override;

  void ShellOpen(const std::string& file) override;
  void RunCommandLine(const std::string& commandLine) override;
  void KeyTransition(std::uint8_t virtualKey, bool keyUp) override;
  void Sleep(unsigned milliseconds) override;
  // Linux has no privilege to hold: systemd decides (polkit) and refuses.
  bool SetTokenPrivilege(const std::string&, bool) override { return true; }
  // kRebootFlags: "systemctl reboot"; kShutdownFlags: "systemctl poweroff".
  bool RequestExitWindows(unsigned flags) override;

  // Chooses how keys are injected (XTest when DISPLAY works, else uinput);
  // the line says which, or what to do when neither works. Without a way,
  // every key tries again.
  std::string PrepareKeys();
  // Collects the programs started that have ended (on SIGCHLD), so that
  // none stays a zombie; a reboot or power-off that systemd refused is
  // logged here.
  void ReapChildren();
  // Releases every key pressed and not released yet, last pressed first.
  void ReleaseHeldKeys();
  const std::vector<std::uint8_t>& HeldKeys() const { return held_; }

 private:
  // The line logged when a program ends with a failure, by its status.
  using Refusal = std::function<std::string(int status)>;
  void Start(const std::vector<std::string>& argv, Refusal refusal);
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
};

}  // namespace vexel
