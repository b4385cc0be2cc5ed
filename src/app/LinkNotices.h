// The desktop notices of the link: one when it comes up, one when it is
// lost and one when it is given up, with the reason; and one for each
// call whose number the phone tells. An outage is told once,
// however many attempts, or restarts of the program, it takes: what was told
// of the outage is remembered by the caller across restarts, as one word.
#pragma once

#include <optional>
#include <string>

#include "phone/LinkEvents.h"

namespace vexel {

struct Notice {
  std::string summary;
  std::string body;
};

class LinkNotices {
 public:
  // What was told of the running outage: "" (none runs), "lost" or "gave up".
  explicit LinkNotices(std::string told) : told_(std::move(told)) {}

  // The notice the event calls for, if any.
  std::optional<Notice> For(const LinkEvent& event);
  // What to remember now.
  const std::string& Told() const { return told_; }

 private:
  std::string told_;
};

}  // namespace vexel
