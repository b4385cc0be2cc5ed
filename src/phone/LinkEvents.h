// What the phone link tells the program around it: what happened to the
// link, in the link's own words, never what to draw. The Windows program
// derives its tray image, menu caption and learn button from these events
// (app/LinkView.h); the Linux program logs them and takes its exit status
// from them.
#pragma once

#include <string>

namespace vexel {

enum class LinkEventKind {
  kStarting,      // a start by the user or the program opens `port`
  kUp,            // the phone acknowledged key reporting: `port`, `maker`, `command`
  kStartFailed,   // start number `attempt` failed for `reason`; another follows in `nextInMs`
  kLost,          // the line of a link that was up is lost
  kReconnecting,  // reconnection attempt `attempt` of `attempts` begins
  kBack,          // a reconnection attempt brought the link back: `port`, `maker`, `command`
  kGaveUp,        // the link is down for good: `reason`
  kStopped,       // the link is down as asked (Stop, Exit, another port)
  kLearning,      // learn mode switched `on` or off
  kKeyLearned,    // learn mode took `key`
  kControl,       // "$on/off Vexel" switched control `on` or off
  kKeypadLocked,  // the phone's keypad is locked (`on`), or a key came after the lock
  kRing,          // the phone rings (`on`), with the `caller` once known, or stopped ringing
  kPhoneState,    // the phone's `battery` or `signal` changed
};

struct LinkEvent {
  LinkEvent(LinkEventKind k) : kind(k) {}  // an event of this kind, its details empty
  LinkEventKind kind;
  std::string port;     // the port's name as the port takes it: COM5, /dev/rfcomm0
  std::string maker;    // the maker's name as the list shows it; empty when none is selected
  std::string command;  // the key reporting command sent
  std::string reason;   // why a start failed or the link was given up
  std::string key;      // the learned key code
  int attempt = 0;
  int attempts = 0;
  unsigned nextInMs = 0;  // 0: no further start follows
  bool on = false;
  std::string caller;  // the calling number; empty when not (yet) known
  int battery = -1;    // the charge in percent; -1 unknown
  int signal = -1;     // the signal in bars, 0 to 5; -1 unknown
};

// The maker and the key reporting command in use, as the log and the tray's
// hint show them: "Motorola, AT+CMER=3,1,0,0,0", or the one that is known.
std::string MakerAndCommand(const std::string& maker, const std::string& command);

// The phone's battery and signal as the log and the tray's hint show them:
// "battery 60 %, signal 3 of 5", or the one that is known; empty for none.
std::string DescribePhoneState(int battery, int signal);

// The event as one line, as the Linux program logs it ("link up on
// /dev/rfcomm0: Motorola, AT+CMER=3,1,0,0,0", "attempt 2 of 13").
std::string DescribeLinkEvent(const LinkEvent& event);

class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  // Called on the main thread as the event happens, possibly from inside a
  // call of the front door or a command wait.
  virtual void OnLinkEvent(const LinkEvent& event) = 0;
};

}  // namespace vexel
