#include "app/MouseMonitor.h"

#include <cstdlib>

namespace dax::app {

TMouseMonitor::TMouseMonitor(platform::IWindowHost& window, IClock& clock)
    : window_(window), clock_(clock), lastActivityMs_(clock.NowMs()) {}

void TMouseMonitor::PointerMoved(int x, int y) {
  timerRunning_ = true;  // the pointer is over the window: watch it until it leaves
  if (std::abs(x - lastX_) <= kMovePixels && std::abs(y - lastY_) <= kMovePixels) return;
  lastActivityMs_ = clock_.NowMs();
  lastX_ = x;
  lastY_ = y;
  // With interval 0 a hidden cursor stays hidden for good.
  if (hidden_ && hideIntervalMs_ >= 1) SetHidden(false);
}

void TMouseMonitor::Tick() {
  int x = 0, y = 0;
  bool inside = window_.PointerInside(x, y);
  if (inside != inside_) {
    inside_ = inside;
    if (inside) {
      if (onEnter) onEnter();
    } else {
      if (onLeave) onLeave();
    }
  }
  if (!inside) timerRunning_ = false;
  if (onTick) onTick();
  if (!hidden_ && hideIntervalMs_ >= 1 && clock_.NowMs() - lastActivityMs_ > hideIntervalMs_)
    SetHidden(true);
}

void TMouseMonitor::SetHideInterval(int64_t ms) {
  hideIntervalMs_ = ms < 0 ? 0 : ms;
  SetHidden(hidden_);
}

void TMouseMonitor::SetHidden(bool hidden) {
  lastActivityMs_ = clock_.NowMs();
  window_.PointerInside(lastX_, lastY_);
  if (hidden == hidden_) return;
  hidden_ = hidden;
  if (onHiddenChanged) onHiddenChanged(hidden);
}

}  // namespace dax::app
