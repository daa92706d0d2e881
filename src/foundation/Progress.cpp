#include "foundation/Progress.h"

#include <atomic>

#include "foundation/Clock.h"
#include "foundation/Exceptions.h"

namespace dax {
namespace {
constexpr int64_t kProgressSliceMs = 5;
std::atomic<TProgressMode> gMode{TProgressMode::None};
std::atomic<IClock*> gClock{nullptr};
thread_local int64_t tLastPauseMs = -1;
}  // namespace

void SetLoadProgressMode(TProgressMode mode) { gMode.store(mode); }
TProgressMode LoadProgressMode() { return gMode.load(); }
void SetLoadProgressClock(IClock* clock) { gClock.store(clock); }

void LoadProgress() {
  TProgressMode mode = gMode.load(std::memory_order_relaxed);
  if (mode == TProgressMode::None) return;
  if (mode == TProgressMode::Abort) throw EOperationAborted();
  IClock* clock = gClock.load();
  if (!clock) clock = &ProgramClock();
  int64_t now = clock->NowMs();
  if (tLastPauseMs < 0 || now < tLastPauseMs) tLastPauseMs = now;
  if (now - tLastPauseMs < kProgressSliceMs) return;
  clock->SleepMs(mode == TProgressMode::Yield ? 0 : 1);
  tLastPauseMs = clock->NowMs();
}

}  // namespace dax
