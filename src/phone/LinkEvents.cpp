#include "phone/LinkEvents.h"

namespace vexel {

namespace {

std::string LinkedOn(const LinkEvent& event) {
  const std::string inUse = MakerAndCommand(event.maker, event.command);
  return " on " + event.port + (inUse.empty() ? "" : ": " + inUse);
}

}  // namespace

std::string MakerAndCommand(const std::string& maker, const std::string& command) {
  if (maker.empty() || command.empty()) return maker + command;
  return maker + ", " + command;
}

std::string DescribePhoneState(int battery, int signal) {
  std::string text;
  if (battery >= 0) text = "battery " + std::to_string(battery) + " %";
  if (signal >= 0)
    text += (text.empty() ? "" : ", ") + std::string("signal ") + std::to_string(signal) + " of 5";
  return text;
}

std::string DescribeLinkEvent(const LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::kStarting:
      return "starting on " + event.port;
    case LinkEventKind::kUp:
      return "link up" + LinkedOn(event);
    case LinkEventKind::kStartFailed: {
      std::string text = "start attempt " + std::to_string(event.attempt) + " failed";
      if (event.nextInMs) text += "; next in " + std::to_string(event.nextInMs / 1000) + " s";
      if (!event.reason.empty()) text += " (" + event.reason + ")";
      return text;
    }
    case LinkEventKind::kLost:
      return "link lost";
    case LinkEventKind::kReconnecting:
      return "attempt " + std::to_string(event.attempt) + " of " + std::to_string(event.attempts);
    case LinkEventKind::kBack:
      return "link up again" + LinkedOn(event);
    case LinkEventKind::kGaveUp:
      return "giving up: " + event.reason;
    case LinkEventKind::kStopped:
      return "link down";
    case LinkEventKind::kLearning:
      return event.on ? "learn mode on" : "learn mode off";
    case LinkEventKind::kKeyLearned:
      return "learned " + event.key;
    case LinkEventKind::kKeypadLocked:
      return event.on ? "the phone's keypad is locked" : "the phone's keypad is unlocked";
    case LinkEventKind::kControl:
      return event.on ? "control on" : "control off: keys run only special commands";
    case LinkEventKind::kRing:
      if (!event.on) return "the phone stopped ringing";
      return event.caller.empty() ? "the phone rings" : "call from " + event.caller;
    case LinkEventKind::kPhoneState: {
      const std::string state = DescribePhoneState(event.battery, event.signal);
      return state.empty() ? "battery and signal unknown" : state;
    }
  }
  return {};
}

}  // namespace vexel
