#include "foundation/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace dax {

int64_t TMonotonicClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TMonotonicClock::SleepMs(int64_t ms) {
  if (ms <= 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t TVirtualClock::NowMs() {
  std::lock_guard guard(lock_);
  return now_;
}

void TVirtualClock::SleepMs(int64_t ms) {
  std::unique_lock guard(lock_);
  auto key = std::make_pair(now_ + (ms > 0 ? ms : 0), nextTicket_++);
  auto it = sleepers_.emplace(key, false).first;
  changed_.notify_all();
  changed_.wait(guard, [&] { return it->second; });
  sleepers_.erase(it);
  changed_.notify_all();
}

void TVirtualClock::Advance(int64_t ms) {
  std::unique_lock guard(lock_);
  const int64_t target = now_ + ms;
  for (;;) {
    auto it = sleepers_.begin();
    while (it != sleepers_.end() && it->second) ++it;  // already woken, not yet gone
    if (it == sleepers_.end() || it->first.first > target) break;
    now_ = std::max(now_, it->first.first);
    it->second = true;
    auto key = it->first;
    changed_.notify_all();
    changed_.wait(guard, [&] { return sleepers_.find(key) == sleepers_.end(); });
  }
  now_ = target;
}

void TVirtualClock::WaitForSleepers(size_t count) {
  std::unique_lock guard(lock_);
  changed_.wait(guard, [&] {
    size_t asleep = 0;
    for (auto& [key, woken] : sleepers_)
      if (!woken) ++asleep;
    return asleep >= count;
  });
}

size_t TVirtualClock::SleeperCount() {
  std::lock_guard guard(lock_);
  size_t asleep = 0;
  for (auto& [key, woken] : sleepers_)
    if (!woken) ++asleep;
  return asleep;
}

namespace {
TMonotonicClock gMonotonic;
std::atomic<IClock*> gProgramClock{&gMonotonic};
}  // namespace

IClock& ProgramClock() { return *gProgramClock.load(std::memory_order_acquire); }

void SetProgramClock(IClock* clock) {
  gProgramClock.store(clock ? clock : &gMonotonic, std::memory_order_release);
}

}  // namespace dax
