// What the Windows program shows of the link: the tray's image and hint, the
// caption of the tray menu's Start/Stop item and the state of the
// Properties window's MapKeys button, derived from the link's events alone.
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
  std::string maker, command;     // of the link that is up
  bool keypadLocked = false;
  int battery = -1, signal = -1;  // of the phone whose link is up; -1 unknown

  void Apply(const LinkEvent& event);
  // The tray's hint: "Vexel", and while the link is up the maker and the
  // key reporting command in use ("Vexel: Motorola, AT+CMER=3,1,0,0,0"),
  // whether the phone's keypad is locked, and its battery and signal
  // ("battery 60 %, signal 3 of 5").
  std::string Hint() const;
  bool operator==(const LinkView&) const = default;
};

}  // namespace vexel
