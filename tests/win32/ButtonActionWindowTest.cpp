// The Button Action window as the key map's edit button runs it: the row's
// action text loaded into the fields, the window shown modally and driven
// from another thread like a user, the new text composed on "Apply".
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "WindowChecks.h"
#include "actions/ActionRunner.h"
#include "actions/win32/ActionPlatformWin32.h"
#include "actions/win32/KeyNamesWin32.h"
#include "app/windows/Unit2.h"

namespace vexel::test {
namespace {

const KeyNamesWin32 kLayout;
const char kTitle[] = "Button Action";

// The edit of one row: what the key map's edit button does with the text.
std::optional<std::string> EditAction(const std::string& text,
                                      const std::function<void(HWND window)>& user) {
  ActionPlatformWin32 platform;
  ActionRunner runner(platform);
  KeyActions actions(kLayout, runner);
  ActionEditorFields fields;
  actions.DispatchKeyAction(text, 0, &fields);
  const bool applied = WithUser(
      [&] {
        HWND window = WaitTopWindow(GetCurrentProcessId(), kTitle);
        ASSERT_NE(window, nullptr);
        user(window);
      },
      [&] { return ShowButtonActionWindow(nullptr, fields, kLayout); });
  if (!applied) return std::nullopt;
  return ComposeActionText(fields, kLayout);
}

// The three sides' frames hold their fields; each side's check box titles its frame.
const Overlaps kFramedSides{
    {"RadioGroup1", "RadioGroup2", "RadioGroup3"},
    {{"CheckBox1", "RadioGroup1"}, {"CheckBox2", "RadioGroup2"}, {"CheckBox3", "RadioGroup3"}}};

// Tab goes through each side from its check box (and the choice group, at
// the choice that is ticked) to its last field (the
// fields of a side that is off are disabled and skipped); Apply and Cancel
// are speed buttons, which take no focus.
constexpr std::string_view kTabOrder[] = {"CheckBox1", "RadioGroup1.Execute",
                                          "Edit1",     "BitBtn1",
                                          "ExtBtn1",   "HotKey1",
                                          "KeyBtn1",   "ComboBox1",
                                          "CheckBox2", "RadioGroup2.Execute",
                                          "Edit2",     "BitBtn2",
                                          "ExtBtn2",   "HotKey2",
                                          "KeyBtn2",   "ComboBox2",
                                          "CheckBox3"};

HWND Item(HWND window, std::string_view name) {
  return GetDlgItem(window, ControlId(kButtonActionControls, name));
}

void ClickAndWait(HWND window, std::string_view name, bool checked) {
  Click(Item(window, name));
  ASSERT_TRUE(WaitFor([&] { return IsChecked(Item(window, name)) == checked; }, 5000)) << name;
}

void Apply(HWND window) { Click(Item(window, "sbtnBAApply")); }
void Cancel(HWND window) { Click(Item(window, "SpeedButton2")); }

// Opens the side's extra-commands menu and chooses an item (0 "Toggle Vexel
// control on/off", 1 "Reboot", 2 "Shutdown", 3 "Lock", 4 "Custom command").
void ChooseExtraCommand(HWND window, int side, int item) {
  Click(Item(window, "ExtBtn" + std::to_string(side)));
  ASSERT_TRUE(ChooseFromPopupMenu(GetCurrentProcessId(), item));
}

// Opens the side's named keys menu and chooses an item (the media keys in
// code order: 0 "Browser Back" ... 9 "Volume Up" ... 13 "Play/Pause"; then
// the mouse keys: 18 "Left Click", 19 "Right Click" ... 26 "Wheel Down").
void ChooseNamedKey(HWND window, int side, int item) {
  Click(Item(window, "KeyBtn" + std::to_string(side)));
  ASSERT_TRUE(ChooseFromPopupMenu(GetCurrentProcessId(), item));
}

// Waits until a text field holds the text.
void ExpectField(HWND window, std::string_view name, const std::string& text) {
  EXPECT_TRUE(WaitFor([&] { return Text(Item(window, name)) == text; }, 5000))
      << name << " holds " << Text(Item(window, name));
}

// The custom command box: checks what it proposes, then answers.
void AnswerCustomCommand(const std::string& proposal, const std::optional<std::string>& answer) {
  HWND box = WaitTopWindow(GetCurrentProcessId(), "Enter custom command");
  ASSERT_NE(box, nullptr);
  HWND edit = GetDlgItem(box, ControlId(kInputBoxControls, "Edit"));
  EXPECT_EQ(Text(GetDlgItem(box, ControlId(kInputBoxControls, "Prompt"))), "Custom command");
  EXPECT_EQ(Text(edit), proposal);
  DWORD start = 1, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, proposal.size());  // all of it selected
  EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 255);
  if (answer) SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer->c_str()));
  PostKey(edit, answer ? VK_RETURN : VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 5000));
}

TEST(ButtonActionWindow, EditsComposeTheNewActionText) {
  struct Case {
    const char* name;
    const char* before;
    std::function<void(HWND)> user;
    std::optional<std::string> after;  // nothing: the row stays as it was
  } cases[] = {
      {"empty row, Apply: both sides off, the empty text", "",
       [](HWND w) {
         EXPECT_FALSE(IsChecked(Item(w, "CheckBox1")));
         EXPECT_FALSE(IsChecked(Item(w, "CheckBox2")));
         Apply(w);
       },
       ""},
      {"Reboot on side 1, in place of Lock", "",
       [](HWND w) {
         ClickAndWait(w, "CheckBox1", true);
         ChooseExtraCommand(w, 1, 3);
         ExpectField(w, "Edit1", "$lock");
         ChooseExtraCommand(w, 1, 1);
         ExpectField(w, "Edit1", "$reboot");
         Apply(w);
       },
       "DOWN (*1 $reboot*)"},
      {"Toggle and Shutdown go to the side whose menu was opened", "DOWN (*1 a.exe*)",
       [](HWND w) {
         ClickAndWait(w, "CheckBox2", true);
         ChooseExtraCommand(w, 2, 0);
         ExpectField(w, "Edit2", "$on/off Vexel");
         ChooseExtraCommand(w, 1, 2);
         ExpectField(w, "Edit1", "$shutdown");
         Apply(w);
       },
       "DOWN (*1 $shutdown*) UP (*1 $on/off Vexel*)"},
      {"ticked on Key with no combination still yields a Key part", "",
       [](HWND w) {
         ClickAndWait(w, "CheckBox2", true);
         ClickAndWait(w, "RadioGroup2.Key", true);
         Apply(w);
       },
       "UP (*2 2 *)"},
      {"an unticked side contributes nothing and keeps its text",
       "DOWN (*1 C:\\a.exe*) UP (*1 #x*)",
       [](HWND w) {
         ClickAndWait(w, "CheckBox1", false);
         EXPECT_FALSE(IsWindowEnabled(Item(w, "Edit1")));
         EXPECT_EQ(Text(Item(w, "Edit1")), "C:\\a.exe");
         Apply(w);
       },
       "UP (*1 #x*)"},
      {"a captured key keeps the loaded mode; Backspace keeps the combination",
       "DOWN (*2 1 Ctrl+F10*)",
       [](HWND w) {
         HWND hotKey = Item(w, "HotKey1");
         EXPECT_EQ(Text(hotKey), "Ctrl+F10");
         PostKey(hotKey, VK_F5);
         ExpectField(w, "HotKey1", "F5");
         PostKey(hotKey, VK_BACK);
         ExpectField(w, "HotKey1", "None");
         Apply(w);
       },
       "DOWN (*2 1 F5*)"},
      {"a mode the list does not hold is kept", "DOWN (*2 7 Space*)", [](HWND w) { Apply(w); },
       "DOWN (*2 7 Space*)"},
      {"a mode the list does not hold shows none until one is chosen", "DOWN (*2 7 Space*)",
       [](HWND w) {
         EXPECT_EQ(Text(Item(w, "ComboBox1")), "");
         // Picked as the list's selection (a mouse pick under Wine leaves the
         // pointer's hover state to the menus of later cases).
         SendMessageA(Item(w, "ComboBox1"), CB_SETCURSEL, kmPress, 0);
         ExpectField(w, "ComboBox1", "Press");
         Apply(w);
       },
       "DOWN (*2 0 Space*)"},
      {"custom command proposes the command line of a # field", "DOWN (*1 #cmd /c echo*)",
       [](HWND w) {
         ChooseExtraCommand(w, 1, 4);
         AnswerCustomCommand("cmd /c echo", "notepad x.txt");
         ExpectField(w, "Edit1", "#notepad x.txt");
         Apply(w);
       },
       "DOWN (*1 #notepad x.txt*)"},
      {"custom command proposes nothing for a special command; OK on nothing gives #",
       "UP (*1 $shutdown*)",
       [](HWND w) {
         ChooseExtraCommand(w, 2, 4);
         AnswerCustomCommand("", "");
         ExpectField(w, "Edit2", "#");
         Apply(w);
       },
       "UP (*1 #*)"},
      {"custom command proposes nothing for a path; Cancel changes nothing", "DOWN (*1 C:\\a.exe*)",
       [](HWND w) {
         ChooseExtraCommand(w, 1, 4);
         AnswerCustomCommand("", std::nullopt);
         Apply(w);
       },
       "DOWN (*1 C:\\a.exe*)"},
      {"Enter and Escape do not close the window", "DOWN (*1 x*)",
       [](HWND w) {
         for (UINT key : {VK_RETURN, VK_ESCAPE}) PostKey(Item(w, "CheckBox1"), key);
         ClickAndWait(w, "CheckBox2", true);  // handled after the keys
         EXPECT_TRUE(IsWindowVisible(w));
         Apply(w);
       },
       "DOWN (*1 x*) UP (*1 *)"},
      {"Repeat while held on the button-down side is stored as mode 3", "",
       [](HWND w) {
         ClickAndWait(w, "CheckBox1", true);
         ClickAndWait(w, "RadioGroup1.Key", true);
         ChooseNamedKey(w, 1, 9);  // Volume Up
         ExpectField(w, "HotKey1", "Volume Up");
         EXPECT_EQ(Text(Item(w, "ComboBox1")), "Click");  // a new Key part clicks
         PostKey(Item(w, "ComboBox1"), VK_DOWN);
         ExpectField(w, "ComboBox1", "Repeat while held");
         Apply(w);
       },
       "DOWN (*2 3 Volume Up*)"},
      {"the button-up side offers no repeat", "UP (*2 0 Space*)",
       [](HWND w) {
         EXPECT_EQ(SendMessageA(Item(w, "ComboBox1"), CB_GETCOUNT, 0, 0), 4);
         EXPECT_EQ(SendMessageA(Item(w, "ComboBox2"), CB_GETCOUNT, 0, 0), 3);
         for (int i = 0; i < 3; ++i) PostKey(Item(w, "ComboBox2"), VK_DOWN);
         ExpectField(w, "ComboBox2", "Click");
         ChooseNamedKey(w, 2, 13);  // Play/Pause
         ExpectField(w, "HotKey2", "Play/Pause");
         Apply(w);
       },
       "UP (*2 2 Play/Pause*)"},
      {"a repeat loaded on the button-up side shows no mode and is kept",
       "DOWN (*2 3 Up*) UP (*2 3 Up*)",
       [](HWND w) {
         EXPECT_EQ(Text(Item(w, "ComboBox1")), "Repeat while held");
         EXPECT_EQ(Text(Item(w, "ComboBox2")), "");
         Apply(w);
       },
       "DOWN (*2 3 Up*) UP (*2 3 Up*)"},
      {"a long press after a Click, with the empty UP element before it", "DOWN (*2 2 Space*)",
       [](HWND w) {
         ClickAndWait(w, "CheckBox3", true);
         ChooseExtraCommand(w, 3, 1);
         ExpectField(w, "Edit3", "$reboot");
         Apply(w);
       },
       "DOWN (*2 2 Space*) UP (**) HOLD (*1 $reboot*)"},
      {"no long press after a Press: offered again once side 1 is off",
       "DOWN (*2 0 A*) UP (*2 1 A*) HOLD (*1 x*)",
       [](HWND w) {
         EXPECT_FALSE(IsWindowEnabled(Item(w, "CheckBox3")));
         EXPECT_FALSE(IsWindowEnabled(Item(w, "Edit3")));
         ClickAndWait(w, "CheckBox1", false);
         EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(w, "Edit3")) != FALSE; }, 5000));
         Apply(w);
       },
       "DOWN (**) UP (*2 1 A*) HOLD (*1 x*)"},
      {"the mouse keys in the named keys menu", "",
       [](HWND w) {
         ClickAndWait(w, "CheckBox2", true);
         ClickAndWait(w, "RadioGroup2.Key", true);
         ChooseNamedKey(w, 2, 19);
         ExpectField(w, "HotKey2", "Right Click");
         Apply(w);
       },
       "UP (*2 2 Right Click*)"},
      {"Cancel leaves the row", "DOWN (*1 x*)",
       [](HWND w) {
         ChooseExtraCommand(w, 1, 1);
         ExpectField(w, "Edit1", "$reboot");
         Cancel(w);
       },
       std::nullopt},
      {"closing another way is Cancel", "", [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); },
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EditAction(c.before, c.user), c.after);
  }
}

// Every control by its name, where it is and how it starts.
TEST(ButtonActionWindow, ControlsAsCreated) {
  TBAForm form(kLayout);
  form.Create(nullptr);
  form.Load({});
  HWND w = form.Handle();
  EXPECT_EQ(Text(w), "Button Action");
  ExpectClientSize(w, 321, 283);
  RECT frame;
  GetWindowRect(w, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(GetWindowLongPtrA(w, GWL_STYLE) & (WS_SYSMENU | WS_THICKFRAME), 0);
  EXPECT_NE(GetWindowLongPtrA(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  // Check boxes and choices show their whole texts (fonts differ between
  // systems); nothing leaves the window or covers another control, save the
  // frames around their sides and the check boxes that title them. With
  // both sides off, Tab goes from one side's check box to the other's.
  const ExpectedControl expected[] = {
      {"CheckBox1", true, true, "On button down", true},
      {"RadioGroup1", false, true, "Action"},
      {"RadioGroup1.Execute", false, true, "Execute", true},
      {"RadioGroup1.Key", false, true, "Key", true},
      {"Edit1", false, true, ""},
      {"BitBtn1", false, true, nullptr},
      {"ExtBtn1", false, true, nullptr},
      {"HotKey1", false, true, ""},
      {"KeyBtn1", false, true, nullptr},
      {"ComboBox1", false, true, "Click"},
      {"CheckBox2", true, true, "On button up", true},
      {"RadioGroup2", false, true, "Action"},
      {"RadioGroup2.Execute", false, true, "Execute", true},
      {"RadioGroup2.Key", false, true, "Key", true},
      {"Edit2", false, true, ""},
      {"BitBtn2", false, true, nullptr},
      {"ExtBtn2", false, true, nullptr},
      {"HotKey2", false, true, ""},
      {"KeyBtn2", false, true, nullptr},
      {"ComboBox2", false, true, "Click"},
      {"CheckBox3", true, true, "On long press", true},
      {"RadioGroup3", false, true, "Action"},
      {"RadioGroup3.Execute", false, true, "Execute", true},
      {"RadioGroup3.Key", false, true, "Key", true},
      {"Edit3", false, true, ""},
      {"BitBtn3", false, true, nullptr},
      {"ExtBtn3", false, true, nullptr},
      {"HotKey3", false, true, ""},
      {"KeyBtn3", false, true, nullptr},
      {"ComboBox3", false, true, "Click"},
      {"sbtnBAApply", true, true, "Apply", true},
      {"SpeedButton2", true, true, "Cancel", true},
  };
  ExpectControls(w, kButtonActionControls, expected);
  ExpectTidyLayout(w, kButtonActionControls, kFramedSides);
  ExpectTabOrder(w, kButtonActionControls, kTabOrder);
  for (const char* group : {"RadioGroup1", "RadioGroup2", "RadioGroup3"}) {
    EXPECT_TRUE(IsChecked(Item(w, std::string(group) + ".Execute")));
    EXPECT_FALSE(IsChecked(Item(w, std::string(group) + ".Key")));
  }
  // The check boxes lie over their frames' captions.
  EXPECT_EQ(GetWindow(Item(w, "RadioGroup3"), GW_HWNDNEXT), nullptr);
}

// With the mode lists shown, each row's controls still lie side by side
// inside their frame, and the mode list is wide enough for its longest mode.
TEST(ButtonActionWindow, KeyRowsFitTheirFrames) {
  TBAForm form(kLayout);
  form.Create(nullptr);
  form.Load({});
  HWND w = form.Handle();
  for (const char* side : {"1", "2", "3"}) {
    SCOPED_TRACE(side);
    const auto place = [&](const char* prefix) {
      return PlaceInParent(Item(w, prefix + std::string(side)));
    };
    const RECT frame = place("RadioGroup"), hotKey = place("HotKey"), button = place("KeyBtn");
    HWND modeList = Item(w, std::string("ComboBox") + side);
    RECT list;  // the closed list, not its drop-down
    GetWindowRect(modeList, &list);
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_LE(hotKey.right, button.left);
    EXPECT_LE(button.right, list.left);
    EXPECT_LE(list.right, frame.right);
    EXPECT_LE(list.bottom, frame.bottom);
    EXPECT_GE(list.top, PlaceInParent(Item(w, std::string("Edit") + side)).bottom);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(modeList, &info));
    HDC dc = GetDC(modeList);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(modeList, WM_GETFONT, 0, 0)));
    SIZE text;
    GetTextExtentPoint32A(dc, "Repeat while held", 17, &text);
    SelectObject(dc, old);
    ReleaseDC(modeList, dc);
    EXPECT_GE(info.rcItem.right - info.rcItem.left, text.cx);
  }
  const RECT client = ClientRectOf(w);
  for (const ControlName& control : kButtonActionControls) {
    HWND hwnd = Item(w, control.name);
    if (!hwnd) continue;  // menu items
    const RECT r = PlaceInParent(hwnd);
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
        << control.name;
  }
}

TEST(ButtonActionWindow, LoadedSidesComeUpEnabled) {
  ActionEditorFields fields;
  fields.side[0] = {true, akKey, "", kmPress, 0x4079};
  fields.side[1] = {true, akExecute, "#cmd", kmClick, 0};
  TBAForm form(kLayout);
  form.Create(nullptr);
  form.Load(fields);
  HWND w = form.Handle();
  for (const char* prefix : {"Edit", "BitBtn", "ExtBtn", "ComboBox", "HotKey", "RadioGroup",
                             "RadioGroup%.Execute", "RadioGroup%.Key"}) {
    for (const char* side : {"1", "2"}) {
      std::string name = prefix;
      if (name.find('%') == std::string::npos) name += "%";
      name.replace(name.find('%'), 1, side);
      EXPECT_TRUE(IsWindowEnabled(Item(w, name))) << name;
    }
  }
  EXPECT_TRUE(IsChecked(Item(w, "RadioGroup1.Key")));
  EXPECT_EQ(Text(Item(w, "ComboBox1")), "Press");
  EXPECT_TRUE(IsChecked(Item(w, "RadioGroup2.Execute")));
  // With the mode list shown, the fields still keep clear of each other;
  // Tab goes through each side from its check box to its last field.
  ExpectTidyLayout(w, kButtonActionControls, kFramedSides);
  // Tab enters a choice group at its ticked choice: side 1's "Key".
  std::vector<std::string_view> order(std::begin(kTabOrder), std::end(kTabOrder));
  std::replace(order.begin(), order.end(), std::string_view("RadioGroup1.Execute"),
               std::string_view("RadioGroup1.Key"));
  // A Press on side 1 cannot wait for the release: no long press is offered.
  order.erase(std::remove(order.begin(), order.end(), std::string_view("CheckBox3")), order.end());
  EXPECT_FALSE(IsWindowEnabled(Item(w, "CheckBox3")));
  ExpectTabOrder(w, kButtonActionControls, order);
}

}  // namespace
}  // namespace vexel::test
