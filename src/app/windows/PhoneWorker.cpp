#include "app/windows/PhoneWorker.h"

#include <thread>

#include "comm/win32/Comm32.h"

namespace vexel {

namespace {

// The worker thread's own loop: its TComm32's notification window lives on
// it, so handling this thread's messages delivers the port's chunks.
class ThreadHost final : public LinkHost {
 public:
  void StartTimer(unsigned, unsigned) override {}  // the phone's questions time themselves
  void StopTimer(unsigned) override {}
  std::uint64_t Milliseconds() override { return GetTickCount64(); }
  void ProcessMessages() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

void PhoneWorker::Start(HWND window, Job job) {
  Cancel();
  run_ = std::make_shared<Run>();
  std::thread([window, job = std::move(job), run = run_] {
    const auto cancelled = [&] {
      std::lock_guard<std::mutex> hold(run->lock);
      return run->cancelled;
    };
    const auto send = [&](const std::string* line, const std::string* result) {
      {
        std::lock_guard<std::mutex> hold(run->lock);
        if (run->cancelled) return;
        if (line) run->lines.push_back(*line);
        if (result) run->result = *result;
      }
      PostMessageA(window, kWorkerWake, 0, 0);
    };
    std::string result;
    try {
      ThreadHost host;
      TComm32 port;
      const std::function<bool()> stopped = cancelled;
      const std::function<void(const std::string&)> out = [&](const std::string& line) {
        send(&line, nullptr);
      };
      result = job(port, host, stopped, out);
      port.ClosePort();
    } catch (const std::exception& error) {
      const std::string line = error.what();
      send(&line, nullptr);
    }
    send(nullptr, &result);
  }).detach();
}

void PhoneWorker::Cancel() {
  const std::shared_ptr<Run> run = std::move(run_);  // the thread keeps its share until it ends
  if (!run) return;
  std::lock_guard<std::mutex> hold(run->lock);
  run->cancelled = true;
}

PhoneWorker::News PhoneWorker::Take() {
  News news;
  if (!run_) return news;
  {
    std::lock_guard<std::mutex> hold(run_->lock);
    news.lines.assign(run_->lines.begin(), run_->lines.end());
    run_->lines.clear();
    news.result = run_->result;
  }
  if (news.result) run_.reset();
  return news;
}

}  // namespace vexel
