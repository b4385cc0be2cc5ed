// The rig's virtual null-modem (scripts/nullmodem) and the simulated phone
// on its far end, for the tests and benchmarks that run under Wine: the
// program under test takes COM27, the phone plays COM28 in a thread.
#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "Line.h"
#include "Phone.h"
#include "WindowDriver.h"

namespace vexel::test {

inline constexpr char kPhonePort[] = "COM28";  // the phone's end
inline constexpr int kDeadlineMs = 15000;      // generous: the machine is shared

// The rig's null-modem, through its control files.
class NullModem {
 public:
  // The folder as this program sees it; empty outside the rig.
  static std::string Folder();
  // Plugs in a fresh cable (empty buffers) and waits until it is up.
  static bool FreshCable();
  // Unplugs the cable and waits until it is out: both ends see their line
  // fail. False when it is still in after the deadline.
  static bool Unplug();
  // Whether the cable is in (its pty links exist).
  static bool Plugged();
  static void RemoveDown();
};

// The simulated phone on COM28 (or another port of the rig), played in a
// thread of the test.
class PhoneOnCom28 {
 public:
  explicit PhoneOnCom28(const phonesim::PhoneOptions& options, const char* port = kPhonePort);
  ~PhoneOnCom28();
  // True once the phone's port is open.
  bool Ready() { return phone_.WaitPlayed(kDeadlineMs); }
  // Queues script lines (see phonesim --help); false when they do not parse.
  bool Play(const std::string& script);
  bool WaitPlayed(int timeoutMs = kDeadlineMs) { return phone_.WaitPlayed(timeoutMs); }
  std::string Received() const { return phone_.Received(); }
  // How often the phone has received the text so far.
  size_t Count(const std::string& text) const;
  // The phone's log; only once the phone has stopped.
  std::string Log();

 private:
  std::ostringstream log_;
  phonesim::PhoneLog phoneLog_{&log_};
  std::unique_ptr<phonesim::Line> line_;
  phonesim::Phone phone_;
  std::thread thread_;
};

}  // namespace vexel::test
