// TComm32 on COM27 of the rig, with the simulated phone on COM28.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Rig.h"
#include "base/Files.h"

namespace vexel::test {
namespace {

using phonesim::PhoneOptions;
using phonesim::ReplyMode;

constexpr char kPortAlreadyOpen[] = "\xCF\xEE\xF0\xF2 \xF3\xE6\xE5 \xEE\xF2\xEA\xF0\xFB\xF2";
constexpr char kErrorOpeningPort[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF \xEF\xEE\xF0\xF2\xE0";
constexpr char kInvalidPointer[] =
    "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF3\xEA\xE0\xE7\xE0\xF2\xE5\xEB\xFC. ";

constexpr char kGotData[] = "Got something from Comm port!!!";

class Comm32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(NullModem::Folder().empty()) << "run under the rig (scripts/wine-run)";
    ASSERT_TRUE(NullModem::FreshCable());
    port_.SetCommPort(kPcPort);
    delivered_.RecordFrom(port_);
    // The comm log shows what the threads did, and when a read completed.
    logPath_ = TempPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
    port_.SetCommsLogFileName(logPath_);
  }

  void TearDown() override {
    port_.ClosePort();
    if (HasFailure()) {
      std::printf("--- delivered\n");
      for (const std::string& chunk : delivered_.chunks)
        std::printf("%s\n", phonesim::Escape(chunk).c_str());
      std::printf("--- comm log\n%s", CommLog().c_str());
      if (phone_) std::printf("--- phone log\n%s", phone_->Log().c_str());
    }
    phone_.reset();
    NullModem::RemoveDown();
    DeleteFileA(logPath_.c_str());
  }

  // The phone answers at once (or as told) and reports keys without AT+CMER.
  PhoneOnCom28& StartPhone(ReplyMode reply = ReplyMode::kOk) {
    PhoneOptions options;
    options.reply = reply;
    options.echo = false;
    options.keysOn = true;
    options.rigFolder = NullModem::Folder();
    phone_ = std::make_unique<PhoneOnCom28>(options);
    EXPECT_TRUE(phone_->Ready());
    return *phone_;
  }

  std::string CommLog() const { return ReadWholeFile(logPath_).value_or(""); }
  bool LogHas(const std::string& text) const { return CommLog().find(text) != std::string::npos; }
  size_t CompletedReads() const {
    const std::string log = CommLog();
    size_t count = 0;
    for (size_t at = log.find(kGotData); at != std::string::npos; at = log.find(kGotData, at + 1))
      ++count;
    return count;
  }
  // Has the phone send the bytes and waits until the receive thread has
  // completed their read, so that they cannot run into the next ones however
  // slow the machine is.
  bool SendAsOneRead(PhoneOnCom28& phone, const std::string& escapedBytes) {
    const size_t before = CompletedReads();
    return phone.Play("send " + escapedBytes + "\n") &&
           WaitFor([&] { return CompletedReads() > before; });
  }
  // The receive thread has finished setting up and waits for data.
  bool WaitUntilReceiving() {
    return WaitFor([this] { return LogHas("Waiting for data from comm connection."); });
  }

  bool WaitForChunks(size_t count) {
    return WaitFor([&] { return delivered_.chunks.size() >= count; });
  }

  TComm32 port_;
  Delivered delivered_;
  std::unique_ptr<PhoneOnCom28> phone_;
  std::string logPath_;
};

// --- Receiving -------------------------------------------------------------

TEST_F(Comm32Test, OneBurstIsOneChunkAndAPauseSplitsIt) {
  PhoneOnCom28& phone = StartPhone();
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(
      phone.Play("send \\r\\n+CKEV: 5,1\\r\\n\n"
                 "pause 500\n"
                 "send \\r\\n+CKEV: 5,0\n"
                 "pause 500\n"
                 "send \\r\\n\n"));
  ASSERT_TRUE(WaitForChunks(3));
  EXPECT_EQ(delivered_.chunks,
            (std::vector<std::string>{"\r\n+CKEV: 5,1\r\n", "\r\n+CKEV: 5,0", "\r\n"}));
  EXPECT_TRUE(delivered_.zeroAfterEachChunk);
}

TEST_F(Comm32Test, TheReadIntervalKeepsBytes2MsApartTogetherAnd50MsOfSilenceSplits) {
  // 25 ms of silence end a chunk: well inside it on one side, well beyond it
  // on the other.
  PhoneOnCom28& phone = StartPhone();
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  ASSERT_TRUE(
      phone.Play("send +CK\npause 2\nsend EV\npause 2\nsend : 5\npause 2\nsend ,1\n"
                 "pause 50\nsend OK\npause 50\nsend \\r\\n\n"));
  ASSERT_TRUE(WaitForChunks(3));
  EXPECT_EQ(delivered_.chunks, (std::vector<std::string>{"+CKEV: 5,1", "OK", "\r\n"}));
}

TEST(LineErrorReportTest, NamesTheErrorFlagsInAFixedOrder) {
  struct Case {
    DWORD errors;
    const char* report;
  } cases[] = {
      {0, "Comm Event: NULL Error, EvtMask = 0"},
      {CE_FRAME, "Comm Event: CE_FRAME, EvtMask = 8"},
      {CE_OVERRUN | CE_RXPARITY, "Comm Event: CE_OVERRUN and CE_RXPARITY, EvtMask = 6"},
      {CE_RXPARITY | CE_FRAME | CE_OVERRUN,
       "Comm Event: CE_FRAME and CE_OVERRUN and CE_RXPARITY, EvtMask = 14"},
      {CE_RXOVER, "Comm Event: EV_ERR Unknown EvtMask, EvtMask = 1"},
      {CE_BREAK | CE_FRAME, "Comm Event: CE_FRAME and EV_ERR Unknown EvtMask, EvtMask = 24"},
      {0xFFFFFFFF,
       "Comm Event: CE_FRAME and CE_OVERRUN and CE_RXPARITY and EV_ERR Unknown EvtMask, "
       "EvtMask = 4294967295"},
  };
  for (const Case& c : cases) EXPECT_EQ(LineErrorReport(c.errors), c.report) << c.errors;
}

TEST_F(Comm32Test, AFloodArrivesInFullBuffersAndTheRest) {
  // The 5000 bytes wait in the cable before the port opens, so nothing but
  // the buffer size cuts them. The pty's line discipline holds 4095 of them;
  // the rest follows as soon as a read makes room.
  PhoneOnCom28& phone = StartPhone();
  ASSERT_TRUE(phone.Play("flood 5000 z\n"));
  ASSERT_TRUE(phone.WaitPlayed());
  HANDLE probe =
      CreateFileA(kPcDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(probe, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(WaitFor([probe] {
    COMSTAT status{};
    DWORD errors = 0;
    return ClearCommError(probe, &errors, &status) && status.cbInQue >= 4095;
  }));
  CloseHandle(probe);

  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitForChunks(3));
  std::vector<size_t> sizes;
  for (const std::string& chunk : delivered_.chunks) sizes.push_back(chunk.size());
  EXPECT_EQ(sizes, (std::vector<size_t>{2048, 2048, 904}));
  EXPECT_EQ(delivered_.All(), std::string(5000, 'z'));
  EXPECT_TRUE(delivered_.zeroAfterEachChunk);
}

TEST_F(Comm32Test, ChunksStartingWithCommEventAreDropped) {
  PhoneOnCom28& phone = StartPhone();
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  for (const char* bytes : {"Comm Event: 2, EvtMask = 2", "comm event", "Comm Even",
                            "\\r\\nComm Event", "Comm Event\\x00 and more", "last"})
    ASSERT_TRUE(SendAsOneRead(phone, bytes)) << bytes;
  ASSERT_TRUE(WaitFor([&] { return delivered_.All().find("last") != std::string::npos; }));
  EXPECT_EQ(delivered_.chunks,
            (std::vector<std::string>{"comm event", "Comm Even", "\r\nComm Event", "last"}));
}

TEST_F(Comm32Test, AHandlerReplacedDuringACallGetsTheNextChunk) {
  PhoneOnCom28& phone = StartPhone();
  std::vector<std::string> first, second;
  port_.SetOnReceiveData([&](void*, const char* buffer, std::uint16_t length) {
    first.emplace_back(buffer, length);
    port_.SetOnReceiveData([&](void*, const char* buffer, std::uint16_t length) {
      second.emplace_back(buffer, length);
    });
  });
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  ASSERT_TRUE(SendAsOneRead(phone, "one"));
  ASSERT_TRUE(SendAsOneRead(phone, "two"));
  ASSERT_TRUE(WaitFor([&] { return !second.empty(); }));
  EXPECT_EQ(first, std::vector<std::string>{"one"});
  EXPECT_EQ(second, std::vector<std::string>{"two"});
}

TEST_F(Comm32Test, AnExceptionFromAHandlerGoesToOnExceptionAndReceivingGoesOn) {
  PhoneOnCom28& phone = StartPhone();
  std::vector<std::string> errors;
  port_.SetOnReceiveData([&](void*, const char* buffer, std::uint16_t length) {
    delivered_.chunks.emplace_back(buffer, length);
    if (delivered_.chunks.size() == 1) throw Error("'x' is not a valid integer value");
  });
  port_.SetOnException([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const Error& e) {
      errors.push_back(e.what());
    }
  });
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  ASSERT_TRUE(SendAsOneRead(phone, "+CKEV: 5,x"));
  ASSERT_TRUE(SendAsOneRead(phone, "+CKEV: 5,1"));
  ASSERT_TRUE(WaitForChunks(2));
  EXPECT_EQ(errors, std::vector<std::string>{"'x' is not a valid integer value"});
  EXPECT_EQ(delivered_.chunks[1], "+CKEV: 5,1");
}

TEST_F(Comm32Test, TheLinkKeepsReceivingThroughAbortedCommEventWaits) {
  // Wine aborts every comm-event wait: the link must neither hang up for it
  // nor re-arm the wait in a loop. VEXEL_COMM_SOAK_SECONDS makes it longer.
  const char* setting = std::getenv("VEXEL_COMM_SOAK_SECONDS");
  const int seconds = setting ? std::atoi(setting) : 3;
  const int rounds = seconds * 4;
  PhoneOnCom28& phone = StartPhone();
  ASSERT_TRUE(port_.OpenPort());
  std::string script;
  for (int i = 0; i < rounds; ++i) script += "reports 5,1 5,0\npause 250\n";
  ASSERT_TRUE(phone.Play(script));

  const auto reports = [this] {
    const std::string all = delivered_.All();
    size_t count = 0;
    for (size_t at = all.find("+CKEV"); at != std::string::npos; at = all.find("+CKEV", at + 1))
      ++count;
    return count;
  };
  ASSERT_TRUE(WaitFor([&] { return reports() == 2u * rounds; }, seconds * 1000 + kDeadlineMs));
  EXPECT_EQ(delivered_.hangups, 0);
  const std::string log = CommLog();
  EXPECT_EQ(log.find("Read thread shutting down"), std::string::npos);
  size_t aborts = 0;
  for (size_t at = log.find("CommEvent wait aborted"); at != std::string::npos;
       at = log.find("CommEvent wait aborted", at + 1))
    ++aborts;
  // At most one abort per re-arm, and the wait is re-armed once per chunk.
  EXPECT_LE(aborts, delivered_.chunks.size() + 1);
}

// --- Writing ---------------------------------------------------------------

TEST_F(Comm32Test, WritesArriveCompleteAndInOrder) {
  PhoneOnCom28& phone = StartPhone(ReplyMode::kSilent);
  ASSERT_TRUE(port_.OpenPort());
  std::string first(1500, 'a'), second(4000, 'b');
  for (size_t i = 0; i < second.size(); i += 97) second[i] = '\n';
  const std::string third = "AT+CMER=3,2,0,0,0\r";
  EXPECT_TRUE(port_.WriteData(first.data(), static_cast<std::uint16_t>(first.size())));
  EXPECT_TRUE(port_.WriteData("", 0));
  EXPECT_TRUE(port_.WriteData(second.data(), static_cast<std::uint16_t>(second.size())));
  EXPECT_TRUE(port_.WriteData(third.data(), static_cast<std::uint16_t>(third.size())));
  const std::string expected = first + second + third;
  EXPECT_TRUE(WaitFor([&] { return phone.Received().size() >= expected.size(); }));
  EXPECT_EQ(phone.Received(), expected);
}

TEST_F(Comm32Test, WriteDataNeedsAnOpenPort) {
  EXPECT_FALSE(port_.WriteData("AT\r", 3));
  ASSERT_TRUE(port_.OpenPort());
  port_.ClosePort();
  EXPECT_FALSE(port_.WriteData("AT\r", 3));
}

TEST_F(Comm32Test, AWriteStuckForLongerThanTheLimitHangsUp) {
  // Nobody reads COM28, so the cable fills up and a long write stays
  // pending; the transmit thread gives up on the port after 100 ms.
  ASSERT_TRUE(port_.OpenPort());
  const std::string block(60000, 'x');
  for (int i = 0; i < 4; ++i)
    port_.WriteData(block.data(), static_cast<std::uint16_t>(block.size()));
  ASSERT_TRUE(WaitFor([this] { return delivered_.hangups > 0; }));
  EXPECT_TRUE(WaitFor([this] { return LogHas("Unexpected Wait return value 258"); }));
  // Only the transmit thread gave up: the receive thread reads on, although
  // Wine ends its waiting read whenever the stuck write makes progress.
  EXPECT_EQ(delivered_.hangups, 1);
  EXPECT_FALSE(LogHas("Read thread shutting down"));
  // Once the thread has ended, requests are refused.
  EXPECT_TRUE(WaitFor([this] { return !port_.WriteData("AT\r", 3); }));
}

TEST_F(Comm32Test, ClosingWithWritesQueuedDropsThemWithoutAHangup) {
  StartPhone(ReplyMode::kSilent);
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(port_.WriteData("AT+CGMI\r", 8));
  port_.ClosePort();
  // Whatever the threads posted is queued by now, as both have ended.
  WaitFor([] { return false; }, 100);
  EXPECT_EQ(delivered_.hangups, 0);
  EXPECT_LT(phone_->Received().size(), 20u * 8);
}

// --- Messages from anyone --------------------------------------------------

TEST_F(Comm32Test, ForgedWakeMessagesDeliverNothingAndFreeNothing) {
  // Any process can post WM_USER+1 or WM_USER+2 to the notification window
  // and WM_USER+1 to the transmit thread. Whatever they carry, they must
  // deliver no chunk, write nothing, hang nothing up and free nothing.
  PhoneOnCom28& phone = StartPhone(ReplyMode::kOk);
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  const HWND window = FindWindowExA(HWND_MESSAGE, nullptr, "VexelComm32Notify", nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_NE(port_.TransmitThreadId(), 0u);
  // A block of our own: a receiver that trusted lParam would deliver, write or free it.
  char* block = static_cast<char*>(LocalAlloc(LPTR, 16));
  ASSERT_NE(block, nullptr);
  std::strcpy(block, "forged");
  for (const LPARAM lParam : {LPARAM{0}, LPARAM{1}, reinterpret_cast<LPARAM>(block)}) {
    for (const UINT message : {WM_USER + 1, WM_USER + 2})
      EXPECT_TRUE(PostMessageA(window, message, 6, lParam));
    EXPECT_TRUE(PostThreadMessageA(port_.TransmitThreadId(), WM_USER + 1, 6, lParam));
  }
  WaitFor([] { return false; }, 300);  // handles them all
  EXPECT_TRUE(delivered_.chunks.empty());
  EXPECT_EQ(delivered_.hangups, 0);
  EXPECT_EQ(phone.Received(), "");
  EXPECT_EQ(LocalFree(block), nullptr) << "the block was freed by someone else";

  // Real traffic still flows both ways.
  ASSERT_TRUE(port_.WriteData("AT\r", 3));
  EXPECT_TRUE(WaitFor([this] { return delivered_.All().find("OK") != std::string::npos; }));
  EXPECT_EQ(phone.Received(), "AT\r");
  EXPECT_EQ(delivered_.hangups, 0);
}

// --- Opening, closing, failing ----------------------------------------------

TEST_F(Comm32Test, OpeningAnOpenPortFailsAndLeavesItOpen) {
  StartPhone(ReplyMode::kOk);
  ASSERT_TRUE(port_.OpenPort());
  try {
    port_.OpenPort();
    ADD_FAILURE() << "no ECommsError";
  } catch (const ECommsError& error) {
    EXPECT_STREQ(error.what(), kPortAlreadyOpen);
    EXPECT_EQ(error.CodePage(), 1251u);
  }
  // Still open and working.
  ASSERT_TRUE(port_.WriteData("AT\r", 3));
  EXPECT_TRUE(WaitFor([this] { return delivered_.All().find("OK") != std::string::npos; }));
  port_.ClosePort();
  port_.ClosePort();
  EXPECT_FALSE(port_.IsOpen());
}

TEST_F(Comm32Test, PortsThatCannotBeUsedRaiseRussianErrors) {
  const std::string plainFile = TempPath("plain.txt");
  ASSERT_TRUE(ReplaceFile(plainFile, "not a port"));
  struct Case {
    std::string path;
    const char* message;
  } cases[] = {
      {"Z:\\nonexistent\\vexel\\COM1", kErrorOpeningPort},
      {"COM99", kErrorOpeningPort},
      {"\\\\.\\COM99", kErrorOpeningPort},
      {plainFile, kInvalidPointer},
  };
  for (const Case& c : cases) {
    port_.SetCommPort(c.path);
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        port_.OpenPort();
        ADD_FAILURE() << c.path << " opened";
      } catch (const ECommsError& error) {
        EXPECT_STREQ(error.what(), c.message) << c.path;
        EXPECT_EQ(error.CodePage(), 1251u) << c.path;
      }
      EXPECT_FALSE(port_.IsOpen()) << c.path;
    }
  }
  DeleteFileA(plainFile.c_str());
  // Nothing was left open: the plain file can go, and a good port opens,
  // named either way.
  for (const char* name : {kPcDevice, kPcPort}) {
    port_.SetCommPort(name);
    EXPECT_TRUE(port_.OpenPort()) << name;
    EXPECT_EQ(port_.CommPort(), name);
    port_.ClosePort();
  }
}

TEST_F(Comm32Test, ClosingGivesUpOnThreadsWhoseCancelledRequestsNeverEnd) {
  // A driver gone wrong never completes a cancelled request: here the wait
  // for it blocks until the test lets it go. ClosePort must return after
  // about 2 s, leaving the thread behind with everything it uses.
  struct Case {
    const char* name;
    bool writeStuck;  // a write pending (nobody reads COM28) holds the transmit thread too
    std::vector<const char*> leftBehind;
  } cases[] = {
      {"read", false, {"Read thread"}},
      {"read and write", true, {"Read thread", "Write thread"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(NullModem::FreshCable());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::mutex mutex;
    std::vector<HANDLE> stuckThreads;  // under mutex
    std::atomic<int> intact{0};
    port_.SetCancelledRequestWait([&](const CommLink& link, OVERLAPPED& request) {
      const HANDLE event = request.hEvent;
      {
        std::lock_guard<std::mutex> lock(mutex);
        stuckThreads.push_back(OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId()));
      }
      WaitForSingleObject(release, 60000);
      // Back long after ClosePort: what this thread uses is still there.
      if (WaitForSingleObject(link.stopEvent, 0) == WAIT_OBJECT_0 && request.hEvent == event &&
          WaitForSingleObject(event, 0) != WAIT_FAILED && link.notifications)
        ++intact;
      DWORD ignored = 0;
      GetOverlappedResult(link.port, &request, &ignored, TRUE);
    });
    ASSERT_TRUE(port_.OpenPort());
    port_.SetCancelledRequestWait({});  // the next OpenPort waits for real
    ASSERT_TRUE(WaitUntilReceiving());
    if (c.writeStuck) {
      const std::string block(60000, 'x');
      port_.WriteData(block.data(), static_cast<std::uint16_t>(block.size()));
      ASSERT_TRUE(WaitFor([this] { return LogHas("Write thread shutting down"); }));
    }

    const ULONGLONG start = GetTickCount64();
    port_.ClosePort();
    EXPECT_LT(GetTickCount64() - start, 10000u);  // about 2 s; generous, the machine is shared
    EXPECT_FALSE(port_.IsOpen());
    for (const char* thread : c.leftBehind) {
      EXPECT_TRUE(LogHas(std::string(thread) + " not exiting.  Terminating it.")) << thread;
      EXPECT_TRUE(LogHas(std::string(thread) + " left behind.")) << thread;
    }
    EXPECT_EQ(stuckThreads.size(), c.leftBehind.size());

    // The port can be had again, and it works.
    ASSERT_TRUE(NullModem::FreshCable());
    PhoneOnCom28& phone = StartPhone();
    delivered_.chunks.clear();
    ASSERT_TRUE(port_.OpenPort());
    ASSERT_TRUE(port_.WriteData("AT\r", 3));
    EXPECT_TRUE(WaitFor([this] { return delivered_.All().find("OK") != std::string::npos; }));
    EXPECT_EQ(phone.Count("AT\r"), 1u);
    port_.ClosePort();
    phone_.reset();

    // The driver ends the requests at last: the threads find what they use and end.
    SetEvent(release);
    for (HANDLE thread : stuckThreads) {
      EXPECT_EQ(WaitForSingleObject(thread, kDeadlineMs), WAIT_OBJECT_0);
      CloseHandle(thread);
    }
    EXPECT_EQ(intact, static_cast<int>(c.leftBehind.size()));
    CloseHandle(release);
  }
}

TEST_F(Comm32Test, ALostLineHangsUpAndEndsTheReceiveThread) {
  ASSERT_TRUE(port_.OpenPort());
  ASSERT_TRUE(WaitUntilReceiving());
  NullModem::Unplug();
  ASSERT_TRUE(WaitFor([this] { return delivered_.hangups > 0; }));
  EXPECT_TRUE(WaitFor([this] { return LogHas("Read thread shutting down"); }));
  EXPECT_FALSE(LogHas("Stopping the Comm"));  // ended on its own, before any close
}

}  // namespace
}  // namespace vexel::test
