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

void PostText(HWND window, UINT message, WPARAM run, const std::string& text) {
  auto* copy = new std::string(text);
  if (!PostMessageA(window, message, run, reinterpret_cast<LPARAM>(copy))) delete copy;
}

}  // namespace

void PhoneWorker::Start(HWND window, Job job) {
  Cancel();
  cancelled_ = std::make_shared<std::atomic<bool>>(false);
  running_ = true;
  const WPARAM run = ++run_;
  std::thread([window, run, job = std::move(job), cancelled = cancelled_] {
    std::string result;
    try {
      ThreadHost host;
      TComm32 port;
      const std::function<bool()> stopped = [&] { return cancelled->load(); };
      const std::function<void(const std::string&)> out = [&](const std::string& line) {
        if (!*cancelled) PostText(window, kWorkerLine, run, line);
      };
      result = job(port, host, stopped, out);
      port.ClosePort();
    } catch (const std::exception& error) {
      PostText(window, kWorkerLine, run, error.what());
    }
    PostText(window, kWorkerDone, run, result);
  }).detach();
}

void PhoneWorker::Cancel() {
  if (cancelled_) *cancelled_ = true;
  cancelled_.reset();
  running_ = false;
  ++run_;  // what the cancelled run still sends is dropped
}

std::optional<std::string> PhoneWorker::Take(UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
  if (!running_ || wParam != run_ || !text) return std::nullopt;
  if (message == kWorkerDone) {
    running_ = false;
    cancelled_.reset();
  }
  return std::move(*text);
}

}  // namespace vexel
