#include "comm/win32/CommLog.h"
#include "comm/win32/CommThreads.h"

namespace vexel {

void PostHangupRequest(HWND target) { PostMessageA(target, kHangupNotification, 0, 0); }

TCommThread::~TCommThread() {
  if (handle_) CloseHandle(handle_);
}

bool TCommThread::Create(const CommLink& link) {
  link_ = link;
  handle_ = CreateThread(nullptr, 0, &TCommThread::Entry, this, CREATE_SUSPENDED, &id_);
  return handle_ != nullptr;
}

void TCommThread::Start(int priority) {
  SetThreadPriority(handle_, priority);
  ResumeThread(handle_);
}

void TCommThread::WaitForEnd(const char* notExitingLine) {
  if (WaitForSingleObject(handle_, 100) == WAIT_TIMEOUT) {
    WriteCommsLog(notExitingLine);
    // Never killed: the stop event stays set, so the thread always ends.
    WaitForSingleObject(handle_, INFINITE);
  }
}

bool TCommThread::StopCheckPassed() const {
  return WaitForSingleObject(link_.stopEvent, kStopCheckMs) == WAIT_TIMEOUT;
}

DWORD WINAPI TCommThread::Entry(void* self) {
  static_cast<TCommThread*>(self)->Execute();
  return 0;
}

}  // namespace vexel
