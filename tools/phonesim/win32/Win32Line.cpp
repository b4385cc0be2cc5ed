// The phone's line on Windows (and Wine): a COM port in overlapped mode. A
// read stays pending across Read calls; a wake event ends a wait early.
#include <windows.h>

#include "Line.h"

namespace vexel::phonesim {
namespace {

constexpr DWORD kWriteStallMs = 5000;

std::string Describe(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string description = length ? std::string(text, length) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!description.empty() && (description.back() == '\n' || description.back() == '\r'))
    description.pop_back();
  return description;
}

class Win32Line final : public Line {
 public:
  Win32Line(const std::string& port, unsigned baud)
      : name_(port.rfind("\\\\", 0) == 0 ? port : "\\\\.\\" + port), baud_(baud) {
    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    read_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    write_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~Win32Line() override {
    Close();
    for (HANDLE event : {wake_, read_.hEvent, write_.hEvent})
      if (event) CloseHandle(event);
  }

  const std::string& Name() const override { return name_; }
  bool IsOpen() const override { return port_ != INVALID_HANDLE_VALUE; }

  bool Open(std::string& error) override {
    Close();
    port_ = CreateFileA(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
    if (port_ == INVALID_HANDLE_VALUE) {
      error = Describe(GetLastError());
      return false;
    }
    // A read ends 1 ms after the last byte: the phone answers at once.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    SetCommTimeouts(port_, &timeouts);
    if (baud_ > 0) {
      DCB dcb{};
      dcb.DCBlength = sizeof dcb;
      GetCommState(port_, &dcb);
      dcb.BaudRate = baud_;
      dcb.ByteSize = 8;
      dcb.Parity = NOPARITY;
      dcb.StopBits = ONESTOPBIT;
      SetCommState(port_, &dcb);
    }
    return true;
  }

  void Close() override {
    if (!IsOpen()) return;
    if (readPending_) {
      CancelIoEx(port_, &read_);
      DWORD ignored = 0;
      GetOverlappedResult(port_, &read_, &ignored, TRUE);
      readPending_ = false;
    }
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
  }

  bool Write(std::string_view bytes) override {
    while (IsOpen() && !bytes.empty()) {
      DWORD written = 0;
      if (!WriteFile(port_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &write_) &&
          GetLastError() != ERROR_IO_PENDING)
        return false;
      if (WaitForSingleObject(write_.hEvent, kWriteStallMs) != WAIT_OBJECT_0)
        CancelIoEx(port_, &write_);
      if (!GetOverlappedResult(port_, &write_, &written, TRUE) || written == 0) return false;
      bytes.remove_prefix(written);
    }
    return bytes.empty();
  }

  ReadResult Read(std::string& bytes, int timeoutMs) override {
    const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (!IsOpen())
      return WaitForSingleObject(wake_, timeout) == WAIT_OBJECT_0 ? ReadResult::kWoken
                                                                  : ReadResult::kTimeout;
    if (!readPending_) {
      if (!ReadFile(port_, buffer_, sizeof buffer_, nullptr, &read_) &&
          GetLastError() != ERROR_IO_PENDING)
        return ReadResult::kLost;
      readPending_ = true;
    }
    HANDLE waitList[2] = {read_.hEvent, wake_};
    switch (WaitForMultipleObjects(2, waitList, FALSE, timeout)) {
      case WAIT_OBJECT_0: {
        DWORD count = 0;
        readPending_ = false;
        if (!GetOverlappedResult(port_, &read_, &count, FALSE)) return ReadResult::kLost;
        bytes.append(buffer_, count);
        return count ? ReadResult::kData : ReadResult::kTimeout;
      }
      case WAIT_OBJECT_0 + 1:
        return ReadResult::kWoken;
      case WAIT_TIMEOUT:
        return ReadResult::kTimeout;
      default:
        return ReadResult::kLost;
    }
  }

  void Wake() override { SetEvent(wake_); }

 private:
  const std::string name_;
  const unsigned baud_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  HANDLE wake_ = nullptr;
  OVERLAPPED read_{};
  OVERLAPPED write_{};
  bool readPending_ = false;
  char buffer_[4096];
};

}  // namespace

std::unique_ptr<Line> MakePortLine(const std::string& port, unsigned baud) {
  return std::make_unique<Win32Line>(port, baud);
}

std::string NativeFolder(const std::string& folder) {
  // Under Wine a Unix path is reached through drive Z:.
  if (folder.empty() || folder[0] != '/') return folder;
  std::string native = "Z:" + folder;
  for (char& c : native)
    if (c == '/') c = '\\';
  return native;
}

}  // namespace vexel::phonesim

namespace vexel::phonesim {
namespace {
void (*interruptHandler)() = nullptr;
BOOL WINAPI OnConsoleEvent(DWORD) {
  interruptHandler();
  return TRUE;
}
}  // namespace

void CallOnInterrupt(void (*handler)()) {
  interruptHandler = handler;
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

}  // namespace vexel::phonesim
