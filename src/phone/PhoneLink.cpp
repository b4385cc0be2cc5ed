#include "phone/PhoneLink.h"

#include "actions/KeyEvents.h"
#include "app/PortList.h"
#include "app/UrlEncode.h"
#include "base/Text.h"
#include "comm/SerialPort.h"

namespace vexel {

namespace {

const char kPortPrefix[] = "\\\\.\\";
const char kKeepAlive[] = "AT+CGMI\r";
const char kFailureQuestion[] =
    "Vexel unable to continue it's work.\rBut you can help us to improve it! It is very "
    "easy.\rWould you like to send email with auto-generated log?\rThank you!";
const char kReportHeader[] = "Vexel after \"Feedback init failed\" info collection.";

}  // namespace

std::string KeyReportingCommand(int phoneTypeIndex) {
  switch (phoneTypeIndex) {
    case 0:  // Sony Ericsson
    case 2:  // Siemens
      return "AT+CMER=3,2,0,0,0";
    case 1:  // Motorola
      return "AT+CMER=3,1,0,0,0";
    case 3:  // Sagem
      return "AT+CMER=2,1,0,0,0";
    default:
      return "";
  }
}

const std::vector<std::string>& IdentificationCommands() {
  static const std::vector<std::string> commands = {
      "ATE0", "AT+CGMI", "AT+GMM", "ATI3", "AT+CSCS=?", "AT+CSCS?", "AT+CMER=?"};
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
}

void PhoneLink::InstallWaitString() {
  port_.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t) { WaitString(buffer); });
}

void PhoneLink::InstallFeedbackComm() { port_.SetOnReceiveData(keys_.FeedbackCommHandler()); }

// ---------------------------------------------------------------------------
// Link start and stop

void PhoneLink::StartLink() {
  StartLink(Attended::kYes);
  // The line was lost while the phone acknowledged: the link came up and is
  // gone already, and is re-established like any lost link.
  if (connected_ && lineLostWhileStarting_) RequestHangup();
}

void PhoneLink::StartLink(Attended attended) {
  struct Starting {
    bool& flag;
    explicit Starting(bool& f) : flag(f) { flag = true; }
    ~Starting() { flag = false; }
  } starting(starting_);
  lineLostWhileStarting_ = false;

  const std::string portText = ui_.SelectedPortText();
  port_.SetCommPort(kPortPrefix + PortNameOfEntry(portText));
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
  if (SendAndWait(KeyReportingCommand(ui_.PhoneTypeIndex()), "OK")) {
    InstallFeedbackComm();
    ui_.SetStartStopCaption("Stop");
    ui_.SetTrayImage(TrayImage::kConnect);
    connected_ = true;
    return;
  }
  if (attended == Attended::kYes && !exiting_) {
    ui_.ShowMessageBox("Feedback init failed.", "Error", MsgIcon::kError, MsgButtons::kOk);
    if (!exiting_ && ui_.ShowMessageBox(kFailureQuestion, "Question", MsgIcon::kQuestion,
                                    MsgButtons::kYesNo) == MsgAnswer::kYes &&
        !exiting_)
      SendFailureReport();
  }
  port_.ClosePort();
}

void PhoneLink::StopLink() {
  port_.ClosePort();
  ui_.SetStartStopCaption("Start");
  connected_ = false;
  ui_.SetTrayImage(TrayImage::kApplication);
}

void PhoneLink::QueryPhoneInfo() {
  replyLog_ = true;
  for (const std::string& command : IdentificationCommands()) {
    if (exiting_) return;
    SendAndWait(command, "OK");
  }
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
    stopRequested_ = true;  // the running sequence ends as a Stop
  } else if (connected_) {
    StopLink();
  } else {
    StartLink();
  }
  ui_.SetMapKeysButtonEnabled(connected_ && !reconnecting_);
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
  host_.StopTimer(kReconnectTimerId);
  port_.ClosePort();
  connected_ = false;
  host_.ProcessMessages();
  ui_.SetTrayImage(TrayImage::kHangUp);

  for (int attempt = 0; attempt < kReconnectAttempts && !connected_; ++attempt) {
    if (!PauseHandlingMessages(kReconnectPauseMs)) break;
    try {
      StartLink(Attended::kNo);
    } catch (const ECommsError&) {
      // The device is gone for now (a Bluetooth phone out of range): a failed attempt.
    }
    if (connected_ && lineLostWhileStarting_) {  // acknowledged on a line that was lost
      port_.ClosePort();
      connected_ = false;
      ui_.SetTrayImage(TrayImage::kHangUp);
    }
    if (stopRequested_ || exiting_) break;
  }
  reconnecting_ = false;

  if (exiting_) return;
  if (stopRequested_) {
    StopLink();
  } else if (connected_) {
    host_.StartTimer(kReconnectTimerId, kKeepAliveMs);
  } else {
    StopLink();
    ui_.ShowMessageBox("Connection lost and reconnection failed.", "Warning", MsgIcon::kWarning,
                   MsgButtons::kOk);
  }
}

bool PhoneLink::PauseHandlingMessages(unsigned milliseconds) {
  const std::uint64_t end = host_.Milliseconds() + milliseconds;
  while (!stopRequested_ && !exiting_ && host_.Milliseconds() < end) {
    host_.ProcessMessages();
    host_.Sleep(kWaitPassMs);
  }
  return !stopRequested_ && !exiting_;
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
  if (connected_) StopLink();
  port_.ClosePort();
}

}  // namespace vexel
