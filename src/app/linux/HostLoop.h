// The Linux program's event loop: one poll(2) over the watched descriptors
// (the serial port, a signalfd), with the timers of the core and the
// descriptors' deadlines as its time-out. A pass may be run from inside a
// handler (the core's command wait does so): every pass takes a fresh look
// at the descriptors and calls only handlers that are still installed.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <initializer_list>
#include <map>

#include "comm/posix/FdWatch.h"
#include "phone/LinkHost.h"

namespace vexel {

class HostLoop : public LinkHost, public FdWatch {
 public:
  HostLoop() = default;
  ~HostLoop() override;
  HostLoop(const HostLoop&) = delete;
  HostLoop& operator=(const HostLoop&) = delete;

  // Where the core's timers go (KeypadRemote::TimerFired).
  void SetOnTimer(std::function<void(unsigned id)> onTimer) { onTimer_ = std::move(onTimer); }
  // Where an exception that a handler lets out goes (the program's standard
  // error box); the pass goes on with the next handler.
  void SetOnError(std::function<void(const std::exception&)> onError) {
    onError_ = std::move(onError);
  }
  // Blocks the signals and receives them through a signalfd in the loop.
  // False when the signalfd cannot be made.
  bool WatchSignals(std::initializer_list<int> signals, std::function<void(int signal)> onSignal);

  void Quit() { quit_ = true; }
  bool Quitting() const { return quit_; }
  // One pass: waits at most timeoutMs (-1: until something happens) and
  // handles what is due. True when something was handled.
  bool Pass(int timeoutMs);

  // LinkHost
  void StartTimer(unsigned id, unsigned intervalMs) override;
  void StopTimer(unsigned id) override;
  std::uint64_t Milliseconds() override;
  void ProcessMessages() override { Pass(0); }
  void Sleep(unsigned milliseconds) override;

  // FdWatch
  void WatchFd(int fd, short events, FdHandler handler) override;
  void SetFdEvents(int fd, short events) override;
  void SetFdDeadline(int fd, int milliseconds) override;
  void UnwatchFd(int fd) override;
  void Post(std::function<void()> work) override { posted_.push_back(std::move(work)); }

  // How many passes have run (the benchmark's idle check).
  std::uint64_t Passes() const { return passes_; }

 private:
  struct Watch {
    short events;
    FdHandler handler;
    std::int64_t deadline;  // Milliseconds() when the handler gets 0; -1 none
    std::uint64_t serial;   // tells a watch from a later one of the same descriptor
  };
  struct Timer {
    unsigned interval;
    std::uint64_t due;
  };
  int TimeoutUntilDue(int timeoutMs);
  template <typename Call>
  void Guarded(Call&& call);

  std::map<int, Watch> watches_;
  std::map<unsigned, Timer> timers_;
  std::deque<std::function<void()>> posted_;
  std::function<void(unsigned)> onTimer_;
  std::function<void(int)> onSignal_;
  std::function<void(const std::exception&)> onError_;
  int signalFd_ = -1;
  std::uint64_t nextSerial_ = 1;
  std::uint64_t passes_ = 0;
  bool quit_ = false;
};

}  // namespace vexel
