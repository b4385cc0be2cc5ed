// TTrayWindow: the tray icon, its hint and its popup menu MobPopup, kept by a
// hidden window of their own for the program's life. Mouse events on the
// icon and the menu's commands reach the tray's owner through TrayCommands.
#pragma once

#include <memory>
#include <string>

#include "app/win32/TrayIcon.h"
#include "app/win32/Window.h"

namespace vexel {

// What the tray menu's items do, one handler each.
class TrayCommands {
 public:
  virtual ~TrayCommands() = default;
  virtual void StartStopItemClick() = 0;  // also the icon's double click
  virtual void N1Click() = 0;             // "Properties"
  virtual void CheckPhone1Click() = 0;    // "Check phone..."
  virtual void Help1Click() = 0;
  virtual void About1Click() = 0;
  virtual void Exit1Click() = 0;
};

class TTrayWindow : public Window {
 public:
  explicit TTrayWindow(TrayCommands& commands) : commands_(commands) {}
  ~TTrayWindow() override;

  // Creates the hidden window and the menu, and adds the icon with its hint.
  void Create(HICON icon, const char* hint);
  // The icon's image and hint.
  void Show(HICON icon, const std::string& hint);
  // A balloon of the icon (an incoming call's number).
  void ShowBalloon(const std::string& title, const std::string& text);
  // The caption of StartStopItem, which stays the menu's (bold) default item.
  void SetStartStopItemCaption(const std::string& caption);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void TrayIconMouseUp();
  void TrayIconPopup();

  TrayCommands& commands_;
  HMENU mobPopup_ = nullptr;
  std::unique_ptr<TrayIcon> trayIcon_;
};

}  // namespace vexel
