#include "comm/win32/HandOff.h"

#include <new>
#include <utility>

namespace vexel {
namespace {

class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

void THandOff::SetReceiver(HWND window, DWORD threadId) {
  window_ = window;
  threadId_ = threadId;
}

THandOff::Handed THandOff::Hand(UINT kind, std::string_view bytes) {
  try {
    HandOffItem item{kind, std::string(bytes)};  // the copy is made outside the lock
    Locked locked(lock_);
    items_.push_back(std::move(item));
    const BOOL posted =
        window_ ? PostMessageA(window_, kind, 0, 0) : PostThreadMessageA(threadId_, kind, 0, 0);
    if (posted) return Handed::kYes;
    items_.pop_back();  // still the last: the lock was held throughout
    return Handed::kNotPosted;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return Handed::kNoMemory;
  }
}

std::optional<HandOffItem> THandOff::Take() {
  Locked locked(lock_);
  if (items_.empty()) return std::nullopt;
  std::optional<HandOffItem> item(std::move(items_.front()));
  items_.pop_front();
  return item;
}

}  // namespace vexel
