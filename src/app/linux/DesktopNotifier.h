// Desktop notifications of the link (org.freedesktop.Notifications on the
// session bus, through sd-bus): the notices of LinkNotices, each replacing
// the one before. What was told of the running outage is remembered in
// $XDG_RUNTIME_DIR, so that a restarted service tells it no second time.
#pragma once

#include <cstdint>
#include <string>

#include "app/LinkNotices.h"

struct sd_bus;

namespace vexel {

class DesktopNotifier {
 public:
  // Notices about the link on this port.
  explicit DesktopNotifier(const std::string& port);
  ~DesktopNotifier();
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;

  // Shows the notice the event calls for. Without a session bus, or when
  // nothing shows notifications, nothing happens (the log has every event).
  void OnLinkEvent(const LinkEvent& event);

 private:
  void Show(const Notice& notice);

  std::string toldFile_;  // empty: nowhere to remember
  LinkNotices notices_;
  sd_bus* bus_ = nullptr;
  bool busTried_ = false;
  std::uint32_t shown_ = 0;  // the id of the notice shown last
};

}  // namespace vexel
