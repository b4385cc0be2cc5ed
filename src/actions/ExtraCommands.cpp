#include "actions/ExtraCommands.h"

namespace vexel {

std::string_view SpecialCommandText(int tag) {
  static constexpr std::string_view kByTag[] = {"", "$reboot", "$shutdown", "$on/off Vexel"};
  return tag >= 1 && tag <= 3 ? kByTag[tag] : std::string_view();
}

std::string CustomCommandProposal(std::string_view fieldText) {
  if (fieldText.empty() || fieldText.front() != '#') return {};
  return std::string(fieldText.substr(1));
}

std::string CustomCommandField(std::string_view enteredLine) {
  return "#" + std::string(enteredLine);
}

}  // namespace vexel
