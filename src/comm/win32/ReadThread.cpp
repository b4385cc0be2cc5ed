// The receive thread. Chunks end after the port's read interval of silence or
// when the 2048-byte buffer is full; each completed read becomes one data
// notification. Line errors are watched with a comm-event wait, cleared and
// reported (the report is dropped by the main thread).

#include <cstring>

#include "comm/win32/CommLog.h"
#include "comm/win32/CommThreads.h"

namespace vexel {
namespace {

constexpr char kInvalidHandleLine[] =
    "ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.";

}  // namespace

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
      if (commWaitParked_) {
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
  PurgeComm(link_.port, PURGE_RXABORT | PURGE_RXCLEAR);
  // The purge does not end a pending request everywhere (Wine keeps it), and
  // a request still pending would write into this object after it is gone:
  // cancel what this thread started and wait until it has finished.
  if (readPending_ || commWaitPending_) CancelIo(link_.port);
  DWORD ignored = 0;
  if (readPending_) GetOverlappedResult(link_.port, &readRequest_, &ignored, TRUE);
  if (commWaitPending_) GetOverlappedResult(link_.port, &commRequest_, &ignored, TRUE);
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
  readPending_ = false;
  if (ok) return HandleReadData(count);
  const DWORD error = GetLastError();
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
  if (count == 0) return false;  // a read without bytes: the line is gone
  WriteCommsLog("Got something from Comm port!!!");
  char* copy = static_cast<char*>(LocalAlloc(LPTR, count + 1));
  if (!copy) {
    LogLastError(GetLastError(), "LocalAlloc: ");
    return false;
  }
  std::memcpy(copy, buffer_, count);
  // From here the copy belongs to the main thread, which releases it.
  if (PostMessageA(link_.target, kDataNotification, count, reinterpret_cast<LPARAM>(copy)))
    return true;
  LocalFree(copy);
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
    const BOOL ok = GetOverlappedResult(link_.port, request, &ignored, FALSE);
    commWaitPending_ = false;
    if (!ok) {
      const DWORD error = GetLastError();
      // An aborted wait is no failure of the line (Wine aborts them all).
      // Wine can also signal the end of such a wait and then leave the request
      // marked incomplete for good (its waiting helper thread finishes before
      // the request is marked pending): that wait is over just the same.
      if (error == ERROR_OPERATION_ABORTED || error == ERROR_IO_INCOMPLETE) {
        ParkCommEvent();
        return true;
      }
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
  const std::string report = LineErrorReport(errors);
  char* copy = static_cast<char*>(LocalAlloc(LPTR, report.size() + 1));
  if (!copy) {
    LogLastError(GetLastError(), "LocalAlloc: ");
    return false;
  }
  std::memcpy(copy, report.data(), report.size());
  if (PostMessageA(link_.target, kDataNotification, report.size(), reinterpret_cast<LPARAM>(copy)))
    return true;
  LocalFree(copy);
  return true;
}

}  // namespace vexel
