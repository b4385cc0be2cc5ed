#include "app/LinkView.h"

namespace vexel {

void LinkView::Apply(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::kStarting:
    case LinkEventKind::kStartFailed:
      mapKeysEnabled = false;
      break;
    case LinkEventKind::kUp:
    case LinkEventKind::kBack:
      tray = TrayImage::kConnect;
      caption = "Stop";
      mapKeysEnabled = true;
      maker = event.maker;
      command = event.command;
      break;
    case LinkEventKind::kLost:
      // The menu still offers Stop: it ends the reconnection.
      tray = TrayImage::kHangUp;
      mapKeysEnabled = false;
      maker.clear();
      command.clear();
      keypadLocked = false;
      battery = signal = -1;
      break;
    case LinkEventKind::kGaveUp:
    case LinkEventKind::kStopped:
      tray = TrayImage::kApplication;
      caption = "Start";
      mapKeysEnabled = false;
      maker.clear();
      command.clear();
      keypadLocked = false;
      battery = signal = -1;
      break;
    case LinkEventKind::kPhoneState:
      battery = event.battery;
      signal = event.signal;
      break;
    case LinkEventKind::kKeypadLocked:
      keypadLocked = event.on;
      break;
    case LinkEventKind::kLearning:
      mapKeysDown = event.on;
      break;
    case LinkEventKind::kReconnecting:
    case LinkEventKind::kKeyLearned:
    case LinkEventKind::kControl:
    case LinkEventKind::kRing:
      break;
  }
}

std::string LinkView::Hint() const {
  std::string shown = MakerAndCommand(maker, command);
  if (keypadLocked) shown += (shown.empty() ? "" : ", ") + std::string("keypad locked");
  if (const std::string state = DescribePhoneState(battery, signal); !state.empty())
    shown += (shown.empty() ? "" : ", ") + state;
  return shown.empty() ? "Vexel" : "Vexel: " + shown;
}

}  // namespace vexel
