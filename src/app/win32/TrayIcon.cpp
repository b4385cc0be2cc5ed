#include "app/win32/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

namespace vexel {

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const char* hint) {
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = 1;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  strncpy(data_.szTip, hint, sizeof data_.szTip - 1);
  Shell_NotifyIconA(NIM_ADD, &data_);
}

TrayIcon::~TrayIcon() { Shell_NotifyIconA(NIM_DELETE, &data_); }

void TrayIcon::SetIcon(HICON icon) {
  data_.hIcon = icon;
  Shell_NotifyIconA(NIM_MODIFY, &data_);
}

void TrayIcon::TaskbarCreated() { Shell_NotifyIconA(NIM_ADD, &data_); }

UINT TrayIcon::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

}  // namespace vexel
