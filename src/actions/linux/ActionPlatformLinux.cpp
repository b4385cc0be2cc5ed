#include "actions/linux/ActionPlatformLinux.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "actions/linux/LinuxKeys.h"

namespace vexel {

namespace {

// Only async-signal-safe calls between fork and exec or _exit.
void WriteLine(const std::string& line) {
  const std::string text = "vexel: " + line + "\n";
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, text.data(), text.size());
}

void ResetChildState() {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);  // the loop blocks signals for its signalfd
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) ::signal(signal, SIG_DFL);
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null >= 0) dup2(null, STDIN_FILENO);  // dup2 clears close-on-exec on the copy
}

std::string Command(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& arg : argv) text += (text.empty() ? "" : " ") + arg;
  return text;
}

}  // namespace

void StartDetached(const std::vector<std::string>& argv,
                   const std::function<void(const std::string&)>& log, bool logStatus) {
  // Everything the children need, made before fork.
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const std::string what = Command(argv);

  const pid_t child = fork();
  if (child < 0) {
    if (log) log(what + " failed: " + std::strerror(errno));
    return;
  }
  if (child == 0) {
    // The middle process: a session of its own, then the program's
    // grandchild, and gone at once, so that init adopts the grandchild.
    setsid();
    ResetChildState();
    const pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    if (!logStatus) {
      execvp(args[0], args.data());
      if (log) WriteLine(what + " failed: " + std::strerror(errno));
      _exit(127);
    }
    // Watched: the grandchild waits for the command and reports a refusal.
    const pid_t command = fork();
    if (command == 0) {
      execvp(args[0], args.data());
      _exit(127);
    }
    int status = 0;
    if (command < 0 || waitpid(command, &status, 0) < 0) _exit(1);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
      WriteLine(what + " failed: cannot run " + argv[0]);
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      WriteLine(what + " failed: refused (status " +
                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) +
                ")");
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

ActionPlatformLinux::ActionPlatformLinux(Log log) : log_(std::move(log)) {}

ActionPlatformLinux::~ActionPlatformLinux() = default;

void ActionPlatformLinux::ShellOpen(const std::string& file) {
  StartDetached({"xdg-open", file}, log_, false);
}

void ActionPlatformLinux::RunCommandLine(const std::string& commandLine) {
  StartDetached({"/bin/sh", "-c", commandLine}, log_, false);
}

bool ActionPlatformLinux::RequestExitWindows(unsigned flags) {
  const char* verb = flags == kRebootFlags ? "reboot" : flags == kShutdownFlags ? "poweroff" : "";
  if (!*verb) return false;
  if (log_) log_(std::string("asking systemd to ") + verb);
  StartDetached({"systemctl", verb}, log_, true);
  return true;
}

void ActionPlatformLinux::Sleep(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

std::string ActionPlatformLinux::PrepareKeys() {
  prepared_ = true;
  std::string xReason, uinputReason;
  injector_ = OpenXTestInjector(xReason);
  if (!injector_) injector_ = OpenUinputInjector(uinputReason);
  if (injector_) return std::string("keys are injected through ") + injector_->Name();
  return "keys cannot be injected: " + xReason + "; " + uinputReason +
         ". Run vexel in the graphical session (DISPLAY set), or give the user write access to "
         "/dev/uinput (the udev rule in /usr/share/vexel/60-vexel-uinput.rules)";
}

void ActionPlatformLinux::KeyTransition(std::uint8_t virtualKey, bool keyUp) {
  if (keyUp) {
    auto it = std::find(held_.begin(), held_.end(), virtualKey);
    if (it != held_.end()) held_.erase(it);
  } else if (std::find(held_.begin(), held_.end(), virtualKey) == held_.end()) {
    held_.push_back(virtualKey);
  }
  if (!prepared_) {
    const std::string line = PrepareKeys();
    if (log_ && !injector_) log_(line);  // once; every other action keeps working
  }
  const LinuxKey* key = FindLinuxKey(virtualKey);
  if (!injector_) return;
  if (!key) {
    if (log_) log_("no key on Linux for virtual key " + std::to_string(virtualKey));
    return;
  }
  if (!injector_->Send(*key, keyUp) && log_)
    log_(std::string("key injection through ") + injector_->Name() + " failed");
}

void ActionPlatformLinux::ReleaseHeldKeys() {
  while (!held_.empty()) KeyTransition(held_.back(), true);
}

}  // namespace vexel
