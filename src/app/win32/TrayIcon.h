// The notification-area icon of a window: shown with a hint, its image
// changed on request, and shown again when the taskbar is re-created.
// Mouse events arrive at the owner as `callbackMessage` with the mouse
// message in lParam.
//
// At logon the program can start before the taskbar is ready, and adding
// the icon then fails: it is tried again every 2 s (the owner's timer
// kAddRetryTimerId, handed to RetryAdd) until it is in, with the image and
// hint of that moment.
#pragma once

#include <windows.h>
// shellapi.h builds on the types of windows.h.
#include <shellapi.h>

#include <string>

namespace vexel {

// The state icon `name` of the program's resources at the size of the
// tray's images for the DPI: the small icon size, 16 x 16 at 96 DPI and
// 32 x 32 at 192. The caller destroys it.
HICON LoadTrayIcon(const char* name, UINT dpi);

class TrayIcon {
 public:
  // Shell_NotifyIconA, or a stand-in of a test.
  using Notify = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
  static constexpr UINT_PTR kAddRetryTimerId = 1;
  static constexpr UINT kAddRetryMs = 2000;

  TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const char* hint,
           Notify notify = &Shell_NotifyIconA);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Shows the image and hint; while the icon is not in the tray, keeps them
  // for the add.
  void Show(HICON icon, const std::string& hint);
  // Shows a balloon of the icon with an information sign; none while the
  // icon is not in the tray.
  void ShowBalloon(const std::string& title, const std::string& text);
  // The owner calls this for the "TaskbarCreated" broadcast.
  void TaskbarCreated();
  // The owner calls this when kAddRetryTimerId fires.
  void RetryAdd();
  bool Added() const { return added_; }
  static UINT TaskbarCreatedMessage();

 private:
  void Add();

  NOTIFYICONDATAA data_{};
  Notify notify_;
  bool added_ = false;
};

}  // namespace vexel
