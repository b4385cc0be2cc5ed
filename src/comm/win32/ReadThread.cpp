// The receive thread. Chunks end after the port's read interval of silence or
// when the 2048-byte buffer is full; each completed read becomes one data
// notification. Line errors are watched with a comm-event wait, cleared and
// reported (the report is dropped by the main thread).

#include "comm/win32/CommLog.h"
#include "comm/win32/CommThreads.h"

namespace vexel {

std::string LineErrorReport(DWORD errors) {
  std::string names = errors == 0 ? "NULL Error" : "";
  const auto add = [&names](const char* name) {
    if (!names.empty()) names += " and ";
    names += name;
  };
  if (errors & CE_FRAME) add("CE_FRAME");
  if (errors & CE_OVERRUN) add("CE_OVERRUN");
  if (errors & CE_RXPARITY) add("CE_RXPARITY");
  if (errors & ~DWORD{CE_FRAME | CE_OVERRUN | CE_RXPARITY}) add("EV_ERR Unknown EvtMask");
  return "Comm Event: " + names.substr(0, 127) + ", EvtMask = " + std::to_string(errors);
}

void TReadThread::Execute() {
  readRequest_ = {};
  commRequest_ = {};
  readRequest_.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (readRequest_.hEvent) commRequest_.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (!readRequest_.hEvent || !commRequest_.hEvent) {
    LogLastError(GetLastError(), "Unable to CreateEvent: ");
    PostHangupRequest();
    return Shutdown();
  }
  if (!SetCommMask(link_.port, EV_ERR)) {
    LogLastError(GetLastError(), "Unable to SetCommMask: ");
    PostHangupRequest();
    return Shutdown();
  }
  if (!SetupCommEvent()) {
    LogLastError(GetLastError(), "Unable to SetupCommEvent1: ");
    PostHangupRequest();
    return Shutdown();
  }
  if (!SetupReadEvent()) {
    LogLastError(GetLastError(), "Unable to SetupReadEvent: ");
    PostHangupRequest();
    return Shutdown();
  }

  for (;;) {
    // Stop event first: when several are set, it wins. A parked comm-event
    // wait is left out, since its event stays set after the abort.
    const bool watchComm = !commWaitParked_;
    HANDLE waitList[3] = {link_.stopEvent, commRequest_.hEvent, readRequest_.hEvent};
    if (!watchComm) waitList[1] = readRequest_.hEvent;
    const DWORD count = watchComm ? 3 : 2;

    const DWORD result = WaitForMultipleObjects(count, waitList, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) {
      OutputDebugStringA("Time to Exit");
      break;
    }
    if (watchComm && result == WAIT_OBJECT_0 + 1) {
      if (!HandleCommEvent(&commRequest_)) {
        PostHangupRequest();
        LogLastError(GetLastError(), "Unable HandleCommEvent: ");
        break;
      }
      if (!commWaitParked_ && !SetupCommEvent()) {
        PostHangupRequest();
        LogLastError(GetLastError(), "Unable to SetupCommEvent2: ");
        break;
      }
    } else if (result == WAIT_OBJECT_0 + count - 1) {
      if (!HandleReadEvent()) {
        PostHangupRequest();
        LogLastError(GetLastError(), "Unable to HandleReadEvent: ");
        break;
      }
      if (!SetupReadEvent()) {
        PostHangupRequest();
        break;
      }
      // A completed read is the moment to watch for line errors again. A
      // stop seen while re-arming ends the thread quietly: the re-arm is no
      // set-up step of the read.
      if (commWaitParked_ && !commWaitStuck_) {
        commWaitParked_ = false;
        if (!SetupCommEvent()) {
          if (WaitForSingleObject(link_.stopEvent, 0) == WAIT_OBJECT_0) break;
          PostHangupRequest();
          LogLastError(GetLastError(), "Unable to SetupCommEvent2: ");
          break;
        }
      }
    } else if (result == WAIT_FAILED) {
      LogLastError(GetLastError(), "Read WAIT_FAILED: ");
      PostHangupRequest();
      break;
    } else {
      WriteCommsLog("Unexpected Wait return value " + std::to_string(result));
      PostHangupRequest();
      break;
    }
  }
  Shutdown();
}

void TReadThread::Shutdown() {
  WriteCommsLog("Read thread shutting down");
  PurgeAndCancel(PURGE_RXABORT | PURGE_RXCLEAR);
  if (readPending_) WaitForCancelled(readRequest_);
  if (commWaitPending_) WaitForCancelled(commRequest_);
  readPending_ = commWaitPending_ = false;
  if (readRequest_.hEvent) CloseHandle(readRequest_.hEvent);
  if (commRequest_.hEvent) CloseHandle(commRequest_.hEvent);
  readRequest_.hEvent = commRequest_.hEvent = nullptr;
}

bool TReadThread::SetupReadEvent() {
  for (;;) {
    if (!StopCheckPassed()) return false;
    if (ReadFile(link_.port, buffer_, kReadBufferSize, nullptr, &readRequest_)) {
      // Bytes already buffered: drained here, without a trip through the
      // main wait.
      DWORD count = 0;
      GetOverlappedResult(link_.port, &readRequest_, &count, FALSE);
      WriteCommsLog("Data waiting for ReadFile: ");
      if (!HandleReadData(count)) return false;
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      readPending_ = true;
      WriteCommsLog("Waiting for data from comm connection.");
      return true;
    }
    if (error == ERROR_INVALID_HANDLE) {
      WriteCommsLog(kInvalidHandleLine);
      return false;
    }
    LogLastError(error, "Unexpected ReadFile error: ");
    PostHangupRequest();
    return false;
  }
}

bool TReadThread::HandleReadEvent() {
  DWORD count = 0;
  const BOOL ok = GetOverlappedResult(link_.port, &readRequest_, &count, FALSE);
  const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  // A read still in progress (ERROR_IO_INCOMPLETE, which Windows does not give
  // once the read event is set) stays pending: the thread ends below, and its
  // shutdown waits for the read before the buffer may go.
  readPending_ = error == ERROR_IO_INCOMPLETE;
  if (ok) return HandleReadData(count);
  // With only a read interval set, a read has no time limit before its
  // first byte. Wine nevertheless ends a waiting read by time-out when a
  // write on the port makes partial progress: no failure of the line, so
  // the caller simply reads again.
  if (error == ERROR_TIMEOUT && count == 0) {
    WriteCommsLog("Read timed out without data; reading again.");
    return true;
  }
  if (error == ERROR_INVALID_HANDLE) {
    WriteCommsLog(kInvalidHandleLine);
    return false;
  }
  LogLastError(error, "Unexpected GetOverlappedResult Read Error: ");
  PostHangupRequest();
  return false;
}

bool TReadThread::HandleReadData(DWORD count) {
  if (count == 0) return false;    // a read without bytes: the line is gone
  if (LeftBehind()) return false;  // its bytes belong to a link that is gone
  WriteCommsLog("Got something from Comm port!!!");
  switch (link_.notifications->Hand(kDataNotification, {buffer_, count})) {
    case THandOff::Handed::kYes:
      return true;
    case THandOff::Handed::kNoMemory:
      LogLastError(GetLastError(), "LocalAlloc: ");
      return false;
    case THandOff::Handed::kNotPosted:
      break;
  }
  return false;
}

bool TReadThread::SetupCommEvent() {
  for (;;) {
    if (!StopCheckPassed()) return false;
    eventMask_ = 0;
    if (WaitCommEvent(link_.port, &eventMask_, &commRequest_)) {
      WriteCommsLog("Event (Error) waiting before WaitCommEvent.");
      if (!HandleCommEvent(nullptr)) return false;
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      commWaitPending_ = true;
      WriteCommsLog("Waiting for a CommEvent (Error) to occur.");
      return true;
    }
    if (error == ERROR_OPERATION_ABORTED) {
      ParkCommEvent();
      return true;
    }
    if (error == ERROR_INVALID_HANDLE) {
      WriteCommsLog(kInvalidHandleLine);
      return false;
    }
    LogLastError(error, "Unexpected WaitCommEvent error: ");
    return false;
  }
}

void TReadThread::ParkCommEvent() {
  commWaitParked_ = true;
  WriteCommsLog("CommEvent wait aborted; waiting again after the next read.");
}

bool TReadThread::HandleCommEvent(OVERLAPPED* request) {
  if (request) {
    DWORD ignored = 0;
    BOOL ok = GetOverlappedResult(link_.port, request, &ignored, FALSE);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_INCOMPLETE) {
      if (!EndIncompleteCommWait(error)) {
        // Still live: its OVERLAPPED may be neither re-armed nor freed.
        commWaitParked_ = commWaitStuck_ = true;
        WriteCommsLog("CommEvent wait does not end after its cancel; line errors go unwatched.");
        return true;
      }
      ok = error == ERROR_SUCCESS;
      if (ok && !(eventMask_ & EV_ERR)) error = ERROR_OPERATION_ABORTED;  // ended without news
    }
    commWaitPending_ = false;
    // An aborted wait is no failure of the line (Wine aborts them all).
    if (error == ERROR_OPERATION_ABORTED) {
      ParkCommEvent();
      return true;
    }
    if (!ok) {
      if (error == ERROR_INVALID_HANDLE)
        WriteCommsLog(kInvalidHandleLine);
      else
        LogLastError(error, "Unexpected GetOverlappedResult for WaitCommEvent: ");
      return false;
    }
  }
  if (!(eventMask_ & EV_ERR)) {
    WriteCommsLog("Unexpected comm event " + std::to_string(eventMask_));
    return false;
  }
  // Clearing the error flags lets a port that halted on the error go on.
  DWORD errors = 0;
  if (!ClearCommError(link_.port, &errors, nullptr)) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_HANDLE)
      WriteCommsLog(kInvalidHandleLine);
    else
      LogLastError(error, "ClearCommError: ");
    return false;
  }
  // A report that cannot be posted is dropped: the main thread would drop it
  // anyway, and reception goes on.
  if (link_.notifications->Hand(kDataNotification, LineErrorReport(errors)) ==
      THandOff::Handed::kNoMemory) {
    LogLastError(GetLastError(), "LocalAlloc: ");
    return false;
  }
  return true;
}

bool TReadThread::EndIncompleteCommWait(DWORD& error) {
  // The comm event is set, yet the wait reads as still in progress. On
  // Windows that is what it means: the request is live, and re-arming or
  // freeing its OVERLAPPED now would hand the driver memory it still writes
  // to. So cancel that one request and give it a moment to end.
  //
  // Tolerance for Wine: it can signal the end of an aborted wait and leave the
  // request marked incomplete for good (its waiting helper finishes before the
  // request is marked pending). There the bounded wait below returns at once,
  // the event being set, and reports the wait as ended; it never spins and
  // never hangs up.
  CancelIoEx(link_.port, &commRequest_);
  // False when the request is still live after kCancelWaitMs; otherwise
  // `error` is how it ended.
  DWORD ignored = 0;
  error = GetOverlappedResultEx(link_.port, &commRequest_, &ignored, kCancelWaitMs, FALSE)
              ? ERROR_SUCCESS
              : GetLastError();
  return error != WAIT_TIMEOUT && error != ERROR_IO_INCOMPLETE;
}

}  // namespace vexel
