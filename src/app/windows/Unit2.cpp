#include "app/windows/Unit2.h"

#include <commdlg.h>

#include <string>

#include "actions/ExtraCommands.h"
#include "actions/MouseKeys.h"
#include "app/ControlIds.h"
#include "app/win32/Controls.h"
#include "app/win32/InputBox.h"
#include "app/win32/MessagePump.h"

namespace vexel {

namespace {

const char kClassName[] = "VexelBAForm";
constexpr int kClientWidth96 = 321;
constexpr int kClientHeight96 = 283;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kCheckBox = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kFirstChoice = kChild | WS_DISABLED | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kNextChoice = kChild | WS_DISABLED | BS_AUTORADIOBUTTON;
constexpr DWORD kTextField =
    kChild | WS_DISABLED | WS_GROUP | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL;
constexpr DWORD kPictureButton = kChild | WS_DISABLED | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kModeList = kChild | WS_DISABLED | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kFrame = kChild | WS_DISABLED | BS_GROUPBOX;

// Creation order is the order of keyboard focus; the frames come last, so
// that they lie under the check boxes that title them. The hot-key
// controls are made by FormCreate and put after their side's ExtBtn. Text
// field and hot-key control of a side start after the wider choice, so
// that they stay in one column whatever the font makes of "Execute". The
// "Key" row holds the hot-key control, the named keys button and the mode
// list.
const ControlLayout kControls[] = {
    {"CheckBox1", "BUTTON", "On button down", kCheckBox, 16, 4, 100, 17, Fit::kCheck},
    {"RadioGroup1.Execute", "BUTTON", "Execute", kFirstChoice, 16, 29, 58, 17, Fit::kCheck},
    {"RadioGroup1.Key", "BUTTON", "Key", kNextChoice, 16, 55, 58, 17, Fit::kCheck},
    {"Edit1", "EDIT", "", kTextField, 77, 27, 189, 21, Fit::kAsGiven, WS_EX_CLIENTEDGE,
     "RadioGroup1.Execute"},
    {"BitBtn1", "BUTTON", "", kPictureButton, 267, 28, 21, 21},
    {"ExtBtn1", "BUTTON", "", kPictureButton, 288, 28, 21, 21},
    {"HotKey1", nullptr, "", 0, 77, 54, 82, 19, Fit::kAsGiven, 0, "RadioGroup1.Execute"},
    {"KeyBtn1", "BUTTON", "", kPictureButton, 160, 53, 21, 21},
    {"ComboBox1", "COMBOBOX", "", kModeList, 183, 53, 126, 100},
    {"CheckBox2", "BUTTON", "On button up", kCheckBox, 16, 90, 89, 17, Fit::kCheck},
    {"RadioGroup2.Execute", "BUTTON", "Execute", kFirstChoice, 16, 112, 58, 17, Fit::kCheck},
    {"RadioGroup2.Key", "BUTTON", "Key", kNextChoice, 16, 138, 58, 17, Fit::kCheck},
    {"Edit2", "EDIT", "", kTextField, 77, 110, 189, 21, Fit::kAsGiven, WS_EX_CLIENTEDGE,
     "RadioGroup2.Execute"},
    {"BitBtn2", "BUTTON", "", kPictureButton, 267, 111, 21, 21},
    {"ExtBtn2", "BUTTON", "", kPictureButton, 288, 111, 21, 21},
    {"HotKey2", nullptr, "", 0, 77, 137, 82, 19, Fit::kAsGiven, 0, "RadioGroup2.Execute"},
    {"KeyBtn2", "BUTTON", "", kPictureButton, 160, 136, 21, 21},
    {"ComboBox2", "COMBOBOX", "", kModeList, 183, 136, 126, 100},
    {"CheckBox3", "BUTTON", "On long press", kCheckBox, 16, 175, 89, 17, Fit::kCheck},
    {"RadioGroup3.Execute", "BUTTON", "Execute", kFirstChoice, 16, 197, 58, 17, Fit::kCheck},
    {"RadioGroup3.Key", "BUTTON", "Key", kNextChoice, 16, 223, 58, 17, Fit::kCheck},
    {"Edit3", "EDIT", "", kTextField, 77, 195, 189, 21, Fit::kAsGiven, WS_EX_CLIENTEDGE,
     "RadioGroup3.Execute"},
    {"BitBtn3", "BUTTON", "", kPictureButton, 267, 196, 21, 21},
    {"ExtBtn3", "BUTTON", "", kPictureButton, 288, 196, 21, 21},
    {"HotKey3", nullptr, "", 0, 77, 222, 82, 19, Fit::kAsGiven, 0, "RadioGroup3.Execute"},
    {"KeyBtn3", "BUTTON", "", kPictureButton, 160, 221, 21, 21},
    {"ComboBox3", "COMBOBOX", "", kModeList, 183, 221, 126, 100},
    {"sbtnBAApply", "BUTTON", "Apply", kChild, 46, 257, 113, 22},
    {"SpeedButton2", "BUTTON", "Cancel", kChild, 165, 257, 113, 22},
    {"RadioGroup1", "BUTTON", "Action", kFrame, 8, 8, 309, 73},
    {"RadioGroup2", "BUTTON", "Action", kFrame, 8, 93, 309, 73},
    {"RadioGroup3", "BUTTON", "Action", kFrame, 8, 178, 309, 73},
};

constexpr int kSides = 3;

// The modes of a Key part by item index; "Repeat while held" on the sides
// that run on the way down only (button down, long press).
const char* const kModes[] = {"Press", "Release", "Click", "Repeat while held"};
int ModeCount(int side) { return side == 2 ? 3 : 4; }

struct MenuItem {
  const char* name;
  const char* caption;
  int tag;
};
const MenuItem kExtraCmdMenu[] = {
    {"ogglecontrolonoff1", "Toggle Vexel control on/off", 3},
    {"Reboot1", "Reboot", 1},
    {"Powerdown1", "Shutdown", 2},
    {"Lock1", "Lock", 4},
    {"Customcommand1", "Custom command", 0},
};

// A control's tag: the side number of CheckBoxN, BitBtnN and ExtBtnN.
int Tag(HWND control) { return static_cast<int>(GetWindowLongPtrA(control, GWLP_USERDATA)); }
void SetTag(HWND control, int tag) { SetWindowLongPtrA(control, GWLP_USERDATA, tag); }

// A file chosen in the "Select program" dialog, or empty when cancelled.
std::string AskProgram(HWND owner) {
  return AskFileName(owner, {"Select program", "Application\0*.exe;*.com;*.bat\0Any file\0*.*\0",
                             nullptr, OFN_NOCHANGEDIR});
}

// The small buttons' pictures, drawn on a 16 by 16 grid centred in the button.
class Picture {
 public:
  Picture(HDC dc, const RECT& button, bool enabled, bool pushed) : dc_(dc), enabled_(enabled) {
    // 14 pixels of a 21-pixel button: room for the focus rectangle around.
    size_ = std::min(button.right - button.left, button.bottom - button.top) * 14 / 21;
    left_ = (button.left + button.right - size_) / 2 + (pushed ? 1 : 0);
    top_ = (button.top + button.bottom - size_) / 2 + (pushed ? 1 : 0);
  }
  POINT At(int x, int y) const { return {left_ + x * size_ / 16, top_ + y * size_ / 16}; }
  // A filled outline; disabled pictures are grey lines on the button face.
  void Polygon(std::initializer_list<POINT> grid, COLORREF fill, COLORREF line) const {
    POINT points[8];
    int n = 0;
    for (POINT p : grid) points[n++] = At(p.x, p.y);
    HBRUSH brush = CreateSolidBrush(enabled_ ? fill : GetSysColor(COLOR_BTNFACE));
    HPEN pen = CreatePen(PS_SOLID, 1, enabled_ ? line : GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ oldBrush = SelectObject(dc_, brush), oldPen = SelectObject(dc_, pen);
    ::Polygon(dc_, points, n);
    SelectObject(dc_, oldBrush);
    SelectObject(dc_, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
  }
  void Text(const char* text, int top, int bottom) const {
    RECT r{At(0, top).x, At(0, top).y, At(16, bottom).x, At(16, bottom).y};
    HFONT font = CreateFontA(-(r.bottom - r.top), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Tahoma");
    HGDIOBJ old = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, GetSysColor(enabled_ ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextA(dc_, text, -1, &r, DT_SINGLELINE | DT_CENTER | DT_BOTTOM | DT_NOPREFIX | DT_NOCLIP);
    SelectObject(dc_, old);
    DeleteObject(font);
  }
  COLORREF Ink() const { return GetSysColor(COLOR_BTNTEXT); }

 private:
  HDC dc_;
  bool enabled_;
  int size_, left_, top_;
};

void DrawOpenFolder(const Picture& p) {
  const COLORREF line = RGB(128, 96, 16);
  p.Polygon({{1, 3}, {5, 3}, {6, 4}, {13, 4}, {13, 13}, {1, 13}}, RGB(216, 168, 48), line);
  p.Polygon({{4, 7}, {16, 7}, {13, 13}, {1, 13}}, RGB(255, 224, 112), line);
}

void DrawExtArrow(const Picture& p) {
  p.Text("Ext", 0, 10);
  p.Polygon({{4, 11}, {12, 11}, {8, 15}}, p.Ink(), p.Ink());
}

// A loudspeaker over a downward arrow: the named (media) keys.
void DrawSpeakerArrow(const Picture& p) {
  p.Polygon({{2, 3}, {5, 3}, {9, 0}, {9, 9}, {5, 6}, {2, 6}}, p.Ink(), p.Ink());
  p.Polygon({{11, 2}, {13, 4}, {13, 5}, {11, 7}}, p.Ink(), p.Ink());
  p.Polygon({{4, 11}, {12, 11}, {8, 15}}, p.Ink(), p.Ink());
}

}  // namespace

TBAForm::TBAForm(const KeyNames& layout) : layout_(layout) {}

TBAForm::~TBAForm() {
  // The window goes first: its hot-key controls still reach their objects.
  if (Handle()) DestroyWindow(Handle());
  if (extraCmdMenu_) DestroyMenu(extraCmdMenu_);
  if (namedKeyMenu_) DestroyMenu(namedKeyMenu_);
  if (font_) DeleteObject(font_);
}

HWND TBAForm::Control(std::string_view name) const {
  return GetDlgItem(Handle(), ControlId(kButtonActionControls, name));
}

HWND TBAForm::SideControl(std::string_view prefix, int side) const {
  return Control(std::string(prefix) + std::to_string(side));
}

void TBAForm::EnableControl(std::string_view name, bool enabled) {
  // A radio group with its choices, named "RadioGroupN.<choice>".
  for (const ControlName& control : kButtonActionControls)
    if (control.name == name ||
        (control.name.starts_with(name) && control.name[name.size()] == '.'))
      EnableWindow(GetDlgItem(Handle(), control.id), enabled);
}

void TBAForm::Create(HWND owner) {
  CreateWindowObject(kClassName, WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT, WS_POPUP | WS_CAPTION,
                     "Button Action", 0, 0, 100, 100, owner);
  SetClientSize(Handle(), kClientWidth96, kClientHeight96);
  CreateControls(Handle(), kButtonActionControls, kControls);
  for (int side = 1; side <= kSides; ++side) {
    for (const char* prefix : {"CheckBox", "BitBtn", "ExtBtn", "KeyBtn"})
      SetTag(SideControl(prefix, side), side);
    for (int mode = 0; mode < ModeCount(side); ++mode)
      SendMessageA(SideControl("ComboBox", side), CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(kModes[mode]));
    SendMessageA(SideControl("ComboBox", side), CB_SETCURSEL, kmClick, 0);
    SetChecked(Control("RadioGroup" + std::to_string(side) + ".Execute"), true);
  }
  MakeNoFocusButton(Control("sbtnBAApply"));
  MakeNoFocusButton(Control("SpeedButton2"));

  extraCmdMenu_ = CreatePopupMenu();
  for (const MenuItem& item : kExtraCmdMenu) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_DATA;
    info.wID = static_cast<UINT>(ControlId(kButtonActionControls, item.name));
    info.dwTypeData = const_cast<char*>(item.caption);
    info.dwItemData = static_cast<ULONG_PTR>(item.tag);
    InsertMenuItemA(extraCmdMenu_, GetMenuItemCount(extraCmdMenu_), TRUE, &info);
  }
  namedKeyMenu_ = CreatePopupMenu();
  for (size_t i = 0; i < std::size(kMediaKeyNames); ++i)
    AppendMenuA(namedKeyMenu_, MF_STRING, kNamedKeyMenuFirstId + i, kMediaKeyNames[i].name);
  AppendMenuA(namedKeyMenu_, MF_SEPARATOR, 0, nullptr);
  for (size_t i = 0; i < std::size(kMouseKeys); ++i)
    AppendMenuA(namedKeyMenu_, MF_STRING, kNamedKeyMenuFirstId + std::size(kMediaKeyNames) + i,
                kMouseKeys[i].name);

  FormCreate();
  font_ = CreateTahoma8(Handle());
  SetFontOfChildren(Handle(), font_);
  Layout();
}

void TBAForm::FormCreate() {
  for (int side = 1; side <= kSides; ++side) {
    auto& hotKey = hotKeys_[side - 1];
    hotKey = std::make_unique<TvHotKey>(layout_);
    const std::string name = "HotKey" + std::to_string(side);
    hotKey->Create(Handle(), ControlId(kButtonActionControls, name), WS_DISABLED);
    hotKey->SetShortcut(0);
    // In the order of keyboard focus after the side's ExtBtn.
    SetWindowPos(hotKey->Handle(), SideControl("ExtBtn", side), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TBAForm::Layout() {
  LayoutControls(Handle(), kButtonActionControls, kControls, kClientWidth96, kClientHeight96);
}

void TBAForm::Load(const ActionEditorFields& fields) {
  for (int side = 1; side <= kSides; ++side) {
    const ActionSide& loaded = fields.side[side - 1];
    SetWindowTextA(SideControl("Edit", side), loaded.payload.c_str());
    const std::string group = "RadioGroup" + std::to_string(side);
    SetChecked(Control(group + ".Execute"), loaded.kind == akExecute);
    SetChecked(Control(group + ".Key"), loaded.kind == akKey);
    // A digit the side's list does not hold shows no item and is kept.
    const bool listed = loaded.mode >= 0 && loaded.mode < ModeCount(side);
    SendMessageA(SideControl("ComboBox", side), CB_SETCURSEL,
                 static_cast<WPARAM>(listed ? loaded.mode : -1), 0);
    hotKeys_[side - 1]->SetShortcut(loaded.shortcut);
    HWND checkBox = SideControl("CheckBox", side);
    SetChecked(checkBox, loaded.ticked);
    SetEnables(checkBox);
  }
  OfferLongPress();
}

void TBAForm::Read(ActionEditorFields& fields) const {
  for (int side = 1; side <= kSides; ++side) {
    ActionSide& read = fields.side[side - 1];
    const std::string group = "RadioGroup" + std::to_string(side);
    read.ticked = Checked(SideControl("CheckBox", side));
    read.kind = Checked(Control(group + ".Execute")) ? akExecute
                : Checked(Control(group + ".Key"))   ? akKey
                                                     : -1;
    read.payload = WindowText(SideControl("Edit", side));
    const LRESULT mode = SendMessageA(SideControl("ComboBox", side), CB_GETCURSEL, 0, 0);
    if (mode != CB_ERR) read.mode = static_cast<int>(mode);
    read.shortcut = hotKeys_[side - 1]->Shortcut();
  }
}

LRESULT TBAForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Enter and Escape arrive as IDOK and IDCANCEL, which name nothing here.
      Command(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      // Side 1 may have changed what it holds.
      if (Handle() && modalResult_ == ModalResult::kNone) OfferLongPress();
      return 0;
    case WM_DRAWITEM:
      DrawButtonPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CLOSE:  // closed another way than with its buttons: as "Cancel"
      SpeedButton2Click();
      return 0;
    case WM_ACTIVATE:
      KeepFocusOnActivate(wParam, focus_, Control("CheckBox1"));
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(Handle(), font_, *reinterpret_cast<const RECT*>(lParam));
      Layout();
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

// The controls and menu items that do something, with their handlers; the
// paired controls of both sides share one.
const TBAForm::CommandHandler TBAForm::kCommandHandlers[] = {
    {"CheckBox1", &TBAForm::SetEnables},
    {"CheckBox2", &TBAForm::SetEnables},
    {"CheckBox3", &TBAForm::SetEnables},
    {"BitBtn1", &TBAForm::OpenFile},
    {"BitBtn2", &TBAForm::OpenFile},
    {"BitBtn3", &TBAForm::OpenFile},
    {"ExtBtn1", &TBAForm::showExtraCmds},
    {"ExtBtn2", &TBAForm::showExtraCmds},
    {"ExtBtn3", &TBAForm::showExtraCmds},
    {"KeyBtn1", &TBAForm::showNamedKeys},
    {"KeyBtn2", &TBAForm::showNamedKeys},
    {"KeyBtn3", &TBAForm::showNamedKeys},
    {"ogglecontrolonoff1", &TBAForm::AddSpecialCommandClick},
    {"Reboot1", &TBAForm::AddSpecialCommandClick},
    {"Powerdown1", &TBAForm::AddSpecialCommandClick},
    {"Lock1", &TBAForm::AddSpecialCommandClick},
    {"Customcommand1", &TBAForm::Customcommand1Click},
    {"sbtnBAApply", &TBAForm::sbtnBAApplyClick},
    {"SpeedButton2", &TBAForm::SpeedButton2Click},
};

void TBAForm::Command(int id, HWND sender) {
  const std::string_view name = ControlNameOf(kButtonActionControls, id);
  for (const CommandHandler& handler : kCommandHandlers)
    if (handler.name == name) (this->*handler.click)(sender, id);
  // NamedKeyMenu's items have no names: they follow the key tables.
  if (id >= kNamedKeyMenuFirstId &&
      id < kNamedKeyMenuFirstId +
               static_cast<int>(std::size(kMediaKeyNames) + std::size(kMouseKeys)))
    NamedKeyClick(sender, id);
}

void TBAForm::DrawButtonPicture(const DRAWITEMSTRUCT& item) const {
  const bool pushed = item.itemState & ODS_SELECTED;
  const bool enabled = !(item.itemState & ODS_DISABLED);
  RECT face = item.rcItem;
  DrawFrameControl(item.hDC, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const Picture picture(item.hDC, item.rcItem, enabled, pushed);
  const std::string_view name = ControlNameOf(kButtonActionControls, static_cast<int>(item.CtlID));
  if (name.starts_with("BitBtn"))
    DrawOpenFolder(picture);
  else if (name.starts_with("KeyBtn"))
    DrawSpeakerArrow(picture);
  else
    DrawExtArrow(picture);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -Scaled(Handle(), 2), -Scaled(Handle(), 2));
    DrawFocusRect(item.hDC, &focus);
  }
}

// ---------------------------------------------------------------------------
// Handlers

void TBAForm::SetEnables(HWND checkBox, int) {
  const int side = Tag(checkBox);
  const bool ticked = Checked(checkBox);
  for (const char* prefix :
       {"Edit", "BitBtn", "ExtBtn", "ComboBox", "HotKey", "KeyBtn", "RadioGroup"})
    EnableControl(std::string(prefix) + std::to_string(side), ticked);
}

void TBAForm::OpenFile(HWND button, int) {
  const std::string file = AskProgram(Handle());
  if (!file.empty()) SetWindowTextA(SideControl("Edit", Tag(button)), file.c_str());
}

void TBAForm::showExtraCmds(HWND button, int) {
  extraCmdMenuTag_ = Tag(button);
  TrackMenuBelow(extraCmdMenu_, button);
}

void TBAForm::showNamedKeys(HWND button, int) {
  extraCmdMenuTag_ = Tag(button);
  TrackMenuBelow(namedKeyMenu_, button);
}

void TBAForm::NamedKeyClick(HWND, int itemId) {
  if (extraCmdMenuTag_ < 1 || extraCmdMenuTag_ > kSides) return;
  const auto item = static_cast<size_t>(itemId - kNamedKeyMenuFirstId);
  hotKeys_[extraCmdMenuTag_ - 1]->SetShortcut(
      item < std::size(kMediaKeyNames) ? kMediaKeyNames[item].code
                                       : kMouseKeys[item - std::size(kMediaKeyNames)].code);
}

void TBAForm::OfferLongPress() {
  if (!hotKeys_[kSides - 1]) return;  // the window is being made
  ActionEditorFields fields;
  Read(fields);
  HWND checkBox = SideControl("CheckBox", 3);
  const bool offered = HoldAllowed(fields);
  EnableWindow(checkBox, offered);
  for (const char* prefix :
       {"Edit", "BitBtn", "ExtBtn", "ComboBox", "HotKey", "KeyBtn", "RadioGroup"})
    EnableControl(std::string(prefix) + "3", offered && fields.side[2].ticked);
}

void TBAForm::TrackMenuBelow(HMENU menu, HWND button) {
  // Right-aligned below the button: the window's corner, plus the offsets of
  // the first frame, plus the button's place and size in the client area;
  // the frame's offsets and 12 pixels stand for the window's frame and title.
  RECT window, group, pressed;
  GetWindowRect(Handle(), &window);
  GetWindowRect(Control("RadioGroup1"), &group);
  GetWindowRect(button, &pressed);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&group), 2);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&pressed), 2);
  const int x = window.left + group.left + pressed.right;
  const int y = window.top + group.top + pressed.bottom + Scaled(Handle(), 12);
  TrackPopupMenu(
      menu,
      TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_HORNEGANIMATION | TPM_VERPOSANIMATION, x,
      y, 0, Handle(), nullptr);
}

void TBAForm::AddSpecialCommandClick(HWND, int itemId) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  if (GetMenuItemInfoA(extraCmdMenu_, static_cast<UINT>(itemId), FALSE, &info))
    AddExtraCmd(static_cast<std::uint8_t>(info.dwItemData));
}

void TBAForm::AddExtraCmd(std::uint8_t tag) {
  const std::string_view command = SpecialCommandText(tag);
  HWND edit = SideControl("Edit", extraCmdMenuTag_);
  if (!edit || command.empty()) return;
  SetWindowTextA(edit, std::string(command).c_str());
}

void TBAForm::Customcommand1Click(HWND, int) {
  HWND edit = SideControl("Edit", extraCmdMenuTag_);
  if (!edit) return;
  const std::optional<std::string> line =
      InputBox(Handle(), "Enter custom command", "Custom command",
               CustomCommandProposal(WindowText(edit)), kCustomCommandMaxLength);
  if (line) SetWindowTextA(edit, CustomCommandField(*line).c_str());
}

void TBAForm::sbtnBAApplyClick(HWND, int) { modalResult_ = ModalResult::kOk; }

void TBAForm::SpeedButton2Click(HWND, int) { modalResult_ = ModalResult::kCancel; }

// ---------------------------------------------------------------------------

bool ShowButtonActionWindow(HWND owner, ActionEditorFields& fields, const KeyNames& layout) {
  TBAForm form(layout);
  form.Create(owner);
  form.Load(fields);
  RunModal(form.Handle(),
           [&] { return form.Result() != TBAForm::ModalResult::kNone || !form.Handle(); });
  const bool applied = form.Result() == TBAForm::ModalResult::kOk && form.Handle();
  if (applied) form.Read(fields);
  return applied;
}

}  // namespace vexel
