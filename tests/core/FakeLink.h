// A virtual clock, a scripted serial port and a recording user interface
// for the phone link: whole reconnection sequences run in microseconds.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/LinkView.h"
#include "comm/SerialPort.h"
#include "phone/KeypadRemote.h"
#include "phone/LinkEvents.h"
#include "phone/LinkHost.h"

namespace vexel::test {

// The main thread's message queue on a virtual clock. Sleeping advances
// time; posted messages and due timers are handled only in ProcessMessages.
class VirtualLoop : public LinkHost {
 public:
  KeypadRemote* remote = nullptr;  // receives the timers
  std::uint64_t now = 0;

  void StartTimer(unsigned id, unsigned intervalMs) override {
    timers_[id] = {intervalMs, now + intervalMs};
  }
  void StopTimer(unsigned id) override { timers_.erase(id); }
  bool TimerRunning(unsigned id) const { return timers_.count(id) != 0; }

  void ProcessMessages() override {
    ++passes;
    while (!queue_.empty() && queue_.front().at <= now) {
      auto message = std::move(queue_.front());
      queue_.pop_front();
      message.run();
    }
    for (auto it = timers_.begin(); it != timers_.end();) {
      const unsigned id = it->first;
      const bool due = it->second.due <= now;
      if (due) it->second.due = now + it->second.interval;
      ++it;  // the handler may stop this timer
      if (due && remote) remote->TimerFired(id);
    }
  }
  void Sleep(unsigned milliseconds) override { now += milliseconds; }
  std::uint64_t Milliseconds() override { return now; }

  // Posts a message that arrives at the given time (kept in time order).
  void PostAt(std::uint64_t at, std::function<void()> run) {
    auto it = queue_.begin();
    while (it != queue_.end() && it->at <= at) ++it;
    queue_.insert(it, {at, std::move(run)});
  }
  void Post(std::uint64_t delay, std::function<void()> run) { PostAt(now + delay, std::move(run)); }

  // Runs the main loop until the time given, as the program's idle loop does.
  void RunUntil(std::uint64_t time) {
    while (now < time) {
      ProcessMessages();
      now += 10;
    }
    ProcessMessages();
  }

  int passes = 0;

 private:
  struct Timer {
    unsigned interval;
    std::uint64_t due;
  };
  struct Message {
    std::uint64_t at;
    std::function<void()> run;
  };
  std::map<unsigned, Timer> timers_;
  std::deque<Message> queue_;
};

// A serial port with a phone behind it whose answers the test scripts.
class ScriptedPort : public SerialPort {
 public:
  explicit ScriptedPort(VirtualLoop& loop) : loop_(loop) {}

  enum class OpenOutcome { kOpen, kFalse, kThrow, kThrowOther };
  std::deque<OpenOutcome> openOutcomes;  // consumed one per OpenPort; kOpen when empty
  // The phone: what it answers to a written line, or nothing.
  std::function<std::optional<std::string>(const std::string&)> phone = [](const std::string&) {
    return std::optional<std::string>("\r\nOK\r\n");
  };
  unsigned answerDelayMs = 40;

  std::vector<std::string> written;
  std::vector<std::string> openedPaths;
  std::vector<std::uint64_t> openCalls;  // the time of every OpenPort, whatever its outcome
  int closes = 0;
  bool open = false;

  void SetCommPort(const std::string& path) override { commPort_ = path; }
  const std::string& CommPort() const override { return commPort_; }
  bool OpenPort() override {
    openCalls.push_back(loop_.now);
    const OpenOutcome outcome = openOutcomes.empty() ? OpenOutcome::kOpen : openOutcomes.front();
    if (!openOutcomes.empty()) openOutcomes.pop_front();
    if (outcome == OpenOutcome::kThrow) throw ECommsError("\xCE\xF8\xE8\xE1\xEA\xE0", 1251);
    if (outcome == OpenOutcome::kThrowOther) throw std::runtime_error("out of handles");
    if (outcome == OpenOutcome::kFalse) return false;
    if (open) throw ECommsError("already open", 1251);
    open = true;
    openedPaths.push_back(commPort_);
    return true;
  }
  void ClosePort() override {
    if (open) ++closes;
    ++closes_;
    open = false;
  }
  // Every write is recorded, also one the closed port refuses.
  bool WriteData(const void* data, std::uint16_t length) override {
    written.emplace_back(static_cast<const char*>(data), length);
    if (!open) return false;
    if (auto answer = phone(written.back())) Deliver(*answer, answerDelayMs);
    return true;
  }
  void SetOnReceiveData(TReceiveDataEvent handler) override { onReceive_ = std::move(handler); }
  void SetOnRequestHangup(TNotifyEvent handler) override { onHangup_ = std::move(handler); }

  // A chunk from the phone, arriving after the delay; none reaches a port
  // closed meanwhile.
  void Deliver(const std::string& chunk, std::uint64_t delay = 0) {
    const int closes = closes_;
    loop_.Post(delay, [this, chunk, closes] {
      if (!onReceive_ || closes != closes_) return;
      TReceiveDataEvent handler = onReceive_;  // a handler may replace itself
      handler(this, chunk.c_str(), static_cast<std::uint16_t>(chunk.size()));
    });
  }
  // The driver's hang-up notification.
  void Hangup(std::uint64_t delay = 0) {
    loop_.Post(delay, [this] {
      if (onHangup_) onHangup_(this);
    });
  }
  int WritesOf(const std::string& line) const {
    int n = 0;
    for (const auto& w : written) n += w == line;
    return n;
  }

 private:
  VirtualLoop& loop_;
  std::string commPort_ = "COM2";
  TReceiveDataEvent onReceive_;
  TNotifyEvent onHangup_;
  int closes_ = 0;  // every ClosePort call
};

// Records what the user would see: the link's events, one line each, and
// the Windows program's view of them (tray, caption, MapKeys); message
// boxes answer as scripted.
class RecordingUi : public LinkUi, public LinkObserver, public LinkView {
 public:
  struct Box {
    std::string text, title;
    MsgIcon icon;
    MsgButtons buttons;
  };
  std::vector<Box> boxes;
  std::function<MsgAnswer(const Box&)> answer = [](const Box& box) {
    return box.buttons == MsgButtons::kYesNo ? MsgAnswer::kNo : MsgAnswer::kOk;
  };
  std::vector<std::string> events;
  std::string portText = "COM27 (etc)";
  int phoneType = 0;
  int propertiesShown = 0;
  std::vector<std::string> opened;
  std::string replyLog;

  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override {
    boxes.push_back({text, title, icon, buttons});
    return answer(boxes.back());
  }
  void OnLinkEvent(const LinkEvent& event) override {
    events.push_back(DescribeLinkEvent(event));
    Apply(event);
  }
  std::string SelectedPortText() override { return portText; }
  int PhoneTypeIndex() override { return phoneType; }
  void ShowProperties() override { ++propertiesShown; }
  void ShowReplyLog(const std::string& log) override { replyLog = log; }
  void ShellOpen(const std::string& target) override { opened.push_back(target); }
  FailureReport failureReport = FailureReport::kAskToMail;
  std::vector<std::string> kept;  // failure reports kept
  FailureReport FailureReportWay() override { return failureReport; }
  void KeepFailureReport(const std::string& report, const std::string& address) override {
    kept.push_back(address + ": " + report);
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes) texts.push_back(box.text);
    return texts;
  }
};

}  // namespace vexel::test
