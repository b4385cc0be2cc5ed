// TCheckPhoneForm: the "Check phone" window of the tray menu. It checks the
// phone on the port and maker chosen in Properties (the phone check of
// phone/PhoneCheck.h, in a thread of its own) and shows the report as it
// comes, as text the user can select, with a Copy button. It stays open
// beside the other windows until closed; closing it ends the check.
#pragma once

#include <string>

#include "app/win32/Window.h"
#include "app/windows/PhoneWorker.h"

namespace vexel {

class TCheckPhoneForm : public Window {
 public:
  TCheckPhoneForm() = default;
  ~TCheckPhoneForm() override;

  // Creates and shows the window, then checks the phone on the entry's port
  // with the maker index; `refusal`, when not empty, is shown instead (the
  // link holds the port, no port is chosen).
  void Create(HWND owner, const std::string& portEntry, int maker, const std::string& refusal);
  bool Closed() const { return !Handle(); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND Control(std::string_view name) const;
  void AddLine(const std::string& line);
  void CopyButtonClick();

  PhoneWorker worker_;
  HFONT font_ = nullptr;
  HWND focus_ = nullptr;
};

}  // namespace vexel
