#include "app/MouseMonitor.h"

#include <gtest/gtest.h>

#include "AppFakes.h"

namespace dax::app {
namespace {

struct MouseMonitorTest : ::testing::Test {
  test::TFakeWindow window;
  TVirtualClock clock;
  TMouseMonitor monitor{window, clock};
  std::vector<bool> hiddenChanges;
  int enters = 0, leaves = 0;

  void SetUp() override {
    monitor.onHiddenChanged = [this](bool hidden) { hiddenChanges.push_back(hidden); };
    monitor.onEnter = [this] { ++enters; };
    monitor.onLeave = [this] { ++leaves; };
  }
};

TEST_F(MouseMonitorTest, HidesAfterTheIntervalAndComesBackOnARealMove) {
  monitor.SetHideInterval(2000);
  window.pointerX = window.pointerY = 100;
  monitor.PointerMoved(100, 100);
  EXPECT_TRUE(monitor.TimerRunning());
  clock.Advance(2000);
  monitor.Tick();
  EXPECT_FALSE(monitor.Hidden());
  clock.Advance(1);
  monitor.Tick();
  EXPECT_TRUE(monitor.Hidden());
  EXPECT_EQ(enters, 1);

  monitor.PointerMoved(104, 96);  // within 4 pixels: no activity
  EXPECT_TRUE(monitor.Hidden());
  monitor.PointerMoved(105, 100);
  EXPECT_FALSE(monitor.Hidden());
  EXPECT_EQ(hiddenChanges, (std::vector<bool>{true, false}));
}

TEST_F(MouseMonitorTest, IntervalZeroNeverHidesByTimeNorShowsAgain) {
  monitor.SetHideInterval(-5);
  EXPECT_EQ(monitor.HideInterval(), 0);
  monitor.PointerMoved(1, 1);
  clock.Advance(100000);
  monitor.Tick();
  EXPECT_FALSE(monitor.Hidden());
  monitor.SetHidden(true);
  monitor.PointerMoved(500, 500);
  EXPECT_TRUE(monitor.Hidden());
}

TEST_F(MouseMonitorTest, LeavingStopsTheTimer) {
  monitor.PointerMoved(1, 1);
  monitor.Tick();
  window.inside = false;
  monitor.Tick();
  EXPECT_EQ(leaves, 1);
  EXPECT_FALSE(monitor.TimerRunning());
}

}  // namespace
}  // namespace dax::app
