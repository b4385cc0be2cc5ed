#include "Phone.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace vexel::phonesim {
namespace {

constexpr int kStepDone = -2;
constexpr std::chrono::milliseconds kReopenEvery{200};
constexpr std::chrono::milliseconds kReplugCheckEvery{50};
constexpr std::chrono::milliseconds kReplugLimit{10000};
constexpr size_t kReceivedLimit = 1 << 20;
constexpr size_t kLoggedBytesLimit = 256;

// Milliseconds until `due`, rounded up so that a wait never ends early.
int MsUntil(std::chrono::steady_clock::time_point due) {
  const auto left = due - std::chrono::steady_clock::now();
  if (left <= left.zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits for the earlier of two; -1 means no limit.
int Earlier(int a, int b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

}  // namespace

void PhoneLog::Write(const char* tag, std::string_view text) {
  if (!out_) return;
  std::string shown(text);
  if (shown.size() > kLoggedBytesLimit)
    shown = shown.substr(0, kLoggedBytesLimit / 4) + "... (" + std::to_string(text.size()) +
            " characters)";
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%9.3f %s ", seconds, tag);
  std::lock_guard<std::mutex> lock(mutex_);
  *out_ << stamp << shown << '\n' << std::flush;
}

Phone::Phone(Line& line, PhoneLog& log, const PhoneOptions& options)
    : line_(line),
      log_(log),
      rigFolder_(options.rigFolder),
      responder_(options.reply, options.echo, *options.maker) {
  responder_.SetKeysOn(options.keysOn);
}

void Phone::Enqueue(std::vector<Step> steps) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Step& step : steps) queue_.push_back(std::move(step));
  }
  line_.Wake();
}

void Phone::Stop() {
  stopping_ = true;
  line_.Wake();
}

bool Phone::WaitPlayed(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return played_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return queue_.empty() && !busy_; });
}

std::string Phone::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

int Phone::Run() {
  std::string error;
  if (!line_.Open(error)) {
    log_.Note("cannot open " + line_.Name() + ": " + error);
    return 1;
  }
  log_.Note("phone on " + line_.Name() + ": " + responder_.Maker().name + ", replies " +
            ReplyModeName(responder_.Mode()) + ", echo " + (responder_.Echo() ? "on" : "off") +
            ", key reporting " + (responder_.KeysOn() ? "on" : "off"));
  while (!stopping_) {
    int wait = PlayDueSteps();
    if (quit_) break;
    if (lineState_ == LineState::kLost || lineState_ == LineState::kReplugging) {
      TryReopen();
      if (lineState_ != LineState::kUp)
        wait = Earlier(wait, static_cast<int>(kReplugCheckEvery.count()));
    }
    std::string bytes;
    const Line::ReadResult result = line_.Read(bytes, wait);
    if (!bytes.empty()) OnBytes(bytes);
    if (result == Line::ReadResult::kLost && lineState_ == LineState::kUp) {
      log_.Note("line lost; reopening the port once it is back");
      line_.Close();
      lineState_ = LineState::kLost;
      nextReopen_ = Clock::now() + kReopenEvery;
    }
  }
  // Never leave the rig's cable unplugged.
  if (lineState_ == LineState::kUnplugged) Replug();
  line_.Close();
  log_.Note("phone off");
  return 0;
}

// Plays every step that is due; returns how long the phone may wait for
// bytes before it must look again (-1: until something arrives).
int Phone::PlayDueSteps() {
  for (;;) {
    if (stepWaiting_) {
      const int wait = ContinueStep();
      if (wait != kStepDone) return wait;
      stepWaiting_ = false;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) {
        busy_ = false;
        played_.notify_all();
        return -1;
      }
      current_ = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    stepWaiting_ = StartStep(current_);
    if (quit_) return 0;
  }
}

// Carries out a step; true when it takes time (ContinueStep finishes it).
bool Phone::StartStep(const Step& step) {
  switch (step.kind) {
    case Step::Kind::kSend:
      Send(step.bytes);
      return false;
    case Step::Kind::kReport: {
      const std::string bytes =
          step.reports.empty() ? step.bytes : ReportBytes(step, responder_.Maker().keys);
      if (responder_.KeysOn())
        Send(bytes);
      else
        log_.Note("key reporting is off (no AT+CMER yet); not sent: " + Escape(bytes));
      return false;
    }
    case Step::Kind::kRing:
      // As 27.007 writes it: type 145 for an international number, else 129.
      Send("\r\nRING\r\n" + (responder_.CallerIdOn()
                                 ? "\r\n+CLIP: \"" + step.bytes + "\"," +
                                       (step.bytes.starts_with('+') ? "145" : "129") + "\r\n"
                                 : std::string()));
      return false;
    case Step::Kind::kMaker:
      responder_.SetMaker(*step.maker);
      log_.Note(std::string("playing ") + step.maker->about);
      return false;
    case Step::Kind::kPause:
    case Step::Kind::kWaitKeys:
      due_ = step.ms < 0 ? Clock::time_point::max()
                         : Clock::now() + std::chrono::milliseconds(step.ms);
      return true;
    case Step::Kind::kHangup:
      Unplug();
      due_ = Clock::now() + std::chrono::milliseconds(step.ms);
      return true;
    case Step::Kind::kReply:
      responder_.SetMode(step.mode);
      log_.Note(std::string("replies ") + ReplyModeName(step.mode));
      return false;
    case Step::Kind::kEcho:
      responder_.SetEcho(step.on);
      log_.Note(std::string("echo ") + (step.on ? "on" : "off"));
      return false;
    case Step::Kind::kKeys:
      responder_.SetKeysOn(step.on);
      log_.Note(std::string("key reporting ") + (step.on ? "on" : "off"));
      return false;
    case Step::Kind::kNote:
      log_.Note(step.bytes);
      return false;
    case Step::Kind::kQuit:
      quit_ = true;
      return false;
  }
  return false;
}

int Phone::ContinueStep() {
  switch (current_.kind) {
    case Step::Kind::kWaitKeys:
      if (responder_.KeysOn()) return kStepDone;
      if (due_ == Clock::time_point::max()) return -1;
      if (Clock::now() < due_) return MsUntil(due_);
      log_.Note("still no key reporting after " + std::to_string(current_.ms) + " ms; going on");
      return kStepDone;
    case Step::Kind::kHangup:
      if (lineState_ == LineState::kUnplugged) {
        if (Clock::now() < due_) return MsUntil(due_);
        Replug();
        due_ = Clock::now() + kReplugLimit;
      }
      if (lineState_ == LineState::kUp) return kStepDone;
      if (Clock::now() < due_) return static_cast<int>(kReplugCheckEvery.count());
      log_.Note("the port did not come back within " + std::to_string(kReplugLimit.count() / 1000) +
                " s; going on");
      lineState_ = LineState::kLost;
      return kStepDone;
    default:
      return Clock::now() < due_ ? MsUntil(due_) : kStepDone;
  }
}

void Phone::OnBytes(const std::string& bytes) {
  log_.Received(bytes);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    received_ += bytes;
    if (received_.size() > kReceivedLimit) received_.erase(0, received_.size() - kReceivedLimit);
  }
  const bool keysOn = responder_.KeysOn();
  const std::string reply = responder_.Receive(bytes);
  if (!reply.empty()) Send(reply);
  if (responder_.KeysOn() != keysOn)
    log_.Note(std::string("key reporting ") + (responder_.KeysOn() ? "on" : "off"));
}

void Phone::Send(const std::string& bytes) {
  if (lineState_ != LineState::kUp)
    log_.Note("line is down; not sent: " + Escape(bytes));
  else if (line_.Write(bytes))
    log_.Sent(bytes);
  else
    log_.Note("write failed; not sent: " + Escape(bytes));
}

std::string Phone::RigFile(const char* name) const { return rigFolder_ + "/" + name; }

std::string Phone::ReadGeneration() const {
  std::ifstream file(RigFile("generation"));
  std::string generation;
  std::getline(file, generation);
  return generation;
}

void Phone::Unplug() {
  if (rigFolder_.empty()) {
    log_.Note("no null-modem folder (--nullmodem or VEXEL_NULLMODEM): closing the port instead");
  } else {
    unpluggedGeneration_ = ReadGeneration();
    std::ofstream(RigFile("down")) << "phonesim\n";
    log_.Note("cable unplugged");
  }
  line_.Close();
  lineState_ = LineState::kUnplugged;
}

void Phone::Replug() {
  if (!rigFolder_.empty()) {
    std::remove(RigFile("down").c_str());
    log_.Note("cable plugged in again");
  }
  lineState_ = LineState::kReplugging;
  nextReopen_ = Clock::now();
}

void Phone::TryReopen() {
  const Clock::time_point now = Clock::now();
  if (now < nextReopen_) return;
  const bool replugging = lineState_ == LineState::kReplugging;
  nextReopen_ = now + (replugging ? kReplugCheckEvery : kReopenEvery);
  // Once unplugged in the rig, wait for the new cable, not the old links.
  if (replugging && !rigFolder_.empty() && ReadGeneration() == unpluggedGeneration_) return;
  std::string error;
  if (!line_.Open(error)) return;
  lineState_ = LineState::kUp;
  log_.Note("port open again");
}

}  // namespace vexel::phonesim
