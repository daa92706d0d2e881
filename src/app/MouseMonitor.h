// Watches the pointer over the main window: enter and leave, and hiding the cursor after a
// quiet interval.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/Clock.h"
#include "platform/Services.h"

namespace dax::app {

class TMouseMonitor {
 public:
  static constexpr int64_t kTimerIntervalMs = 20;
  static constexpr int kMovePixels = 4;

  TMouseMonitor(platform::IWindowHost& window, IClock& clock);

  std::function<void()> onEnter;
  std::function<void()> onLeave;
  std::function<void(bool hidden)> onHiddenChanged;
  std::function<void()> onTick;

  // The window's pointer-move notification (client coordinates).
  void PointerMoved(int x, int y);
  // The 20 ms timer; the event loop calls it while TimerRunning().
  void Tick();
  bool TimerRunning() const { return timerRunning_; }

  // 0 = never hide by time; negative counts as 0.
  void SetHideInterval(int64_t ms);
  int64_t HideInterval() const { return hideIntervalMs_; }
  void SetHidden(bool hidden);
  bool Hidden() const { return hidden_; }
  bool Inside() const { return inside_; }

 private:
  platform::IWindowHost& window_;
  IClock& clock_;
  bool inside_ = false;
  bool timerRunning_ = false;
  int64_t hideIntervalMs_ = 0;
  bool hidden_ = false;
  int64_t lastActivityMs_ = 0;
  int lastX_ = 0;
  int lastY_ = 0;
};

}  // namespace dax::app
