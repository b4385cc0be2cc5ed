#include "actions/KeyMap.h"

#include <algorithm>

#include "base/Text.h"

namespace vexel {

bool MapAppliesTo(std::string_view program, const FocusedWindow& window) {
  if (program.empty()) return false;
  std::string_view file = window.programFile;
  if (SameText(program, file)) return true;
  const size_t dot = file.rfind('.');
  if (dot != std::string_view::npos && dot > 0 && SameText(program, file.substr(0, dot)))
    return true;
  return std::any_of(window.windowClasses.begin(), window.windowClasses.end(),
                     [&](const std::string& name) { return SameText(program, name); });
}

bool IsEventEntry(std::string_view key) {
  return SameText(key, kRingEntry) || SameText(key, kLinkUpEntry) || SameText(key, kLinkLostEntry);
}

std::string KeyMap::ValueOf(std::string_view keyCode) const {
  for (const KeyMapRow& row : Rows())
    if (SameText(row.key, keyCode)) return row.action;
  return {};
}

void KeyMap::Clear() {
  maps_[shown_].rows.clear();
  Changed();
}

void KeyMap::ClearPhoneKeys() {
  std::erase_if(maps_[shown_].rows, [](const KeyMapRow& row) { return !IsEventEntry(row.key); });
  Changed();
}

void KeyMap::Append(std::string key, std::string action, bool editButton) {
  maps_[shown_].rows.push_back({std::move(key), std::move(action), editButton});
  Changed();
}

void KeyMap::SetAction(size_t row, std::string action) {
  if (row >= Rows().size()) return;
  maps_[shown_].rows[row].action = std::move(action);
  Changed();
}

void KeyMap::GiveEditButtons() {
  for (Map& map : maps_)
    for (KeyMapRow& row : map.rows) row.editButton = true;
  Changed();
}

std::vector<std::string> KeyMap::Programs() const {
  std::vector<std::string> programs;
  for (size_t i = 1; i < maps_.size(); ++i) programs.push_back(maps_[i].program);
  return programs;
}

const std::vector<KeyMapRow>& KeyMap::RowsOf(std::string_view program) const {
  static const std::vector<KeyMapRow> kNone;
  for (const Map& map : maps_)
    if (SameText(map.program, program)) return map.rows;
  return kNone;
}

void KeyMap::ShowMap(std::string_view program) {
  auto map = std::find_if(maps_.begin(), maps_.end(),
                          [&](const Map& m) { return SameText(m.program, program); });
  if (map == maps_.end()) map = maps_.insert(maps_.end(), Map{std::string(program), {}});
  shown_ = static_cast<size_t>(map - maps_.begin());
  Changed();
}

void KeyMap::ClearAll() {
  maps_.assign(1, Map{});
  shown_ = 0;
  Changed();
}

const KeyMapRow* KeyMap::Acting(const std::vector<KeyMapRow>& rows, std::string_view keyCode) {
  for (const KeyMapRow& row : rows)
    if (SameText(row.key, keyCode)) return Trim(row.action).empty() ? nullptr : &row;
  return nullptr;
}

bool KeyMap::ProgramMapsAct(std::string_view keyCode) const {
  return std::any_of(maps_.begin() + 1, maps_.end(),
                     [&](const Map& map) { return Acting(map.rows, keyCode) != nullptr; });
}

std::string KeyMap::ActionFor(std::string_view keyCode, const FocusedWindow& window) const {
  for (size_t i = 1; i < maps_.size(); ++i)
    if (MapAppliesTo(maps_[i].program, window))
      if (const KeyMapRow* row = Acting(maps_[i].rows, keyCode)) return row->action;
  for (const KeyMapRow& row : maps_[0].rows)
    if (SameText(row.key, keyCode)) return row.action;
  return {};
}

}  // namespace vexel
