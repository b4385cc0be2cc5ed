// What the phone link needs of a serial port. TComm32 (comm/win32/Comm32.h)
// is the real one; tests give the link a scripted fake.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Error.h"

namespace vexel {

// Raised by OpenPort when the port cannot be opened or its threads cannot be
// created. Some messages are Russian, in Windows-1251 (see CodePage()).
class ECommsError : public Error {
 public:
  using Error::Error;
};

// Raised by OpenPort when another program holds the port for itself: no
// attempt of this program's gets it while that program runs.
class EPortBusy : public ECommsError {
 public:
  using ECommsError::ECommsError;
};

// Called on the main thread with one received chunk: BufferLength bytes
// followed by one zero byte. The buffer is valid only during the call.
using TReceiveDataEvent =
    std::function<void(void* Sender, const char* Buffer, std::uint16_t BufferLength)>;
using TNotifyEvent = std::function<void(void* Sender)>;

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual void SetCommPort(const std::string& path) = 0;
  virtual const std::string& CommPort() const = 0;

  // True when open with both threads running; false when the stop event
  // could not be made; throws ECommsError otherwise.
  virtual bool OpenPort() = 0;
  // Stops both threads and closes the port; nothing when closed.
  virtual void ClosePort() = 0;
  // Queues a copy for the transmit thread; true when queued.
  virtual bool WriteData(const void* data, std::uint16_t length) = 0;

  // Replace the handlers; a change takes effect from the next notification.
  virtual void SetOnReceiveData(TReceiveDataEvent handler) = 0;
  virtual void SetOnRequestHangup(TNotifyEvent handler) = 0;
};

}  // namespace vexel
