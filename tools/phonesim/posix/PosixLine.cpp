// The phone's line on POSIX: a tty or pty device, non-blocking, with a pipe
// that wakes a waiting read.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Line.h"

namespace vexel::phonesim {
namespace {

constexpr int kWriteStallMs = 5000;

speed_t Speed(unsigned baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return 0;
  }
}

class PosixLine final : public Line {
 public:
  PosixLine(std::string path, unsigned baud) : path_(std::move(path)), baud_(baud) {
    if (pipe(wake_) == 0) {
      for (int fd : wake_) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    } else {
      wake_[0] = wake_[1] = -1;
    }
  }
  ~PosixLine() override {
    Close();
    for (int fd : wake_)
      if (fd >= 0) close(fd);
  }

  const std::string& Name() const override { return path_; }
  bool IsOpen() const override { return fd_ >= 0; }

  bool Open(std::string& error) override {
    Close();
    fd_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      error = std::strerror(errno);
      return false;
    }
    if (baud_ == 0) return true;  // leave the settings alone (the rig's ptys are raw)
    termios settings{};
    if (Speed(baud_) == 0 || tcgetattr(fd_, &settings) != 0) {
      error = Speed(baud_) == 0 ? "unsupported baud rate" : std::strerror(errno);
      Close();
      return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, Speed(baud_));
    cfsetospeed(&settings, Speed(baud_));
    tcsetattr(fd_, TCSANOW, &settings);
    return true;
  }

  void Close() override {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  bool Write(std::string_view bytes) override {
    while (fd_ >= 0 && !bytes.empty()) {
      const ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      pollfd out{fd_, POLLOUT, 0};
      if (poll(&out, 1, kWriteStallMs) <= 0) return false;
    }
    return bytes.empty();
  }

  ReadResult Read(std::string& bytes, int timeoutMs) override {
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {fd_, POLLIN, 0}};
    const int count = poll(fds, fd_ >= 0 ? 2 : 1, timeoutMs);
    if (count < 0) return errno == EINTR ? ReadResult::kWoken : ReadResult::kLost;
    if (count == 0) return ReadResult::kTimeout;
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
      return ReadResult::kWoken;
    }
    char buffer[4096];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
      return ReadResult::kData;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::kTimeout;
    return ReadResult::kLost;  // EIO or end of file: the other end is gone
  }

  void Wake() override {
    if (wake_[1] >= 0) (void)!write(wake_[1], "w", 1);
  }

 private:
  const std::string path_;
  const unsigned baud_;
  int fd_ = -1;
  int wake_[2];
};

}  // namespace

std::unique_ptr<Line> MakePortLine(const std::string& port, unsigned baud) {
  return std::make_unique<PosixLine>(port, baud);
}

std::string NativeFolder(const std::string& folder) { return folder; }

namespace {
void (*interruptHandler)() = nullptr;
void OnSignal(int) { interruptHandler(); }
}  // namespace

void CallOnInterrupt(void (*handler)()) {
  interruptHandler = handler;
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace vexel::phonesim
