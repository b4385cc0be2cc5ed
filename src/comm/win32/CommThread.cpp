#include "comm/win32/CommLog.h"
#include "comm/win32/CommThreads.h"

namespace vexel {

TCommThread::~TCommThread() {
  if (handle_) CloseHandle(handle_);
}

bool TCommThread::Create(const CommLink& link) {
  link_ = link;
  // A worker keeps its buffers in its thread object and needs little stack:
  // a small reservation instead of the program's default.
  handle_ = CreateThread(nullptr, kThreadStackBytes, &TCommThread::Entry, this,
                         CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &id_);
  return handle_ != nullptr;
}

void TCommThread::Start(int priority) {
  SetThreadPriority(handle_, priority);
  ResumeThread(handle_);
}

bool TCommThread::WaitForEnd(const char* notExitingLine, ULONGLONG giveUpAt) {
  if (WaitForSingleObject(handle_, kNotExitingMs) != WAIT_TIMEOUT) return true;
  WriteCommsLog(notExitingLine);
  // Never killed: the stop event stays set, so a thread whose requests end
  // always ends. One whose driver never ends them is left behind instead.
  const ULONGLONG now = GetTickCount64();
  const DWORD left = giveUpAt > now ? static_cast<DWORD>(giveUpAt - now) : 0;
  return WaitForSingleObject(handle_, left) != WAIT_TIMEOUT;
}

void TCommThread::PostHangupRequest() const {
  // A thread left behind speaks no more: a later link shares the queue.
  if (!leftBehind_) link_.notifications->Hand(kHangupNotification, {});
}

bool TCommThread::StopCheckPassed() const {
  return WaitForSingleObject(link_.stopEvent, kStopCheckMs) == WAIT_TIMEOUT;
}

void TCommThread::PurgeAndCancel(DWORD purgeFlags) const {
  // A thread left behind comes back after the main thread closed the port,
  // and the handle's number may belong to another port by then. (Only a
  // thread that returns from a driver call in the very instant it is left
  // behind can still pass this check.)
  if (leftBehind_) return;
  PurgeComm(link_.port, purgeFlags);
  // The purge does not end a pending request everywhere (Wine keeps it), and
  // a request still pending would write into this object after it is gone:
  // cancel what this thread started (the caller then waits for it).
  CancelIo(link_.port);
}

void TCommThread::WaitForCancelled(OVERLAPPED& request) const {
  if (link_.cancelledRequestWait) return link_.cancelledRequestWait(link_, request);
  // With an event in the OVERLAPPED this waits on the event, not on the port.
  DWORD ignored = 0;
  GetOverlappedResult(link_.port, &request, &ignored, TRUE);
}

DWORD WINAPI TCommThread::Entry(void* self) {
  static_cast<TCommThread*>(self)->Execute();
  return 0;
}

}  // namespace vexel
