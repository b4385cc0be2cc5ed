// The About window TAboutForm: the product's name, version and contact
// links. Created for one showing, modal, destroyed when it closes.
#pragma once

#include <string>

#include "app/win32/Window.h"

namespace vexel {

class TAboutForm : public Window {
 public:
  TAboutForm() = default;
  ~TAboutForm() override;

  // Creates the window centred on the desktop, owned by owner; hidden.
  void Create(HWND owner);
  void SetVersion(const std::string& version);  // versionLabel
  bool Closed() const { return closed_ || !Handle(); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND Control(std::string_view name) const;
  void FormCreate();
  void Layout();
  void LinkClick(HWND label);
  void Button1Click();

  HICON appIcon_ = nullptr;
  HICON globeIcon_ = nullptr;
  HBITMAP infoPicture_ = nullptr;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HWND focus_ = nullptr;
  bool closed_ = false;
};

// Shows the About window with the program's version, modally.
void ShowAboutWindow(HWND owner);

}  // namespace vexel
