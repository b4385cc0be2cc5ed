// The serial port's two worker threads and what they share with the main
// thread.
//
// Who owns what:
// - A thread object is created, started and waited for by the main thread
//   (TComm32), which releases it once the thread has ended. A thread that does
//   not end within kGiveUpMs of the stop (a driver that never completes a
//   cancelled request) is left behind: its object, with its buffer, its
//   OVERLAPPEDs and its queue of write requests, is never freed, and the stop
//   event and the notification queue stay alive for it.
// - Its link values are written by the main thread before the thread starts
//   and only read afterwards; `leftBehind_` is the one field both touch.
//   Everything else in a thread object is the worker thread's own.
// - Data crosses between the threads only through THandOff queues
//   (HandOff.h): the main thread's notification queue (chunks, line-error
//   reports, hang-ups from both workers) and the transmit thread's queue of
//   write requests. The one lock between the threads is the hand-off queue's.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "comm/win32/HandOff.h"

namespace vexel {

inline constexpr DWORD kReadBufferSize = 2048;
// The stack reserved for each worker thread.
inline constexpr SIZE_T kThreadStackBytes = 128 * 1024;
// Every set-up step of the receive thread and every message the transmit
// thread takes first waits this long on the stop event.
inline constexpr DWORD kStopCheckMs = 10;
// A write still pending after this long counts as a lost link.
inline constexpr DWORD kWriteLimitMs = 100;
// How long ClosePort waits for a thread before logging that it does not end,
// and before leaving it behind.
inline constexpr DWORD kNotExitingMs = 100;
inline constexpr DWORD kGiveUpMs = 2000;
// How long a cancelled comm-event wait may take to end (ERROR_IO_INCOMPLETE).
inline constexpr DWORD kCancelWaitMs = 100;

inline constexpr char kInvalidHandleLine[] =
    "ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.";

struct CommLink;
// Waits until a request that this thread started and cancelled has ended, so
// that its OVERLAPPED and buffer may go. Empty: GetOverlappedResult, waiting.
// Tests put a wait here that blocks like a driver that never completes it.
using CancelledRequestWait = std::function<void(const CommLink& link, OVERLAPPED& request)>;

// What a worker thread works with: copies of TComm32's port handle and stop
// event and a share of its notification queue, handed over before the thread
// starts.
struct CommLink {
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE stopEvent = nullptr;
  std::shared_ptr<THandOff> notifications;
  CancelledRequestWait cancelledRequestWait;
};

// A worker thread: created suspended, started with its priority, never
// killed; it ends on its own once the stop event is set.
class TCommThread {
 public:
  TCommThread() = default;
  TCommThread(const TCommThread&) = delete;
  TCommThread& operator=(const TCommThread&) = delete;
  virtual ~TCommThread();  // the thread must have ended

  // Creates the thread suspended. False with the thread error as last error.
  virtual bool Create(const CommLink& link);
  void Start(int priority);
  // Waits up to kNotExitingMs for the thread to end; if it has not, logs
  // notExitingLine and waits on until the tick count `giveUpAt`. False when
  // the thread is still running then.
  bool WaitForEnd(const char* notExitingLine, ULONGLONG giveUpAt);
  // The main thread gives up on a thread that did not end: from now on the
  // thread leaves the port handle alone (the main thread closes it).
  void LeaveBehind() { leftBehind_ = true; }
  DWORD Id() const { return id_; }

 protected:
  virtual void Execute() = 0;
  // Hands a hang-up notification to the main thread.
  void PostHangupRequest() const;
  // True when the stop event stays unset for kStopCheckMs (the stop check
  // that precedes each set-up step and each message taken).
  bool StopCheckPassed() const;
  // Shutdown of a worker: purges the port with `purgeFlags` and cancels this
  // thread's requests, unless the thread was left behind.
  void PurgeAndCancel(DWORD purgeFlags) const;
  // Waits until a cancelled request has ended (see CancelledRequestWait).
  void WaitForCancelled(OVERLAPPED& request) const;
  // Once left behind, a thread hands nothing more over: a later link shares
  // the notification queue.
  bool LeftBehind() const { return leftBehind_; }

  CommLink link_;  // written by the main thread before Start, then read-only

 private:
  static DWORD WINAPI Entry(void* self);

  std::atomic<bool> leftBehind_{false};  // set by the main thread, read by the worker
  HANDLE handle_ = nullptr;              // main thread only
  DWORD id_ = 0;                         // main thread only
};

// The receive thread: keeps one overlapped read (and, where the platform
// allows it, one comm-event wait for line errors) outstanding and hands every
// completed read to the main thread as one chunk.
class TReadThread final : public TCommThread {
 protected:
  void Execute() override;

 private:
  bool SetupReadEvent();
  bool HandleReadEvent();
  bool HandleReadData(DWORD count);
  bool SetupCommEvent();
  bool HandleCommEvent(OVERLAPPED* request);
  bool EndIncompleteCommWait(DWORD& error);
  void ParkCommEvent();
  void Shutdown();

  // Receive thread only from here on.
  OVERLAPPED readRequest_{};
  OVERLAPPED commRequest_{};
  char buffer_[kReadBufferSize]{};
  DWORD eventMask_ = 0;
  bool readPending_ = false;
  bool commWaitPending_ = false;
  // The comm-event wait was aborted and is not re-armed until the next
  // completed read (Wine aborts every such wait a few milliseconds after it
  // starts; re-arming at once would spin).
  bool commWaitParked_ = false;
  // A cancelled comm-event wait did not end: its OVERLAPPED stays in use, so
  // the wait is never re-armed in this run (line errors go unwatched).
  bool commWaitStuck_ = false;
};

// The transmit thread: takes write requests from its own queue, one at a
// time, and writes each completely before the next.
class TWriteThread final : public TCommThread {
 public:
  ~TWriteThread() override;
  // Also makes the event by which the thread tells that its message queue
  // exists, and points the request queue at the thread.
  bool Create(const CommLink& link) override;
  // Waits until the thread's message queue exists (or the thread ended), so
  // that wake messages posted from now on are accepted.
  void WaitForQueue() const;
  // WriteData hands its requests here (any thread may).
  THandOff& Requests() { return requests_; }

 protected:
  void Execute() override;

 private:
  bool HandleWriteData(const char* bytes, DWORD count);
  void Shutdown();

  THandOff requests_;            // see HandOff.h; requests never taken go with it
  HANDLE queueReady_ = nullptr;  // made by the main thread, set by this thread
  // Transmit thread only from here on.
  OVERLAPPED writeRequest_{};
  bool writePending_ = false;
};

// "Comm Event: <names>, EvtMask = <flags>": the line-error report for the
// error flags that ClearCommError gave.
std::string LineErrorReport(DWORD errors);

}  // namespace vexel
