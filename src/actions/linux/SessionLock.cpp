// "$lock" on Linux: logind on the system bus, through sd-bus.
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "actions/linux/ActionPlatformLinux.h"

namespace vexel {

namespace {

constexpr char kLogin[] = "org.freedesktop.login1";
constexpr std::uint64_t kTimeoutUs = 2'000'000;

// The bus and what its calls leave, freed when the lock is done.
struct LoginCalls {
  ~LoginCalls() {
    for (sd_bus_message* reply : replies) sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
  }
  // The reason of a failed step (r < 0): the bus's error, else errno's text.
  std::string Reason(int r) const {
    return sd_bus_error_is_set(&error) ? error.message : std::strerror(-r);
  }
  sd_bus* bus = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* replies[3] = {};
};

}  // namespace

bool LockGraphicalSession(std::string& session, std::string& error) {
  LoginCalls calls;
  const std::uint32_t uid = getuid();
  const std::string user = "user " + std::to_string(uid);
  int r = sd_bus_open_system(&calls.bus);
  if (r < 0) {
    error = "the system bus does not answer: " + calls.Reason(r);
    return false;
  }
  sd_bus_set_method_call_timeout(calls.bus, kTimeoutUs);
  // The user's object, then the session logind counts as the user's
  // display: a graphical one where the user has one.
  const char *userPath = nullptr, *id = nullptr, *sessionPath = nullptr;
  r = sd_bus_call_method(calls.bus, kLogin, "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "GetUser", &calls.error,
                         &calls.replies[0], "u", uid);
  if (r >= 0) r = sd_bus_message_read(calls.replies[0], "o", &userPath);
  if (r < 0) {
    error = sd_bus_error_has_name(&calls.error, "org.freedesktop.login1.NoSuchUser")
                ? "no graphical session: " + user + " is not logged in"
                : "logind does not answer: " + calls.Reason(r);
    return false;
  }
  r = sd_bus_get_property(calls.bus, kLogin, userPath, "org.freedesktop.login1.User", "Display",
                          &calls.error, &calls.replies[1], "(so)");
  if (r >= 0) r = sd_bus_message_read(calls.replies[1], "(so)", &id, &sessionPath);
  if (r < 0) {
    error = "logind does not tell the display session of " + user + ": " + calls.Reason(r);
    return false;
  }
  if (!*id) {
    error = "no graphical session: " + user + " has none";
    return false;
  }
  session = id;
  // A text console's session may stand as the display where the user has
  // no other: locking it would lock nothing on a screen.
  r = sd_bus_get_property(calls.bus, kLogin, sessionPath, "org.freedesktop.login1.Session", "Type",
                          &calls.error, &calls.replies[2], "s");
  const char* type = nullptr;
  if (r >= 0) r = sd_bus_message_read(calls.replies[2], "s", &type);
  if (r < 0) {
    error = "logind does not tell the type of session " + session + ": " + calls.Reason(r);
    return false;
  }
  if (std::strcmp(type, "x11") != 0 && std::strcmp(type, "wayland") != 0 &&
      std::strcmp(type, "mir") != 0) {
    error = "no graphical session: session " + session + " of " + user + " is of type " + type;
    return false;
  }
  r = sd_bus_call_method(calls.bus, kLogin, sessionPath, "org.freedesktop.login1.Session", "Lock",
                         &calls.error, nullptr, "");
  if (r < 0) {
    error = "logind did not lock session " + session + ": " + calls.Reason(r);
    return false;
  }
  return true;
}

}  // namespace vexel
