// Time in milliseconds behind one interface: monotonic in the program, virtual in tests.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

namespace dax {

class IClock {
 public:
  virtual ~IClock() = default;
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(int64_t ms) = 0;
};

class TMonotonicClock : public IClock {
 public:
  int64_t NowMs() override;
  void SleepMs(int64_t ms) override;
};

// Moves only when told. Sleepers wake in deadline order: Advance steps the time to each
// deadline it crosses and waits until that sleeper has resumed before going on.
class TVirtualClock : public IClock {
 public:
  explicit TVirtualClock(int64_t startMs = 0) : now_(startMs) {}

  int64_t NowMs() override;
  void SleepMs(int64_t ms) override;

  void Advance(int64_t ms);
  // Blocks until at least `count` threads sleep on this clock.
  void WaitForSleepers(size_t count);
  size_t SleeperCount();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int64_t now_;
  uint64_t nextTicket_ = 0;
  // (deadline, ticket) -> woken flag; ordered so that equal deadlines wake first come first.
  std::map<std::pair<int64_t, uint64_t>, bool> sleepers_;
};

// The program's clock (monotonic); replaceable for headless rendering and tests.
IClock& ProgramClock();
void SetProgramClock(IClock* clock);  // null restores the monotonic clock

}  // namespace dax
