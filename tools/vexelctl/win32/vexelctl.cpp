// vexelctl: gives a running Vexel the tray menu's commands from a script or
// a shortcut, as choosing them from the tray menu would.
//
//   vexelctl startstop|properties|help|about|exit
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/ControlIds.h"

namespace {

struct Command {
  const char* word;
  const char* item;  // the menu item of MobPopup
};
const Command kCommands[] = {
    {"startstop", "StartStopItem"}, {"properties", "N1"}, {"help", "Help1"},
    {"about", "About1"},            {"exit", "Exit1"},
};

}  // namespace

int main(int argc, char** argv) {
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (argc == 2 && _stricmp(argv[1], c.word) == 0) command = &c;
  if (!command) {
    std::fputs("usage: vexelctl startstop|properties|help|about|exit\n"
               "Gives the running Vexel one command of its tray menu; \"startstop\" is the\n"
               "menu's Start/Stop item, which starts the link when it is down and stops it\n"
               "when it is up.\n",
               stderr);
    return 2;
  }
  HWND vexel = FindWindowA(vexel::kTrayWindowClass, nullptr);
  if (!vexel) {
    std::fputs("vexelctl: Vexel is not running\n", stderr);
    return 1;
  }
  const int id = vexel::ControlId(vexel::kTrayMenuItems, command->item);
  return PostMessageA(vexel, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
}
