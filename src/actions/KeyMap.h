// The key map: ordered rows of phone key code and action text, for all
// programs, and beside them a map of its own for each program named.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexel {

struct KeyMapRow {
  std::string key;          // the key code as the phone reports it: "5", "#", ":J"
  std::string action;       // the action text; empty means no action
  bool editButton = false;  // the row's value cell has its ellipsis button
};

// The window that has the keyboard focus, as the system names it: its
// program's file name ("vlc.exe", "soffice.bin") and its window classes
// (Windows: the class name; X11: the WM_CLASS instance and class). Empty
// when there is none, or when the system does not tell (a Wayland session).
struct FocusedWindow {
  std::string programFile;
  std::vector<std::string> windowClasses;
};

// The phone's events as the map for all programs names its entries for
// them: they run on the event, never on a key the phone reports.
inline constexpr std::string_view kRingEntry = "(ring)";
inline constexpr std::string_view kLinkUpEntry = "(link up)";
inline constexpr std::string_view kLinkLostEntry = "(link lost)";
bool IsEventEntry(std::string_view key);

// Whether a program's map ([Keys <name>]) applies to the window: the name
// equals, ignoring case, the program's file name with or without its
// extension, or one of its window classes.
bool MapAppliesTo(std::string_view program, const FocusedWindow& window);

// The model behind the Properties window's grid ValueListEditor1. Keys are
// not unique; a lookup takes the first row whose key matches, ignoring case.
// Rows, and everything that reads or changes them, are those of the map
// shown: the map for all programs ([Keys]) unless ShowMap chose a program's.
class KeyMap {
 public:
  KeyMap() : maps_(1) {}

  const std::vector<KeyMapRow>& Rows() const { return maps_[shown_].rows; }
  bool Empty() const { return Rows().empty(); }

  // The action of the first row whose key matches the code; empty if none.
  std::string ValueOf(std::string_view keyCode) const;

  void Clear();
  // Learn mode's start: the rows of the map shown emptied but its event
  // entries.
  void ClearPhoneKeys();
  void Append(std::string key, std::string action, bool editButton);
  void SetAction(size_t row, std::string action);
  // Every row gets its ellipsis button (learn mode ends).
  void GiveEditButtons();

  // The programs that have a map, in order, and the rows of one (of the map
  // for all programs for the empty name; none for a program without a map).
  std::vector<std::string> Programs() const;
  const std::vector<KeyMapRow>& RowsOf(std::string_view program) const;
  // Shows the program's map, made empty when there is none; the empty name
  // shows the map for all programs.
  void ShowMap(std::string_view program);
  const std::string& ShownMap() const { return maps_[shown_].program; }
  // Every map removed: only an empty map for all programs, shown.
  void ClearAll();

  // Whether a program's map gives the key an action (a row whose action is
  // not blank): only then does the focused window matter for it.
  bool ProgramMapsAct(std::string_view keyCode) const;
  // The key's action for a key event: from the first program's map that
  // applies to the window and gives the key an action, else from the map
  // for all programs.
  std::string ActionFor(std::string_view keyCode, const FocusedWindow& window) const;

  // Called after every change, so that a view can redraw.
  void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

 private:
  struct Map {
    std::string program;  // empty: all programs
    std::vector<KeyMapRow> rows;
  };
  // The first row of the key in the rows with a non-blank action, if any.
  static const KeyMapRow* Acting(const std::vector<KeyMapRow>& rows, std::string_view keyCode);
  void Changed() const {
    if (onChange_) onChange_();
  }
  std::vector<Map> maps_;  // [0] is the map for all programs
  size_t shown_ = 0;
  std::function<void()> onChange_;
};

}  // namespace vexel
