// A stand-in for the desktop's notification service on a private session
// bus: it owns org.freedesktop.Notifications and appends each notice as
// "summary: body" to a file, one line each.
//   notify-standin BUS-ADDRESS FILE
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string recordFile;
std::uint32_t lastId = 0;

int Notify(sd_bus_message* call, void*, sd_bus_error*) {
  const char *app, *icon, *summary, *body;
  std::uint32_t replaces = 0;
  if (sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body) < 0) return -1;
  std::ofstream(recordFile, std::ios::app) << summary << ": " << body << "\n";
  return sd_bus_reply_method_return(call, "u", replaces ? replaces : ++lastId);
}

const sd_bus_vtable kNotifications[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: notify-standin BUS-ADDRESS FILE\n");
    return 2;
  }
  recordFile = argv[2];
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, argv[1]) < 0 ||
      sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", kNotifications, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) {
    std::fprintf(stderr, "notify-standin: cannot serve on %s\n", argv[1]);
    return 1;
  }
  std::ofstream(recordFile, std::ios::app);  // the file's being there says: ready
  for (;;) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) return 1;
    if (r == 0 && sd_bus_wait(bus, UINT64_MAX) < 0) return 1;
  }
}
