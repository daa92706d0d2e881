#include "foundation/Clock.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace dax {
namespace {

TEST(VirtualClock, MovesOnlyWhenTold) {
  TVirtualClock clock(500);
  EXPECT_EQ(clock.NowMs(), 500);
  clock.Advance(20);
  EXPECT_EQ(clock.NowMs(), 520);
}

TEST(VirtualClock, WakesOnlySleepersWhoseDeadlinePassed) {
  TVirtualClock clock;
  std::mutex lock;
  std::vector<std::pair<int, int64_t>> woke;  // (sleeper, time seen on waking)
  std::vector<std::thread> threads;
  const int64_t delays[] = {30, 10, 20, 10};
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      clock.SleepMs(delays[i]);
      std::lock_guard guard(lock);
      woke.emplace_back(i, clock.NowMs());
    });
  }
  clock.WaitForSleepers(4);
  clock.Advance(15);
  // Advance returns once the woken sleepers have resumed; the rest still sleep.
  EXPECT_EQ(clock.SleeperCount(), 2u);
  threads[1].join();
  threads[3].join();
  {
    std::lock_guard guard(lock);
    ASSERT_EQ(woke.size(), 2u);
    for (auto& [who, at] : woke) EXPECT_TRUE(who == 1 || who == 3);
  }
  clock.Advance(100);
  for (auto& t : threads)
    if (t.joinable()) t.join();
  ASSERT_EQ(woke.size(), 4u);
  for (auto& [who, at] : woke) EXPECT_GE(at, delays[who]);
  EXPECT_EQ(clock.NowMs(), 115);
}

}  // namespace
}  // namespace dax
