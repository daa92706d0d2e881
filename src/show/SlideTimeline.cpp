#include "show/SlideTimeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/Numbers.h"

namespace dax::show {
namespace {
constexpr int64_t kRepeatLastSlide = 2147483646;
// Before a slide that has been fully shown this long, "previous" replays it.
constexpr int64_t kReplayThresholdMs = 500;
// Keeps rounding and index arithmetic far from the 64-bit limits.
constexpr double kMaxAbsMs = 4.0e15;
}  // namespace

int64_t RoundMs(double ms) {
  if (std::isnan(ms)) return 0;
  return RoundHalfEven(std::clamp(ms, -kMaxAbsMs, kMaxAbsMs));
}

void TSlideInfoList::Assign(std::vector<TSlideInfo> infos) {
  infos_ = std::move(infos);
  duration_ = infos_.empty() ? 0 : infos_.back().end;
}

int64_t TSlideInfoList::SlideTiming(int64_t a, TSlideTiming& out) const {
  if (a == -1) {
    out.start = kPreShowStart;
    out.end = 0;
    out.transitionIn = 0;
    out.nextTransition = infos_.empty() ? 0 : infos_[0].transitionIn;
    out.endWithNext = out.nextTransition;
    return -1;
  }
  if (a < -1) {
    out.start = kBeforeAllStart;
    out.end = kPreShowStart;
    out.transitionIn = 0;
    out.nextTransition = 0;
    out.endWithNext = kPreShowStart;
    return -1;
  }
  const int64_t n = Count();
  if (n == 0) {
    out = TSlideTiming{};
    return 0;
  }
  const int64_t r = a / n;
  out = infos_[static_cast<size_t>(a % n)];
  if (duration_ > 0 && r > 0) {
    double shift = static_cast<double>(r) * duration_;
    out.start += shift;
    out.end += shift;
    out.endWithNext += shift;
  }
  return r;
}

int64_t TSlideInfoList::FirstEndingAtOrAfter(double local) const {
  auto it = std::lower_bound(infos_.begin(), infos_.end(), local,
                             [](const TSlideInfo& s, double v) { return s.end < v; });
  if (it == infos_.end()) return Count() - 1;
  return it - infos_.begin();
}

int64_t TSlideInfoList::SlideAtTime(double t) const {
  if (std::isnan(t)) return -1;
  if (t < kPreShowStart) return -2;
  if (t <= 0) return -1;
  const int64_t n = Count();
  if (n == 0) return -1;
  if (!(duration_ > 0)) return n - 1;

  // Repetitions beyond this bound cannot be told apart in double precision anyway.
  const double maxRepetition = std::floor(static_cast<double>(INT64_MAX / 4) / n);
  double q = std::floor(t / duration_);
  if (q * duration_ >= t) q -= 1;  // t on a repetition boundary ends the previous pass
  q = std::clamp(q, 0.0, maxRepetition);
  const int64_t r = static_cast<int64_t>(q);
  int64_t a = r * n + FirstEndingAtOrAfter(t - q * duration_);

  // Rounding of the shifted windows may differ from the local search by one slide; settle
  // on the first window that holds t, as a plain scan would.
  TSlideTiming w;
  for (int step = 0; step < 4; ++step) {
    SlideTiming(a, w);
    if (t > w.end) {
      ++a;
      continue;
    }
    if (a > 0) {
      TSlideTiming prev;
      SlideTiming(a - 1, prev);
      if (t <= prev.end) {
        --a;
        continue;
      }
    }
    break;
  }
  return a;
}

int64_t SlideStartTime(const TSlideInfoList& slides, TEndMode endMode, int64_t slide) {
  if (slides.Count() == 0) return 0;
  if (slide < 0) slide = 0;
  TSlideTiming w;
  slides.SlideTiming(slide, w);
  const bool endPosition = endMode != TEndMode::Repeat && slide == slides.Count();
  int64_t c = RoundMs(w.start);
  if (w.transitionIn == 0 && !endPosition) c += 1;
  return c;
}

int64_t NextSlideTime(const TSlideInfoList& slides, TEndMode endMode, double t, bool paused) {
  const int64_t n = slides.Count();
  if (n == 0) return 0;
  const int64_t last = endMode != TEndMode::Repeat ? n - 1 : kRepeatLastSlide;
  const int64_t from = std::min(slides.SlideAtTime(t), last);
  // Step forward at least once, then to the first slide starting after t, stopping at
  // last. Starts never decrease with the index, so this is a binary search.
  int64_t lo = from + 1;
  int64_t hi = std::max(lo, last);
  auto startsAfter = [&](int64_t i) {
    return static_cast<double>(RoundMs(slides.SlideTiming(i).start)) > t;
  };
  while (lo < hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (startsAfter(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  const int64_t i = lo;
  TSlideTiming w;
  slides.SlideTiming(i, w);
  const int64_t c = RoundMs(w.start);
  const bool endPosition = endMode != TEndMode::Repeat && i == n;
  if (w.transitionIn == 0 && !endPosition) return c + 1;
  return c + (paused ? RoundMs(w.transitionIn) : 0);
}

int64_t PrevSlideTime(const TSlideInfoList& slides, double t) {
  if (slides.Count() == 0 || std::isnan(t)) return 0;
  int64_t i = slides.SlideAtTime(t);
  // Inside slide i the previous slide is the target; on its very end (where a running
  // transition to the next slide starts) slide i itself is.
  if (t < slides.SlideTiming(i).end) {
    if (i < 2) return 0;
    --i;
  }
  if (i < 0) return 0;
  TSlideTiming w;
  slides.SlideTiming(i, w);
  const int64_t r = RoundMs(w.start + w.transitionIn);
  if (static_cast<double>(t) - static_cast<double>(r) >= kReplayThresholdMs) return r;
  if (i <= 1) return 0;
  slides.SlideTiming(i - 1, w);
  return RoundMs(w.start + w.transitionIn);
}

}  // namespace dax::show
