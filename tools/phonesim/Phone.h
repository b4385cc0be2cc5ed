// The simulated phone: answers AT commands on its line and plays steps
// (key reports, pauses, noise, hang-ups) queued from a script, from the
// prompt or from a test, logging what it receives and sends.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "AtResponder.h"
#include "Line.h"
#include "Script.h"

namespace vexel::phonesim {

// Time-stamped log lines: "  12.345 < AT\r" for bytes received, "> " for
// bytes sent, "- " for notes. Any thread.
class PhoneLog {
 public:
  explicit PhoneLog(std::ostream* out) : out_(out) {}
  void Received(std::string_view bytes) { Write("<", Escape(bytes)); }
  void Sent(std::string_view bytes) { Write(">", Escape(bytes)); }
  void Note(std::string_view text) { Write("-", text); }

 private:
  void Write(const char* tag, std::string_view text);

  std::mutex mutex_;
  std::ostream* out_;  // null: no log
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

struct PhoneOptions {
  ReplyMode reply = ReplyMode::kOk;
  bool echo = true;
  bool keysOn = false;
  const MakerProfile* maker = &DefaultMaker();
  // The null-modem's control folder (as this program sees it); empty: no rig,
  // so "hangup" can only close and reopen the port.
  std::string rigFolder;
};

class Phone {
 public:
  Phone(Line& line, PhoneLog& log, const PhoneOptions& options);

  // Any thread: steps to play after those already queued.
  void Enqueue(std::vector<Step> steps);
  // Any thread, and from a signal handler: Run returns soon.
  void Stop();
  // Any thread: true once every step queued so far has been played, waiting
  // at most timeoutMs.
  bool WaitPlayed(int timeoutMs);
  // Any thread: the bytes received so far (the last MiB of them).
  std::string Received() const;

  // Opens the line and answers and plays until a "quit" step or Stop().
  // 1 when the port cannot be opened at start, else 0.
  int Run();

 private:
  using Clock = std::chrono::steady_clock;
  enum class LineState { kUp, kLost, kUnplugged, kReplugging };

  int PlayDueSteps();
  bool StartStep(const Step& step);
  int ContinueStep();
  void OnBytes(const std::string& bytes);
  void Send(const std::string& bytes);
  void Unplug();
  void Replug();
  void TryReopen();
  std::string RigFile(const char* name) const;
  std::string ReadGeneration() const;

  Line& line_;
  PhoneLog& log_;
  const std::string rigFolder_;

  // Shared with other threads, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable played_;
  std::deque<Step> queue_;
  bool busy_ = false;  // steps are being played (written by the Run thread)
  std::string received_;

  std::atomic<bool> stopping_{false};

  // The Run thread only.
  AtResponder responder_;
  Step current_;
  bool stepWaiting_ = false;  // current_ takes time: ContinueStep finishes it
  Clock::time_point due_;     // end of the current pause, wait or hang-up phase
  LineState lineState_ = LineState::kUp;
  Clock::time_point nextReopen_;
  std::string unpluggedGeneration_;
  bool quit_ = false;
};

}  // namespace vexel::phonesim
