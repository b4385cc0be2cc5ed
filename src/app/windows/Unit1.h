// The main window TMobPropsForm: hidden most of the time, it is the
// Properties window and the owner of everything that lives as long as the
// program: the tray icon and its menu, the serial port, the phone link, the
// key map and its grid, the timers and the state icons.
#pragma once

#include <memory>
#include <string>

#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "actions/KeyEvents.h"
#include "actions/KeyMap.h"
#include "actions/win32/ActionPlatformWin32.h"
#include "actions/win32/KeyNamesWin32.h"
#include "app/win32/TrayIcon.h"
#include "app/win32/ValueListGrid.h"
#include "app/win32/Window.h"
#include "comm/win32/Comm32.h"
#include "phone/PhoneLink.h"

namespace vexel {

class TMobPropsForm : public Window, private LinkHost, private LinkUi {
 public:
  TMobPropsForm();
  ~TMobPropsForm() override;

  // Creates the window and everything it owns (FormCreate), then runs the
  // first activation's steps.
  void Create();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // Window life.
  void FormCreate();
  void FormActivate();
  void FormDestroy();
  void CreateControls();
  void LayoutControls();
  HWND Control(const char* name) const;

  // Tray.
  void TrayIconMouseUp();
  void TrayIconPopup();
  void SetStartStopCaptionText(const char* caption);

  // Menu commands.
  void N1Click();
  void Help1Click();
  void About1Click();
  void Exit1Click();

  // Properties.
  void FillPortList();
  void SelectPortEntry(const std::string& text, bool firstWhenMissing);
  std::string PortListText() const;
  void ReadSettings();
  void WriteSettings();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void LoadKeysSpeedButtonClick();
  void SpeedButton5Click();
  void MapKeysButtonClick();
  void cbReconnectClick();
  void ValueListEditor1EditButtonClick(size_t row);
  void Command(int id, int notification);

  // LinkHost
  void StartTimer(unsigned id, unsigned intervalMs) override;
  void StopTimer(unsigned id) override;
  void ProcessMessages() override;
  void Sleep(unsigned milliseconds) override;
  std::uint64_t Milliseconds() override;
  // LinkUi
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                       MsgButtons buttons) override;
  void SetTrayImage(TrayImage image) override;
  void SetStartStopCaption(const std::string& caption) override;
  void SetMapKeysButtonEnabled(bool enabled) override;
  std::string SelectedPortText() override;
  int PhoneTypeIndex() override;
  void ShowProperties() override;
  void ShowReplyLog(const std::string& log) override;
  void ShellOpen(const std::string& target) override;

  // The key map and what runs its actions.
  KeyMap keyMap_;
  KeyNamesWin32 keyNames_;
  ActionPlatformWin32 actionPlatform_;
  ActionRunner runner_{actionPlatform_};
  KeyActions actions_{keyNames_, runner_};
  KeyEventHandlers keys_{keyMap_, actions_};

  // The serial port and the phone link over it (created in FormCreate).
  std::unique_ptr<TComm32> comm_;
  std::unique_ptr<PhoneLink> link_;

  // In-memory copies of settings.
  std::string portText_;
  std::string keysFilePath_;

  // Presentation.
  ValueListGrid grid_;
  std::unique_ptr<TrayIcon> trayIcon_;
  HWND application_ = nullptr;  // the hidden owner of the Properties window
  HMENU mobPopup_ = nullptr;
  HICON appIcon_ = nullptr;
  HICON connectIcon_ = nullptr;
  HICON hangUpIcon_ = nullptr;
  HFONT font_ = nullptr;
  bool activated_ = false;
  bool aboutOpen_ = false;  // the tag of About1
};

}  // namespace vexel
