// What the Windows program shows of the link: the tray's image, the caption
// of the tray menu's Start/Stop item and the state of the Properties
// window's MapKeys button, derived from the link's events alone.
#pragma once

#include <string>

#include "phone/LinkEvents.h"

namespace vexel {

enum class TrayImage { kApplication, kConnect, kHangUp };

struct LinkView {
  TrayImage tray = TrayImage::kApplication;
  std::string caption = "Start";  // StartStopItem
  bool mapKeysEnabled = false;    // while the link is up and no start or reconnection runs
  bool mapKeysDown = false;       // while learn mode runs

  void Apply(const LinkEvent& event);
  bool operator==(const LinkView&) const = default;
};

}  // namespace vexel
