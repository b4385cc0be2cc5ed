#include "app/win32/TrayIcon.h"

#include <cstring>

namespace vexel {

namespace {

// The text, cut to what the field holds with its final NUL.
template <size_t N>
void CopyText(const std::string& text, char (&field)[N]) {
  const size_t size = text.copy(field, N - 1);
  field[size] = '\0';
}

}  // namespace

HICON LoadTrayIcon(const char* name, UINT dpi) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_ICON,
                                       GetSystemMetricsForDpi(SM_CXSMICON, dpi),
                                       GetSystemMetricsForDpi(SM_CYSMICON, dpi), LR_DEFAULTCOLOR));
}

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const char* hint, Notify notify)
    : notify_(notify) {
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = 1;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  strncpy(data_.szTip, hint, sizeof data_.szTip - 1);
  Add();
}

TrayIcon::~TrayIcon() {
  KillTimer(data_.hWnd, kAddRetryTimerId);
  if (added_) notify_(NIM_DELETE, &data_);
}

void TrayIcon::Add() {
  // An add can report failure when the shell was too slow to answer in time
  // and then add the icon all the same: then the icon is there to modify.
  added_ = notify_(NIM_ADD, &data_) != FALSE || notify_(NIM_MODIFY, &data_) != FALSE;
  if (added_)
    KillTimer(data_.hWnd, kAddRetryTimerId);
  else
    SetTimer(data_.hWnd, kAddRetryTimerId, kAddRetryMs, nullptr);
}

void TrayIcon::Show(HICON icon, const std::string& hint) {
  data_.hIcon = icon;
  CopyText(hint, data_.szTip);
  if (added_) notify_(NIM_MODIFY, &data_);
}

void TrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (!added_) return;
  // The balloon goes with this one modify only: a later image or hint
  // change must not show it again.
  NOTIFYICONDATAA balloon = data_;
  balloon.uFlags = NIF_INFO;
  balloon.dwInfoFlags = NIIF_INFO;
  CopyText(title, balloon.szInfoTitle);
  CopyText(text, balloon.szInfo);
  notify_(NIM_MODIFY, &balloon);
}

void TrayIcon::TaskbarCreated() { Add(); }

void TrayIcon::RetryAdd() {
  if (!added_) Add();
}

UINT TrayIcon::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

}  // namespace vexel
