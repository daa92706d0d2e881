#include "foundation/ThreadEventList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace dax {
namespace {

struct TPayload : TEventData {
  explicit TPayload(int v, std::atomic<int>* alive = nullptr) : value(v), alive(alive) {
    if (alive) ++*alive;
  }
  ~TPayload() override {
    if (alive) --*alive;
  }
  int value;
  std::atomic<int>* alive;
};

TEST(ThreadEventList, PostedEventsArriveInOrderWithTheirData) {
  TThreadEventList list;
  std::thread producer([&] {
    for (int i = 0; i < 100; ++i) list.Post(7, std::make_unique<TPayload>(i));
  });
  std::vector<int> seen;
  while (seen.size() < 100) {
    list.WaitForEvent(1000);
    list.Process([&](int32_t event, std::unique_ptr<TEventData> data) {
      EXPECT_EQ(event, 7);
      seen.push_back(static_cast<TPayload&>(*data).value);
    });
  }
  producer.join();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST(ThreadEventList, SendWaitsUntilHandled) {
  TThreadEventList list;
  std::atomic<bool> handled{false};
  std::atomic<bool> sendReturned{false};
  std::thread sender([&] {
    EXPECT_TRUE(list.Send(101, std::make_unique<TPayload>(1)));
    EXPECT_TRUE(handled.load());
    sendReturned = true;
  });
  while (!list.WaitForEvent(1000)) {
  }
  EXPECT_FALSE(sendReturned.load());
  list.Process([&](int32_t, std::unique_ptr<TEventData>) { handled = true; });
  sender.join();
  EXPECT_TRUE(sendReturned.load());
}

TEST(ThreadEventList, CloseReleasesSendersAndFreesPostedData) {
  TThreadEventList list;
  std::atomic<int> alive{0};
  list.Post(1, std::make_unique<TPayload>(1, &alive));
  list.Post(2, std::make_unique<TPayload>(2, &alive));
  EXPECT_EQ(alive.load(), 2);
  std::vector<std::thread> senders;
  std::atomic<int> refused{0};
  for (int i = 0; i < 3; ++i) {
    senders.emplace_back([&] {
      if (!list.Send(3, std::make_unique<TPayload>(3, &alive))) ++refused;
    });
  }
  while (list.Pending() < 5) std::this_thread::yield();
  list.Close();
  for (auto& t : senders) t.join();
  EXPECT_EQ(refused.load(), 3);
  EXPECT_EQ(alive.load(), 0);
  EXPECT_FALSE(list.Post(4, std::make_unique<TPayload>(4, &alive)));
  EXPECT_EQ(alive.load(), 0);
  EXPECT_FALSE(list.Send(5));
}

TEST(ThreadEventList, WakeupRunsOnEveryPost) {
  TThreadEventList list;
  std::atomic<int> wakeups{0};
  list.SetWakeup([&] { ++wakeups; });
  std::thread a([&] { list.Post(1); });
  std::thread b([&] { list.Post(2); });
  a.join();
  b.join();
  EXPECT_EQ(wakeups.load(), 2);
  EXPECT_EQ(list.Process([](int32_t, std::unique_ptr<TEventData>) {}), 2u);
}

}  // namespace
}  // namespace dax
