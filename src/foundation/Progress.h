// The process-wide load-progress hook, called by streams and image work after every chunk.
#pragma once

#include <cstdint>

namespace dax {

class IClock;

enum class TProgressMode : int {
  None = 0,        // does nothing
  Yield = 1,       // sleeps 0 ms every 5 ms
  Background = 2,  // sleeps 1 ms every 5 ms (playback keeps priority)
  Abort = 3,       // aborts the operation with EOperationAborted
};

void SetLoadProgressMode(TProgressMode mode);
TProgressMode LoadProgressMode();
// Uses the program clock unless a clock is set (tests).
void SetLoadProgressClock(IClock* clock);

// The hook itself.
void LoadProgress();

}  // namespace dax
