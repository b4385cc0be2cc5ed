// The comm log: lines from three threads, the close sequence, error lines.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "Rig.h"
#include "base/Files.h"

namespace vexel::test {
namespace {

class CommLogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetCommsLogName("");
    CloseCommsLog();
    DeleteFileA(path_.c_str());
  }
  std::string Log() const { return ReadWholeFile(path_).value_or(""); }

  const std::string path_ =
      TempPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(CommLogTest, LinesFromSeveralThreadsArriveWhole) {
  SetCommsLogName(path_);
  OpenCommsLog(path_);
  constexpr int kThreads = 3, kLines = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        WriteCommsLog("thread " + std::to_string(t) + " line " + std::to_string(i) +
                      " ................................................");
    });
  for (std::thread& thread : threads) thread.join();
  CloseCommsLog();

  std::set<std::string> lines;
  const std::string log = Log();
  for (size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.insert(log.substr(start, end - start));
  ASSERT_EQ(lines.size(), size_t{kThreads * kLines});
  for (int t = 0; t < kThreads; ++t)
    for (int i : {0, kLines / 2, kLines - 1})
      EXPECT_EQ(lines.count("thread " + std::to_string(t) + " line " + std::to_string(i) +
                            " ................................................"),
                1u);
}

TEST_F(CommLogTest, ErrorLinesJoinPrefixAndQuotedDescription) {
  SetCommsLogName(path_);
  OpenCommsLog(path_);
  const std::optional<std::string> denied = FormatLastError(ERROR_ACCESS_DENIED);
  ASSERT_TRUE(denied);
  EXPECT_NE(denied->find("denied"), std::string::npos) << *denied;
  struct Case {
    const char* prefix;
    std::string line;
  } cases[] = {
      {nullptr, "GetLastError returned: \"" + *denied + "\""},
      {"Unable to create Read thread",
       "Unable to create Read threadGetLastError returned: \"" + *denied + "\""},
      {"Unable to SetCommMask: ",
       "Unable to SetCommMask: GetLastError returned: \"" + *denied + "\""},
  };
  for (const Case& c : cases) LogLastError(ERROR_ACCESS_DENIED, c.prefix);
  CloseCommsLog();
  std::string expected;
  for (const Case& c : cases) expected += c.line + "\r\n";
  EXPECT_EQ(Log(), expected);
}

TEST_F(CommLogTest, ACodeWithoutDescriptionSaysWhy) {
  const std::optional<std::string> text = FormatLastError(0x2FFFFFFF);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->rfind("FormatMessage failed on error 805306367 for the following reason: ", 0),
            0u)
      << *text;
}

TEST_F(CommLogTest, ClosingStartsWithStoppingTheCommAndEachOpenEmptiesTheLog) {
  ASSERT_TRUE(NullModem::FreshCable());
  TComm32 port;
  port.SetCommPort(kPcPort);
  port.SetCommsLogFileName(path_);
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(WaitFor(
        [&] { return Log().find("Waiting for data from comm connection.") != std::string::npos; }));
    port.ClosePort();
  }
  const std::string log = Log();
  const size_t stopping = log.find("Stopping the Comm\r\n");
  ASSERT_NE(stopping, std::string::npos) << log;
  EXPECT_EQ(log.find("Stopping the Comm", stopping + 1), std::string::npos) << log;
  // The close sequence. Both threads see the one stop event, so the transmit
  // thread may end before its turn comes.
  const auto after = [&log](const char* line, size_t from) { return log.find(line, from); };
  const size_t closingRead = after("Closing Read Thread \r\n", stopping);
  const size_t readEnded = after("Read thread shutting down\r\n", closingRead);
  const size_t closingWrite = after("Closing Write Thread\r\n", readEnded);
  EXPECT_NE(closingWrite, std::string::npos) << log;
  EXPECT_NE(after("Write thread shutting down\r\n", closingRead), std::string::npos) << log;
}

}  // namespace
}  // namespace vexel::test
