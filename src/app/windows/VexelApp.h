// TVexelApp: the Windows program. It builds the core through its front door
// (KeypadRemote) over the Win32 seams (TComm32, the action platform, the
// layout's key names), and puts the Properties window and the tray window
// in front of it: it is the event loop the phone link runs on, asks the
// user the link's questions, shows the link's events in the tray and the
// Properties window, and handles the tray menu.
#pragma once

#include <memory>

#include "actions/win32/ActionPlatformWin32.h"
#include "actions/win32/KeyNamesWin32.h"
#include "app/LinkView.h"
#include "app/windows/CheckPhoneUnit.h"
#include "app/windows/TrayWindow.h"
#include "app/windows/Unit1.h"
#include "comm/win32/Comm32.h"
#include "phone/KeypadRemote.h"

namespace vexel {

class TVexelApp final : private LinkHost,
                        private LinkUi,
                        private LinkObserver,
                        private TrayCommands {
 public:
  // Creates the serial port component and the core; throws Error when the
  // serial port component cannot be made (the program cannot work then).
  TVexelApp();
  ~TVexelApp() override;

  // Creates the windows and the tray icon, runs the main window's creation
  // (settings, keys file, autostart) and its first activation.
  void Create();

 private:
  // TrayCommands
  void StartStopItemClick() override;
  void N1Click() override;
  void CheckPhone1Click() override;
  void Help1Click() override;
  void About1Click() override;
  void Exit1Click() override;

  // LinkHost
  void StartTimer(unsigned id, unsigned intervalMs) override;
  void StopTimer(unsigned id) override;
  void ProcessMessages() override;
  void Sleep(unsigned milliseconds) override;
  std::uint64_t Milliseconds() override;
  // LinkUi
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;
  std::string SelectedPortText() override;
  int PhoneTypeIndex() override;
  void ShowProperties() override;
  void ShowReplyLog(const std::string& log) override;
  void ShellOpen(const std::string& target) override;
  // LinkObserver: the tray and the MapKeys button follow the link.
  void OnLinkEvent(const LinkEvent& event) override;

  KeyNamesWin32 keyNames_;
  ActionPlatformWin32 actionPlatform_;
  TComm32 comm_;
  KeypadRemote remote_;
  TMobPropsForm mobPropsForm_{remote_};
  TTrayWindow tray_{*this};
  std::unique_ptr<TCheckPhoneForm> checkPhone_;  // the last "Check phone" window
  HWND application_ = nullptr;                   // the hidden owner of the Properties window
  HICON appIcon_ = nullptr;                      // the Properties window's, shared
  HICON trayIcons_[3] = {};                      // by TrayImage, at the tray's size; owned
  LinkView shown_;                               // what the tray and MapKeys show now
  bool aboutOpen_ = false;                       // the tag of About1
};

}  // namespace vexel
