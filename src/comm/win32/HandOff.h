// THandOff: the one road between the serial port's threads. A sender hands a
// chunk, a line-error report, a hang-up or a write request to one receiver (the
// notification window of the main thread, or the transmit thread); the item
// waits in a queue of this process, and a posted message only wakes the
// receiver, which then takes the oldest item its own queue holds.
//
// No message carries anything the receiver trusts: any process can post
// WM_USER+1 to a window or a thread, and such a message finds nothing to take
// (or takes the next item a little early, in order) and is harmless.
//
// Ownership: an item belongs to the queue from Hand until Take moves it out to
// the receiver, which then owns it alone; items never taken are released with
// the queue. The deque is touched only under the lock, held for a push, a pop
// and the post of the wake message (PostMessage never waits for the receiver).
// This is the one lock between the threads; everything else crosses without
// one. Each wake message is posted right after its item was queued, so the
// receiver wakes once per item and items come out in the order handed.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace vexel {

// Wake messages. They carry nothing (wParam and lParam are 0).
// To the notification window: a chunk or line-error report was handed.
inline constexpr UINT kDataNotification = WM_USER + 1;
// To the notification window: a worker thread gave up on the port.
inline constexpr UINT kHangupNotification = WM_USER + 2;
// To the transmit thread's message queue: a write request was handed.
inline constexpr UINT kWriteRequest = WM_USER + 1;

// One item: what it is (one of the numbers above) and its bytes; bytes.c_str()
// is the bytes followed by one zero byte.
struct HandOffItem {
  UINT kind = 0;
  std::string bytes;
};

class THandOff {
 public:
  enum class Handed { kYes, kNoMemory, kNotPosted };

  THandOff() = default;
  THandOff(const THandOff&) = delete;
  THandOff& operator=(const THandOff&) = delete;

  // Who is woken: a window (PostMessageA) or, without one, a thread
  // (PostThreadMessageA). Set by the main thread before anything is handed.
  void SetReceiver(HWND window, DWORD threadId);

  // Any thread. Queues a copy of the bytes and wakes the receiver with the
  // message `kind`. kNoMemory (last error ERROR_NOT_ENOUGH_MEMORY) or
  // kNotPosted (the receiver is gone or its message queue is full): nothing
  // stays queued.
  Handed Hand(UINT kind, std::string_view bytes);

  // The receiver's thread only: the oldest item, or nothing.
  std::optional<HandOffItem> Take();

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::deque<HandOffItem> items_;  // under lock_
  HWND window_ = nullptr;          // written before the first Hand, then read-only
  DWORD threadId_ = 0;             // likewise
};

}  // namespace vexel
