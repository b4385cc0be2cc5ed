#include "app/linux/DesktopNotifier.h"

#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "base/Files.h"

namespace vexel {

namespace {

// $XDG_RUNTIME_DIR/vexel/told-<port, its slashes as dashes>, or empty.
std::string ToldFile(const std::string& port) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || *runtime != '/') return {};
  const std::string folder = std::string(runtime) + "/vexel";
  mkdir(folder.c_str(), 0700);
  std::string name = port;
  std::replace(name.begin(), name.end(), '/', '-');
  return folder + "/told" + name;
}

std::string Told(const std::string& file) {
  if (file.empty()) return {};
  return ReadWholeFile(file).value_or("");
}

// The session bus opens on the first notice; a notice waits at most this.
constexpr std::uint64_t kNotifyTimeoutUs = 1000000;

}  // namespace

DesktopNotifier::DesktopNotifier(const std::string& port)
    : toldFile_(ToldFile(port)), notices_(Told(toldFile_)) {}

DesktopNotifier::~DesktopNotifier() { sd_bus_flush_close_unref(bus_); }

void DesktopNotifier::OnLinkEvent(const LinkEvent& event) {
  const std::string before = notices_.Told();
  const std::optional<Notice> notice = notices_.For(event);
  if (!toldFile_.empty() && notices_.Told() != before) {
    if (notices_.Told().empty())
      unlink(toldFile_.c_str());
    else
      ReplaceFile(toldFile_, notices_.Told());
  }
  if (notice) Show(*notice);
}

void DesktopNotifier::Show(const Notice& notice) {
  if (!busTried_) {
    busTried_ = true;
    if (sd_bus_open_user(&bus_) < 0 || sd_bus_set_method_call_timeout(bus_, kNotifyTimeoutUs) < 0) {
      bus_ = sd_bus_flush_close_unref(bus_);
    }
  }
  if (!bus_) return;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  // Notify(app name, replaces id, icon, summary, body, actions, hints, timeout)
  if (sd_bus_call_method(bus_, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify", &error, &reply, "susssasa{sv}i",
                         "Vexel", shown_, "phone", notice.summary.c_str(), notice.body.c_str(), 0,
                         0, -1) >= 0)
    sd_bus_message_read(reply, "u", &shown_);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
}

}  // namespace vexel
