#include "app/windows/VexelApp.h"

#include <shellapi.h>

#include "app/ProductInfo.h"
#include "app/win32/ErrorBox.h"
#include "app/win32/MessagePump.h"
#include "app/windows/AboutUnit.h"
#include "base/Files.h"
#include "phone/PortList.h"

namespace vexel {

namespace {
// The tray's state icons, in the order of TrayImage.
const char* const kTrayIconNames[] = {"MAINICON", "xConnectIcon", "xHangUpIcon"};
}  // namespace

TVexelApp::TVexelApp()
    : remote_(comm_, *this, *this, *this, actionPlatform_, keyNames_,
              product::kFailureReportAddress) {
  comm_.SetOnException([this](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      ShowException(mobPropsForm_.Handle(), e);
    }
  });
}

TVexelApp::~TVexelApp() {
  // The Properties window, destroyed before the core, takes the core's
  // window timers with it.
  if (application_) DestroyWindow(application_);
  for (HICON icon : trayIcons_)
    if (icon) DestroyIcon(icon);
}

void TVexelApp::Create() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  appIcon_ = LoadIconA(instance, "MAINICON");
  // The application's window: never shown, it owns the Properties window,
  // so that no taskbar shows a button for it (a tool window alone is not
  // enough for every taskbar).
  application_ = CreateWindowExA(0, "STATIC", product::kName, WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
  mobPropsForm_.Create(application_, appIcon_);
  // The tray shows small images at the DPI of the screen (the system's).
  const UINT dpi = GetDpiForWindow(mobPropsForm_.Handle());
  for (int image = 0; image < 3; ++image)
    trayIcons_[image] = LoadTrayIcon(kTrayIconNames[image], dpi);
  tray_.Create(trayIcons_[static_cast<int>(TrayImage::kApplication)], product::kName);
  try {
    mobPropsForm_.FormCreate();
    if (mobPropsForm_.AutostartTicked()) remote_.Start();
  } catch (const std::exception& error) {
    ShowException(mobPropsForm_.Handle(), error);
  }
  mobPropsForm_.FormActivate();
}

// ---------------------------------------------------------------------------
// The tray menu

void TVexelApp::StartStopItemClick() { remote_.StartStop(); }

void TVexelApp::N1Click() { mobPropsForm_.N1Click(); }

void TVexelApp::CheckPhone1Click() {
  if (checkPhone_ && !checkPhone_->Closed()) {
    ShowWindow(checkPhone_->Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(checkPhone_->Handle());
    return;
  }
  const std::string entry = mobPropsForm_.SelectedPortText();
  std::string refusal;
  if (entry.empty())
    refusal = "No port chosen: choose the phone's port in Properties (Find finds it).";
  // Windows refuses a second open of the port; Wine does not, so ask the link.
  else if (PortNameOfEntry(entry) == remote_.PortInUse())
    refusal = "Vexel's link is up on " + entry + ": choose Stop in the tray menu, then Check " +
              "phone again.";
  checkPhone_ = std::make_unique<TCheckPhoneForm>();
  checkPhone_->Create(application_, entry, mobPropsForm_.PhoneTypeIndex(), refusal);
}

void TVexelApp::Help1Click() {
  const std::string path = ExecutableFolder() + "Help.chm";
  ShellExecuteA(mobPropsForm_.Handle(), "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TVexelApp::About1Click() {
  if (aboutOpen_) return;  // the About window is open already
  aboutOpen_ = true;
  struct ResetTag {
    bool& tag;
    ~ResetTag() { tag = false; }
  } reset{aboutOpen_};
  ShowAboutWindow(mobPropsForm_.Handle());
}

void TVexelApp::Exit1Click() {
  remote_.Exit();
  PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// The event loop: the core's timers are window timers of the Properties
// window, which hands them to the front door.

void TVexelApp::StartTimer(unsigned id, unsigned intervalMs) {
  SetTimer(mobPropsForm_.Handle(), id, intervalMs, nullptr);
}
void TVexelApp::StopTimer(unsigned id) { KillTimer(mobPropsForm_.Handle(), id); }
void TVexelApp::ProcessMessages() { ProcessPendingMessages(); }
void TVexelApp::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }
std::uint64_t TVexelApp::Milliseconds() { return GetTickCount64(); }

// ---------------------------------------------------------------------------
// What the user sees of the link

MsgAnswer TVexelApp::ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                    MsgButtons buttons) {
  return mobPropsForm_.ShowMessageBox(text, title, icon, buttons);
}

std::string TVexelApp::SelectedPortText() { return mobPropsForm_.SelectedPortText(); }
int TVexelApp::PhoneTypeIndex() { return mobPropsForm_.PhoneTypeIndex(); }
void TVexelApp::ShowProperties() { mobPropsForm_.N1Click(); }
void TVexelApp::ShowReplyLog(const std::string& log) { mobPropsForm_.ShowReplyLog(log); }

void TVexelApp::ShellOpen(const std::string& target) {
  ShellExecuteA(nullptr, "open", target.c_str(), "", "", SW_SHOWNORMAL);
}

void TVexelApp::OnLinkEvent(const LinkEvent& event) {
  const LinkView before = shown_;
  shown_.Apply(event);
  if (shown_.tray != before.tray || shown_.Hint() != before.Hint())
    tray_.Show(trayIcons_[static_cast<int>(shown_.tray)], shown_.Hint());
  if (shown_.caption != before.caption) tray_.SetStartStopItemCaption(shown_.caption);
  if (shown_.mapKeysEnabled != before.mapKeysEnabled || shown_.mapKeysDown != before.mapKeysDown)
    mobPropsForm_.ShowMapKeysButton(shown_.mapKeysEnabled, shown_.mapKeysDown);
  if (event.kind == LinkEventKind::kRing && event.on && !event.caller.empty())
    tray_.ShowBalloon("Incoming call", event.caller);
}

}  // namespace vexel
