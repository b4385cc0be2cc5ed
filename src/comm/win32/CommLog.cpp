#include "comm/win32/CommLog.h"

#include <atomic>
#include <new>

#include "base/Error.h"

namespace vexel {
namespace {

// Shared by all threads, so everything but `enabled` is touched under `lock`.
// `enabled` mirrors "name is not empty" so that a thread with logging off
// passes by without taking the lock.
struct CommsLog {
  SRWLOCK lock = SRWLOCK_INIT;
  std::atomic<bool> enabled{false};
  std::string name;
  HANDLE file = INVALID_HANDLE_VALUE;
};

CommsLog& Log() {
  static CommsLog log;
  return log;
}

class Locked {
 public:
  explicit Locked(CommsLog& log) : log_(log) { AcquireSRWLockExclusive(&log_.lock); }
  ~Locked() { ReleaseSRWLockExclusive(&log_.lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CommsLog& log_;
};

std::string DescribeFailure(DWORD code) {
  const std::optional<std::string> text = FormatLastError(code);
  return text ? *text : std::string();
}

}  // namespace

void SetCommsLogName(const std::string& name) {
  CommsLog& log = Log();
  Locked locked(log);
  log.name = name;
  log.enabled = !name.empty();
}

void OpenCommsLog(const std::string& name) {
  CommsLog& log = Log();
  Locked locked(log);
  if (log.file != INVALID_HANDLE_VALUE) CloseHandle(log.file);
  log.file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log.file == INVALID_HANDLE_VALUE)
    throw Error("Cannot create file \"" + name + "\". " + DescribeFailure(GetLastError()));
}

void CloseCommsLog() {
  CommsLog& log = Log();
  Locked locked(log);
  if (log.file == INVALID_HANDLE_VALUE) return;
  const BOOL closed = CloseHandle(log.file);
  log.file = INVALID_HANDLE_VALUE;
  if (!closed) throw Error("Cannot close the comm log. " + DescribeFailure(GetLastError()));
}

void WriteCommsLog(std::string_view text) {
  CommsLog& log = Log();
  if (!log.enabled) return;
  try {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text).append("\r\n");
    // One write per line under the lock: lines of the three threads never mix.
    Locked locked(log);
    if (log.name.empty() || log.file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log.file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } catch (const std::bad_alloc&) {
    // Out of memory: the line is lost, the caller goes on.
  }
}

void LogLastError(DWORD code, const char* prefix) {
  if (!Log().enabled) return;
  const std::string_view head = prefix ? prefix : "";
  try {
    if (const std::optional<std::string> text = FormatLastError(code))
      WriteCommsLog(std::string(head) + "GetLastError returned: \"" + *text + "\"");
    else
      WriteCommsLog(std::string(head) + " Out of memory");
  } catch (const std::bad_alloc&) {
  }
}

std::optional<std::string> FormatLastError(DWORD code) {
  try {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text),
        0, nullptr);
    if (length != 0) {
      std::string description(text, length);
      LocalFree(text);
      return description;
    }
    const DWORD failure = GetLastError();
    return "FormatMessage failed on error " + std::to_string(code) +
           " for the following reason: " + std::to_string(failure);
  } catch (const std::bad_alloc&) {
    OutputDebugStringA("Out of memory trying to FormatLastError");
    return std::nullopt;
  }
}

}  // namespace vexel
