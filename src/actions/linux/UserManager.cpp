#include "actions/linux/UserManager.h"

#include <systemd/sd-bus.h>
#include <time.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vexel {

namespace {

constexpr char kSystemd[] = "org.freedesktop.systemd1";
constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
constexpr char kManager[] = "org.freedesktop.systemd1.Manager";
constexpr std::uint64_t kWaitUs = 2'000'000;

std::uint64_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

// The jobs the manager reported removed, and how each ended.
struct RemovedJobs {
  std::string job;  // the one waited for
  std::string result;
};

int JobRemoved(sd_bus_message* signal, void* data, sd_bus_error*) {
  auto& removed = *static_cast<RemovedJobs*>(data);
  std::uint32_t id = 0;
  const char *job = nullptr, *unit = nullptr, *result = nullptr;
  if (sd_bus_message_read(signal, "uoss", &id, &job, &unit, &result) >= 0 && removed.job == job)
    removed.result = result;
  return 0;
}

std::string Describe(int r) { return std::strerror(-r); }

}  // namespace

std::string ScopeName(const std::string& program, int pid) {
  const std::size_t slash = program.rfind('/');
  std::string name = "app-vexel-";
  for (const char c : program.substr(slash == std::string::npos ? 0 : slash + 1)) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '_' || c == '.') {
      name += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
      name += escaped;
    }
  }
  return name + "-" + std::to_string(pid) + ".scope";
}

std::unique_ptr<UserManager> UserManager::Connect(std::string& reason) {
  const char* invocation = std::getenv("INVOCATION_ID");
  if (!invocation || !*invocation) return nullptr;
  sd_bus* bus = nullptr;
  if (const int r = sd_bus_open_user(&bus); r < 0) {
    reason = "the user bus does not answer: " + Describe(r);
    return nullptr;
  }
  sd_bus_set_method_call_timeout(bus, kWaitUs);
  return std::unique_ptr<UserManager>(new UserManager(bus));
}

UserManager::~UserManager() { sd_bus_flush_close_unref(bus_); }

bool UserManager::MoveIntoScope(int pid, const std::string& program, std::string& error) {
  const std::string unit = ScopeName(program, pid);
  // Listening before the call: the manager may report the job done at once.
  RemovedJobs removed;
  sd_bus_slot* slot = nullptr;
  sd_bus_message *call = nullptr, *reply = nullptr;
  sd_bus_error failure = SD_BUS_ERROR_NULL;
  const std::string description = "vexel: " + program;
  int r = sd_bus_match_signal(bus_, &slot, kSystemd, kManagerPath, kManager, "JobRemoved",
                              JobRemoved, &removed);
  if (r >= 0)
    r = sd_bus_message_new_method_call(bus_, &call, kSystemd, kManagerPath, kManager,
                                       "StartTransientUnit");
  if (r >= 0)
    r = sd_bus_message_append(call, "ssa(sv)a(sa(sv))", unit.c_str(), "fail", 4, "PIDs", "au", 1,
                              static_cast<std::uint32_t>(pid), "Slice", "s", "app.slice",
                              "Description", "s", description.c_str(), "CollectMode", "s",
                              "inactive-or-failed", 0);
  const char* job = nullptr;
  if (r >= 0) r = sd_bus_call(bus_, call, kWaitUs, &failure, &reply);
  if (r >= 0) r = sd_bus_message_read(reply, "o", &job);
  if (r >= 0) {
    removed.job = job;
    for (const std::uint64_t end = NowUs() + kWaitUs; removed.result.empty() && r >= 0;) {
      const std::uint64_t now = NowUs();
      if (now >= end) {
        r = -ETIMEDOUT;
        break;
      }
      r = sd_bus_process(bus_, nullptr);
      if (r == 0) r = sd_bus_wait(bus_, end - now);
    }
  }
  if (r < 0)
    error = unit + ": " + (sd_bus_error_is_set(&failure) ? failure.message : Describe(r));
  else if (removed.result != "done")
    error = unit + ": " + removed.result;
  sd_bus_error_free(&failure);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  sd_bus_slot_unref(slot);
  return error.empty();
}

}  // namespace vexel
