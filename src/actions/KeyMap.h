// The key map: ordered rows of phone key code and action text.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexel {

struct KeyMapRow {
  std::string key;     // the key code as the phone reports it: "5", "#", ":J"
  std::string action;  // the action text; empty means no action
  bool editButton = false;  // the row's value cell has its ellipsis button
};

// The model behind the Properties window's grid ValueListEditor1. Keys are
// not unique; a lookup takes the first row whose key matches, ignoring case.
class KeyMap {
 public:
  const std::vector<KeyMapRow>& Rows() const { return rows_; }
  bool Empty() const { return rows_.empty(); }

  // The action of the first row whose key matches the code; empty if none.
  std::string ValueOf(std::string_view keyCode) const;

  void Clear();
  void Append(std::string key, std::string action, bool editButton);
  void SetAction(size_t row, std::string action);
  // Every row gets its ellipsis button (learn mode ends).
  void GiveEditButtons();

  // Called after every change, so that a view can redraw.
  void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

 private:
  void Changed() const {
    if (onChange_) onChange_();
  }
  std::vector<KeyMapRow> rows_;
  std::function<void()> onChange_;
};

}  // namespace vexel
