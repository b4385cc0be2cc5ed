// The phone link: the AT command exchange, link start and stop with the
// failure report, and the supervision of a running link (Start/Stop,
// keep-alive, reconnection). Everything runs on the main thread. What
// happens to the link goes out as link events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "phone/KeyReportingDetection.h"
#include "phone/LinkEvents.h"
#include "phone/LinkHost.h"

namespace vexel {

class KeyEventHandlers;
class SerialPort;

inline constexpr unsigned kReplyTimeoutMs = 750;
inline constexpr unsigned kWaitPassMs = 50;
inline constexpr unsigned kOpenSettleMs = 100;
inline constexpr unsigned kKeepAliveMs = 5000;
inline constexpr unsigned kReconnectPauseMs = 10000;
inline constexpr int kReconnectAttempts = 13;
inline constexpr unsigned kConnectPassMs = 1000;   // "AT" while a Bluetooth phone connects
inline constexpr unsigned kConnectWaitMs = 20000;  // ...at most this long

// The commands of the failure report, in the order they are sent.
const std::vector<std::string>& IdentificationCommands();

class PhoneLink {
 public:
  PhoneLink(SerialPort& port, LinkHost& host, LinkUi& ui, LinkObserver& observer,
            KeyEventHandlers& keys, std::string supportAddress);

  // Command exchange: writes command + CR and waits up to 750 ms, handling
  // messages, for a received text that contains the expected reply.
  bool SendAndWait(std::string_view command, std::string_view expected);
  void WaitString(const char* buffer);
  void WaitTimeout();

  // Starts the link as the user does (Start, autostart): messages on
  // failure; on success the keep-alive follows its option.
  void StartLink();
  void StopLink();
  // A start unless the link is up, starting or being re-established.
  void Start();
  // Ends a reconnection or stops the link that is up.
  void Stop();
  void QueryPhoneInfo();

  // A start that fails is tried again as a lost line is: 13 attempts, each
  // after a 10 s pause, unattended; then the link is given up. Off by
  // default: the Windows program leaves a failed start to its user.
  void SetRetryFailedStart(bool retry) { retryFailedStart_ = retry; }
  // A Bluetooth port bound to its phone (/dev/rfcomm*, or an entry marked
  // "(bth)") opens before the phone is reached: after opening, "AT" every
  // second until the phone answers, for at most 20 s, within the start. Off
  // by default: a Windows Bluetooth port connects as it opens.
  void SetAwaitBluetoothPhone(bool await) { awaitBluetoothPhone_ = await; }

  // Supervision. A hang-up starts the reconnection sequence, which then
  // runs from the main loop: each of its 13 attempts follows a 10 s pause
  // of the attempt timer (kAttemptTimerId).
  void StartStopItemClick();
  void RequestHangup();
  void ReconnectAttempt();
  void ReconnectTimerTimer();
  void cbReconnectClick(bool ticked);

  // The selected port or maker may have changed: when either differs from
  // what the link was started with, the link is reopened on them (a
  // reconnection that runs takes them at its next attempt).
  void FollowSelectedPort();

  // "Exit": ends every wait and closes the port, at any moment. The shell
  // then ends its message loop.
  void Exit1Click();

  // The host's window timer call-back.
  void TimerFired(unsigned id);

  bool Connected() const { return connected_; }
  // The port the link holds, starts on or re-establishes; empty while down.
  std::string PortInUse() const;
  bool ReconnectOption() const { return reconnectOption_; }
  bool Reconnecting() const { return reconnecting_; }
  // The maker and key reporting command of the last start (detected with
  // "Detect automatically").
  const KeyReportingChoice& KeyReporting() const { return keyReporting_; }
  // The hidden log memo of the failure report: one entry per line.
  const std::vector<std::string>& Memo() const { return memo_; }

 private:
  enum class Attended { kYes, kNo };
  // Opens the port and switches key reporting on; the reason when the link
  // did not come up. Raises what the port raises.
  std::string OpenLink(Attended attended);
  void StartFailed(const std::string& reason);
  bool AwaitPhone();
  void SendFailureReport();
  // The reply log of the identification commands (the memo, one line
  // each); empty when "Exit" came meanwhile.
  std::string CollectFailureReport();
  // The port closed and the link's state reset, then the event reported.
  void TakeDown(LinkEvent event);
  // The sequence ends with the link down; the keep-alive as its option says.
  void EndReconnection(LinkEvent event);
  void FollowReconnectOption();
  // Learn mode ends with the link: FeedbackComm back.
  void EndLearnMode();
  void InstallWaitString();
  void InstallFeedbackComm();
  LinkEvent LinkedEvent(LinkEventKind kind) const;
  void Report(const LinkEvent& event) { observer_.OnLinkEvent(event); }

  SerialPort& port_;
  LinkHost& host_;
  LinkUi& ui_;
  LinkObserver& observer_;
  KeyEventHandlers& keys_;
  const std::string supportAddress_;

  // The link.
  bool connected_ = false;
  bool starting_ = false;
  bool lineLostWhileStarting_ = false;  // a hang-up came while starting_
  bool reconnecting_ = false;           // a sequence of attempts runs
  bool retryingStart_ = false;          // ...after a failed start, not a lost line
  int attempts_ = 0;                    // of the running sequence
  bool stopRequested_ = false;          // "Stop" during a reconnection attempt
  bool exiting_ = false;
  bool reconnectOption_ = false;
  bool retryFailedStart_ = false;
  bool awaitBluetoothPhone_ = false;
  bool failureReportKept_ = false;
  std::string portText_;  // the port entry and maker the last start used
  int maker_ = -1;
  KeyReportingChoice keyReporting_;  // of the last start

  // The reply wait; one at a time.
  std::string expected_;
  bool waiting_ = false;
  bool matched_ = false;
  bool replyLog_ = false;
  std::vector<std::string> memo_;
};

}  // namespace vexel
