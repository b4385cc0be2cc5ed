// busstandin TRACE NOTICES [PORT]: stands in on the bus of
// DBUS_SESSION_BUS_ADDRESS for the systemd user manager, the desktop's
// notification service and logind (every user's display is the X11 session
// c1; GetUser and Lock calls go to TRACE), and with PORT for ModemManager
// with one modem that has PORT ("pts/3"). Each StartTransientUnit call is dumped into TRACE
// (sd_bus_message_dump) 200 ms late (a program that did not wait for its
// scope shows before it); it moves nothing, answers, and reports the job
// done with JobRemoved. Each notice is appended to NOTICES as "summary:
// body". Prints "ready" once it has its names.
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

const char* trace;
const char* notices;
const char* port;
unsigned jobs;

int StartTransientUnit(sd_bus_message* call, void*, sd_bus_error*) {
  const char* unit = nullptr;
  sd_bus_message_read(call, "s", &unit);
  usleep(200000);
  if (FILE* file = std::fopen(trace, "a")) {
    sd_bus_message_rewind(call, 1);
    sd_bus_message_dump(call, file, 0);
    std::fclose(file);
  }
  const std::string job = "/org/freedesktop/systemd1/job/" + std::to_string(++jobs);
  sd_bus_reply_method_return(call, "o", job.c_str());
  return sd_bus_emit_signal(sd_bus_message_get_bus(call), "/org/freedesktop/systemd1",
                            "org.freedesktop.systemd1.Manager", "JobRemoved", "uoss", jobs,
                            job.c_str(), unit, "done");
}

int Ports(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
          sd_bus_error*) {
  return sd_bus_message_append(reply, "a(su)", 1, port, 1u);
}

int Notify(sd_bus_message* call, void*, sd_bus_error*) {
  const char *app, *icon, *summary, *body;
  std::uint32_t replaces = 0;
  if (sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body) < 0) return -1;
  std::ofstream(notices, std::ios::app) << summary << ": " << body << "\n";
  return sd_bus_reply_method_return(call, "u", replaces ? replaces : ++jobs);
}

int GetUser(sd_bus_message* call, void*, sd_bus_error*) {
  std::uint32_t uid = 0;
  sd_bus_message_read(call, "u", &uid);
  std::ofstream(trace, std::ios::app) << "login1 GetUser " << uid << "\n";
  return sd_bus_reply_method_return(call, "o", "/org/freedesktop/login1/user/self");
}

int Lock(sd_bus_message* call, void*, sd_bus_error*) {
  std::ofstream(trace, std::ios::app) << "login1 Lock " << sd_bus_message_get_path(call) << "\n";
  return sd_bus_reply_method_return(call, "");
}

// The user's Display and the session's Type.
int LoginProperty(sd_bus*, const char*, const char*, const char* name, sd_bus_message* reply, void*,
                  sd_bus_error*) {
  return std::string(name) == "Type"
             ? sd_bus_message_append(reply, "s", "x11")
             : sd_bus_message_append(reply, "(so)", "c1", "/org/freedesktop/login1/session/c1");
}

const sd_bus_vtable kLogin[] = {SD_BUS_VTABLE_START(0),
                                SD_BUS_METHOD("GetUser", "u", "o", GetUser, 0), SD_BUS_VTABLE_END};
const sd_bus_vtable kUser[] = {SD_BUS_VTABLE_START(0),
                               SD_BUS_PROPERTY("Display", "(so)", LoginProperty, 0, 0),
                               SD_BUS_VTABLE_END};
const sd_bus_vtable kSession[] = {SD_BUS_VTABLE_START(0),
                                  SD_BUS_PROPERTY("Type", "s", LoginProperty, 0, 0),
                                  SD_BUS_METHOD("Lock", "", "", Lock, 0), SD_BUS_VTABLE_END};
const sd_bus_vtable kNotifications[] = {SD_BUS_VTABLE_START(0),
                                        SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, 0),
                                        SD_BUS_VTABLE_END};
const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("StartTransientUnit", "ssa(sv)a(sa(sv))", "o", StartTransientUnit, 0),
    SD_BUS_SIGNAL("JobRemoved", "uoss", 0), SD_BUS_VTABLE_END};
const sd_bus_vtable kModem[] = {SD_BUS_VTABLE_START(0),
                                SD_BUS_PROPERTY("Ports", "a(su)", Ports, 0, 0), SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  trace = argv[1];
  notices = argv[2];
  port = argc > 3 ? argv[3] : nullptr;
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/systemd1",
                               "org.freedesktop.systemd1.Manager", kManager, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.systemd1", 0) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", kNotifications, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", kLogin, nullptr) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1/user/self",
                               "org.freedesktop.login1.User", kUser, nullptr) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1/session/c1",
                               "org.freedesktop.login1.Session", kSession, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.login1", 0) < 0)
    return 1;
  if (port &&
      (sd_bus_add_object_manager(bus, nullptr, "/org/freedesktop/ModemManager1") < 0 ||
       sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/ModemManager1/Modem/0",
                                "org.freedesktop.ModemManager1.Modem", kModem, nullptr) < 0 ||
       sd_bus_request_name(bus, "org.freedesktop.ModemManager1", 0) < 0))
    return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;)
    if (sd_bus_process(bus, nullptr) == 0 && sd_bus_wait(bus, UINT64_MAX) < 0) return 1;
}
