// The slide timeline's lookups and building the show source of a large document.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "foundation/Memory.h"
#include "ini/IniFile.h"
#include "show/DaxSource.h"
#include "show/SlideTimeline.h"

namespace {

// Measured under the memory policy the programs start with.
const bool kMemoryPolicy = (dax::KeepFreedMemory(), true);
using namespace dax;
using namespace dax::show;

TSlideInfoList MakeTimeline(int64_t n) {
  std::mt19937 gen(1);
  std::uniform_int_distribution<int> length(1000, 9000);
  std::vector<TSlideInfo> infos(static_cast<size_t>(n));
  double t = 0;
  for (auto& info : infos) {
    info.start = t;
    t += length(gen);
    info.end = t;
    info.transitionIn = 500;
    info.nextTransition = 500;
    info.endWithNext = t + 500;
  }
  return TSlideInfoList(std::move(infos));
}

std::vector<double> QueryTimes(double duration, double passes) {
  std::mt19937 gen(2);
  std::uniform_real_distribution<double> dist(0, duration * passes);
  std::vector<double> times(4096);
  for (double& t : times) t = dist(gen);
  return times;
}

void BM_SlideAtTime(benchmark::State& state) {
  TSlideInfoList list = MakeTimeline(state.range(0));
  std::vector<double> times = QueryTimes(list.ShowDuration(), 3);
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.SlideAtTime(times[k++ & 4095]));
  }
}
BENCHMARK(BM_SlideAtTime)->Arg(10)->Arg(1000)->Arg(10000);

// The peer: the plain upward scan over virtual indices, on times within the first pass
// (the scan grows with the repetitions as well).
void BM_SlideAtTimeScan(benchmark::State& state) {
  TSlideInfoList list = MakeTimeline(state.range(0));
  std::vector<double> times = QueryTimes(list.ShowDuration(), 1);
  size_t k = 0;
  for (auto _ : state) {
    const double t = times[k++ & 4095];
    int64_t a = -1;
    for (;; ++a) {
      TSlideTiming w = list.SlideTiming(a);
      if (w.start <= t && t <= w.end) break;
    }
    benchmark::DoNotOptimize(a);
  }
}
BENCHMARK(BM_SlideAtTimeScan)->Arg(10)->Arg(1000)->Arg(10000);

void BM_NextSlideTime(benchmark::State& state) {
  TSlideInfoList list = MakeTimeline(state.range(0));
  std::vector<double> times = QueryTimes(list.ShowDuration(), 3);
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NextSlideTime(list, TEndMode::Repeat, times[k++ & 4095], false));
  }
}
BENCHMARK(BM_NextSlideTime)->Arg(10)->Arg(10000);

// A show-like document: a project list of four definitions and slides that refer to them,
// each with a picture, an id and an end action now and then.
std::string MakeShowText(int n) {
  std::string text =
      "[Main]\nDaxVersion=5.6\nopt_scr_width=1920\nopt_scr_height=1080\n"
      "object TheEffect:AnEffect\n  time=1000\n"
      "  object d:dissolve\n    stdidx=2\n    key=checked\n    checked=1\n  end\n"
      "  object g:gates\n    stdidx=6\n    key=checked\n    checked=1\n"
      "    direction=11110000\n  end\n"
      "  object h:hourhand\n    stdidx=4\n    key=checked\n    checked=1\n    action=11\n"
      "    direction=111000000\n  end\n"
      "  object m:mosaic\n    stdidx=8\n    key=checked\n    checked=0\n  end\n"
      "end\n[Times]\nopt_slidescount=" +
      std::to_string(n) + "\n";
  for (int i = 1; i <= n; ++i)
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * 4000) + "\n";
  const char* refs[] = {"default", "d", "g", "h", "defowntime", "quick"};
  for (int i = 1; i <= n; ++i) {
    text += "[Slide" + std::to_string(i) + "]\nPicture=pics\\photo" + std::to_string(i) + ".jpg\n";
    if (i % 7 == 0) text += "Pers_EndAction=pause\n";
    text += "object TheEffect:AnEffect\n  ref=" + std::string(refs[i % 6]) + "\n";
    if (i % 3 == 0) text += "  time=700\n";
    text += "end\n";
  }
  return text;
}

class TNoFiles : public TRefObject {};

void BM_BuildSource(benchmark::State& state) {
  const std::string text = MakeShowText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = MakeRef<ini::TIniFile>();
    doc->LoadFromText(text);
    state.ResumeTiming();
    auto source = MakeRef<TDaxSource>(MakeRef<TNoFiles>(), doc, "daxviewer");
    benchmark::DoNotOptimize(source->ShowDuration());
    state.PauseTiming();
    source.Reset();
    doc.Reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BuildSource)->Arg(10000)->Unit(benchmark::kMillisecond);

// For scale: parsing the same document (the engine has it parsed before the source is built).
void BM_ParseShowDocument(benchmark::State& state) {
  const std::string text = MakeShowText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto doc = MakeRef<ini::TIniFile>();
    doc->LoadFromText(text);
    benchmark::DoNotOptimize(doc->Count());
  }
}
BENCHMARK(BM_ParseShowDocument)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
