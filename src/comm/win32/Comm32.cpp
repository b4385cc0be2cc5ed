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

struct LocalFreeDeleter {
  void operator()(char* copy) const { LocalFree(copy); }
};

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
}

TComm32::~TComm32() {
  try {
    ClosePort();
  } catch (const Error&) {
    // Only the comm log can fail to close here; nothing to tell anyone.
  }
  MSG message;
  while (PeekMessageA(&message, notifyWindow_, kDataNotification, kDataNotification, PM_REMOVE))
    LocalFree(reinterpret_cast<HLOCAL>(message.lParam));
  DestroyWindow(notifyWindow_);
}

void TComm32::SetCommsLogFileName(const std::string& name) {
  commsLogFileName_ = name;
  SetCommsLogName(name);
}

bool TComm32::OpenPort() {
  if (IsOpen()) throw ECommsError(kPortAlreadyOpen, kCyrillicCodePage);
  if (!commsLogFileName_.empty()) OpenCommsLog(commsLogFileName_);

  // "COM27" names a device in the "\\.\" namespace, the only form that
  // reaches ports above COM9; a full device path is taken as it is.
  const std::string device = commPort_.starts_with("\\\\") ? commPort_ : "\\\\.\\" + commPort_;
  HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
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
  const CommLink link{port_, stopEvent_, notifyWindow_};

  auto readThread = std::make_unique<TReadThread>();
  if (!readThread->Create(link)) {
    LogLastError(GetLastError(), "Unable to create Read thread");
    throw ECommsError("Unable to create Read thread");
  }
  readThread_ = std::move(readThread);
  readThread_->Start(THREAD_PRIORITY_HIGHEST);

  auto writeThread = std::make_unique<TWriteThread>();
  if (!writeThread->Create(link)) {
    LogLastError(GetLastError(), "Unable to create Write thread");
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
  StopReadThread();
  StopWriteThread();
  CloseHandle(stopEvent_);
  stopEvent_ = nullptr;
  CloseHandle(port_);
  port_ = INVALID_HANDLE_VALUE;
  if (!commsLogFileName_.empty()) CloseCommsLog();
}

void TComm32::StopReadThread() {
  if (!readThread_) return;
  WriteCommsLog("Closing Read Thread ");
  SetEvent(stopEvent_);
  PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR);
  readThread_->WaitForEnd("Read thread not exiting.  Terminating it.");
  readThread_.reset();
}

void TComm32::StopWriteThread() {
  if (!writeThread_) return;
  WriteCommsLog("Closing Write Thread");
  SetEvent(stopEvent_);
  PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR);
  writeThread_->WaitForEnd("Write thread not exiting.  Terminating it.");
  writeThread_.reset();
}

bool TComm32::WriteData(const void* data, std::uint16_t length) {
  if (!writeThread_) {
    WriteCommsLog("Write thread not created");
    return false;
  }
  char* copy = static_cast<char*>(LocalAlloc(LPTR, length + 1u));
  if (!copy) {
    LogLastError(GetLastError(), "LocalAlloc: ");
    return false;
  }
  if (length) std::memcpy(copy, data, length);
  // Once posted, the copy belongs to the transmit thread.
  if (PostThreadMessageA(writeThread_->Id(), kWriteRequest, length, reinterpret_cast<LPARAM>(copy)))
    return true;
  WriteCommsLog("Failed to Post to Write thread. ");
  LocalFree(copy);
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
  // The copy of a data notification is released however the handler ends.
  std::unique_ptr<char, LocalFreeDeleter> copy(
      message == kDataNotification ? reinterpret_cast<char*>(lParam) : nullptr);
  try {
    if (copy)
      self->DoReceiveData(copy.get(), static_cast<std::uint16_t>(wParam));
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
