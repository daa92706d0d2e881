// The slide timeline: per-slide windows, the virtual index of a show time (repetitions and
// the pre-show phase included) and the slide-time operations the main window seeks with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dax::show {

enum class TEndMode : int32_t { Repeat = 0, Close = 1, Stop = 2 };

// Times in ms from the show start.
struct TSlideTiming {
  double start = 0;
  double end = 0;
  double transitionIn = 0;
  double nextTransition = 0;
  double endWithNext = 0;
};

struct TSlideInfo : TSlideTiming {
  std::string slideId;
};

// Shows claim their slide count; beyond this many the claim is not believed.
constexpr int32_t kMaxSlideCount = 100000;

// Start and end of the pre-show records (virtual indices -1 and below).
constexpr double kPreShowStart = -1073741823.0;
constexpr double kBeforeAllStart = -2147483647.0;

class TSlideInfoList {
 public:
  TSlideInfoList() = default;
  explicit TSlideInfoList(std::vector<TSlideInfo> infos) { Assign(std::move(infos)); }

  // The show duration becomes the last slide's end (0 without slides).
  void Assign(std::vector<TSlideInfo> infos);

  int64_t Count() const { return static_cast<int64_t>(infos_.size()); }
  const TSlideInfo& operator[](size_t i) const { return infos_[i]; }
  const std::vector<TSlideInfo>& Items() const { return infos_; }
  double ShowDuration() const { return duration_; }

  // The window of virtual slide `a`: -1 is the pre-show phase, below -1 is "before any
  // time", a >= count continues into repetitions shifted by the show duration. Returns the
  // repetition number (-1 for the pre-show records). Without slides every a >= 0 gives an
  // all-zero record and repetition 0.
  int64_t SlideTiming(int64_t a, TSlideTiming& out) const;
  TSlideTiming SlideTiming(int64_t a) const {
    TSlideTiming t;
    SlideTiming(a, t);
    return t;
  }

  // The first virtual index whose window holds t (a boundary belongs to the earlier slide,
  // t = 0 gives -1). O(log n): the repetition is floor(t / duration), the slide inside it
  // is found by binary search. Defined everywhere: times below the pre-show phase give -2,
  // NaN and shows without slides give -1, a show of duration 0 gives its last slide for
  // every t > 0.
  int64_t SlideAtTime(double t) const;

 private:
  // Binary search of the first slide whose end is >= local, 0 <= result < count.
  int64_t FirstEndingAtOrAfter(double local) const;

  std::vector<TSlideInfo> infos_;
  double duration_ = 0;
};

// Rounded ms (half to even); clamped so that absurd times cannot overflow.
int64_t RoundMs(double ms);

// Seek targets of the main window's slide navigation.
// The time that shows slide i (0-based, repetitions allowed); i < 0 counts as 0.
int64_t SlideStartTime(const TSlideInfoList& slides, TEndMode endMode, int64_t slide);
// The start of the next slide after time t; while paused, once its transition has run.
int64_t NextSlideTime(const TSlideInfoList& slides, TEndMode endMode, double t, bool paused);
// The previous slide fully shown, or the current one again when it has been fully shown for
// at least 500 ms.
int64_t PrevSlideTime(const TSlideInfoList& slides, double t);

}  // namespace dax::show
