#include "comm/win32/Comm32.h"

#include <cstring>

namespace vexel {
namespace {

// The three Russian messages, in Windows-1251 and written as bytes so that
// no source or compiler encoding can change them; raised with that code page.
constexpr char kPortAlreadyOpen[] =  // "Порт уже открыт"
    "\xCF\xEE\xF0\xF2\x20\xF3\xE6\xE5\x20\xEE\xF2\xEA\xF0\xFB\xF2";
constexpr char kErrorOpeningPort[] =  // "Ошибка открытия порта"
    "\xCE\xF8\xE8\xE1\xEA\xE0\x20\xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF\x20\xEF\xEE\xF0\xF2\xE0";
constexpr char kInvalidPointer[] =  // "Неверный указатель. "
    "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9\x20\xF3\xEA\xE0\xE7\xE0\xF2\xE5\xEB\xFC\x2E\x20";

constexpr char kWindowClass[] = "VexelComm32Notify";
constexpr char kDevicePrefix[] = "\\\\.\\";

// "COM27" as the device "\\.\COM27" (the only form that opens COM10 and up);
// a name that starts with "\\" is a device path already.
std::string DevicePath(const std::string& name) {
  return name.rfind("\\\\", 0) == 0 ? name : kDevicePrefix + name;
}

ATOM RegisterWindowClass(WNDPROC procedure) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExA(&windowClass);
}

}  // namespace

TComm32::TComm32() {
  SetCommsLogName("");
  static const ATOM windowClass = RegisterWindowClass(&TComm32::WindowProc);
  (void)windowClass;
  // A message-only window of the calling (main) thread: the threads post to
  // it, and its messages are handled there in posting order.
  notifyWindow_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), this);
  if (!notifyWindow_)
    throw Error("Unable to create the serial port's window. " +
                FormatLastError(GetLastError()).value_or(""));
  notifications_->SetReceiver(notifyWindow_, 0);
}

TComm32::~TComm32() {
  try {
    ClosePort();
  } catch (const Error&) {
    // Only the comm log can fail to close here; nothing to tell anyone.
  }
  DestroyWindow(notifyWindow_);
}

void TComm32::SetCommsLogFileName(const std::string& name) {
  commsLogFileName_ = name;
  SetCommsLogName(name);
}

bool TComm32::OpenPort() {
  if (IsOpen()) throw ECommsError(kPortAlreadyOpen, kCyrillicCodePage);
  if (!commsLogFileName_.empty()) OpenCommsLog(commsLogFileName_);

  HANDLE port = CreateFileA(DevicePath(commPort_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) throw ECommsError(kErrorOpeningPort, kCyrillicCodePage);
  if (GetFileType(port) != FILE_TYPE_CHAR) {
    CloseHandle(port);
    throw ECommsError(kInvalidPointer, kCyrillicCodePage);
  }
  port_ = port;

  // A read has no overall limit: it ends when its buffer is full or after
  // ReadInterval ms without a new byte. Writes are bounded by the transmit
  // thread instead.
  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(port_, &timeouts);
  timeouts.ReadIntervalTimeout = static_cast<DWORD>(readInterval_);
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(port_, &timeouts);
  ApplyLineSettings();

  stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!stopEvent_) {
    LogLastError(GetLastError(), "Unable to CreateEvent: ");
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    return false;
  }
  const CommLink link{port_, stopEvent_, notifications_, cancelledRequestWait_};

  auto readThread = std::make_unique<TReadThread>();
  if (!readThread->Create(link)) {
    LogLastError(GetLastError(), "Unable to create Read thread");
    ClosePort();  // no port left open that no thread serves
    throw ECommsError("Unable to create Read thread");
  }
  readThread_ = std::move(readThread);
  readThread_->Start(THREAD_PRIORITY_HIGHEST);

  auto writeThread = std::make_unique<TWriteThread>();
  if (!writeThread->Create(link)) {
    LogLastError(GetLastError(), "Unable to create Write thread");
    ClosePort();
    throw ECommsError("Unable to create Write thread");
  }
  writeThread_ = std::move(writeThread);
  writeThread_->Start(THREAD_PRIORITY_ABOVE_NORMAL);
  // A WriteData right after OpenPort must find the thread's queue.
  writeThread_->WaitForQueue();
  return true;
}

void TComm32::ApplyLineSettings() {
  // 0 baud or 0 data bits is no valid request: Windows refuses it and the
  // port keeps its settings. Elsewhere 0 baud can mean "hang up", so such a
  // request is not even made.
  const BYTE byteSize = static_cast<BYTE>(bits_ & 0xFF);
  if (baudRate_ == 0 || byteSize == 0) return;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port_, &dcb)) return;
  dcb.BaudRate = baudRate_;
  dcb.ByteSize = byteSize;
  dcb.StopBits = ONESTOPBIT;
  SetCommState(port_, &dcb);  // a refusal leaves the port as it was
}

void TComm32::ClosePort() {
  if (!IsOpen()) return;
  WriteCommsLog("Stopping the Comm");
  const ULONGLONG giveUpAt = GetTickCount64() + kGiveUpMs;
  const bool readEnded =
      StopThread(readThread_, "Closing Read Thread ", PURGE_RXABORT | PURGE_RXCLEAR,
                 "Read thread not exiting.  Terminating it.", "Read thread left behind.", giveUpAt);
  const bool writeEnded = StopThread(
      writeThread_, "Closing Write Thread", PURGE_TXABORT | PURGE_TXCLEAR,
      "Write thread not exiting.  Terminating it.", "Write thread left behind.", giveUpAt);
  // A thread left behind still waits on the stop event: it stays open.
  if (readEnded && writeEnded) CloseHandle(stopEvent_);
  stopEvent_ = nullptr;
  CloseHandle(port_);  // so that a later OpenPort can have the port again
  port_ = INVALID_HANDLE_VALUE;
  if (!commsLogFileName_.empty()) CloseCommsLog();
}

template <class Thread>
bool TComm32::StopThread(std::unique_ptr<Thread>& thread, const char* closingLine, DWORD purgeFlags,
                         const char* notExitingLine, const char* leftBehindLine,
                         ULONGLONG giveUpAt) {
  if (!thread) return true;
  WriteCommsLog(closingLine);
  SetEvent(stopEvent_);
  PurgeComm(port_, purgeFlags);
  const bool ended = thread->WaitForEnd(notExitingLine, giveUpAt);
  if (ended) {
    thread.reset();
    return true;
  }
  // Its driver never completed a cancelled request. The thread object (its
  // buffer, its OVERLAPPEDs, its request queue) may still be written by the
  // driver or used by the thread: it is never freed.
  WriteCommsLog(leftBehindLine);
  thread->LeaveBehind();
  (void)thread.release();
  return false;
}

bool TComm32::WriteData(const void* data, std::uint16_t length) {
  if (!writeThread_) {
    WriteCommsLog("Write thread not created");
    return false;
  }
  switch (writeThread_->Requests().Hand(kWriteRequest,
                                        std::string_view(static_cast<const char*>(data), length))) {
    case THandOff::Handed::kYes:
      return true;  // the transmit thread takes it from here
    case THandOff::Handed::kNoMemory:
      LogLastError(GetLastError(), "LocalAlloc: ");
      return false;
    case THandOff::Handed::kNotPosted:
      break;
  }
  WriteCommsLog("Failed to Post to Write thread. ");
  return false;
}

LRESULT CALLBACK TComm32::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TComm32*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self || (message != kDataNotification && message != kHangupNotification))
    return DefWindowProcA(window, message, wParam, lParam);
  // The message only wakes: what to deliver is the oldest item of our own
  // queue, whatever the message says. A forged one finds nothing, or the next
  // item a little early; each is delivered once, in order. The item goes
  // however the handler ends.
  const std::optional<HandOffItem> item = self->notifications_->Take();
  if (!item) return 0;
  try {
    if (item->kind == kDataNotification)
      self->DoReceiveData(item->bytes.c_str(), static_cast<std::uint16_t>(item->bytes.size()));
    else
      self->DoRequestHangup();
  } catch (...) {
    if (!self->onException_) throw;
    self->onException_(std::current_exception());
  }
  return 0;
}

void TComm32::DoReceiveData(const char* buffer, std::uint16_t length) {
  // Line-error reports of the receive thread start so, and are not data.
  if (std::strncmp(buffer, "Comm Event", 10) == 0) return;
  if (!onReceiveData_) return;
  // A copy: the handler may replace itself (learn mode and command waits do),
  // which must not destroy the function that is running.
  const TReceiveDataEvent handler = onReceiveData_;
  handler(static_cast<SerialPort*>(this), buffer, length);
}

void TComm32::DoRequestHangup() {
  if (!onRequestHangup_) return;
  const TNotifyEvent handler = onRequestHangup_;
  handler(static_cast<SerialPort*>(this));
}

}  // namespace vexel
