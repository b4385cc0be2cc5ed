// TComm32: the serial port driver. It opens one COM port for overlapped I/O,
// runs a receive thread (TReadThread) and a transmit thread (TWriteThread),
// and turns what they report into OnReceiveData and OnRequestHangup calls on
// the main thread, through a hidden message-only window of that thread.
//
// Threads: every public operation and both events belong to the main thread.
// The worker threads get copies of the port handle and the stop event and a
// share of the notification queue when they start, and never touch this
// object, so its fields are the main thread's alone. What crosses between the
// threads goes through hand-off queues (HandOff.h); the comm log (CommLog.h)
// is the other thing all three threads write. CommThreads.h says who owns
// what.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "comm/SerialPort.h"
#include "comm/win32/CommLog.h"
#include "comm/win32/CommThreads.h"

namespace vexel {

class TComm32 final : public SerialPort {
 public:
  // Creates the notification window: construct on the main thread.
  TComm32();
  // Closes the port if it is still open and destroys the window;
  // notifications not yet delivered go with the notification queue.
  ~TComm32() override;
  TComm32(const TComm32&) = delete;
  TComm32& operator=(const TComm32&) = delete;

  // The port's name as the user sees it ("COM27"); OpenPort opens the device
  // "\\.\COM27". A name that starts with "\\" is a device path already and
  // is opened as it is.
  void SetCommPort(const std::string& name) override { commPort_ = name; }
  const std::string& CommPort() const override { return commPort_; }

  // Opens CommPort exclusively, applies the read interval and line settings
  // and starts both threads. True when open; false when the stop event
  // cannot be made. Throws ECommsError when a port is already open, the
  // device cannot be opened, it is not a character device, or a thread
  // cannot be created; throws Error when the comm log cannot be created.
  bool OpenPort() override;
  // Stops both threads (waiting for each), closes the port and the comm log.
  // Nothing happens while closed. Never hangs: a thread that has not ended
  // kGiveUpMs after the stop is left behind (see CommThreads.h), and the
  // port is closed all the same.
  void ClosePort() override;
  // Queues a copy of the bytes for the transmit thread; true when queued
  // (not when written).
  bool WriteData(const void* data, std::uint16_t length) override;

  void SetOnReceiveData(TReceiveDataEvent handler) override { onReceiveData_ = std::move(handler); }
  void SetOnRequestHangup(TNotifyEvent handler) override { onRequestHangup_ = std::move(handler); }
  // Where an exception thrown by a handler goes (the application's error
  // box). Without one, it leaves the window procedure and reaches whoever
  // dispatched the message.
  void SetOnException(std::function<void(std::exception_ptr)> handler) {
    onException_ = std::move(handler);
  }

  // Line settings, applied by OpenPort. With BaudRate or the low 8 bits of
  // Bits at 0 the port keeps the settings it has. StopBits is stored only:
  // the port always gets one stop bit.
  std::uint32_t BaudRate() const { return baudRate_; }
  void SetBaudRate(std::uint32_t value) { baudRate_ = value; }
  std::uint32_t Bits() const { return bits_; }
  void SetBits(std::uint32_t value) { bits_ = value; }
  std::uint32_t StopBits() const { return stopBits_; }
  void SetStopBits(std::uint32_t value) { stopBits_ = value; }
  // Milliseconds of silence that end a received chunk.
  std::int32_t ReadInterval() const { return readInterval_; }
  void SetReadInterval(std::int32_t value) { readInterval_ = value; }

  const std::string& CommsLogFileName() const { return commsLogFileName_; }
  // Sets the field and the process-wide comm log name; empty: no comm log.
  void SetCommsLogFileName(const std::string& name);

  bool IsOpen() const { return port_ != INVALID_HANDLE_VALUE; }
  // The transmit thread, while open (0 otherwise).
  DWORD TransmitThreadId() const { return writeThread_ ? writeThread_->Id() : 0; }
  // For tests: how the threads of the next OpenPort wait for a request they
  // cancelled (see CancelledRequestWait); empty for the real wait.
  void SetCancelledRequestWait(CancelledRequestWait wait) {
    cancelledRequestWait_ = std::move(wait);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void DoReceiveData(const char* buffer, std::uint16_t length);
  void DoRequestHangup();
  void ApplyLineSettings();
  template <class Thread>
  bool StopThread(std::unique_ptr<Thread>& thread, const char* closingLine, DWORD purgeFlags,
                  const char* notExitingLine, const char* leftBehindLine, ULONGLONG giveUpAt);

  // Main thread only, all of them.
  std::unique_ptr<TReadThread> readThread_;
  std::unique_ptr<TWriteThread> writeThread_;
  std::string commsLogFileName_;
  std::string commPort_ = "COM2";
  HANDLE stopEvent_ = nullptr;  // set by ClosePort; seen by both threads
  TReceiveDataEvent onReceiveData_;
  TNotifyEvent onRequestHangup_;
  std::function<void(std::exception_ptr)> onException_;
  HWND notifyWindow_ = nullptr;  // woken by the notification queue
  // Chunks, line-error reports and hang-ups from both threads; shared with
  // them, so that a thread left behind still has it.
  std::shared_ptr<THandOff> notifications_ = std::make_shared<THandOff>();
  CancelledRequestWait cancelledRequestWait_;
  std::uint32_t baudRate_ = 0;
  std::uint32_t bits_ = 0;
  std::uint32_t stopBits_ = 0;
  std::int32_t readInterval_ = 25;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

}  // namespace vexel
