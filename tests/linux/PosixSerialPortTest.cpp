// The POSIX serial port on a pty: the test plays the phone on the master.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/linux/HostLoop.h"
#include "comm/posix/PosixSerialPort.h"

namespace vexel {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    int slave = -1;
    ASSERT_EQ(openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
    path_ = ttyname(slave);
    close(slave);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    port_.SetCommPort(path_);
    port_.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t length) {
      chunks_.emplace_back(buffer, length);
      EXPECT_EQ(buffer[length], '\0');
    });
    port_.SetOnRequestHangup([this](void*) { ++hangups_; });
  }
  void TearDown() override {
    port_.ClosePort();
    if (master_ >= 0) close(master_);
  }
  void Phone(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Runs the loop until the chunks hold this many bytes (or 2 s pass).
  void RunUntilReceived(std::size_t bytes) {
    const auto end = loop_.Milliseconds() + 2000;
    while (Received().size() < bytes && loop_.Milliseconds() < end) loop_.Pass(50);
  }
  std::string Received() const {
    std::string all;
    for (const std::string& chunk : chunks_) all += chunk;
    return all;
  }

  HostLoop loop_;
  PosixSerialPort port_{loop_};
  int master_ = -1;
  std::string path_;
  std::vector<std::string> chunks_;
  int hangups_ = 0;
};

TEST_F(PtyPort, ChunksEndAtLineEndsSilenceOrFullBuffer) {
  struct Case {
    std::vector<std::string> writes;  // pauseMs apart
    std::vector<std::string> chunks;
    int pauseMs = 10;
  } cases[] = {
      {{"\r\n+CKEV: 5,1\r\n"}, {"\r\n+CKEV: 5,1\r\n"}},
      {{"+CKEV: 5,", "1\r\n"}, {"+CKEV: 5,1\r\n"}},  // never cut in two
      {{"+CKEV: 5,", "1\r\n"}, {"+CKEV: 5,1\r\n"}, 200},
      {{"OK"}, {"OK"}},  // no line end: after the silence
      {{"A\r\nB"}, {"A\r\n", "B"}},
      {{"+CKEV: 1,1\r\n+CKEV: 1,0\r\n"}, {"+CKEV: 1,1\r\n+CKEV: 1,0\r\n"}},
      {{std::string(5000, 'x')},
       {std::string(2048, 'x'), std::string(2048, 'x'), std::string(904, 'x')}},
      {{std::string(2100, 'x') + "\r\n"}, {std::string(2048, 'x'), std::string(52, 'x') + "\r\n"}},
      // A full chunk is cut after its last line end.
      {{"A\r\n" + std::string(2000, 'x') + "\r\n" + std::string(100, 'y') + "\r\n"},
       {"A\r\n" + std::string(2000, 'x') + "\r\n", std::string(100, 'y') + "\r\n"}},
  };
  ASSERT_TRUE(port_.OpenPort());
  for (const Case& c : cases) {
    chunks_.clear();
    std::size_t total = 0;
    for (const std::string& bytes : c.writes) {
      Phone(bytes);
      total += bytes.size();
      for (const auto until = loop_.Milliseconds() + c.pauseMs; loop_.Milliseconds() < until;)
        loop_.Pass(1);
    }
    RunUntilReceived(total);
    EXPECT_EQ(chunks_, c.chunks) << c.writes[0].substr(0, 20);
  }
}

TEST_F(PtyPort, LostLineDeliversWhatCameFirstThenHangsUpOnce) {
  // Seen by a read or by a write, also when the handler of the bytes before throws.
  int errors = 0;
  loop_.SetOnError([&](const std::exception&) { ++errors; });
  for (const bool byWrite : {false, true}) {
    if (byWrite) SetUp();  // a fresh pty
    chunks_.clear();
    hangups_ = 0;
    port_.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t length) {
      chunks_.emplace_back(buffer, length);
      throw ECommsError("'5' is not a valid key");
    });
    ASSERT_TRUE(port_.OpenPort());
    Phone("+CKEV: 5");
    loop_.Pass(0);
    close(master_);
    master_ = -1;
    if (byWrite) port_.WriteData("AT\r", 3);
    for (int i = 0; i < 5; ++i) loop_.Pass(20);
    EXPECT_EQ(chunks_, std::vector<std::string>{"+CKEV: 5"});
    EXPECT_EQ(errors, byWrite ? 2 : 1);
    EXPECT_EQ(hangups_, 1) << (byWrite ? "write" : "read");
    EXPECT_FALSE(loop_.Pass(50)) << "a hung-up line keeps the loop busy";
    EXPECT_FALSE(port_.WriteData("AT\r", 3));
    port_.ClosePort();
  }
}

TEST_F(PtyPort, WritesArriveWholeAndInOrder) {
  ASSERT_TRUE(port_.OpenPort());
  std::string sent, got;
  for (int i = 0; i < 100; ++i) {
    const std::string message = "AT+" + std::to_string(i) + std::string(500, 'a' + i % 26) + "\r";
    ASSERT_TRUE(port_.WriteData(message.data(), static_cast<std::uint16_t>(message.size())));
    sent += message;
  }
  const auto end = loop_.Milliseconds() + 3000;
  while (got.size() < sent.size() && loop_.Milliseconds() < end) {
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    loop_.Pass(1);
  }
  EXPECT_EQ(got, sent);
}

TEST_F(PtyPort, OpensRawWithoutEchoKeepingTheSpeedUnlessGiven) {
  termios settings{};
  tcgetattr(master_, &settings);
  cfsetispeed(&settings, B9600);
  cfsetospeed(&settings, B9600);
  tcsetattr(master_, TCSANOW, &settings);
  ASSERT_TRUE(port_.OpenPort());
  const int fd = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) GTEST_SKIP() << "the pty is exclusive (TIOCEXCL) and this is not root";
  tcgetattr(fd, &settings);
  close(fd);
  EXPECT_EQ(settings.c_lflag & (ECHO | ICANON | ISIG), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  EXPECT_EQ(cfgetospeed(&settings), B9600);

  port_.ClosePort();
  PosixSerialPort fast(loop_, 115200);
  fast.SetCommPort(path_);
  ASSERT_TRUE(fast.OpenPort());
  tcgetattr(master_, &settings);
  EXPECT_EQ(cfgetospeed(&settings), B115200);
}

TEST_F(PtyPort, OpenFailuresSayWhy) {
  struct Case {
    std::string path;
    unsigned baud;
    std::string message;
  } cases[] = {
      {"/nonexistent/tty", 0, "cannot open"},
      {"/dev/null", 0, "not a serial port"},
      {"", 12345, "unsupported baud rate"},
  };
  for (const Case& c : cases) {
    PosixSerialPort port(loop_, c.baud);
    port.SetCommPort(c.path.empty() ? path_ : c.path);
    EXPECT_THAT([&] { port.OpenPort(); }, ThrowsMessage<ECommsError>(HasSubstr(c.message)))
        << c.path;
  }
  ASSERT_TRUE(port_.OpenPort());
  EXPECT_THROW(port_.OpenPort(), ECommsError) << "opened twice";
}

TEST_F(PtyPort, SecondOpenerIsToldWhoHoldsThePort) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    HostLoop loop;
    PosixSerialPort port(loop);
    port.SetCommPort(path_);
    port.OpenPort();
    [[maybe_unused]] ssize_t n = write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_THAT([&] { port_.OpenPort(); },
              ThrowsMessage<EPortBusy>(HasSubstr("busy, held by pid " + std::to_string(holder))));
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(port_.OpenPort()) << "free again once the holder is gone";
}

TEST_F(PtyPort, HandlerThatClosesThePortEndsTheDelivery) {
  ASSERT_TRUE(port_.OpenPort());
  port_.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t length) {
    chunks_.emplace_back(buffer, length);
    port_.ClosePort();
  });
  Phone(std::string(5000, 'x'));
  for (int i = 0; i < 5; ++i) loop_.Pass(20);
  ASSERT_EQ(chunks_.size(), 1u);
  EXPECT_EQ(chunks_[0].size(), kChunkBytes);
  EXPECT_EQ(hangups_, 0);
}

}  // namespace
}  // namespace vexel
