// The names of every window's controls and menu items with their numeric
// identifiers: the program creates its controls from these tables, and the
// test driver finds them by the same names.
#pragma once

#include <span>
#include <string_view>

namespace vexel {

struct ControlName {
  std::string_view name;
  int id;
};

// The window classes of the program's two long-lived windows, which other
// programs find by class: the Properties window (TMobPropsForm) and the
// hidden window of the tray icon and its menu (TTrayWindow).
inline constexpr char kPropertiesWindowClass[] = "VexelMobPropsForm";
inline constexpr char kTrayWindowClass[] = "VexelTrayIcon";
// The tray icon's call-back message to the tray window (WM_APP + 1), with
// the mouse message in lParam.
inline constexpr unsigned kTrayCallbackMessage = 0x8000 + 1;

// The Properties window (TMobPropsForm).
inline constexpr ControlName kPropertiesControls[] = {
    {"Label2", 1001},           {"cbPhoneType", 1002},
    {"Label1", 1003},           {"cbCOMs", 1004},
    {"cbAutostart", 1005},      {"cbReconnect", 1006},
    {"Bevel2", 1007},           {"MapKeysButton", 1008},
    {"SpeedButton6", 1009},     {"SpeedButton5", 1010},
    {"ValueListEditor1", 1011}, {"SpeedButton1", 1012},
    {"SpeedButton2", 1013},     {"Memo1", 1014},
    {"FindButton", 1015},
    // "Keys for:": the map shown in the grid.
    {"Label3", 1016},           {"cbKeysFor", 1017},
};

// The tray menu MobPopup: its commands reach the tray window as WM_COMMAND.
inline constexpr ControlName kTrayMenuItems[] = {
    {"StartStopItem", 2001}, {"N1", 2002},    {"Help1", 2003},
    {"About1", 2004},        {"Exit1", 2005}, {"CheckPhone1", 2006},
};

// The "Check phone" window (TCheckPhoneForm): the report, Copy and Close.
inline constexpr char kCheckPhoneWindowClass[] = "VexelCheckPhoneForm";
inline constexpr ControlName kCheckPhoneControls[] = {
    {"ReportMemo", 1401},
    {"CopyButton", 1402},
    {"CloseButton", 1403},
};

// The Button Action window (TBAForm) and its ExtraCmdMenu.
inline constexpr ControlName kButtonActionControls[] = {
    {"CheckBox1", 1101},
    {"CheckBox2", 1102},
    {"RadioGroup1", 1103},
    {"RadioGroup2", 1104},
    {"Edit1", 1105},
    {"Edit2", 1106},
    {"BitBtn1", 1107},
    {"BitBtn2", 1108},
    {"ExtBtn1", 1109},
    {"ExtBtn2", 1110},
    {"HotKey1", 1111},
    {"HotKey2", 1112},
    {"ComboBox1", 1113},
    {"ComboBox2", 1114},
    {"sbtnBAApply", 1115},
    {"SpeedButton2", 1116},
    // The two choices of each RadioGroupN: "Execute" and "Key".
    {"RadioGroup1.Execute", 1117},
    {"RadioGroup1.Key", 1118},
    {"RadioGroup2.Execute", 1119},
    {"RadioGroup2.Key", 1120},
    // The buttons of the named keys menu, beside each side's hot-key control.
    {"KeyBtn1", 1121}, {"KeyBtn2", 1122},
    // Side 3, "On long press".
    {"CheckBox3", 1123}, {"RadioGroup3", 1124}, {"Edit3", 1125}, {"BitBtn3", 1126},
    {"ExtBtn3", 1127},   {"HotKey3", 1128},     {"ComboBox3", 1129},
    {"RadioGroup3.Execute", 1130}, {"RadioGroup3.Key", 1131},
    {"KeyBtn3", 1132},
    // ExtraCmdMenu
    {"ogglecontrolonoff1", 2101},
    {"Reboot1", 2102},
    {"Powerdown1", 2103},
    {"Customcommand1", 2104},
    {"Lock1", 2105},
};
// NamedKeyMenu: one item for each media key (actions/ShortcutText.h
// kMediaKeyNames) and then for each mouse key (actions/MouseKeys.h
// kMouseKeys), in that order, from this identifier on.
inline constexpr int kNamedKeyMenuFirstId = 2110;

// The About window (TAboutForm).
inline constexpr ControlName kAboutControls[] = {
    {"Image1", 1201}, {"Label1", 1202},       {"Label2", 1203},  {"Image2", 1204},
    {"Label3", 1205}, {"versionLabel", 1206}, {"Label5", 1207},  {"Image3", 1208},
    {"Label4", 1209}, {"Label6", 1210},       {"Button1", 1211},
};

// The one-line input box (InputBox): the OK and Cancel buttons carry the
// standard identifiers, so that Enter and Escape press them.
inline constexpr ControlName kInputBoxControls[] = {
    {"Prompt", 1301},
    {"Edit", 1302},
    {"OK", 1},
    {"Cancel", 2},
};

// The identifier of a named control in a table; 0 when there is none.
constexpr int ControlId(std::span<const ControlName> table, std::string_view name) {
  for (const ControlName& control : table)
    if (control.name == name) return control.id;
  return 0;
}

// The name of an identifier in a table; empty when there is none.
constexpr std::string_view ControlNameOf(std::span<const ControlName> table, int id) {
  for (const ControlName& control : table)
    if (control.id == id) return control.name;
  return {};
}

}  // namespace vexel
