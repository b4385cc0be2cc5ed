// TMobPropsForm: the Properties window, hidden until asked for. It shows the
// phone maker, the port, the two options and the key map grid (the map for
// all programs, or a program's, chosen in "Keys for:"), reads and
// writes the settings file, loads and saves keys files, switches learn mode,
// and opens the Button Action window for a row. Its window timers are the
// core's (base/Timers.h): they fire into the front door.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/win32/ValueListGrid.h"
#include "app/win32/Window.h"
#include "app/windows/PhoneWorker.h"
#include "phone/KeypadRemote.h"

namespace vexel {

class TMobPropsForm : public Window {
 public:
  explicit TMobPropsForm(KeypadRemote& remote);
  ~TMobPropsForm() override;

  // Creates the window and its controls, hidden and off the screen.
  void Create(HWND owner, HICON icon);

  // Window life: FormCreate fills the port list and reads the settings and
  // the keys file; the first activation reads both once more.
  void FormCreate();
  void FormActivate();
  bool AutostartTicked() const;

  // Shows the window in the middle of the screen the first time, with a
  // fresh port list; warns when there are no ports.
  void N1Click();

  // What the phone link asks and shows through the window.
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons);
  // MapKeysButton: enabled or not, down (learning) or up.
  void ShowMapKeysButton(bool enabled, bool down);
  std::string SelectedPortText() const;
  int PhoneTypeIndex() const;
  void ShowReplyLog(const std::string& log);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND Control(std::string_view name) const;
  void CreateControls();
  void LayoutControls();
  void Command(int id, int notification);

  void FillPortList();
  // Selects the list's entry of the text; when there is none, as `missing` says.
  enum class Missing { kSelectFirst, kSelectNone, kKeepSelection };
  void SelectPortEntry(const std::string& text, Missing missing);
  void ReadSettings();
  void WriteSettings();

  // Handlers, one per control (see the command table).
  void SpeedButton1Click();  // Save
  void SpeedButton2Click();  // Close
  void SpeedButton6Click();  // keys Load
  void SpeedButton5Click();  // keys Save
  void MapKeysButtonClick();
  void cbReconnectClick();
  // "Keys for:": "All programs", each program's map, "Add program...".
  void FillKeysForList();
  void cbKeysForChange();
  void AddProgramClick();
  void ValueListEditor1EditButtonClick(size_t row);
  // "Find": tries the listed ports in a thread of their own and selects the
  // first that answers like a phone; pressed again ("Cancel") it stops.
  void FindButtonClick();
  void FindLine(const std::string& entry);
  void FindDone(const std::string& result);

  struct CommandHandler {
    std::string_view name;
    void (TMobPropsForm::*click)();
  };
  static const CommandHandler kCommandHandlers[];

  KeypadRemote& remote_;
  ValueListGrid grid_;
  std::string portText_;  // the in-memory port text of the settings
  HFONT font_ = nullptr;
  bool activated_ = false;
  PhoneWorker finder_;
};

}  // namespace vexel
