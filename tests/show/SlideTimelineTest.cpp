#include "show/SlideTimeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace dax::show {
namespace {

// sync positions and transition-in durations; next transitions as the source would set them
TSlideInfoList Timeline(std::vector<double> sync, std::vector<double> trans, bool repeat = true) {
  std::vector<TSlideInfo> infos(sync.size());
  double prev = 0;
  for (size_t i = 0; i < sync.size(); ++i) {
    infos[i].start = prev;
    infos[i].end = sync[i];
    infos[i].transitionIn = std::min(trans[i], sync[i] - prev);
    double next = i + 1 < sync.size() ? trans[i + 1] : (repeat ? trans[0] : 0);
    infos[i].nextTransition = next;
    infos[i].endWithNext = sync[i] + next;
    prev = sync[i];
  }
  return TSlideInfoList(std::move(infos));
}

// The unbounded upward scan, for comparison on times where it ends.
int64_t ScanSlideAtTime(const TSlideInfoList& list, double t) {
  for (int64_t a = -1;; ++a) {
    TSlideTiming w = list.SlideTiming(a);
    if (w.start <= t && t <= w.end) return a;
  }
}

TEST(SlideTimeline, TimingRecordsAndRepetitions) {
  TSlideInfoList list = Timeline({5000, 9000}, {1000, 1000});
  EXPECT_EQ(list.ShowDuration(), 9000);
  TSlideTiming w;
  EXPECT_EQ(list.SlideTiming(0, w), 0);
  EXPECT_EQ(w.start, 0);
  EXPECT_EQ(w.end, 5000);
  EXPECT_EQ(w.transitionIn, 1000);
  EXPECT_EQ(w.endWithNext, 6000);
  EXPECT_EQ(list.SlideTiming(3, w), 1);  // slide 1 of the second pass
  EXPECT_EQ(w.start, 14000);
  EXPECT_EQ(w.end, 18000);
  EXPECT_EQ(list.SlideTiming(-1, w), -1);
  EXPECT_EQ(w.start, kPreShowStart);
  EXPECT_EQ(w.end, 0);
  EXPECT_EQ(w.nextTransition, 1000);
  EXPECT_EQ(list.SlideTiming(-7, w), -1);
  EXPECT_EQ(w.start, kBeforeAllStart);
  EXPECT_EQ(w.end, kPreShowStart);
}

TEST(SlideTimeline, SlideAtTimeTable) {
  TSlideInfoList list = Timeline({5000, 9000, 9000, 12000}, {1000, 500, 0, 0});
  struct {
    double t;
    int64_t slide;
  } cases[] = {
      {-1e18, -2}, {-1073741824, -2}, {-1073741823, -1},
      {-3, -1},    {0, -1},           {0.5, 0},
      {5000, 0},   {5000.25, 1},      {9000, 1},
      {9000.5, 3}, {12000, 3},        {12001, 4},
      {17000, 4},  {21000, 5},        {21000.1, 7},
      {24000, 7},  {24000.5, 8},      {12000.0 * 1000000 + 1, 4000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.t);
    EXPECT_EQ(list.SlideAtTime(c.t), c.slide);
  }
}

TEST(SlideTimeline, SlideAtTimeMatchesTheScan) {
  TSlideInfoList list = Timeline({700, 700, 1500, 4000, 4001, 9000}, {300, 0, 100, 2000, 5, 0});
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> dist(-100, 60000);
  for (int k = 0; k < 3000; ++k) {
    double t = k < 200 ? std::floor(dist(gen)) : dist(gen);
    SCOPED_TRACE(t);
    EXPECT_EQ(list.SlideAtTime(t), ScanSlideAtTime(list, t));
  }
  for (double t : {700.0, 1500.0, 4000.0, 9000.0, 18000.0, 18700.0, 90000.0})
    EXPECT_EQ(list.SlideAtTime(t), ScanSlideAtTime(list, t));
}

TEST(SlideTimeline, DegenerateShowsGiveDefinedAnswers) {
  TSlideInfoList none;
  EXPECT_EQ(none.SlideAtTime(-5), -1);
  EXPECT_EQ(none.SlideAtTime(1e9), -1);
  EXPECT_EQ(none.SlideTiming(12).end, 0);
  EXPECT_EQ(none.SlideTiming(-1).nextTransition, 0);
  EXPECT_EQ(NextSlideTime(none, TEndMode::Repeat, 100, false), 0);
  EXPECT_EQ(PrevSlideTime(none, 100), 0);
  EXPECT_EQ(SlideStartTime(none, TEndMode::Repeat, 3), 0);

  TSlideInfoList zero = Timeline({0, 0, 0}, {0, 0, 0});
  EXPECT_EQ(zero.SlideAtTime(0), -1);
  EXPECT_EQ(zero.SlideAtTime(250), 2);
  EXPECT_EQ(zero.SlideAtTime(1e300), 2);
  EXPECT_EQ(NextSlideTime(zero, TEndMode::Repeat, 250, false), 1);
  EXPECT_EQ(NextSlideTime(zero, TEndMode::Close, 250, false), 0);
  EXPECT_EQ(PrevSlideTime(zero, 250), 0);

  TSlideInfoList one = Timeline({1000}, {0});
  EXPECT_EQ(one.SlideAtTime(std::nan("")), -1);
  EXPECT_EQ(one.SlideAtTime(1e300), one.SlideAtTime(1e300));  // ends, whatever it is
  EXPECT_GE(NextSlideTime(one, TEndMode::Repeat, 1e300, false), 0);
}

TEST(SlideTimeline, SlideStartTimeTable) {
  TSlideInfoList list = Timeline({5000, 9000, 12000}, {1000, 0, 700});
  struct {
    TEndMode mode;
    int64_t slide;
    int64_t time;
  } cases[] = {
      {TEndMode::Repeat, -4, 0},   {TEndMode::Repeat, 0, 0},     {TEndMode::Repeat, 1, 5001},
      {TEndMode::Repeat, 2, 9000}, {TEndMode::Repeat, 3, 12000}, {TEndMode::Repeat, 4, 17001},
      {TEndMode::Close, 3, 12000}, {TEndMode::Stop, 1, 5001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slide);
    EXPECT_EQ(SlideStartTime(list, c.mode, c.slide), c.time);
  }
  TSlideInfoList cut = Timeline({5000, 9000}, {0, 0});
  EXPECT_EQ(SlideStartTime(cut, TEndMode::Repeat, 2), 9001);
  EXPECT_EQ(SlideStartTime(cut, TEndMode::Close, 2), 9000);  // the end position
}

TEST(SlideTimeline, NextSlideTimeTable) {
  TSlideInfoList list = Timeline({5000, 9000, 12000}, {1000, 0, 700});
  struct {
    TEndMode mode;
    double t;
    bool paused;
    int64_t next;
  } cases[] = {
      {TEndMode::Repeat, 0, false, 5001},      {TEndMode::Repeat, 100, false, 5001},
      {TEndMode::Repeat, 5000, false, 9000},   {TEndMode::Repeat, 5001, false, 9000},
      {TEndMode::Repeat, 5001, true, 9700},    {TEndMode::Repeat, 9000, false, 12000},
      {TEndMode::Repeat, 9700, false, 12000},  {TEndMode::Repeat, 11999, true, 13000},
      {TEndMode::Repeat, 12000, false, 17001}, {TEndMode::Repeat, 12500, false, 17001},
      {TEndMode::Close, 9700, false, 12000},   {TEndMode::Close, 9700, true, 13000},
      {TEndMode::Stop, 100, false, 5001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.t << " paused " << c.paused);
    EXPECT_EQ(NextSlideTime(list, c.mode, c.t, c.paused), c.next);
  }
}

TEST(SlideTimeline, NextSlideTimeFarIntoARepeatingShowIsQuick) {
  TSlideInfoList list = Timeline({5000, 9000}, {1000, 1000});
  // 2e9 ms lies in pass 222222: the scan would step through hundreds of thousands of slides
  EXPECT_EQ(NextSlideTime(list, TEndMode::Repeat, 2e9 + 100, false), 2000003000);
}

TEST(SlideTimeline, PrevSlideTimeTable) {
  TSlideInfoList list = Timeline({5000, 9000, 13000}, {1000, 1000, 1000});
  TSlideInfoList shortSlides = Timeline({1000, 2000, 2300, 2600}, {0, 0, 0, 0});
  struct {
    const TSlideInfoList* list;
    double t;
    int64_t prev;
  } cases[] = {
      {&list, 0, 0},
      {&list, 1200, 0},
      {&list, 5000, 1000},
      {&list, 6000, 0},
      {&list, 8999, 0},
      {&list, 9000, 6000},
      {&list, 10000, 6000},
      {&list, 13000, 10000},
      {&list, 14000, 10000},
      {&shortSlides, 2400, 1000},
      {&shortSlides, 2299, 1000},
      {&shortSlides, 2600, 2000},
      {&shortSlides, 2601, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.t);
    EXPECT_EQ(PrevSlideTime(*c.list, c.t), c.prev);
  }
}

}  // namespace
}  // namespace dax::show
