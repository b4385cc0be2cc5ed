#include "app/windows/TrayWindow.h"

#include <string_view>

#include "app/ControlIds.h"
#include "app/win32/MessagePump.h"

namespace vexel {

namespace {

// MobPopup, top to bottom; a null name is a separator (N3, N4).
struct MenuItem {
  const char* name;
  const char* caption;
  void (TrayCommands::*click)();
};
const MenuItem kMobPopup[] = {
    {"StartStopItem", "Start", &TrayCommands::StartStopItemClick},
    {"N1", "Properties", &TrayCommands::N1Click},
    {"CheckPhone1", "Check phone...", &TrayCommands::CheckPhone1Click},
    {nullptr, nullptr, nullptr},
    {"Help1", "Help", &TrayCommands::Help1Click},
    {"About1", "About", &TrayCommands::About1Click},
    {nullptr, nullptr, nullptr},
    {"Exit1", "Exit", &TrayCommands::Exit1Click},
};

UINT ItemId(std::string_view name) { return static_cast<UINT>(ControlId(kTrayMenuItems, name)); }

}  // namespace

TTrayWindow::~TTrayWindow() {
  trayIcon_.reset();
  if (mobPopup_) DestroyMenu(mobPopup_);
}

void TTrayWindow::Create(HICON icon, const char* hint) {
  // A hidden top-level window, not a message-only one: only top-level
  // windows hear the "TaskbarCreated" broadcast.
  CreateWindowObject(kTrayWindowClass, WS_EX_TOOLWINDOW, WS_POPUP, hint, 0, 0, 0, 0, nullptr);
  mobPopup_ = CreatePopupMenu();
  for (const MenuItem& item : kMobPopup) {
    if (item.name)
      AppendMenuA(mobPopup_, MF_STRING, ItemId(item.name), item.caption);
    else
      AppendMenuA(mobPopup_, MF_SEPARATOR, 0, nullptr);
  }
  SetMenuDefaultItem(mobPopup_, ItemId("StartStopItem"), FALSE);
  trayIcon_ = std::make_unique<TrayIcon>(Handle(), kTrayCallbackMessage, icon, hint);
}

void TTrayWindow::Show(HICON icon, const std::string& hint) {
  if (trayIcon_) trayIcon_->Show(icon, hint);
}

void TTrayWindow::ShowBalloon(const std::string& title, const std::string& text) {
  if (trayIcon_) trayIcon_->ShowBalloon(title, text);
}

void TTrayWindow::SetStartStopItemCaption(const std::string& caption) {
  const UINT id = ItemId("StartStopItem");
  ModifyMenuA(mobPopup_, id, MF_BYCOMMAND | MF_STRING, id, caption.c_str());
  SetMenuDefaultItem(mobPopup_, id, FALSE);
}

LRESULT TTrayWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const std::string_view name = ControlNameOf(kTrayMenuItems, LOWORD(wParam));
      for (const MenuItem& item : kMobPopup)
        if (item.name && item.name == name) (commands_.*item.click)();
      return 0;
    }
    case kTrayCallbackMessage:
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
          commands_.StartStopItemClick();
          break;
      }
      return 0;
    case WM_TIMER:
      if (wParam == TrayIcon::kAddRetryTimerId && trayIcon_) trayIcon_->RetryAdd();
      return 0;
    default:
      if (message == TrayIcon::TaskbarCreatedMessage() && trayIcon_) trayIcon_->TaskbarCreated();
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

void TTrayWindow::TrayIconMouseUp() {
  SetForegroundWindow(Handle());
  ProcessPendingMessages();
}

void TTrayWindow::TrayIconPopup() {
  // In front first, so that the menu closes when the user clicks elsewhere.
  SetForegroundWindow(Handle());
  POINT at;
  GetCursorPos(&at);
  TrackPopupMenu(mobPopup_, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
  PostMessageA(Handle(), WM_NULL, 0, 0);
}

}  // namespace vexel
