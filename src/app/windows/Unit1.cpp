#include "app/windows/Unit1.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "actions/KeysFile.h"
#include "app/ControlIds.h"
#include "app/PortList.h"
#include "app/ProductInfo.h"
#include "app/Settings.h"
#include "app/win32/Controls.h"
#include "app/win32/ErrorBox.h"
#include "app/win32/MessagePump.h"
#include "app/windows/AboutUnit.h"
#include "app/windows/Unit2.h"
#include "base/Files.h"

namespace vexel {

namespace {

const char kClassName[] = "VexelMobPropsForm";
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr int kClientWidth96 = 217;
constexpr int kClientHeight96 = 328;
constexpr int kMinWidth96 = 225;
constexpr int kMinHeight96 = 304;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kDropDown = kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
// Creation order is the order of keyboard focus.
const ControlLayout kControls[] = {
    {"Label2", "STATIC", "Phone producer", kChild | SS_LEFTNOWORDWRAP, 8, 8, 80, 13, Fit::kLabel},
    {"cbPhoneType", "COMBOBOX", "", kDropDown, 90, 4, 123, 150, Fit::kAsGiven, 0, "Label2",
     kStretchRight},
    {"Label1", "STATIC", "Select phone COM port", kChild | SS_LEFTNOWORDWRAP, 8, 32, 115, 13,
     Fit::kLabel},
    {"cbCOMs", "COMBOBOX", "", kDropDown, 125, 29, 88, 150, Fit::kAsGiven, 0, "Label1",
     kStretchRight},
    {"cbAutostart", "BUTTON", "Autostart at login", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 8, 55,
     150, 17},
    {"cbReconnect", "BUTTON", "Keep connection alive", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 8,
     78, 150, 17},
    {"Bevel2", "STATIC", "", kChild | SS_SUNKEN, 8, 101, 205, 194, Fit::kAsGiven, 0, nullptr,
     kStretchRight | kStretchDown},
    {"MapKeysButton", "BUTTON", "MapKeys", kChild | WS_DISABLED | BS_AUTOCHECKBOX | BS_PUSHLIKE, 11,
     108, 76, 22},
    {"SpeedButton6", "BUTTON", "Load", kChild | WS_TABSTOP, 90, 108, 59, 22},
    {"SpeedButton5", "BUTTON", "Save", kChild | WS_TABSTOP, 150, 108, 59, 22},
    {"ValueListEditor1", nullptr, "", 0, 11, 134, 198, 156, Fit::kAsGiven, 0, nullptr,
     kStretchRight | kStretchDown},
    {"SpeedButton1", "BUTTON", "Save", kChild, 8, 301, 100, 22, Fit::kAsGiven, 0, nullptr,
     kKeepBottom},
    {"SpeedButton2", "BUTTON", "Close", kChild, 113, 301, 100, 22, Fit::kAsGiven, 0, nullptr,
     kKeepRight | kKeepBottom},
    {"Memo1", "EDIT", "", WS_CHILD | ES_MULTILINE | ES_READONLY, 0, 0, 10, 10},
};

const char* const kPhoneMakers[] = {"Sony Ericsson", "Motorola", "Siemens", "Sagem"};

// A keys file chosen in the Open or Save As dialog, or empty when cancelled.
std::string AskKeysFile(HWND owner, const char* title, bool save) {
  return AskFileName(owner, {title, "Keys files\0*.km\0", "km", 0, save});
}

}  // namespace

TMobPropsForm::TMobPropsForm()
    : grid_(keyMap_, [this](size_t row) { ValueListEditor1EditButtonClick(row); }) {}

TMobPropsForm::~TMobPropsForm() {
  FormDestroy();
  if (application_) DestroyWindow(application_);
  if (font_) DeleteObject(font_);
  if (mobPopup_) DestroyMenu(mobPopup_);
}

HWND TMobPropsForm::Control(const char* name) const {
  return GetDlgItem(Handle(), ControlId(kPropertiesControls, name));
}

void TMobPropsForm::Create() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  appIcon_ = LoadIconA(instance, "MAINICON");
  // The application's window: never shown, it owns the Properties window,
  // so that no taskbar shows a button for it (a tool window alone is not
  // enough for every taskbar).
  application_ = CreateWindowExA(0, "STATIC", product::kName, WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
  CreateWindowObject(kClassName, WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT,
                     WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN, "Properties", 0,
                     0, 100, 100, application_, 0, appIcon_);
  // The client area at this window's DPI; the window starts off the screen
  // to the left, which N1Click takes as "not placed yet".
  const UINT dpi = GetDpiForWindow(Handle());
  RECT frame{0, 0, Scaled(Handle(), kClientWidth96), Scaled(Handle(), kClientHeight96)};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_STYLE)),
                           FALSE, static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_EXSTYLE)), dpi);
  const int width = frame.right - frame.left;
  SetWindowPos(Handle(), nullptr, -2 * width, 0, width, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  CreateControls();

  mobPopup_ = CreatePopupMenu();
  auto item = [&](const char* name, const char* caption) {
    AppendMenuA(mobPopup_, MF_STRING, static_cast<UINT_PTR>(ControlId(kPropertiesControls, name)),
                caption);
  };
  item("StartStopItem", "Start");
  item("N1", "Properties");
  AppendMenuA(mobPopup_, MF_SEPARATOR, 0, nullptr);  // N3
  item("Help1", "Help");
  item("About1", "About");
  AppendMenuA(mobPopup_, MF_SEPARATOR, 0, nullptr);  // N4
  item("Exit1", "Exit");
  SetMenuDefaultItem(mobPopup_, static_cast<UINT>(ControlId(kPropertiesControls, "StartStopItem")),
                     FALSE);
  trayIcon_ = std::make_unique<TrayIcon>(Handle(), kTrayMessage, appIcon_, product::kName);

  try {
    FormCreate();
  } catch (const std::exception& error) {
    ShowException(Handle(), error);
  }
  FormActivate();
}

void TMobPropsForm::CreateControls() {
  vexel::CreateControls(Handle(), kPropertiesControls, kControls);
  grid_.Create(Handle(), ControlId(kPropertiesControls, "ValueListEditor1"));
  for (const char* speedButton : {"MapKeysButton", "SpeedButton1", "SpeedButton2"})
    MakeNoFocusButton(Control(speedButton));
  SetWindowPos(Control("Bevel2"), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (const char* maker : kPhoneMakers)
    SendMessageA(Control("cbPhoneType"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(maker));
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
  keyMap_.Clear();
  keyMap_.SetOnChange([this] { grid_.Refresh(); });
  comm_ = std::make_unique<TComm32>();
  comm_->SetOnException([this](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      ShowException(Handle(), e);
    }
  });
  LinkHost& host = *this;
  LinkUi& ui = *this;
  link_ = std::make_unique<PhoneLink>(*comm_, host, ui, keys_, product::kFailureReportAddress);
  FillPortList();
  ReadSettings();
  LoadKeysFile(keysFilePath_, keyMap_, keysFilePath_);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  hangUpIcon_ = LoadIconA(instance, "xHangUpIcon");
  connectIcon_ = LoadIconA(instance, "xConnectIcon");
  if (Checked(Control("cbAutostart"))) link_->StartLink();
}

void TMobPropsForm::FormActivate() {
  if (activated_) return;
  activated_ = true;
  ReadSettings();
  LoadKeysFile(keysFilePath_, keyMap_, keysFilePath_);
}

void TMobPropsForm::FormDestroy() {
  if (Handle()) {
    KillTimer(Handle(), kWaitTimerId);
    KillTimer(Handle(), kReconnectTimerId);
  }
  trayIcon_.reset();
  link_.reset();
  comm_.reset();
}

LRESULT TMobPropsForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      if (link_) link_->TimerFired(static_cast<unsigned>(wParam));
      return 0;
    case kTrayMessage:
      switch (lParam) {
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
          TrayIconMouseUp();
          break;
        case WM_RBUTTONUP:
          TrayIconMouseUp();
          TrayIconPopup();
          break;
        case WM_LBUTTONDBLCLK:
          link_->StartStopItemClick();
          break;
      }
      return 0;
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
    default:
      if (message == TrayIcon::TaskbarCreatedMessage() && trayIcon_) trayIcon_->TaskbarCreated();
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

void TMobPropsForm::Command(int id, int notification) {
  const std::string_view name = ControlNameOf(kPropertiesControls, id);
  if (name == "StartStopItem") link_->StartStopItemClick();
  else if (name == "N1") N1Click();
  else if (name == "Help1") Help1Click();
  else if (name == "About1") About1Click();
  else if (name == "Exit1") Exit1Click();
  if (notification != BN_CLICKED) return;
  if (name == "cbReconnect") cbReconnectClick();
  else if (name == "MapKeysButton") MapKeysButtonClick();
  else if (name == "SpeedButton6") LoadKeysSpeedButtonClick();
  else if (name == "SpeedButton5") SpeedButton5Click();
  else if (name == "SpeedButton1") SpeedButton1Click();
  else if (name == "SpeedButton2") SpeedButton2Click();
}

// ---------------------------------------------------------------------------
// Tray and menu

void TMobPropsForm::TrayIconMouseUp() {
  SetForegroundWindow(Handle());
  ProcessPendingMessages();
}

void TMobPropsForm::TrayIconPopup() {
  SetForegroundWindow(Handle());
  POINT at;
  GetCursorPos(&at);
  TrackPopupMenu(mobPopup_, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
  PostMessageA(Handle(), WM_NULL, 0, 0);
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

void TMobPropsForm::Help1Click() {
  const std::string path = ExecutableFolder() + "Help.chm";
  ShellExecuteA(Handle(), "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMobPropsForm::About1Click() {
  if (aboutOpen_) return;  // the About window is open already
  aboutOpen_ = true;
  struct ResetTag {
    bool& tag;
    ~ResetTag() { tag = false; }
  } reset{aboutOpen_};
  ShowAboutWindow(Handle());
}

void TMobPropsForm::Exit1Click() {
  link_->Exit1Click();
  PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// Properties

void TMobPropsForm::FillPortList() {
  HWND list = Control("cbCOMs");
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    for (DWORD index = 0;; ++index) {
      char name[16384];
      BYTE data[1024];
      DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
      const LONG result =
          RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS) continue;
      data[dataLength] = 0;
      const std::string entry = PortEntryText(std::string_view(name, nameLength),
                                              reinterpret_cast<const char*>(data));
      SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    RegCloseKey(key);
  }
  SelectPortEntry(portText_, true);
}

void TMobPropsForm::SelectPortEntry(const std::string& text, bool firstWhenMissing) {
  HWND list = Control("cbCOMs");
  const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  LRESULT selected = firstWhenMissing && count > 0 ? 0 : -1;
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

std::string TMobPropsForm::PortListText() const { return WindowText(Control("cbCOMs")); }

void TMobPropsForm::ReadSettings() {
  const Settings settings = vexel::ReadSettings(SettingsPath());
  if (Checked(Control("cbReconnect")) != settings.reconnect) {
    SetChecked(Control("cbReconnect"), settings.reconnect);
    cbReconnectClick();
  }
  portText_ = settings.port;
  SelectPortEntry(portText_, false);
  const bool known = settings.phone >= 0 && settings.phone < 4;
  SendMessageA(Control("cbPhoneType"), CB_SETCURSEL, known ? settings.phone : -1, 0);
  SetChecked(Control("cbAutostart"), settings.autostart);
  keysFilePath_ = settings.keysFile;
}

void TMobPropsForm::WriteSettings() {
  Settings settings;
  settings.port = PortListText();
  settings.phone = PhoneTypeIndex();
  settings.autostart = Checked(Control("cbAutostart"));
  settings.keysFile = keysFilePath_;
  settings.reconnect = link_->ReconnectOption();
  vexel::WriteSettings(SettingsPath(), settings);
  portText_ = settings.port;
}

void TMobPropsForm::SpeedButton1Click() {
  WriteSettings();
  ShowWindow(Handle(), SW_HIDE);
}

void TMobPropsForm::SpeedButton2Click() { ShowWindow(Handle(), SW_HIDE); }

void TMobPropsForm::LoadKeysSpeedButtonClick() {
  const std::string file = AskKeysFile(Handle(), "Load keys file", false);
  if (!file.empty()) LoadKeysFile(file, keyMap_, keysFilePath_);
}

void TMobPropsForm::SpeedButton5Click() {
  const std::string file = AskKeysFile(Handle(), "Save keys file", true);
  if (!file.empty()) SaveKeysFile(file, keyMap_, keysFilePath_);
}

void TMobPropsForm::MapKeysButtonClick() {
  keys_.MapKeysButtonClick(Checked(Control("MapKeysButton")), *comm_);
}

void TMobPropsForm::cbReconnectClick() { link_->cbReconnectClick(Checked(Control("cbReconnect"))); }

void TMobPropsForm::ValueListEditor1EditButtonClick(size_t row) {
  if (row >= keyMap_.Rows().size()) return;
  grid_.Select(row);
  ActionEditorFields fields;
  actions_.DispatchKeyAction(keyMap_.Rows()[row].action, 0, &fields);
  if (ShowButtonActionWindow(Handle(), fields, keyNames_))
    keyMap_.SetAction(row, ComposeActionText(fields, keyNames_));
}

// ---------------------------------------------------------------------------
// What the phone link sees of the program

void TMobPropsForm::StartTimer(unsigned id, unsigned intervalMs) {
  SetTimer(Handle(), id, intervalMs, nullptr);
}
void TMobPropsForm::StopTimer(unsigned id) { KillTimer(Handle(), id); }
void TMobPropsForm::ProcessMessages() { ProcessPendingMessages(); }
void TMobPropsForm::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }
std::uint64_t TMobPropsForm::Milliseconds() { return GetTickCount64(); }

MsgAnswer TMobPropsForm::ShowMessageBox(const std::string& text, const std::string& title,
                                    MsgIcon icon, MsgButtons buttons) {
  static const UINT kIcons[] = {MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONQUESTION};
  const UINT type = kIcons[static_cast<int>(icon)] | (buttons == MsgButtons::kYesNo ? MB_YESNO : MB_OK);
  const int answer = MessageBoxA(Handle(), text.c_str(), title.c_str(), type);
  return answer == IDYES ? MsgAnswer::kYes : answer == IDNO ? MsgAnswer::kNo : MsgAnswer::kOk;
}

void TMobPropsForm::SetTrayImage(TrayImage image) {
  const HICON icons[] = {appIcon_, connectIcon_, hangUpIcon_};
  if (trayIcon_) trayIcon_->SetIcon(icons[static_cast<int>(image)]);
}

void TMobPropsForm::SetStartStopCaption(const std::string& caption) {
  const UINT id = static_cast<UINT>(ControlId(kPropertiesControls, "StartStopItem"));
  ModifyMenuA(mobPopup_, id, MF_BYCOMMAND | MF_STRING, id, caption.c_str());
  SetMenuDefaultItem(mobPopup_, id, FALSE);
}

void TMobPropsForm::SetMapKeysButtonEnabled(bool enabled) {
  EnableWindow(Control("MapKeysButton"), enabled);
}

std::string TMobPropsForm::SelectedPortText() { return PortListText(); }

int TMobPropsForm::PhoneTypeIndex() {
  return static_cast<int>(SendMessageA(Control("cbPhoneType"), CB_GETCURSEL, 0, 0));
}

void TMobPropsForm::ShowProperties() { N1Click(); }

void TMobPropsForm::ShowReplyLog(const std::string& log) {
  SetWindowTextA(Control("Memo1"), log.c_str());
}

void TMobPropsForm::ShellOpen(const std::string& target) {
  ShellExecuteA(nullptr, "open", target.c_str(), "", "", SW_SHOWNORMAL);
}

}  // namespace vexel
