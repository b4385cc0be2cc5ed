#include "actions/linux/ActionPlatformLinux.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "actions/linux/LinuxKeys.h"

namespace vexel {

int StartDetached(const std::vector<std::string>& argv, std::string& error) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  // The loop blocks the signals it takes through its signalfd, and ignores SIGPIPE.
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, args[0], &files, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    error = std::strerror(result);
    return -1;
  }
  return pid;
}

ActionPlatformLinux::ActionPlatformLinux(Log log) : log_(std::move(log)) {}

ActionPlatformLinux::~ActionPlatformLinux() = default;

void ActionPlatformLinux::Start(const std::vector<std::string>& argv, std::string refusal) {
  std::string error;
  const int pid = StartDetached(argv, error);
  if (pid < 0) {
    if (log_) log_("cannot run " + argv[0] + ": " + error);
    return;
  }
  children_.push_back({pid, std::move(refusal)});
}

void ActionPlatformLinux::ReapChildren() {
  for (auto child = children_.begin(); child != children_.end();) {
    int status = 0;
    if (waitpid(child->pid, &status, WNOHANG) != child->pid) {
      ++child;
      continue;
    }
    if (!child->refusal.empty() && log_ && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
      log_(child->refusal + " (status " +
           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) + ")");
    child = children_.erase(child);
  }
}

void ActionPlatformLinux::ShellOpen(const std::string& file) { Start({"xdg-open", file}, ""); }

void ActionPlatformLinux::RunCommandLine(const std::string& commandLine) {
  Start({"/bin/sh", "-c", commandLine}, "");
}

bool ActionPlatformLinux::RequestExitWindows(unsigned flags) {
  const char* verb = flags == kRebootFlags ? "reboot" : flags == kShutdownFlags ? "poweroff" : "";
  if (!*verb) return false;
  if (log_) log_(std::string("asking systemd to ") + verb);
  Start({"systemctl", verb}, std::string("systemctl ") + verb + " failed: refused");
  return true;
}

void ActionPlatformLinux::Sleep(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

std::string ActionPlatformLinux::PrepareKeys() {
  std::string xReason, uinputReason;
  injector_ = OpenXTestInjector(xReason);
  if (!injector_) injector_ = OpenUinputInjector(uinputReason);
  unavailableSaid_ = !injector_;  // the caller logs the line
  if (injector_) return std::string("keys are injected through ") + injector_->Name();
  return "keys cannot be injected: " + xReason + "; " + uinputReason +
         ". Run vexel in the graphical session (DISPLAY set), or give the user write access to "
         "/dev/uinput (the udev rule in /usr/share/vexel/60-vexel-uinput.rules)";
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
