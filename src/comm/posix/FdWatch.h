// What a POSIX driver needs of the program's event loop: readiness of its
// file descriptors, a deadline per descriptor, and work handed to the next
// pass of the loop. The Linux program's poll(2) loop implements it
// (app/linux/HostLoop.h). Everything runs on the main thread; a handler may
// run the loop again from inside itself, so handlers take readiness as a
// hint and read and write without blocking.
#pragma once

#include <cstdint>
#include <functional>

namespace vexel {

class FdWatch {
 public:
  // revents as poll(2) reports them; 0 when the descriptor's deadline passed.
  using FdHandler = std::function<void(short revents)>;

  virtual ~FdWatch() = default;
  // Watches fd for the poll(2) events given (replacing an earlier watch).
  virtual void WatchFd(int fd, short events, FdHandler handler) = 0;
  // Changes the events of a watched descriptor.
  virtual void SetFdEvents(int fd, short events) = 0;
  // Calls the handler with 0 once, milliseconds from now (-1: no deadline).
  virtual void SetFdDeadline(int fd, int milliseconds) = 0;
  virtual void UnwatchFd(int fd) = 0;
  // Runs the work in the loop's next pass, not inside the caller.
  virtual void Post(std::function<void()> work) = 0;
};

}  // namespace vexel
