#include "app/LinkNotices.h"

namespace vexel {

std::optional<Notice> LinkNotices::For(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::kUp:
    case LinkEventKind::kBack: {
      const bool back = !told_.empty();
      told_.clear();
      std::string body = event.maker.empty() ? event.port : event.maker + " on " + event.port;
      return Notice{back ? "Phone link back" : "Phone linked", body};
    }
    case LinkEventKind::kLost:
      if (!told_.empty()) return std::nullopt;
      told_ = "lost";
      return Notice{"Phone link lost", "Vexel tries to re-establish it every 10 s."};
    case LinkEventKind::kGaveUp:
      if (told_ == "gave up") return std::nullopt;
      told_ = "gave up";
      return Notice{"Vexel gave up the phone link", event.reason};
    case LinkEventKind::kRing:
      if (!event.on || event.caller.empty()) return std::nullopt;
      return Notice{"Incoming call", event.caller};
    default:
      return std::nullopt;
  }
}

}  // namespace vexel
