// The phone link: the AT command exchange, link start and stop with the
// failure report, and the supervision of a running link (Start/Stop,
// keep-alive, reconnection). Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "phone/KeyReportingDetection.h"
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

// The commands of the failure report, in the order they are sent.
const std::vector<std::string>& IdentificationCommands();

class PhoneLink {
 public:
  PhoneLink(SerialPort& port, LinkHost& host, LinkUi& ui, KeyEventHandlers& keys,
            std::string supportAddress);

  // Command exchange: writes command + CR and waits up to 750 ms, handling
  // messages, for a received text that contains the expected reply.
  bool SendAndWait(std::string_view command, std::string_view expected);
  void WaitString(const char* buffer);
  void WaitTimeout();

  // Starts the link as the user does (Start, autostart): messages on
  // failure; on success the keep-alive follows its option.
  void StartLink();
  void StopLink();
  void QueryPhoneInfo();

  // Supervision. A hang-up starts the reconnection sequence, which then
  // runs from the main loop: each of its 13 attempts follows a 10 s pause
  // of the attempt timer (kAttemptTimerId).
  void StartStopItemClick();
  void RequestHangup();
  void ReconnectAttempt();
  void ReconnectTimerTimer();
  void cbReconnectClick(bool ticked);

  // "Exit": ends every wait and closes the port, at any moment. The shell
  // then ends its message loop.
  void Exit1Click();

  // The host's window timer call-back.
  void TimerFired(unsigned id);

  bool Connected() const { return connected_; }
  bool ReconnectOption() const { return reconnectOption_; }
  bool Reconnecting() const { return reconnecting_; }
  // The maker and key reporting command of the last start (detected with
  // "Detect automatically").
  const KeyReportingChoice& KeyReporting() const { return keyReporting_; }
  // The hidden log memo of the failure report: one entry per line.
  const std::vector<std::string>& Memo() const { return memo_; }

 private:
  enum class Attended { kYes, kNo };
  void StartLink(Attended attended);
  void SendFailureReport();
  // The sequence ends with the link down; the keep-alive as its option says.
  void EndReconnection();
  void FollowReconnectOption();
  // MapKeysButton is enabled exactly while the link is up and no start or
  // reconnection runs.
  void ShowMapKeysButton();
  // Learn mode ends with the link: FeedbackComm back, the button up.
  void EndLearnMode();
  void InstallWaitString();
  void InstallFeedbackComm();

  SerialPort& port_;
  LinkHost& host_;
  LinkUi& ui_;
  KeyEventHandlers& keys_;
  const std::string supportAddress_;

  // The link.
  bool connected_ = false;
  bool starting_ = false;
  bool lineLostWhileStarting_ = false;  // a hang-up came while starting_
  bool reconnecting_ = false;
  int attempts_ = 0;            // of the running reconnection sequence
  bool stopRequested_ = false;  // "Stop" during a reconnection attempt
  bool exiting_ = false;
  bool reconnectOption_ = false;
  KeyReportingChoice keyReporting_;

  // The reply wait; one at a time.
  std::string expected_;
  bool waiting_ = false;
  bool matched_ = false;
  bool replyLog_ = false;
  std::vector<std::string> memo_;
};

}  // namespace vexel
