#include "app/linux/HostLoop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace vexel {

HostLoop::~HostLoop() {
  if (signalFd_ >= 0) close(signalFd_);
}

bool HostLoop::WatchSignals(std::initializer_list<int> signals, std::function<void(int)> onSignal) {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : signals) sigaddset(&set, signal);
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  signalFd_ = signalfd(signalFd_, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ < 0) return false;
  onSignal_ = std::move(onSignal);
  WatchFd(signalFd_, POLLIN, [this](short) {
    signalfd_siginfo info;
    while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
      if (onSignal_) onSignal_(static_cast<int>(info.ssi_signo));
  });
  return true;
}

std::uint64_t HostLoop::Milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

void HostLoop::Sleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void HostLoop::StartTimer(unsigned id, unsigned intervalMs) {
  timers_[id] = {intervalMs, Milliseconds() + intervalMs};
}

void HostLoop::StopTimer(unsigned id) { timers_.erase(id); }

void HostLoop::WatchFd(int fd, short events, FdHandler handler) {
  watches_[fd] = {events, std::move(handler), -1, nextSerial_++};
}

void HostLoop::SetFdEvents(int fd, short events) {
  if (auto it = watches_.find(fd); it != watches_.end()) it->second.events = events;
}

void HostLoop::SetFdDeadline(int fd, int milliseconds) {
  if (auto it = watches_.find(fd); it != watches_.end())
    it->second.deadline =
        milliseconds < 0 ? -1 : static_cast<std::int64_t>(Milliseconds()) + milliseconds;
}

void HostLoop::UnwatchFd(int fd) { watches_.erase(fd); }

int HostLoop::TimeoutUntilDue(int timeoutMs) {
  if (!posted_.empty()) return 0;
  const auto now = static_cast<std::int64_t>(Milliseconds());
  std::int64_t timeout = timeoutMs;
  auto consider = [&](std::int64_t due) {
    const std::int64_t wait = std::max<std::int64_t>(due - now, 0);
    if (timeout < 0 || wait < timeout) timeout = wait;
  };
  for (const auto& [id, timer] : timers_) consider(static_cast<std::int64_t>(timer.due));
  for (const auto& [fd, watch] : watches_)
    if (watch.deadline >= 0) consider(watch.deadline);
  return static_cast<int>(timeout);
}

template <typename Call>
void HostLoop::Guarded(Call&& call) {
  try {
    call();
  } catch (const std::exception& error) {
    if (!onError_) throw;
    onError_(error);
  }
}

bool HostLoop::Pass(int timeoutMs) {
  ++passes_;
  std::vector<pollfd> fds;
  std::vector<std::uint64_t> serials;
  fds.reserve(watches_.size());
  for (const auto& [fd, watch] : watches_) {
    fds.push_back({fd, watch.events, 0});
    serials.push_back(watch.serial);
  }
  const int ready = poll(fds.data(), fds.size(), TimeoutUntilDue(timeoutMs));
  bool handled = false;

  // Work handed over by a driver, in order; work posted meanwhile waits
  // for the next pass.
  std::deque<std::function<void()>> work;
  work.swap(posted_);
  for (; !work.empty(); work.pop_front()) {
    Guarded(work.front());
    handled = true;
  }
  for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    auto it = watches_.find(fds[i].fd);
    if (it == watches_.end() || it->second.serial != serials[i]) continue;  // unwatched meanwhile
    const FdHandler handler = it->second.handler;  // the handler may unwatch itself
    Guarded([&] { handler(fds[i].revents); });
    handled = true;
  }
  const auto now = static_cast<std::int64_t>(Milliseconds());
  std::vector<int> expired;
  for (auto& [fd, watch] : watches_)
    if (watch.deadline >= 0 && watch.deadline <= now) expired.push_back(fd);
  for (int fd : expired) {
    auto it = watches_.find(fd);
    if (it == watches_.end() || it->second.deadline < 0 || it->second.deadline > now) continue;
    it->second.deadline = -1;
    const FdHandler handler = it->second.handler;
    Guarded([&] { handler(0); });
    handled = true;
  }
  std::vector<unsigned> due;
  for (auto& [id, timer] : timers_)
    if (static_cast<std::int64_t>(timer.due) <= now) due.push_back(id);
  for (unsigned id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end() || static_cast<std::int64_t>(it->second.due) > now) continue;
    // The next tick counts from now: a loop that was held up fires once, not in a burst.
    it->second.due = static_cast<std::uint64_t>(now) + it->second.interval;
    if (onTimer_) Guarded([&] { onTimer_(id); });
    handled = true;
  }
  return handled;
}

}  // namespace vexel
