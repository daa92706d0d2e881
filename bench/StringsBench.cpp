// Case-insensitive comparison and folding, the cost under every name lookup.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/Strings.h"

namespace {

void BM_SameTextAscii(benchmark::State& state) {
  std::string a = "opt_transitionduration", b = "OPT_TransitionDuration";
  for (auto _ : state) benchmark::DoNotOptimize(dax::SameText(a, b));
}
BENCHMARK(BM_SameTextAscii);

void BM_FoldUtf8Mixed(benchmark::State& state) {
  std::string text = "Gr\xC3\x96\xC3\x9F" "e_\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C_Slide42";
  for (auto _ : state) benchmark::DoNotOptimize(dax::FoldUtf8(text));
}
BENCHMARK(BM_FoldUtf8Mixed);

}  // namespace

BENCHMARK_MAIN();
