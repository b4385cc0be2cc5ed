#include "app/windows/Unit1.h"

#include <optional>
#include <string>
#include <vector>

#include "actions/KeysFile.h"
#include "actions/win32/ActionPlatformWin32.h"
#include "app/ControlIds.h"
#include "app/Settings.h"
#include "app/win32/Controls.h"
#include "app/win32/InputBox.h"
#include "app/win32/PortScan.h"
#include "app/windows/Unit2.h"
#include "base/Error.h"
#include "base/Text.h"
#include "phone/PhoneCheck.h"
#include "phone/PortList.h"

namespace vexel {

namespace {

constexpr int kClientWidth96 = 217;
constexpr int kClientHeight96 = 354;
constexpr int kMinWidth96 = 225;
constexpr int kMinHeight96 = 330;
// The search for the phone ends after this long (kFindPhoneLimitMs); a
// window timer of its own tells a search stuck in a port's open.
constexpr UINT_PTR kFindTimerId = 0x4649;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kDropDown = kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
// Creation order is the order of keyboard focus.
const ControlLayout kControls[] = {
    {"Label2", "STATIC", "Phone producer", kChild | SS_LEFTNOWORDWRAP, 8, 8, 80, 13, Fit::kLabel},
    {"cbPhoneType", "COMBOBOX", "", kDropDown, 90, 4, 123, 150, Fit::kAsGiven, 0, "Label2",
     kStretchRight},
    {"Label1", "STATIC", "Select phone COM port", kChild | SS_LEFTNOWORDWRAP, 8, 32, 115, 13,
     Fit::kLabel},
    {"cbCOMs", "COMBOBOX", "", kDropDown, 125, 29, 52, 150, Fit::kAsGiven, 0, "Label1",
     kStretchRight},
    {"FindButton", "BUTTON", "Find", kChild | WS_TABSTOP, 179, 28, 34, 23, Fit::kAsGiven, 0,
     nullptr, kKeepRight},
    {"cbAutostart", "BUTTON", "Autostart at login", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 8, 55,
     150, 17},
    {"cbReconnect", "BUTTON", "Keep connection alive", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 8, 78,
     150, 17},
    {"Bevel2", "STATIC", "", kChild | SS_SUNKEN, 8, 101, 205, 220, Fit::kAsGiven, 0, nullptr,
     kStretchRight | kStretchDown},
    {"MapKeysButton", "BUTTON", "MapKeys", kChild | WS_DISABLED | BS_AUTOCHECKBOX | BS_PUSHLIKE, 11,
     108, 76, 22},
    {"SpeedButton6", "BUTTON", "Load", kChild | WS_TABSTOP, 90, 108, 59, 22},
    {"SpeedButton5", "BUTTON", "Save", kChild | WS_TABSTOP, 150, 108, 59, 22},
    {"Label3", "STATIC", "Keys for:", kChild | SS_LEFTNOWORDWRAP, 11, 138, 45, 13, Fit::kLabel},
    {"cbKeysFor", "COMBOBOX", "", kDropDown, 60, 134, 149, 150, Fit::kAsGiven, 0, "Label3",
     kStretchRight},
    {"ValueListEditor1", nullptr, "", 0, 11, 160, 198, 156, Fit::kAsGiven, 0, nullptr,
     kStretchRight | kStretchDown},
    {"SpeedButton1", "BUTTON", "Save", kChild, 8, 327, 100, 22, Fit::kAsGiven, 0, nullptr,
     kKeepBottom},
    {"SpeedButton2", "BUTTON", "Close", kChild, 113, 327, 100, 22, Fit::kAsGiven, 0, nullptr,
     kKeepRight | kKeepBottom},
    {"Memo1", "EDIT", "", WS_CHILD | ES_MULTILINE | ES_READONLY, 0, 0, 10, 10},
};

// A keys file chosen in the Open or Save As dialog, or empty when cancelled.
std::string AskKeysFile(HWND owner, const char* title, bool save) {
  return AskFileName(owner, {title, "Keys files\0*.km\0", "km", 0, save});
}

// The first and the last entry of "Keys for:", around the programs' maps.
constexpr const char* kAllPrograms = "All programs";
constexpr const char* kAddProgram = "Add program...";

}  // namespace

// The buttons and boxes of the window and their handlers.
const TMobPropsForm::CommandHandler TMobPropsForm::kCommandHandlers[] = {
    {"cbReconnect", &TMobPropsForm::cbReconnectClick},
    {"MapKeysButton", &TMobPropsForm::MapKeysButtonClick},
    {"SpeedButton6", &TMobPropsForm::SpeedButton6Click},
    {"SpeedButton5", &TMobPropsForm::SpeedButton5Click},
    {"SpeedButton1", &TMobPropsForm::SpeedButton1Click},
    {"SpeedButton2", &TMobPropsForm::SpeedButton2Click},
    {"FindButton", &TMobPropsForm::FindButtonClick},
};

TMobPropsForm::TMobPropsForm(KeypadRemote& remote)
    : remote_(remote),
      grid_(remote.Keys(), [this](size_t row) { ValueListEditor1EditButtonClick(row); }) {}

TMobPropsForm::~TMobPropsForm() {
  if (Handle()) DestroyWindow(Handle());
  if (font_) DeleteObject(font_);
}

HWND TMobPropsForm::Control(std::string_view name) const {
  return GetDlgItem(Handle(), ControlId(kPropertiesControls, name));
}

void TMobPropsForm::Create(HWND owner, HICON icon) {
  CreateWindowObject(kPropertiesWindowClass, WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT,
                     WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN, "Properties", 0,
                     0, 100, 100, owner, 0, icon);
  if (!Handle()) throw Error("Unable to create the Properties window.");
  // The client area at this window's DPI; the window starts off the screen
  // to the left, which N1Click takes as "not placed yet".
  const UINT dpi = GetDpiForWindow(Handle());
  RECT frame{0, 0, Scaled(Handle(), kClientWidth96), Scaled(Handle(), kClientHeight96)};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_STYLE)),
                           FALSE, static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_EXSTYLE)),
                           dpi);
  const int width = frame.right - frame.left;
  SetWindowPos(Handle(), nullptr, -2 * width, 0, width, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  CreateControls();
}

void TMobPropsForm::CreateControls() {
  vexel::CreateControls(Handle(), kPropertiesControls, kControls);
  grid_.Create(Handle(), ControlId(kPropertiesControls, "ValueListEditor1"));
  for (const char* speedButton : {"MapKeysButton", "SpeedButton1", "SpeedButton2"})
    MakeNoFocusButton(Control(speedButton));
  SetWindowPos(Control("Bevel2"), HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (const PhoneMaker& maker : kPhoneMakers)
    SendMessageA(Control("cbPhoneType"), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(std::string(maker.name).c_str()));
  SendMessageA(Control("cbPhoneType"), CB_SETCURSEL, 0, 0);
  font_ = CreateTahoma8(Handle());
  SetFontOfChildren(Handle(), font_);
  LayoutControls();
}

void TMobPropsForm::LayoutControls() {
  vexel::LayoutControls(Handle(), kPropertiesControls, kControls, kClientWidth96, kClientHeight96);
  InvalidateRect(Handle(), nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// Window life

void TMobPropsForm::FormCreate() {
  remote_.Keys().Clear();
  remote_.Keys().SetOnChange([this] { grid_.Refresh(); });
  FillPortList();
  ReadSettings();
  remote_.LoadKeysFile(remote_.KeysFilePath());
  FillKeysForList();
}

void TMobPropsForm::FormActivate() {
  if (activated_) return;
  activated_ = true;
  ReadSettings();
  remote_.LoadKeysFile(remote_.KeysFilePath());
  FillKeysForList();
}

bool TMobPropsForm::AutostartTicked() const { return Checked(Control("cbAutostart")); }

LRESULT TMobPropsForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kFindTimerId) {
        if (finder_.Running()) {
          finder_.Cancel();
          FindDone("");
        }
        return 0;
      }
      remote_.TimerFired(static_cast<unsigned>(wParam));
      return 0;
    case kWorkerWake: {
      const PhoneWorker::News news = finder_.Take();
      for (const std::string& entry : news.lines) FindLine(entry);
      if (news.result) FindDone(*news.result);
      return 0;
    }
    case WM_SIZE:
      LayoutControls();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {Scaled(Handle(), kMinWidth96), Scaled(Handle(), kMinHeight96)};
      return 0;
    }
    case WM_DPICHANGED:
      FollowDpiChange(Handle(), font_, *reinterpret_cast<const RECT*>(lParam));
      LayoutControls();
      return 0;
    case WM_CLOSE:  // Alt+F4 hides the window as "Close" does; only "Exit" ends the program
      SpeedButton2Click();
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

void TMobPropsForm::Command(int id, int notification) {
  const std::string_view name = ControlNameOf(kPropertiesControls, id);
  if (name == "cbKeysFor" && notification == CBN_SELCHANGE) return cbKeysForChange();
  if (notification != BN_CLICKED) return;
  for (const CommandHandler& handler : kCommandHandlers)
    if (handler.name == name) (this->*handler.click)();
}

void TMobPropsForm::N1Click() {
  RECT r;
  GetWindowRect(Handle(), &r);
  if (r.left < 0) {
    const int left = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    SetWindowPos(Handle(), nullptr, left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FillPortList();
  ShowWindow(Handle(), SW_SHOWNORMAL);
  SetForegroundWindow(Handle());
  if (SendMessageA(Control("cbCOMs"), CB_GETCOUNT, 0, 0) <= 0)
    ShowMessageBox("No suitable COM ports found in your system!\rLook Help for proper connection.",
                   "Warning", MsgIcon::kWarning, MsgButtons::kOk);
}

// ---------------------------------------------------------------------------
// Properties

void TMobPropsForm::FillPortList() {
  HWND list = Control("cbCOMs");
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (const std::string& entry : SerialPortEntries())
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  SelectPortEntry(portText_, Missing::kSelectFirst);
}

void TMobPropsForm::SelectPortEntry(const std::string& text, Missing missing) {
  HWND list = Control("cbCOMs");
  const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  LRESULT selected = missing == Missing::kSelectFirst && count > 0 ? 0
                     : missing == Missing::kKeepSelection ? SendMessageA(list, CB_GETCURSEL, 0, 0)
                                                          : -1;
  for (LRESULT i = 0; !text.empty() && i < count; ++i) {
    std::string entry(static_cast<size_t>(SendMessageA(list, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
    entry.resize(static_cast<size_t>(
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()))));
    if (entry == text) {
      selected = i;
      break;
    }
  }
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void TMobPropsForm::ReadSettings() {
  const Settings settings = vexel::ReadSettings(SettingsPath());
  if (Checked(Control("cbReconnect")) != settings.reconnect) {
    SetChecked(Control("cbReconnect"), settings.reconnect);
    cbReconnectClick();
  }
  portText_ = settings.port;
  // While the user looks at the list (after "Select port first!" at
  // autostart), a port the settings do not name stays selected.
  SelectPortEntry(portText_,
                  IsWindowVisible(Handle()) ? Missing::kKeepSelection : Missing::kSelectNone);
  SendMessageA(Control("cbPhoneType"), CB_SETCURSEL,
               IsPhoneMaker(settings.phone) ? settings.phone : -1, 0);
  SetChecked(Control("cbAutostart"), settings.autostart);
  remote_.SetKeysFilePath(settings.keysFile);
  remote_.KeyEvents().SetHoldTime(static_cast<unsigned>(settings.holdTime));
}

void TMobPropsForm::WriteSettings() {
  Settings settings;
  settings.port = SelectedPortText();
  settings.phone = PhoneTypeIndex();
  settings.autostart = AutostartTicked();
  settings.keysFile = remote_.KeysFilePath();
  settings.reconnect = remote_.KeepAliveOn();
  vexel::WriteSettings(SettingsPath(), settings);
  portText_ = settings.port;
}

void TMobPropsForm::SpeedButton1Click() {
  WriteSettings();
  ShowWindow(Handle(), SW_HIDE);
}

void TMobPropsForm::SpeedButton2Click() { ShowWindow(Handle(), SW_HIDE); }

void TMobPropsForm::SpeedButton6Click() {
  const std::string file = AskKeysFile(Handle(), "Load keys file", false);
  if (file.empty()) return;
  // With a program's map shown, the file fills that map alone.
  if (!remote_.Keys().ShownMap().empty()) {
    LoadShownMap(file, remote_.Keys());
    return;
  }
  remote_.LoadKeysFile(file);
  FillKeysForList();
}

void TMobPropsForm::FillKeysForList() {
  HWND list = Control("cbKeysFor");
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kAllPrograms));
  const std::vector<std::string> programs = remote_.Keys().Programs();
  LRESULT shown = 0;
  for (const std::string& program : programs) {
    const LRESULT at =
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(program.c_str()));
    if (program == remote_.Keys().ShownMap()) shown = at;
  }
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kAddProgram));
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

void TMobPropsForm::cbKeysForChange() {
  HWND list = Control("cbKeysFor");
  const LRESULT selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
  const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  if (selected == 0) {
    remote_.Keys().ShowMap("");
  } else if (selected > 0 && selected + 1 < count) {
    std::string program(static_cast<size_t>(SendMessageA(list, CB_GETLBTEXTLEN, selected, 0)) + 1,
                        '\0');
    program.resize(static_cast<size_t>(
        SendMessageA(list, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(program.data()))));
    remote_.Keys().ShowMap(program);
  } else if (selected + 1 == count) {
    AddProgramClick();
  }
  FillKeysForList();
}

void TMobPropsForm::AddProgramClick() {
  const std::optional<std::string> typed =
      InputBox(Handle(), "Add program", "Program (file name or window class):", "", 64,
               ProgramsWithVisibleWindows());
  if (!typed) return;
  const std::string program = ProgramMapName(*typed);
  if (program.empty()) {
    if (!Trim(*typed).empty())
      ShowMessageBox("A program's name holds no \"]\" and no control character.", "Warning",
                     MsgIcon::kWarning, MsgButtons::kOk);
    return;
  }
  remote_.Keys().ShowMap(program);
}

void TMobPropsForm::SpeedButton5Click() {
  const std::string file = AskKeysFile(Handle(), "Save keys file", true);
  if (!file.empty()) remote_.SaveKeysFile(file);
}

void TMobPropsForm::MapKeysButtonClick() { remote_.Learn(Checked(Control("MapKeysButton"))); }

void TMobPropsForm::cbReconnectClick() { remote_.KeepAlive(Checked(Control("cbReconnect"))); }

void TMobPropsForm::ValueListEditor1EditButtonClick(size_t row) {
  if (row >= remote_.Keys().Rows().size()) return;
  grid_.Select(row);
  ActionEditorFields fields = remote_.RowFields(row);
  if (ShowButtonActionWindow(Handle(), fields, remote_.Layout()))
    remote_.ApplyRowFields(row, fields);
}

// ---------------------------------------------------------------------------
// Finding the phone

void TMobPropsForm::FindButtonClick() {
  if (finder_.Running()) {  // "Cancel"
    finder_.Cancel();
    FindLine("");
    return;
  }
  // Every listed port but the one the link holds.
  const std::string linkPort = remote_.PortInUse();
  HWND list = Control("cbCOMs");
  std::vector<std::string> entries;
  for (LRESULT i = 0, count = SendMessageA(list, CB_GETCOUNT, 0, 0); i < count; ++i) {
    std::string entry(static_cast<size_t>(SendMessageA(list, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
    entry.resize(static_cast<size_t>(
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()))));
    if (PortNameOfEntry(entry) != linkPort) entries.push_back(entry);
  }
  SetWindowTextA(Control("FindButton"), "Cancel");
  EnableWindow(list, FALSE);
  SetTimer(Handle(), kFindTimerId, kFindPhoneLimitMs, nullptr);
  finder_.Start(Handle(),
                [entries](SerialPort& port, LinkHost& host, const std::function<bool()>& stopped,
                          const std::function<void(const std::string&)>& out) {
                  for (const std::string& entry : entries) {
                    if (stopped()) break;
                    out(entry);
                    port.SetCommPort(PortNameOfEntry(entry));
                    try {
                      if (!port.OpenPort()) continue;
                    } catch (const std::exception&) {
                      continue;  // held by another program, or gone
                    }
                    ProbeResult result;
                    {
                      PhoneExchange exchange(port, host, stopped);
                      result = ProbePhone(exchange);
                    }
                    port.ClosePort();
                    if (result.kind == ProbeResult::Kind::kPhone)
                      return entry + "\n" + result.Describe();
                  }
                  return std::string();
                });
}

// The entry being tried, in the caption; "" when the search is over.
void TMobPropsForm::FindLine(const std::string& entry) {
  SetWindowTextA(Handle(), entry.empty() ? "Properties" : ("Properties - trying " + entry).c_str());
  if (!entry.empty()) return;
  KillTimer(Handle(), kFindTimerId);
  SetWindowTextA(Control("FindButton"), "Find");
  EnableWindow(Control("cbCOMs"), TRUE);
}

void TMobPropsForm::FindDone(const std::string& result) {
  FindLine("");
  const size_t newline = result.find('\n');
  if (newline == std::string::npos) {
    ShowMessageBox("No phone found.", "Information", MsgIcon::kInformation, MsgButtons::kOk);
    return;
  }
  const std::string entry = result.substr(0, newline);
  SelectPortEntry(entry, Missing::kKeepSelection);
  ShowMessageBox("Phone found on " + entry + ":\r" + result.substr(newline + 1), "Information",
                 MsgIcon::kInformation, MsgButtons::kOk);
}

// ---------------------------------------------------------------------------
// What the phone link sees of the window

MsgAnswer TMobPropsForm::ShowMessageBox(const std::string& text, const std::string& title,
                                        MsgIcon icon, MsgButtons buttons) {
  static const UINT kIcons[] = {MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONQUESTION};
  const UINT type =
      kIcons[static_cast<int>(icon)] | (buttons == MsgButtons::kYesNo ? MB_YESNO : MB_OK);
  const int answer = MessageBoxA(Handle(), text.c_str(), title.c_str(), type);
  return answer == IDYES ? MsgAnswer::kYes : answer == IDNO ? MsgAnswer::kNo : MsgAnswer::kOk;
}

void TMobPropsForm::ShowMapKeysButton(bool enabled, bool down) {
  EnableWindow(Control("MapKeysButton"), enabled);
  SetChecked(Control("MapKeysButton"), down);
}

std::string TMobPropsForm::SelectedPortText() const { return WindowText(Control("cbCOMs")); }

int TMobPropsForm::PhoneTypeIndex() const {
  return static_cast<int>(SendMessageA(Control("cbPhoneType"), CB_GETCURSEL, 0, 0));
}

void TMobPropsForm::ShowReplyLog(const std::string& log) {
  SetWindowTextA(Control("Memo1"), log.c_str());
}

}  // namespace vexel
