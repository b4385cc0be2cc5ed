// The Button Action window TBAForm: edits the action of one phone key, what
// happens when it goes down (side 1), when it comes up (side 2) and when it
// is held long (side 3). It is
// created for one edit from the fields that the action text was loaded
// into, shown modally, read back on "Apply" and destroyed.
#pragma once

#include <memory>

#include "actions/ActionText.h"
#include "actions/win32/vHotKey.h"
#include "app/win32/Window.h"

namespace vexel {

class TBAForm : public Window {
 public:
  enum class ModalResult { kNone, kOk, kCancel };

  explicit TBAForm(const KeyNames& layout);
  ~TBAForm() override;

  // Creates the window at the top left corner of the screen, owned by
  // owner, with its controls as created (FormCreate included); hidden.
  void Create(HWND owner);
  // Shows the loaded fields; a ticked side is ticked as a click ticks it.
  void Load(const ActionEditorFields& fields);
  // What the window holds, written over the fields: the mode stays as it
  // was when the mode list shows no item for it (a digit 4 to 9, or 3 on
  // the button-up side).
  void Read(ActionEditorFields& fields) const;
  ModalResult Result() const { return modalResult_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND Control(std::string_view name) const;
  // The control named by prefix and side number, e.g. "Edit" and 2.
  HWND SideControl(std::string_view prefix, int side) const;
  void EnableControl(std::string_view name, bool enabled);
  void Layout();
  void Command(int id, HWND sender);
  void DrawButtonPicture(const DRAWITEMSTRUCT& item) const;

  void FormCreate();
  // Handlers (see the command table): the control or item and its identifier.
  void SetEnables(HWND checkBox, int id = 0);
  void OpenFile(HWND button, int id);
  void showExtraCmds(HWND button, int id);
  // The named keys menu of side N's KeyBtn: the chosen key goes into the
  // side's hot-key control, for keyboards without media keys.
  void showNamedKeys(HWND button, int id);
  void NamedKeyClick(HWND, int itemId);
  // Side 3 ("On long press") is offered only while side 1 holds what can
  // wait for the release: nothing, an Execute part or a Click.
  void OfferLongPress();
  // Opens a popup menu right-aligned below a button of a side.
  void TrackMenuBelow(HMENU menu, HWND button);
  void AddSpecialCommandClick(HWND, int itemId);
  void Customcommand1Click(HWND, int);
  void sbtnBAApplyClick(HWND, int);
  void SpeedButton2Click(HWND = nullptr, int = 0);
  void AddExtraCmd(std::uint8_t tag);

  struct CommandHandler {
    std::string_view name;
    void (TBAForm::*click)(HWND sender, int id);
  };
  static const CommandHandler kCommandHandlers[];

  const KeyNames& layout_;
  std::unique_ptr<TvHotKey> hotKeys_[3];  // HotKey1 to HotKey3
  HMENU extraCmdMenu_ = nullptr;
  HMENU namedKeyMenu_ = nullptr;
  int extraCmdMenuTag_ = 0;  // the side whose ExtBtn or KeyBtn opened its menu
  HFONT font_ = nullptr;
  HWND focus_ = nullptr;
  ModalResult modalResult_ = ModalResult::kNone;
};

// Runs the Button Action window on the fields: true when the user applied,
// and then the fields hold what the window showed.
bool ShowButtonActionWindow(HWND owner, ActionEditorFields& fields, const KeyNames& layout);

}  // namespace vexel
