// The serial port's two worker threads and the notifications that cross
// between them and the main thread.
//
// Ownership: a thread object is created, started, waited for and released by
// the main thread (TComm32). Its link values are written by the main thread
// before the thread starts and only read afterwards. Everything else in a
// thread object is the worker thread's own working state: the main thread
// never touches it. Nothing crosses threads except posted notifications that
// carry LocalAlloc'ed copies; the thread that takes a copy releases it.
#pragma once

#include <windows.h>

#include <string>

namespace vexel {

// Posted by the receive thread to the notification window: (byte count,
// copy of the bytes followed by one zero byte).
inline constexpr UINT kDataNotification = WM_USER + 1;
// Posted by either worker thread to the notification window: (0, 0).
inline constexpr UINT kHangupNotification = WM_USER + 2;
// Posted by WriteData to the transmit thread's own queue: (byte count, copy
// of the bytes followed by one zero byte).
inline constexpr UINT kWriteRequest = WM_USER + 1;

inline constexpr DWORD kReadBufferSize = 2048;
// Every set-up step of the receive thread and every message the transmit
// thread takes first waits this long on the stop event.
inline constexpr DWORD kStopCheckMs = 10;
// A write still pending after this long counts as a lost link.
inline constexpr DWORD kWriteLimitMs = 100;

// What a worker thread works with: copies of TComm32's port handle, stop
// event and notification window, handed over before the thread starts.
struct CommLink {
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE stopEvent = nullptr;
  HWND target = nullptr;
};

// Tells the main thread that a worker thread gave up on the port.
void PostHangupRequest(HWND target);

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
  // Waits up to 100 ms for the thread to end; if it has not, logs
  // notExitingLine and waits until it does.
  void WaitForEnd(const char* notExitingLine);
  DWORD Id() const { return id_; }

 protected:
  virtual void Execute() = 0;
  void PostHangupRequest() const { vexel::PostHangupRequest(link_.target); }
  // True when the stop event stays unset for kStopCheckMs (the stop check
  // that precedes each set-up step and each message taken).
  bool StopCheckPassed() const;

  CommLink link_;  // written by the main thread before Start, then read-only

 private:
  static DWORD WINAPI Entry(void* self);

  HANDLE handle_ = nullptr;  // main thread only
  DWORD id_ = 0;             // main thread only
};

// The receive thread: keeps one overlapped read (and, where the platform
// allows it, one comm-event wait for line errors) outstanding and posts every
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
};

// The transmit thread: takes write requests from its own message queue, one
// at a time, and writes each completely before the next.
class TWriteThread final : public TCommThread {
 public:
  ~TWriteThread() override;
  // Also makes the event by which the thread tells that its queue exists.
  bool Create(const CommLink& link) override;
  // Waits until the thread's message queue exists (or the thread ended), so
  // that write requests posted from now on are accepted.
  void WaitForQueue() const;

 protected:
  void Execute() override;

 private:
  bool HandleWriteData(const char* bytes, DWORD count);
  void Shutdown(HLOCAL failedCopy);

  HANDLE queueReady_ = nullptr;  // made by the main thread, set by this thread
  // Transmit thread only from here on.
  OVERLAPPED writeRequest_{};
  bool writePending_ = false;
};

// "Comm Event: <names>, EvtMask = <flags>": the line-error report for the
// error flags that ClearCommError gave.
std::string LineErrorReport(DWORD errors);

}  // namespace vexel
