// The transmit thread. Write requests arrive through its own hand-off queue
// (WriteData), each announced by a wake message in the thread's message queue;
// each is written completely, in queue order, before the next is taken.

#include "comm/win32/CommLog.h"
#include "comm/win32/CommThreads.h"

namespace vexel {

TWriteThread::~TWriteThread() {
  if (queueReady_) CloseHandle(queueReady_);
}

bool TWriteThread::Create(const CommLink& link) {
  queueReady_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!queueReady_ || !TCommThread::Create(link)) return false;
  requests_.SetReceiver(nullptr, Id());
  return true;
}

void TWriteThread::WaitForQueue() const {
  // Set by the thread's first step, which cannot fail.
  WaitForSingleObject(queueReady_, INFINITE);
}

void TWriteThread::Execute() {
  MSG message;
  PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
  SetEvent(queueReady_);

  writeRequest_ = {};
  writeRequest_.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (!writeRequest_.hEvent) {
    LogLastError(GetLastError(), "Unable to CreateEvent: ");
    PostHangupRequest();
    return Shutdown();
  }
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      // A request announced by this message stays queued, and is dropped
      // with the queue, when the stop event is set.
      if (!StopCheckPassed()) return Shutdown();
      if (message.hwnd) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      } else if (message.message == kWriteRequest) {
        // A wake message from anyone else finds nothing (or the next request,
        // a little early): the message itself carries nothing.
        if (const std::optional<HandOffItem> request = requests_.Take()) {
          WriteCommsLog("Writing to comm port");
          // On failure the copy lives on until Shutdown has ended the write.
          if (!HandleWriteData(request->bytes.data(), static_cast<DWORD>(request->bytes.size())))
            return Shutdown();
        }
      } else {
        WriteCommsLog("Unexpected message posted to Write thread: " +
                      std::to_string(message.message));
      }
      continue;
    }
    const DWORD result =
        MsgWaitForMultipleObjects(1, &link_.stopEvent, FALSE, INFINITE, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) return Shutdown();
    if (result == WAIT_OBJECT_0 + 1) continue;
    if (result == WAIT_FAILED) {
      LogLastError(GetLastError(), "Write WAIT_FAILED: ");
    } else {
      WriteCommsLog("Unexpected Wait return value " + std::to_string(result));
    }
    PostHangupRequest();
    return Shutdown();
  }
}

void TWriteThread::Shutdown() {
  WriteCommsLog("Write thread shutting down");
  PurgeAndCancel(PURGE_TXABORT | PURGE_TXCLEAR);
  // Wait until the port no longer reads from the copy being written.
  if (writePending_) WaitForCancelled(writeRequest_);
  writePending_ = false;
  if (writeRequest_.hEvent) CloseHandle(writeRequest_.hEvent);
  writeRequest_.hEvent = nullptr;
  // Requests still queued are dropped unwritten when the thread object goes.
}

bool TWriteThread::HandleWriteData(const char* bytes, DWORD count) {
  DWORD offset = 0;
  while (offset < count) {
    DWORD written = 0;
    if (WriteFile(link_.port, bytes + offset, count - offset, nullptr, &writeRequest_)) {
      GetOverlappedResult(link_.port, &writeRequest_, &written, FALSE);
    } else if (const DWORD error = GetLastError(); error == ERROR_IO_PENDING) {
      writePending_ = true;
      HANDLE waitList[2] = {link_.stopEvent, writeRequest_.hEvent};
      const DWORD result = WaitForMultipleObjects(2, waitList, FALSE, kWriteLimitMs);
      if (result == WAIT_OBJECT_0) return false;
      if (result == WAIT_OBJECT_0 + 1) {
        const BOOL ok = GetOverlappedResult(link_.port, &writeRequest_, &written, TRUE);
        writePending_ = false;
        if (!ok) {
          const DWORD failure = GetLastError();
          if (failure == ERROR_INVALID_HANDLE) {
            WriteCommsLog(kInvalidHandleLine);
            return false;
          }
          LogLastError(failure, "Error writing to CommFile while waiting");
          WriteCommsLog("Closing TAPI");
          PostHangupRequest();
          return false;
        }
      } else {
        // WAIT_TIMEOUT included: the write has been pending too long.
        if (result == WAIT_FAILED)
          LogLastError(GetLastError(), "Write WAIT_FAILED: ");
        else
          WriteCommsLog("Unexpected Wait return value " + std::to_string(result));
        PostHangupRequest();
        return false;
      }
    } else if (error == ERROR_INVALID_HANDLE) {
      WriteCommsLog(kInvalidHandleLine);
      return false;
    } else {
      LogLastError(error, "Error to writing to CommFile");
      WriteCommsLog("Closing TAPI");
      PostHangupRequest();
      return false;
    }
    if (written == 0) {
      // Without time-outs a write never completes empty; were it to, going
      // round again would spin. Count it as a lost link.
      WriteCommsLog("Nothing written to CommFile");
      PostHangupRequest();
      return false;
    }
    offset += written;
  }
  return true;
}

}  // namespace vexel
