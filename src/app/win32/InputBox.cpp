#include "app/win32/InputBox.h"

#include <span>

#include "app/win32/Controls.h"
#include "app/win32/MessagePump.h"
#include "app/win32/Window.h"

namespace vexel {

namespace {

constexpr int kClientWidth96 = 260;
constexpr int kClientHeight96 = 90;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

const ControlLayout kControls[] = {
    {"Prompt", "STATIC", "", kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 8, 8, 244, 13},
    {"Edit", "EDIT", "", kChild | WS_TABSTOP | ES_AUTOHSCROLL, 8, 26, 244, 21, Fit::kAsGiven,
     WS_EX_CLIENTEDGE},
    {"OK", "BUTTON", "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 96, 58, 75, 25},
    {"Cancel", "BUTTON", "Cancel", kChild | WS_TABSTOP, 177, 58, 75, 25},
};
// The same with a drop-down box for the line (its height is the list's).
const ControlLayout kControlsWithChoices[] = {
    kControls[0],
    {"Edit", "COMBOBOX", "", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 8,
     26, 244, 150},
    kControls[2],
    kControls[3],
};

class InputBoxWindow : public Window {
 public:
  ~InputBoxWindow() override {
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
  }

  void Create(HWND owner, const std::string& title, const std::string& prompt,
              const std::string& initial, int maxLength, const std::vector<std::string>& choices) {
    CreateWindowObject("VexelInputBox", WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                       WS_POPUP | WS_CAPTION | WS_SYSMENU, title.c_str(), 0, 0, 100, 100, owner);
    SetClientSize(Handle(), kClientWidth96, kClientHeight96);
    CenterOnScreen(Handle());
    combo_ = !choices.empty();
    const std::span<const ControlLayout> controls =
        combo_ ? std::span<const ControlLayout>(kControlsWithChoices) : kControls;
    CreateControls(Handle(), kInputBoxControls, controls);
    SetWindowTextA(Item("Prompt"), prompt.c_str());
    for (const std::string& choice : choices)
      SendMessageA(Item("Edit"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    SendMessageA(Item("Edit"), combo_ ? CB_LIMITTEXT : EM_LIMITTEXT, static_cast<WPARAM>(maxLength),
                 0);
    SetWindowTextA(Item("Edit"), initial.c_str());
    font_ = CreateTahoma8(Handle());
    SetFontOfChildren(Handle(), font_);
    LayoutControls(Handle(), kInputBoxControls, controls, kClientWidth96, kClientHeight96);
  }

  bool Done() const { return answer_ != 0 || !Handle(); }
  std::optional<std::string> Answer() const {
    if (answer_ != IDOK) return std::nullopt;
    return line_;
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) line_ = WindowText(Item("Edit"));
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) answer_ = LOWORD(wParam);
        return 0;
      case WM_CLOSE:
        answer_ = IDCANCEL;
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !focus_) {
          // First activation: the whole line selected, ready to be replaced.
          focus_ = Item("Edit");
          if (combo_)
            SendMessageA(focus_, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
          else
            SendMessageA(focus_, EM_SETSEL, 0, -1);
        }
        KeepFocusOnActivate(wParam, focus_, Item("Edit"));
        return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
  }

 private:
  HWND Item(std::string_view name) const {
    return GetDlgItem(Handle(), ControlId(kInputBoxControls, name));
  }

  HFONT font_ = nullptr;
  HWND focus_ = nullptr;
  bool combo_ = false;
  int answer_ = 0;
  std::string line_;
};

}  // namespace

std::optional<std::string> InputBox(HWND owner, const std::string& title, const std::string& prompt,
                                    const std::string& initial, int maxLength,
                                    const std::vector<std::string>& choices) {
  InputBoxWindow box;
  box.Create(owner, title, prompt, initial, maxLength, choices);
  RunModal(box.Handle(), [&] { return box.Done(); });
  return box.Answer();
}

}  // namespace vexel
