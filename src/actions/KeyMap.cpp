#include "actions/KeyMap.h"

#include "base/Text.h"

namespace vexel {

std::string KeyMap::ValueOf(std::string_view keyCode) const {
  for (const KeyMapRow& row : rows_)
    if (SameText(row.key, keyCode)) return row.action;
  return {};
}

void KeyMap::Clear() {
  rows_.clear();
  Changed();
}

void KeyMap::Append(std::string key, std::string action, bool editButton) {
  rows_.push_back({std::move(key), std::move(action), editButton});
  Changed();
}

void KeyMap::SetAction(size_t row, std::string action) {
  if (row >= rows_.size()) return;
  rows_[row].action = std::move(action);
  Changed();
}

void KeyMap::GiveEditButtons() {
  for (KeyMapRow& row : rows_) row.editButton = true;
  Changed();
}

}  // namespace vexel
