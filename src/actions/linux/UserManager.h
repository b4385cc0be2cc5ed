// The systemd user manager, where vexel runs as its service: each program a
// key starts goes into a transient scope of its own (StartTransientUnit on
// the user bus, through sd-bus), as desktop launchers do, so that stopping
// or restarting vexel.service leaves it running.
#pragma once

#include <memory>
#include <string>

struct sd_bus;

namespace vexel {

class UserManager {
 public:
  // The manager when vexel is its service (INVOCATION_ID set) and the user
  // bus answers; nullptr otherwise, with the reason when INVOCATION_ID is
  // set.
  static std::unique_ptr<UserManager> Connect(std::string& reason);
  ~UserManager();
  UserManager(const UserManager&) = delete;
  UserManager& operator=(const UserManager&) = delete;

  // Puts the process into a new scope "app-vexel-<program>-<pid>.scope" and
  // waits until the manager reports it done (at most 2 s); false with the
  // reason when it is not.
  bool MoveIntoScope(int pid, const std::string& program, std::string& error);

 private:
  explicit UserManager(sd_bus* bus) : bus_(bus) {}
  sd_bus* bus_;
};

// The scope's unit name: the program's name escaped as systemd escapes an
// application's name (every byte but letters, digits, ':', '_' and '.' as
// \xNN).
std::string ScopeName(const std::string& program, int pid);

}  // namespace vexel
