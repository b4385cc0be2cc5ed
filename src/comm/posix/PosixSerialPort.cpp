#include "comm/posix/PosixSerialPort.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vexel {

namespace {

struct BaudRate {
  unsigned baud;
  speed_t speed;
};
constexpr BaudRate kBaudRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::string Describe(const std::string& path, const char* what, int error) {
  return path + ": " + what + ": " + std::strerror(error);
}

bool SameDevice(const struct stat& a, const struct stat& b) {
  return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
}

}  // namespace

namespace {

// The process holding a flock on the device node, from /proc/locks:
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:117 0 EOF".
std::string LockHolder(const struct stat& device) {
  std::ifstream locks("/proc/locks");
  std::string line;
  char node[64];
  std::snprintf(node, sizeof node, "%02x:%02x:%llu", major(device.st_dev), minor(device.st_dev),
                static_cast<unsigned long long>(device.st_ino));
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string id, kind, mode, access, pid, where;
    if (fields >> id >> kind >> mode >> access >> pid >> where && kind == "FLOCK" && where == node)
      return pid;
  }
  return {};
}

std::string ProcessName(const std::string& pid) {
  std::string name;
  std::ifstream comm("/proc/" + pid + "/comm");
  std::getline(comm, name);
  return "pid " + pid + " (" + name + ")";
}

}  // namespace

std::string DeviceHolder(const std::string& path) {
  struct stat device {};
  if (stat(path.c_str(), &device) != 0) return {};
  // The lock tells the holder best: a terminal program may have the device
  // open too (socat, a serial console), but only one program holds the lock.
  if (const std::string pid = LockHolder(device); !pid.empty()) return ProcessName(pid);
  DIR* proc = opendir("/proc");
  if (!proc) return {};
  std::string holder;
  const std::string self = std::to_string(getpid());
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit) || pid == self) continue;
    const std::string fds = "/proc/" + pid + "/fd";
    DIR* dir = opendir(fds.c_str());
    if (!dir) continue;  // another user's process
    bool holds = false;
    while (dirent* fd = readdir(dir)) {
      struct stat target {};
      if (fd->d_name[0] != '.' && stat((fds + "/" + fd->d_name).c_str(), &target) == 0 &&
          SameDevice(device, target)) {
        holds = true;
        break;
      }
    }
    closedir(dir);
    if (!holds) continue;
    holder = ProcessName(pid);
    break;
  }
  closedir(proc);
  return holder;
}

PosixSerialPort::~PosixSerialPort() { ClosePort(); }

bool PosixSerialPort::OpenPort() {
  if (fd_ >= 0) throw ECommsError(path_ + ": the port is already open");
  const int fd = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EBUSY) {  // TIOCEXCL of another program
      const std::string holder = DeviceHolder(path_);
      throw EPortBusy(path_ + ": busy" + (holder.empty() ? "" : ", held by " + holder));
    }
    std::string message = Describe(path_, "cannot open", error);
    struct stat device {};
    if (error == EACCES && stat(path_.c_str(), &device) == 0 && device.st_gid != 0 &&
        (device.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
      if (const group* owner = getgrgid(device.st_gid))
        message += std::string(" (the group ") + owner->gr_name +
                   " may open it: sudo adduser $USER " + owner->gr_name + ", then log in again)";
    throw ECommsError(message);
  }
  bool exclusive = false;  // this program put the exclusive flag on the tty
  auto fail = [&](const std::string& message, bool busy = false) {
    if (exclusive) ioctl(fd, TIOCNXCL);  // see ClosePort
    close(fd);
    if (busy) throw EPortBusy(message);
    throw ECommsError(message);
  };
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode) || !isatty(fd))
    fail(path_ + ": not a serial port");
  // TIOCEXCL keeps other programs out, but not root: the lock keeps out
  // every program that takes it too (a second Vexel above all).
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const std::string holder = DeviceHolder(path_);
    fail(path_ + ": busy" + (holder.empty() ? "" : ", held by " + holder), true);
  }
  exclusive = ioctl(fd, TIOCEXCL) == 0;
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) fail(Describe(path_, "cannot read the line settings", errno));
  const speed_t input = cfgetispeed(&settings), output = cfgetospeed(&settings);
  cfmakeraw(&settings);  // no echo, no line editing, 8 bits
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, input);
  cfsetospeed(&settings, output);
  if (baud_ != 0) {
    const BaudRate* rate = std::find_if(std::begin(kBaudRates), std::end(kBaudRates),
                                        [&](const BaudRate& r) { return r.baud == baud_; });
    if (rate == std::end(kBaudRates))
      fail(path_ + ": unsupported baud rate " + std::to_string(baud_));
    cfsetispeed(&settings, rate->speed);
    cfsetospeed(&settings, rate->speed);
  }
  if (tcsetattr(fd, TCSANOW, &settings) != 0)
    fail(Describe(path_, "cannot set the line settings", errno));
  tcflush(fd, TCIFLUSH);  // nothing from before this program opened the port

  fd_ = fd;
  ++generation_;
  lost_ = false;
  received_.clear();
  pending_.clear();
  Watch();
  return true;
}

void PosixSerialPort::Watch() {
  loop_.WatchFd(fd_, POLLIN, [this](short revents) { FdReady(revents); });
}

void PosixSerialPort::ClosePort() {
  if (fd_ < 0) return;
  loop_.UnwatchFd(fd_);
  // The exclusive flag stays on the tty while another program still has it
  // open (socat's pty, a modem manager): it is taken off first. Closing
  // releases the lock.
  ioctl(fd_, TIOCNXCL);
  close(fd_);
  fd_ = -1;
  ++generation_;
  received_.clear();
  pending_.clear();
}

bool PosixSerialPort::WriteData(const void* data, std::uint16_t length) {
  if (fd_ < 0 || lost_ || pending_.size() + length > kWriteQueueLimit) return false;
  pending_.append(static_cast<const char*>(data), length);
  FlushWrites();
  return true;
}

void PosixSerialPort::FlushWrites() {
  while (!pending_.empty() && fd_ >= 0 && !lost_) {
    const ssize_t n = write(fd_, pending_.data(), pending_.size());
    if (n > 0) {
      pending_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // The line failed under the write: the hang-up reaches the link from
    // the loop, never from inside the WriteData that the link called.
    const std::uint64_t generation = generation_;
    lost_ = true;
    loop_.UnwatchFd(fd_);
    loop_.Post([this, generation] {
      if (generation == generation_) LineLost();
    });
    return;
  }
  if (fd_ >= 0 && !lost_) loop_.SetFdEvents(fd_, pending_.empty() ? POLLIN : POLLIN | POLLOUT);
}

void PosixSerialPort::FdReady(short revents) {
  const std::uint64_t generation = generation_;
  if (revents == 0) {  // silence after the last bytes: the chunk is complete
    if (!received_.empty()) Deliver(received_.size());
    return;
  }
  if (revents & POLLOUT) FlushWrites();
  if (generation != generation_ || lost_) return;
  if (revents & (POLLIN | POLLHUP | POLLERR)) ReadAvailable();
}

void PosixSerialPort::ReadAvailable() {
  const std::uint64_t generation = generation_;
  for (;;) {
    char buffer[kChunkBytes];
    const ssize_t n = read(fd_, buffer, kChunkBytes - received_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {  // end of file, or the device is gone (EIO: pty closed, USB pulled)
      LineLost();
      return;
    }
    received_.append(buffer, static_cast<std::size_t>(n));
    if (received_.size() >= kChunkBytes) {  // full: cut after its last line end if it has one
      const std::size_t lineEnd = received_.find_last_of("\r\n");
      Deliver(lineEnd != std::string::npos ? lineEnd + 1 : kChunkBytes);
      if (generation != generation_) return;
    }
  }
  // Everything up to the last line end goes now; a line without its end
  // waits for its end or for the silence after it.
  const std::size_t lineEnd = received_.find_last_of("\r\n");
  if (lineEnd != std::string::npos) {
    Deliver(lineEnd + 1);
    if (generation != generation_) return;
  }
  loop_.SetFdDeadline(fd_, received_.empty() ? -1 : kChunkSilenceMs);
}

void PosixSerialPort::Deliver(std::size_t count) {
  std::string chunk = received_.substr(0, count);
  received_.erase(0, count);
  if (fd_ >= 0) loop_.SetFdDeadline(fd_, received_.empty() ? -1 : kChunkSilenceMs);
  const auto length = static_cast<std::uint16_t>(chunk.size());
  // A copy: the handler may install another handler while it runs.
  const TReceiveDataEvent handler = onReceiveData_;
  if (handler) handler(this, chunk.c_str(), length);  // c_str: the bytes and one zero byte
}

void PosixSerialPort::LineLost() {
  if (fd_ < 0) return;
  const std::uint64_t generation = generation_;
  if (!received_.empty()) Deliver(received_.size());  // what came before the loss
  if (generation != generation_) return;
  if (!lost_) loop_.UnwatchFd(fd_);  // a hung-up descriptor stays readable for ever
  lost_ = true;
  const TNotifyEvent handler = onRequestHangup_;
  if (handler) handler(this);
}

}  // namespace vexel
