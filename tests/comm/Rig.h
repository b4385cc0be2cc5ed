// What the serial tests stand on: the rig's virtual null-modem, the
// simulated phone on its far end, a message pump for the test's thread and a
// recorder of what TComm32 delivers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Line.h"
#include "Phone.h"
#include "comm/win32/Comm32.h"

namespace vexel::test {

inline constexpr char kPcPort[] = "\\\\.\\COM27";  // TComm32's end
inline constexpr char kPhonePort[] = "COM28";      // the phone's end
inline constexpr int kDeadlineMs = 15000;          // generous: the machine is shared

// The rig's null-modem (scripts/nullmodem), through its control files.
class NullModem {
 public:
  // The folder as this program sees it; empty outside the rig.
  static std::string Folder();
  // Plugs in a fresh cable (empty buffers) and waits until it is up.
  static bool FreshCable();
  // Unplugs the cable: both ends see their line fail.
  static void Unplug();
  static void RemoveDown();
};

// The simulated phone on COM28, played in a thread of the test.
class PhoneOnCom28 {
 public:
  explicit PhoneOnCom28(const phonesim::PhoneOptions& options);
  ~PhoneOnCom28();
  // True once the phone's port is open.
  bool Ready() { return phone_.WaitPlayed(kDeadlineMs); }
  // Queues script lines (see phonesim --help); false when they do not parse.
  bool Play(const std::string& script);
  bool WaitPlayed() { return phone_.WaitPlayed(kDeadlineMs); }
  std::string Received() const { return phone_.Received(); }
  // The phone's log; only once the phone has stopped.
  std::string Log();

 private:
  std::ostringstream log_;
  phonesim::PhoneLog phoneLog_{&log_};
  std::unique_ptr<phonesim::Line> line_;
  phonesim::Phone phone_;
  std::thread thread_;
};

// Dispatches this thread's messages until done() holds; false when it did
// not within timeoutMs.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = kDeadlineMs);

// Everything TComm32 delivered, in order.
struct Delivered {
  std::vector<std::string> chunks;
  int hangups = 0;
  bool zeroAfterEachChunk = true;

  void RecordFrom(TComm32& port);
  std::string All() const;
};

// A fresh path in the temporary folder.
std::string TempPath(const std::string& name);

}  // namespace vexel::test
