#include "phone/PhoneLink.h"

#include "base/Text.h"
#include "comm/SerialPort.h"
#include "phone/KeyEvents.h"
#include "phone/PortList.h"
#include "phone/UrlEncode.h"

namespace vexel {

namespace {

const char kKeepAlive[] = "AT+CGMI\r";
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

PhoneLink::PhoneLink(SerialPort& port, LinkHost& host, LinkUi& ui, KeyEventHandlers& keys,
                     std::string supportAddress)
    : port_(port), host_(host), ui_(ui), keys_(keys), supportAddress_(std::move(supportAddress)) {
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
  StartLink(Attended::kYes);
  if (connected_ && lineLostWhileStarting_) {
    // The line was lost while the phone acknowledged: the link came up and
    // is gone already, and is re-established like any lost link.
    RequestHangup();
  } else if (connected_) {
    FollowReconnectOption();
  }
  ShowMapKeysButton();
}

void PhoneLink::StartLink(Attended attended) {
  struct Starting {
    PhoneLink& link;
    explicit Starting(PhoneLink& l) : link(l) {
      link.starting_ = true;
      link.ShowMapKeysButton();
    }
    ~Starting() { link.starting_ = false; }
  } starting(*this);
  lineLostWhileStarting_ = false;

  const std::string portText = ui_.SelectedPortText();
  port_.SetCommPort(PortNameOfEntry(portText));
  if (portText.empty()) {
    if (attended == Attended::kNo) return;
    ui_.ShowMessageBox("Select port first!", "Error", MsgIcon::kWarning, MsgButtons::kOk);
    if (!exiting_) ui_.ShowProperties();
    return;
  }
  if (!port_.OpenPort()) {
    if (attended == Attended::kYes)
      ui_.ShowMessageBox("Unable to open port!", "Error", MsgIcon::kError, MsgButtons::kOk);
    return;
  }
  host_.Sleep(kOpenSettleMs);
  keyReporting_ =
      ChooseKeyReporting(ui_.PhoneTypeIndex(), port_, host_, [this] { return exiting_; });
  keys_.SetMaker(keyReporting_.maker);
  if (SendAndWait(keyReporting_.command, "OK")) {
    InstallFeedbackComm();
    ui_.SetStartStopCaption("Stop");
    ui_.SetTrayImage(TrayImage::kConnect);
    connected_ = true;
    ui_.LogEvent("link up on " + port_.CommPort());
    return;
  }
  if (attended == Attended::kYes && !exiting_) {
    ui_.ShowMessageBox("Feedback init failed.", "Error", MsgIcon::kError, MsgButtons::kOk);
    if (!exiting_ &&
        ui_.ShowMessageBox(kFailureQuestion, "Question", MsgIcon::kQuestion, MsgButtons::kYesNo) ==
            MsgAnswer::kYes &&
        !exiting_)
      SendFailureReport();
  }
  port_.ClosePort();
}

void PhoneLink::StopLink() {
  port_.ClosePort();
  ui_.SetStartStopCaption("Start");
  if (connected_) ui_.LogEvent("link down");
  connected_ = false;
  keys_.EndRepeat();
  EndLearnMode();
  ui_.SetTrayImage(TrayImage::kApplication);
}

void PhoneLink::QueryPhoneInfo() {
  replyLog_ = true;
  for (const std::string& command : IdentificationCommands()) {
    if (exiting_) break;
    SendAndWait(command, "OK");
  }
  replyLog_ = false;
}

void PhoneLink::SendFailureReport() {
  memo_.clear();
  memo_.emplace_back(kReportHeader);
  QueryPhoneInfo();
  if (exiting_) return;
  std::string log;
  for (const std::string& line : memo_) log += line + "\r\n";
  ui_.ShowReplyLog(log);
  ui_.ShellOpen("mailto:" + supportAddress_ + "?subject=Vexel_AfterFIFLog&body=" + UrlEncode(log));
}

// ---------------------------------------------------------------------------
// Supervision

void PhoneLink::StartStopItemClick() {
  if (starting_ && !reconnecting_) return;  // a start is still running: ignore the click
  if (reconnecting_) {
    // The sequence ends as a Stop: at once during a pause, or as soon as
    // the attempt that runs now returns.
    stopRequested_ = true;
    if (!starting_) EndReconnection();
  } else if (connected_) {
    StopLink();
  } else {
    StartLink();
  }
  ShowMapKeysButton();
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
  stopRequested_ = false;
  attempts_ = 0;
  host_.StopTimer(kReconnectTimerId);
  port_.ClosePort();
  connected_ = false;
  ui_.LogEvent("link lost");
  keys_.EndRepeat();
  EndLearnMode();
  ShowMapKeysButton();
  host_.ProcessMessages();
  if (!reconnecting_) return;  // stopped or exited meanwhile
  ui_.SetTrayImage(TrayImage::kHangUp);
  // Each attempt follows its pause from the main loop, so that no window
  // waits for the sequence: only one attempt's own reply wait is nested.
  host_.StartTimer(kAttemptTimerId, kReconnectPauseMs);
}

void PhoneLink::ReconnectAttempt() {
  host_.StopTimer(kAttemptTimerId);
  if (!reconnecting_ || starting_) return;
  ++attempts_;
  ui_.LogEvent("attempt " + std::to_string(attempts_) + " of " +
               std::to_string(kReconnectAttempts));
  try {
    StartLink(Attended::kNo);
  } catch (...) {
    // Whatever went wrong (a Bluetooth phone out of range: the device is
    // gone for now), it is one failed attempt; the sequence goes on.
  }
  if (connected_ && lineLostWhileStarting_) {  // acknowledged on a line that was lost
    port_.ClosePort();
    connected_ = false;
    ui_.SetTrayImage(TrayImage::kHangUp);
  }
  if (exiting_) {
    reconnecting_ = false;
  } else if (stopRequested_) {
    EndReconnection();
  } else if (connected_) {
    reconnecting_ = false;
    ui_.LogEvent("link back");
    host_.StartTimer(kReconnectTimerId, kKeepAliveMs);  // ticked or not
  } else if (attempts_ >= kReconnectAttempts) {
    EndReconnection();
    ui_.LogEvent("reconnection failed");
    ui_.ShowMessageBox("Connection lost and reconnection failed.", "Warning", MsgIcon::kWarning,
                       MsgButtons::kOk);
  } else {
    host_.StartTimer(kAttemptTimerId, kReconnectPauseMs);
  }
  ShowMapKeysButton();
}

void PhoneLink::EndReconnection() {
  host_.StopTimer(kAttemptTimerId);
  reconnecting_ = false;
  StopLink();
  FollowReconnectOption();
}

void PhoneLink::FollowReconnectOption() {
  if (reconnectOption_)
    host_.StartTimer(kReconnectTimerId, kKeepAliveMs);
  else
    host_.StopTimer(kReconnectTimerId);
}

void PhoneLink::ShowMapKeysButton() {
  ui_.SetMapKeysButtonEnabled(connected_ && !starting_ && !reconnecting_);
}

void PhoneLink::EndLearnMode() {
  if (!keys_.Learning()) return;
  keys_.MapKeysButtonClick(false, port_);
  ui_.SetMapKeysButtonDown(false);
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
  host_.StopTimer(kAttemptTimerId);
  keys_.EndRepeat();
  if (connected_) StopLink();
  port_.ClosePort();
}

}  // namespace vexel
