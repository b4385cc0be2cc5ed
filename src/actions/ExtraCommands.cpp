#include "actions/ExtraCommands.h"

#include <iterator>

namespace vexel {

std::string_view SpecialCommandText(int tag) {
  static constexpr std::string_view kByTag[] = {"", "$reboot", "$shutdown", "$on/off Vexel",
                                                "$lock"};
  return tag >= 1 && tag < static_cast<int>(std::size(kByTag)) ? kByTag[tag] : std::string_view();
}

bool AsksForSpecialCommand(std::string_view payload) {
  for (int tag = 1; !SpecialCommandText(tag).empty(); ++tag)
    if (payload.find(SpecialCommandText(tag).substr(1)) != std::string_view::npos) return true;
  return false;
}

std::string CustomCommandProposal(std::string_view fieldText) {
  if (fieldText.empty() || fieldText.front() != '#') return {};
  return std::string(fieldText.substr(1));
}

std::string CustomCommandField(std::string_view enteredLine) {
  return "#" + std::string(enteredLine);
}

}  // namespace vexel
