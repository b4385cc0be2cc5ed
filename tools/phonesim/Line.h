// The serial line as the phone sees it: a COM port on Windows, a tty or pty
// elsewhere (one implementation per platform, in win32/ and posix/).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vexel::phonesim {

class Line {
 public:
  enum class ReadResult { kData, kTimeout, kWoken, kLost };

  virtual ~Line() = default;
  virtual const std::string& Name() const = 0;
  // Opens the port; false with a reason when it cannot be opened.
  virtual bool Open(std::string& error) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Writes every byte; false when the line failed or stalled for seconds.
  virtual bool Write(std::string_view bytes) = 0;
  // Waits up to timeoutMs (-1: no limit) for bytes and appends what arrived
  // to `bytes`. While closed it only waits. kLost: the line failed under it.
  virtual ReadResult Read(std::string& bytes, int timeoutMs) = 0;
  // Ends a Read in progress (or the next one) with kWoken. Any thread.
  virtual void Wake() = 0;
};

// The port named on the command line ("COM28" on Windows, a device path
// elsewhere). With a baud rate above 0 the port is set to that speed, 8N1,
// raw; with 0 its settings are left alone (the rig's ptys are already raw).
std::unique_ptr<Line> MakePortLine(const std::string& port, unsigned baud);

// A folder named as the rig names it (a Unix path) as this platform's
// programs see it: unchanged on POSIX, Z:\... under Wine.
std::string NativeFolder(const std::string& folder);

// Calls `handler` on Ctrl+C or a termination request. The handler must be
// safe in a signal handler (Phone::Stop is).
void CallOnInterrupt(void (*handler)());

}  // namespace vexel::phonesim
