// The hand-off queue on its own: order, the zero byte, and what a failed
// wake leaves behind.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "comm/win32/HandOff.h"

namespace vexel::test {
namespace {

size_t WakeMessages(HWND window, UINT message) {
  size_t count = 0;
  MSG taken;
  while (PeekMessageA(&taken, window, message, message, PM_REMOVE)) ++count;
  return count;
}

TEST(HandOffTest, ItemsComeOutOnceEachInTheOrderHandedWithOneWakeEach) {
  const HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  THandOff queue;
  queue.SetReceiver(window, 0);
  // Two senders at once, each in its own order.
  constexpr int kItems = 500;
  std::vector<std::thread> senders;
  for (const char sender : {'a', 'b'})
    senders.emplace_back([&queue, sender] {
      for (int i = 0; i < kItems; ++i)
        EXPECT_EQ(queue.Hand(kDataNotification, std::string(1, sender) + std::to_string(i)),
                  THandOff::Handed::kYes);
    });
  for (std::thread& sender : senders) sender.join();
  ASSERT_EQ(queue.Hand(kHangupNotification, {}), THandOff::Handed::kYes);
  EXPECT_EQ(WakeMessages(window, kDataNotification), 2u * kItems);
  EXPECT_EQ(WakeMessages(window, kHangupNotification), 1u);

  int next[2] = {0, 0};
  for (int i = 0; i < 2 * kItems; ++i) {
    const std::optional<HandOffItem> item = queue.Take();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, kDataNotification);
    const int sender = item->bytes[0] - 'a';
    EXPECT_EQ(item->bytes.substr(1), std::to_string(next[sender]++));
    EXPECT_EQ(item->bytes.c_str()[item->bytes.size()], '\0');
  }
  const std::optional<HandOffItem> hangup = queue.Take();
  ASSERT_TRUE(hangup);
  EXPECT_EQ(hangup->kind, kHangupNotification);
  EXPECT_EQ(hangup->bytes, "");
  EXPECT_FALSE(queue.Take());
  DestroyWindow(window);
}

TEST(HandOffTest, AReceiverThatIsGoneLeavesNothingQueued) {
  const HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  DestroyWindow(window);
  DWORD endedId = 0;
  const HANDLE ended = CreateThread(
      nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, &endedId);
  ASSERT_NE(ended, nullptr);
  WaitForSingleObject(ended, INFINITE);
  CloseHandle(ended);

  THandOff toWindow, toThread;
  toWindow.SetReceiver(window, 0);
  toThread.SetReceiver(nullptr, endedId);
  for (THandOff* queue : {&toWindow, &toThread}) {
    EXPECT_EQ(queue->Hand(kWriteRequest, "AT\r"), THandOff::Handed::kNotPosted);
    EXPECT_FALSE(queue->Take());
  }
}

}  // namespace
}  // namespace vexel::test
