#include "phone/PhoneLink.h"

#include "base/Text.h"
#include "comm/SerialPort.h"
#include "phone/KeyEvents.h"
#include "phone/PortList.h"
#include "phone/UrlEncode.h"

namespace vexel {

namespace {

const char kKeepAlive[] = "AT+CGMI\r";

bool IsBluetoothEntry(std::string_view entry) {
  return entry.starts_with("/dev/rfcomm") || entry.ends_with(" (bth)");
}
const char kFailureQuestion[] =
    "Vexel unable to continue it's work.\rBut you can help us to improve it! It is very "
    "easy.\rWould you like to send email with auto-generated log?\rThank you!";
const char kReportHeader[] = "Vexel after \"Feedback init failed\" info collection.";

}  // namespace

const std::vector<std::string>& IdentificationCommands() {
  static const std::vector<std::string> commands = {"ATE0",      "AT+CGMI",  "AT+GMM",   "ATI3",
                                                    "AT+CSCS=?", "AT+CSCS?", "AT+CMER=?"};
  return commands;
}

PhoneLink::PhoneLink(SerialPort& port, LinkHost& host, LinkUi& ui, LinkObserver& observer,
                     KeyEventHandlers& keys, std::string supportAddress)
    : port_(port),
      host_(host),
      ui_(ui),
      observer_(observer),
      keys_(keys),
      supportAddress_(std::move(supportAddress)) {
  // One hang-up handler for the program's life: RequestHangup itself tells
  // a lost link from a notification that comes too late or too early.
  port_.SetOnRequestHangup([this](void*) { RequestHangup(); });
}

// ---------------------------------------------------------------------------
// Command exchange

bool PhoneLink::SendAndWait(std::string_view command, std::string_view expected) {
  expected_ = expected;
  waiting_ = true;
  matched_ = false;
  host_.StartTimer(kWaitTimerId, kReplyTimeoutMs);
  InstallWaitString();
  std::string line(command);
  line += '\r';
  port_.WriteData(line.data(), static_cast<std::uint16_t>(line.size()));
  do {
    host_.ProcessMessages();
    host_.Sleep(kWaitPassMs);
  } while (waiting_ && !exiting_);
  if (exiting_) host_.StopTimer(kWaitTimerId);
  return matched_ && !exiting_;
}

void PhoneLink::WaitString(const char* buffer) {
  const std::string_view text = UpToNul(buffer);
  if (replyLog_) memo_.emplace_back(text);
  if (text.find(expected_) != std::string_view::npos) {
    host_.StopTimer(kWaitTimerId);
    waiting_ = false;
    matched_ = true;
  }
}

void PhoneLink::WaitTimeout() {
  host_.StopTimer(kWaitTimerId);
  matched_ = false;
  waiting_ = false;
}

void PhoneLink::TimerFired(unsigned id) {
  if (id == kWaitTimerId) WaitTimeout();
  if (id == kReconnectTimerId) ReconnectTimerTimer();
  if (id == kAttemptTimerId) ReconnectAttempt();
}

void PhoneLink::InstallWaitString() {
  port_.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t) { WaitString(buffer); });
}

void PhoneLink::InstallFeedbackComm() { port_.SetOnReceiveData(keys_.FeedbackCommHandler()); }

// ---------------------------------------------------------------------------
// Link start and stop

void PhoneLink::StartLink() {
  std::string failure;
  try {
    failure = OpenLink(Attended::kYes);
  } catch (const EPortBusy& error) {
    // Another program holds the port for itself: trying again changes nothing.
    if (!retryFailedStart_) throw;
    LinkEvent event{LinkEventKind::kGaveUp};
    event.reason = error.what();
    Report(event);
    return;
  } catch (const std::exception& error) {
    StartFailed(error.what());
    if (!retryFailedStart_) throw;
    return;
  }
  if (!connected_) {
    StartFailed(failure);
    return;
  }
  Report(LinkedEvent(LinkEventKind::kUp));
  if (lineLostWhileStarting_) {
    // The line was lost while the phone acknowledged: the link came up and
    // is gone already, and is re-established like any lost link.
    RequestHangup();
  } else {
    FollowReconnectOption();
  }
}

std::string PhoneLink::OpenLink(Attended attended) {
  struct Starting {
    PhoneLink& link;
    explicit Starting(PhoneLink& l) : link(l) { link.starting_ = true; }
    ~Starting() { link.starting_ = false; }
  } starting(*this);
  lineLostWhileStarting_ = false;

  portText_ = ui_.SelectedPortText();
  maker_ = ui_.PhoneTypeIndex();
  port_.SetCommPort(PortNameOfEntry(portText_));
  if (attended == Attended::kYes) {
    LinkEvent event{LinkEventKind::kStarting};
    event.port = port_.CommPort();
    Report(event);
  }
  if (portText_.empty()) {
    static const char kSelectPort[] = "Select port first!";
    if (attended == Attended::kYes) {
      ui_.ShowMessageBox(kSelectPort, "Error", MsgIcon::kWarning, MsgButtons::kOk);
      if (!exiting_) ui_.ShowProperties();
    }
    return kSelectPort;
  }
  if (!port_.OpenPort()) {
    static const char kUnableToOpen[] = "Unable to open port!";
    if (attended == Attended::kYes)
      ui_.ShowMessageBox(kUnableToOpen, "Error", MsgIcon::kError, MsgButtons::kOk);
    return kUnableToOpen;
  }
  if (awaitBluetoothPhone_ && IsBluetoothEntry(portText_) && !AwaitPhone()) {
    port_.ClosePort();
    return "no answer from the phone within " + std::to_string(kConnectWaitMs / 1000) + " s";
  }
  host_.Sleep(kOpenSettleMs);
  keyReporting_ = ChooseKeyReporting(maker_, port_, host_, [this] { return exiting_; });
  keys_.SetMaker(keyReporting_.maker);
  if (SendAndWait(keyReporting_.command, "OK")) {
    InstallFeedbackComm();
    connected_ = true;
    return {};
  }
  static const char kFeedbackInitFailed[] = "Feedback init failed.";
  if (attended == Attended::kYes && !exiting_) {
    ui_.ShowMessageBox(kFeedbackInitFailed, "Error", MsgIcon::kError, MsgButtons::kOk);
    if (ui_.FailureReportWay() == LinkUi::FailureReport::kKeep) {
      if (!failureReportKept_ && !exiting_) {
        failureReportKept_ = true;
        const std::string report = CollectFailureReport();
        if (!report.empty()) ui_.KeepFailureReport(report, supportAddress_);
      }
    } else if (!exiting_ &&
               ui_.ShowMessageBox(kFailureQuestion, "Question", MsgIcon::kQuestion,
                                  MsgButtons::kYesNo) == MsgAnswer::kYes &&
               !exiting_) {
      SendFailureReport();
    }
  }
  port_.ClosePort();
  return kFeedbackInitFailed;
}

bool PhoneLink::AwaitPhone() {
  const std::uint64_t start = host_.Milliseconds();
  while (!exiting_) {
    const std::uint64_t sent = host_.Milliseconds();
    if (SendAndWait("AT", "OK")) return true;
    if (host_.Milliseconds() - start + kConnectPassMs > kConnectWaitMs) return false;
    while (!exiting_ && host_.Milliseconds() - sent < kConnectPassMs) {
      host_.ProcessMessages();
      host_.Sleep(kWaitPassMs);
    }
  }
  return false;
}

void PhoneLink::StartFailed(const std::string& reason) {
  if (exiting_) return;
  LinkEvent event{LinkEventKind::kStartFailed};
  event.attempt = 1;
  event.reason = reason;
  if (retryFailedStart_) {
    reconnecting_ = true;
    retryingStart_ = true;
    stopRequested_ = false;
    attempts_ = 0;
    host_.StartTimer(kAttemptTimerId, kReconnectPauseMs);
    event.nextInMs = kReconnectPauseMs;
  }
  Report(event);
}

void PhoneLink::StopLink() { TakeDown({LinkEventKind::kStopped}); }

void PhoneLink::TakeDown(LinkEvent event) {
  port_.ClosePort();
  connected_ = false;
  keys_.EndRepeat();
  EndLearnMode();
  Report(event);
}

void PhoneLink::QueryPhoneInfo() {
  replyLog_ = true;
  for (const std::string& command : IdentificationCommands()) {
    if (exiting_) break;
    SendAndWait(command, "OK");
  }
  replyLog_ = false;
}

std::string PhoneLink::CollectFailureReport() {
  memo_.clear();
  memo_.emplace_back(kReportHeader);
  QueryPhoneInfo();
  if (exiting_) return {};
  std::string log;
  for (const std::string& line : memo_) log += line + "\r\n";
  return log;
}

void PhoneLink::SendFailureReport() {
  const std::string log = CollectFailureReport();
  if (log.empty()) return;
  ui_.ShowReplyLog(log);
  ui_.ShellOpen("mailto:" + supportAddress_ + "?subject=Vexel_AfterFIFLog&body=" + UrlEncode(log));
}

LinkEvent PhoneLink::LinkedEvent(LinkEventKind kind) const {
  LinkEvent event{kind};
  event.port = port_.CommPort();
  event.maker = keyReporting_.makerName;
  event.command = keyReporting_.command;
  return event;
}

// ---------------------------------------------------------------------------
// Supervision

std::string PhoneLink::PortInUse() const {
  return connected_ || starting_ || reconnecting_ ? port_.CommPort() : std::string();
}

void PhoneLink::Start() {
  if (!connected_ && !starting_ && !reconnecting_) StartLink();
}

void PhoneLink::Stop() {
  if (reconnecting_) {
    // The sequence ends as a Stop: at once during a pause, or as soon as
    // the attempt that runs now returns.
    stopRequested_ = true;
    if (!starting_) EndReconnection({LinkEventKind::kStopped});
  } else if (connected_) {
    StopLink();
  }
}

void PhoneLink::StartStopItemClick() {
  if (starting_ && !reconnecting_) return;  // a start is still running: ignore the click
  if (reconnecting_ || connected_)
    Stop();
  else
    StartLink();
}

void PhoneLink::RequestHangup() {
  // During a start the start decides: its line is lost before it is up.
  if (starting_) {
    lineLostWhileStarting_ = true;
    return;
  }
  // A notification left over from a link that is already down (the user
  // pressed Stop, or a reconnection runs) starts nothing.
  if (!connected_ || reconnecting_) return;
  reconnecting_ = true;
  retryingStart_ = false;
  stopRequested_ = false;
  attempts_ = 0;
  host_.StopTimer(kReconnectTimerId);
  port_.ClosePort();
  connected_ = false;
  keys_.EndRepeat();
  EndLearnMode();
  Report({LinkEventKind::kLost});
  host_.ProcessMessages();
  if (!reconnecting_) return;  // stopped or exited meanwhile
  // Each attempt follows its pause from the main loop, so that no window
  // waits for the sequence: only one attempt's own reply wait is nested.
  host_.StartTimer(kAttemptTimerId, kReconnectPauseMs);
}

void PhoneLink::ReconnectAttempt() {
  host_.StopTimer(kAttemptTimerId);
  if (!reconnecting_ || starting_) return;
  ++attempts_;
  if (!retryingStart_) {
    LinkEvent event{LinkEventKind::kReconnecting};
    event.attempt = attempts_;
    event.attempts = kReconnectAttempts;
    Report(event);
  }
  std::string failure;
  try {
    failure = OpenLink(Attended::kNo);
  } catch (const std::exception& error) {
    // Whatever went wrong (a Bluetooth phone out of range: the device is
    // gone for now), it is one failed attempt; the sequence goes on.
    failure = error.what();
  } catch (...) {
    failure = "unknown error";
  }
  if (connected_ && lineLostWhileStarting_) {  // acknowledged on a line that was lost
    port_.ClosePort();
    connected_ = false;
    failure = "the line was lost";
  }
  if (exiting_) {
    reconnecting_ = false;
  } else if (stopRequested_) {
    EndReconnection({LinkEventKind::kStopped});
  } else if (connected_) {
    reconnecting_ = false;
    if (retryingStart_) {
      retryingStart_ = false;
      FollowReconnectOption();
      Report(LinkedEvent(LinkEventKind::kUp));
    } else {
      host_.StartTimer(kReconnectTimerId, kKeepAliveMs);  // ticked or not
      Report(LinkedEvent(LinkEventKind::kBack));
    }
  } else {
    const bool last = attempts_ >= kReconnectAttempts;
    if (retryingStart_) {
      LinkEvent event{LinkEventKind::kStartFailed};
      event.attempt = attempts_ + 1;
      event.reason = failure;
      event.nextInMs = last ? 0 : kReconnectPauseMs;
      Report(event);
    }
    if (!last) {
      host_.StartTimer(kAttemptTimerId, kReconnectPauseMs);
    } else if (retryingStart_) {
      LinkEvent event{LinkEventKind::kGaveUp};
      event.reason = "the link could not be started: " + failure;
      EndReconnection(event);
    } else {
      static const char kReconnectionFailed[] = "Connection lost and reconnection failed.";
      LinkEvent event{LinkEventKind::kGaveUp};
      event.reason = kReconnectionFailed;
      EndReconnection(event);
      ui_.ShowMessageBox(kReconnectionFailed, "Warning", MsgIcon::kWarning, MsgButtons::kOk);
    }
  }
}

void PhoneLink::EndReconnection(LinkEvent event) {
  host_.StopTimer(kAttemptTimerId);
  reconnecting_ = false;
  retryingStart_ = false;
  FollowReconnectOption();
  TakeDown(std::move(event));
}

void PhoneLink::FollowSelectedPort() {
  if (ui_.SelectedPortText() == portText_ && ui_.PhoneTypeIndex() == maker_) return;
  if (starting_) return;
  if (connected_) {
    StopLink();
  } else if (retryingStart_) {
    host_.StopTimer(kAttemptTimerId);  // the start is tried afresh on the new port
    reconnecting_ = false;
    retryingStart_ = false;
  } else {
    return;  // down, or re-established on the new port at the next attempt
  }
  StartLink();
}

void PhoneLink::FollowReconnectOption() {
  if (reconnectOption_)
    host_.StartTimer(kReconnectTimerId, kKeepAliveMs);
  else
    host_.StopTimer(kReconnectTimerId);
}

void PhoneLink::EndLearnMode() {
  if (keys_.Learning()) keys_.MapKeysButtonClick(false, port_);
}

void PhoneLink::ReconnectTimerTimer() {
  if (connected_) port_.WriteData(kKeepAlive, sizeof kKeepAlive - 1);
}

void PhoneLink::cbReconnectClick(bool ticked) {
  if (ticked)
    host_.StartTimer(kReconnectTimerId, kKeepAliveMs);
  else
    host_.StopTimer(kReconnectTimerId);
  reconnectOption_ = ticked;
}

void PhoneLink::Exit1Click() {
  exiting_ = true;
  waiting_ = false;
  reconnecting_ = false;
  retryingStart_ = false;
  host_.StopTimer(kAttemptTimerId);
  keys_.EndRepeat();
  if (connected_) StopLink();
  port_.ClosePort();
}

}  // namespace vexel
