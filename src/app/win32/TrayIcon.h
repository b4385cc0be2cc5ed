// The notification-area icon of a window: shown with a hint, its image
// changed on request, and shown again when the taskbar is re-created.
// Mouse events arrive at the owner as `callbackMessage` with the mouse
// message in lParam.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace vexel {

class TrayIcon {
 public:
  TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const char* hint);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void SetIcon(HICON icon);
  // The owner calls this for the "TaskbarCreated" broadcast.
  void TaskbarCreated();
  static UINT TaskbarCreatedMessage();

 private:
  NOTIFYICONDATAA data_{};
};

}  // namespace vexel
