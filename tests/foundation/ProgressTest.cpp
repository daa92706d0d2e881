#include "foundation/Progress.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/Clock.h"
#include "foundation/Exceptions.h"

namespace dax {
namespace {

// Records sleeps and moves time by hand, without blocking.
class TStepClock : public IClock {
 public:
  int64_t NowMs() override { return now; }
  void SleepMs(int64_t ms) override {
    sleeps.push_back(ms);
    now += ms;
  }
  int64_t now = 100;
  std::vector<int64_t> sleeps;
};

TEST(Progress, ModesPauseEveryFiveMillisecondsOrAbort) {
  TStepClock clock;
  SetLoadProgressClock(&clock);
  struct Case {
    TProgressMode mode;
    std::vector<int64_t> sleeps;
  } cases[] = {{TProgressMode::None, {}},
               {TProgressMode::Yield, {0, 0}},
               {TProgressMode::Background, {1, 1}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    clock.sleeps.clear();
    SetLoadProgressMode(c.mode);
    for (int i = 0; i < 12; ++i) {
      LoadProgress();  // one chunk per millisecond
      clock.now += 1;
    }
    EXPECT_EQ(clock.sleeps, c.sleeps);
  }
  SetLoadProgressMode(TProgressMode::Abort);
  EXPECT_THROW(LoadProgress(), EOperationAborted);
  SetLoadProgressMode(TProgressMode::None);
  SetLoadProgressClock(nullptr);
}

}  // namespace
}  // namespace dax
