// The poll(2) loop of the Linux program: timers, deadlines, posted work,
// signals, and passes run from inside a handler.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "app/linux/HostLoop.h"

namespace vexel {
namespace {

struct Pipe {
  int fds[2];
  Pipe() { EXPECT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0); }
  ~Pipe() {
    close(fds[0]);
    close(fds[1]);
  }
  void Put() { EXPECT_EQ(write(fds[1], "x", 1), 1); }
  bool Take() {
    char c;
    return read(fds[0], &c, 1) == 1;
  }
};

TEST(HostLoop, TimersFireUntilStoppedAndMayStopThemselves) {
  HostLoop loop;
  std::vector<unsigned> fired;
  loop.SetOnTimer([&](unsigned id) {
    fired.push_back(id);
    if (id == 2) loop.StopTimer(2);
  });
  loop.StartTimer(1, 10);
  loop.StartTimer(2, 10);
  // Three ticks of timer 1 (on a busy machine they may take longer than 30 ms).
  const auto end = loop.Milliseconds() + 2000;
  while (std::count(fired.begin(), fired.end(), 1u) < 3 && loop.Milliseconds() < end) loop.Pass(-1);
  loop.StopTimer(1);
  EXPECT_EQ(std::count(fired.begin(), fired.end(), 2u), 1);
  EXPECT_EQ(std::count(fired.begin(), fired.end(), 1u), 3);
  EXPECT_FALSE(loop.Pass(30)) << "no timer left, nothing to do";
  // A loop held up for five intervals fires once, not in a burst.
  fired.clear();
  loop.StartTimer(3, 10);
  usleep(55000);
  for (int i = 0; i < 5; ++i) loop.Pass(0);
  EXPECT_EQ(fired, std::vector<unsigned>{3});
}

TEST(HostLoop, PassInsideAHandlerDoesNotHandTheSameDataTwice) {
  HostLoop loop;
  Pipe line;
  int calls = 0, taken = 0;
  loop.WatchFd(line.fds[0], POLLIN, [&](short) {
    ++calls;
    if (line.Take()) ++taken;
    loop.ProcessMessages();  // the core's command wait does this
  });
  line.Put();
  loop.Pass(100);
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(calls, 1);
}

TEST(HostLoop, HandlerUnwatchedByAnEarlierOneIsNotCalled) {
  HostLoop loop;
  Pipe a, b, quiet;
  int bCalls = 0, laterCalls = 0;
  loop.WatchFd(a.fds[0], POLLIN, [&](short) {
    a.Take();
    loop.UnwatchFd(b.fds[0]);
    // The same number for another descriptor, watched again: b's readiness is not its.
    dup2(quiet.fds[0], b.fds[0]);
    loop.WatchFd(b.fds[0], POLLIN, [&](short) { ++laterCalls; });
  });
  loop.WatchFd(b.fds[0], POLLIN, [&](short) { ++bCalls; });
  a.Put();
  b.Put();
  loop.Pass(100);
  EXPECT_EQ(bCalls, 0);
  EXPECT_EQ(laterCalls, 0);
}

TEST(HostLoop, DeadlineCallsOnceWithNoEvents) {
  HostLoop loop;
  Pipe line;
  std::vector<short> calls;
  loop.WatchFd(line.fds[0], POLLIN, [&](short revents) { calls.push_back(revents); });
  loop.SetFdDeadline(line.fds[0], 20);
  loop.Pass(-1);  // until the deadline
  for (int i = 0; i < 3; ++i) loop.Pass(30);
  EXPECT_EQ(calls, std::vector<short>{0});
}

TEST(HostLoop, PostedWorkRunsInTheNextPassInOrder) {
  HostLoop loop;
  std::vector<int> ran;
  loop.Post([&] {
    ran.push_back(1);
    loop.Post([&] { ran.push_back(3); });
  });
  loop.Post([&] { ran.push_back(2); });
  EXPECT_TRUE(ran.empty());
  loop.Pass(-1);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  loop.Pass(-1);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST(HostLoop, ExceptionOfAHandlerGoesToTheErrorBoxAndThePassGoesOn) {
  HostLoop loop;
  std::vector<std::string> errors;
  bool after = false;
  loop.SetOnError([&](const std::exception& e) { errors.push_back(e.what()); });
  loop.Post([] { throw std::runtime_error("'x' is not a valid integer value"); });
  loop.Post([&] { after = true; });
  loop.Pass(0);
  EXPECT_EQ(errors, std::vector<std::string>{"'x' is not a valid integer value"});
  EXPECT_TRUE(after);
}

TEST(HostLoop, SignalsArriveAsEvents) {
  sigset_t old;
  sigprocmask(SIG_SETMASK, nullptr, &old);
  {
    HostLoop loop;
    std::vector<int> got;
    ASSERT_TRUE(loop.WatchSignals({SIGHUP, SIGUSR1}, [&](int s) { got.push_back(s); }));
    kill(getpid(), SIGUSR1);
    kill(getpid(), SIGHUP);
    for (int i = 0; i < 3 && got.size() < 2; ++i) loop.Pass(100);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<int>{SIGHUP, SIGUSR1}));
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace
}  // namespace vexel
