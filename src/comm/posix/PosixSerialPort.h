// The serial port on Linux and other POSIX systems: a tty device locked
// (flock) against other Vexels, in raw mode without echo, driven by the program's
// event loop through FdWatch. No threads: received bytes and hang-ups reach
// the handlers from the loop, on the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "comm/SerialPort.h"
#include "comm/posix/FdWatch.h"

namespace vexel {

// A received chunk is handed over at once up to its last line end. A line
// without its end waits for the rest while the line is silent for at most
// kLineSilenceMs (a report that arrives in two pieces is handed over whole);
// only kChunkBytes cuts a line sooner. A key report never waits for the
// line to go quiet.
inline constexpr int kLineSilenceMs = 250;
inline constexpr std::size_t kChunkBytes = 2048;
// Bytes accepted by WriteData and not yet written; beyond it WriteData
// refuses (a phone that stopped reading).
inline constexpr std::size_t kWriteQueueLimit = 65536;

class PosixSerialPort : public SerialPort {
 public:
  // baud 0 leaves the line's speed as it is.
  PosixSerialPort(FdWatch& loop, unsigned baud = 0) : loop_(loop), baud_(baud) {}
  ~PosixSerialPort() override;

  void SetCommPort(const std::string& path) override { path_ = path; }
  const std::string& CommPort() const override { return path_; }

  // Opens the device and takes its lock: ECommsError when it cannot be
  // opened, is no terminal, is held by another program (named when it can
  // be found), or rejects the line settings.
  bool OpenPort() override;
  void ClosePort() override;
  // Queues a copy; bytes go out in the order given. False when closed or
  // when the queue is full.
  bool WriteData(const void* data, std::uint16_t length) override;

  void SetOnReceiveData(TReceiveDataEvent handler) override { onReceiveData_ = std::move(handler); }
  void SetOnRequestHangup(TNotifyEvent handler) override { onRequestHangup_ = std::move(handler); }

 private:
  void FdReady(short revents);
  void ReadAvailable();
  void Deliver(std::size_t count);
  void FlushWrites();
  void LineLost();
  void Watch();

  FdWatch& loop_;
  const unsigned baud_;
  std::string path_;
  int fd_ = -1;
  // Counts opens and closes, so that a handler that closes or reopens the
  // port stops the work of the notification that called it.
  std::uint64_t generation_ = 0;
  bool lost_ = false;     // the hang-up was reported; the descriptor is no longer watched
  std::string received_;  // bytes of the chunk being gathered
  std::string pending_;   // bytes accepted by WriteData, not yet written
  TReceiveDataEvent onReceiveData_;
  TNotifyEvent onRequestHangup_;
};

// The line speeds a port can be set to, slowest first.
std::vector<unsigned> BaudRates();

}  // namespace vexel
