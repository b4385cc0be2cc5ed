#include "actions/linux/ActionPlatformLinux.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "actions/linux/LinuxKeys.h"
#include "actions/linux/UserManager.h"

namespace vexel {

int StartDetached(const std::vector<std::string>& argv, std::string& error,
                  const std::function<void(int pid)>& beforeExec) {
  const std::string program =
      argv[0].find('/') == std::string::npos ? ExecutableFile(argv[0]) : argv[0];
  if (program.empty()) {
    error = std::strerror(ENOENT);
    return -1;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  // gate: the child waits for its end before it runs the program; report:
  // the reason its exec failed, or nothing (close-on-exec) when it worked.
  int gate[2], report[2];
  if (pipe2(gate, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  if (pipe2(report, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    close(gate[0]);
    close(gate[1]);
    return -1;
  }
  // Without work to do before the exec, vfork: no copy of the program, and
  // the key's action starts as soon as with posix_spawn (a fork costs
  // milliseconds on a busy machine).
  const pid_t pid = beforeExec ? fork() : vfork();
  if (pid == 0) {  // only system calls from here, on the program's memory after a vfork
    close(gate[1]);
    close(report[0]);
    setsid();
    // The loop blocks the signals it takes through its signalfd, and ignores SIGPIPE.
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int in = open("/dev/null", O_RDONLY);
    if (in > 0) {
      dup2(in, STDIN_FILENO);
      close(in);
    }
    char go;
    while (beforeExec && read(gate[0], &go, 1) < 0 && errno == EINTR) {
    }
    execv(program.c_str(), args.data());
    const int failure = errno;
    [[maybe_unused]] const ssize_t n = write(report[1], &failure, sizeof failure);
    _exit(127);
  }
  const int forkError = errno;
  close(gate[0]);
  close(report[1]);
  if (pid > 0 && beforeExec) beforeExec(pid);
  close(gate[1]);  // the child goes on
  int failure = 0;
  ssize_t n = 0;
  while (pid > 0 && (n = read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (pid < 0 || n == static_cast<ssize_t>(sizeof failure)) {
    error = std::strerror(pid < 0 ? forkError : failure);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return -1;
  }
  return pid;
}

ActionPlatformLinux::ActionPlatformLinux(Log log) : log_(std::move(log)) {}

ActionPlatformLinux::~ActionPlatformLinux() = default;

std::string ExecutableFile(const std::string& name) {
  auto executable = [](const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
  };
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return executable(name) ? name : "";
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (const std::string file = (folder.empty() ? "." : folder) + "/" + name; executable(file))
      return file;
  return {};
}

bool ActionPlatformLinux::Start(const std::vector<std::string>& argv, Refusal refusal) {
  if (!managerAsked_) {  // once, at the first program started
    managerAsked_ = true;
    std::string reason;
    manager_ = UserManager::Connect(reason);
    if (!reason.empty() && log_)
      log_("programs started stay in vexel's service (they end with it): " + reason);
  }
  std::string error;
  const int pid = StartDetached(
      argv, error, !manager_ ? std::function<void(int)>() : [&](int child) {
        std::string why;
        if (!manager_->MoveIntoScope(child, argv[0], why) && log_)
          log_("no scope of its own for " + argv[0] + " (it ends with vexel's service): " + why);
      });
  if (pid < 0) {
    if (log_) log_("cannot run " + argv[0] + ": " + error);
    return false;
  }
  children_.push_back({pid, std::move(refusal)});
  return true;
}

void ActionPlatformLinux::ReapChildren() {
  for (auto child = children_.begin(); child != children_.end();) {
    int status = 0;
    if (waitpid(child->pid, &status, WNOHANG) != child->pid) {
      ++child;
      continue;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (child->refusal && log_ && code != 0)
      log_(child->refusal(code) + " (status " + std::to_string(code) + ")");
    child = children_.erase(child);
  }
}

void ActionPlatformLinux::ShellOpen(const std::string& file) {
  if (const std::string program = ExecutableFile(file); !program.empty()) {
    Start({program}, nullptr);
    return;
  }
  Start({"xdg-open", file}, [file](int status) {
    // xdg-open's exit statuses.
    const char* reason = status == 1   ? "wrong use"
                         : status == 2 ? "it does not exist"
                         : status == 3 ? "a tool it needs is missing"
                                       : "opening it failed";
    return "xdg-open could not open " + file + ": " + reason;
  });
}

void ActionPlatformLinux::RunCommandLine(const std::string& commandLine) {
  Start({"/bin/sh", "-c", commandLine}, nullptr);
}

bool ActionPlatformLinux::AskSystemd(const std::string& verb) {
  if (log_) log_("asking systemd to " + verb);
  return Start({"systemctl", verb},
               [verb](int) { return "systemctl " + verb + " failed: refused"; });
}

bool ActionPlatformLinux::LockSession() {
  std::string session, error;
  const bool locked = LockGraphicalSession(session, error);
  if (log_) log_(locked ? "locked the graphical session " + session : "cannot lock: " + error);
  return locked;
}

void ActionPlatformLinux::Sleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string ActionPlatformLinux::PrepareKeys() {
  // A Wayland compositor takes keys only from the kernel's input devices;
  // XTest reaches its X11 programs (Xwayland) alone.
  const bool wayland = WaylandSession();
  const char* display = std::getenv("DISPLAY");
  const bool x11 = !wayland && display && *display;
  std::string xReason, uinputReason;
  if (x11) injector_ = OpenXTestInjector(xReason);
  if (!injector_) injector_ = OpenUinputInjector(uinputReason);
  if (!injector_ && !x11) injector_ = OpenXTestInjector(xReason);
  unavailableSaid_ = !injector_;  // the caller logs the line
  const std::string udevRule =
      "give the user write access to /dev/uinput (modprobe uinput and the udev rule in "
      "/usr/share/vexel/60-vexel-uinput.rules, see the README)";
  if (!injector_)
    return "keys cannot be injected: " + xReason + "; " + uinputReason +
           ". Run vexel in the graphical session (DISPLAY set), or " + udevRule;
  std::string line = std::string("keys are injected through ") + injector_->Name();
  if (!injector_->Keyboard().empty()) line += " (" + injector_->Keyboard() + ")";
  if (wayland && !uinputReason.empty())
    line +=
        ", which only X11 programs get in this Wayland session (" + uinputReason + "): " + udevRule;
  return line;
}

KeyboardRepeat ActionPlatformLinux::KeyboardRepeatSettings() {
  if (injector_)
    if (const std::optional<KeyboardRepeat> repeat = injector_->Repeat()) return *repeat;
  return {};
}

void ActionPlatformLinux::Track(std::uint8_t virtualKey, bool up) {
  auto it = std::find(held_.begin(), held_.end(), virtualKey);
  if (up && it != held_.end()) held_.erase(it);
  if (!up && it == held_.end()) held_.push_back(virtualKey);
}

KeyInjector* ActionPlatformLinux::Injector() {
  if (!injector_) {
    // Tried again at every key until it works (an X server that came up
    // after the program, a udev rule applied meanwhile); said once.
    const bool said = unavailableSaid_;
    const std::string line = PrepareKeys();
    if (log_ && (injector_ || !said)) log_(line);
    unavailableSaid_ = !injector_;
  }
  return injector_.get();
}

void ActionPlatformLinux::Failed(bool sent) {
  if (!sent && log_) log_(std::string("key injection through ") + injector_->Name() + " failed");
}

void ActionPlatformLinux::KeyTransition(std::uint8_t virtualKey, bool keyUp) {
  const bool held = std::find(held_.begin(), held_.end(), virtualKey) != held_.end();
  const KeyMotion motion = keyUp ? KeyMotion::kUp : held ? KeyMotion::kRepeat : KeyMotion::kDown;
  Track(virtualKey, keyUp);
  if (!Injector()) return;
  const LinuxKey* key = FindLinuxKey(virtualKey);
  if (!key) {
    if (log_) log_("no key on Linux for virtual key " + std::to_string(virtualKey));
    return;
  }
  Failed(injector_->Send(*key, motion));
}

void ActionPlatformLinux::MouseButtonTransition(MouseButton button, bool up) {
  for (const MouseKey& mouse : kMouseKeys)
    if (mouse.kind == MouseKeyKind::kButton && mouse.button == button) Track(mouse.code, up);
  if (Injector()) Failed(injector_->SendButton(button, up));
}

void ActionPlatformLinux::MouseMove(int dx, int dy) {
  if (Injector()) Failed(injector_->SendMove(dx, dy));
}

void ActionPlatformLinux::MouseWheel(int notches) {
  if (Injector()) Failed(injector_->SendWheel(notches));
}

void ActionPlatformLinux::ReleaseHeldKeys() {
  while (!held_.empty()) KeyOrMouseTransition(*this, held_.back(), true);
}

}  // namespace vexel
