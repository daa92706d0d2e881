// Parsing and looking up a show-like document of 100 000 lines; inih parses the same text
// with a handler that does nothing, as the peer.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/Memory.h"
#include "ini/IniFile.h"

#ifdef DAX_HAVE_INIH
#include <ini.h>
#endif

namespace {

// Measured under the memory policy the programs start with.
const bool kMemoryPolicy = (dax::KeepFreedMemory(), true);

using namespace dax::ini;

// Options, a timeline, then slides with nested objects, keyframes and comments.
std::string MakeShowText(int lines) {
  std::string text = "\xEF\xBB\xBF; generated show\r\n[Main]\r\n";
  int count = 3;
  auto line = [&](const std::string& s) {
    text += s;
    text += "\r\n";
    ++count;
  };
  for (int i = 0; i < 60; ++i) line("opt_option" + std::to_string(i) + "=" + std::to_string(i * 7));
  line("[Times]");
  for (int i = 0; i < 200; ++i) line("Slide" + std::to_string(i) + "=" + std::to_string(i * 5000));
  for (int slide = 0; count < lines; ++slide) {
    line("");
    line("[Slide" + std::to_string(slide) + "]");
    line("Name=Slide number " + std::to_string(slide));
    line("Duration=5000");
    for (int o = 0; o < 6 && count < lines; ++o) {
      line("object Picture" + std::to_string(o) + ":Picture");
      line("  GUID={6F9619FF-8B86-D011-B42D-00C04FC9" + std::to_string(1000 + o) + "}");
      line("  FileName=C:\\Show\\Pictures\\image_" + std::to_string(slide) + "_" +
           std::to_string(o) + ".jpg");
      line("  ; keyframes");
      line("  object Keyframes:Props");
      for (int k = 0; k < 4; ++k) {
        std::string n = std::to_string(k);
        line("    Time" + n + "=" + std::to_string(k * 1250));
        line("    Pos" + n + "=0.5,0.25," + n);
        line("    Zoom" + n + "=1.125");
        line("    Angle" + n + "=-12.5");
      }
      line("  end");
      line("  Opacity=100");
      line("end");
    }
  }
  return text;
}

// User and system CPU milliseconds of the calling process so far.
std::pair<double, double> CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

// Splits the timed work into user and system time (page faults of fresh memory are system).
class TCpuSplit {
 public:
  void Begin() { start_ = CpuMs(); }
  void End() {
    auto now = CpuMs();
    user_ += now.first - start_.first;
    system_ += now.second - start_.second;
  }
  void Report(benchmark::State& state) const {
    double n = static_cast<double>(state.iterations());
    state.counters["user_ms"] = user_ / n;
    state.counters["sys_ms"] = system_ / n;
  }

 private:
  std::pair<double, double> start_;
  double user_ = 0, system_ = 0;
};

const std::string& ShowText() {
  static const std::string text = MakeShowText(100000);
  return text;
}

void BM_IniParse(benchmark::State& state) {
  const std::string& text = ShowText();
  TCpuSplit split;
  for (auto _ : state) {
    split.Begin();
    auto file = dax::MakeRef<TIniFile>();
    file->LoadFromBytes(text);  // decoding, parsing and every name table
    benchmark::DoNotOptimize(file->Count());
    split.End();
    // Freeing is measured on its own below.
    state.PauseTiming();
    file.Reset();
    state.ResumeTiming();
  }
  split.Report(state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["lines"] = 100000;
}
BENCHMARK(BM_IniParse)->Unit(benchmark::kMillisecond);

// The first parse of a process, where every page of the tree is fresh: run it alone, in a
// new process each time (--benchmark_filter=First).
void BM_IniParseFirst(benchmark::State& state) {
  const std::string& text = ShowText();
  TCpuSplit split;
  for (auto _ : state) {
    split.Begin();
    auto file = dax::MakeRef<TIniFile>();
    file->LoadFromBytes(text);
    benchmark::DoNotOptimize(file->Count());
    split.End();
    state.PauseTiming();
    file.Reset();
    state.ResumeTiming();
  }
  split.Report(state);
}
BENCHMARK(BM_IniParseFirst)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IniFree(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto file = dax::MakeRef<TIniFile>();
    file->LoadFromBytes(ShowText());
    state.ResumeTiming();
    file.Reset();
  }
}
BENCHMARK(BM_IniFree)->Unit(benchmark::kMillisecond);

#ifdef DAX_HAVE_INIH
int NoHandler(void*, const char*, const char*, const char*) {
  return 1;
}

void BM_InihParse(benchmark::State& state) {
  const std::string& text = ShowText();
  TCpuSplit split;
  for (auto _ : state) {
    split.Begin();
    benchmark::DoNotOptimize(ini_parse_string(text.c_str(), NoHandler, nullptr));
    split.End();
  }
  split.Report(state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["lines"] = 100000;
}
BENCHMARK(BM_InihParse)->Unit(benchmark::kMillisecond);

void BM_InihParseFirst(benchmark::State& state) {
  const std::string& text = ShowText();
  TCpuSplit split;
  for (auto _ : state) {
    split.Begin();
    benchmark::DoNotOptimize(ini_parse_string(text.c_str(), NoHandler, nullptr));
    split.End();
  }
  split.Report(state);
}
BENCHMARK(BM_InihParseFirst)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

void CollectKeys(const TIniList& list, std::vector<std::pair<const TIniList*, std::string>>& out) {
  for (int i = 0; i < list.Count(); ++i) {
    const TIniItem* item = list.Item(i);
    if (item->HasName()) out.emplace_back(&list, item->Name());
    if (item->Kind() != TIniItemKind::Item) CollectKeys(static_cast<const TIniList&>(*item), out);
  }
}

// Every named item of the document looked up by name in its list.
void BM_IniLookupEveryKey(benchmark::State& state) {
  auto file = dax::MakeRef<TIniFile>();
  file->LoadFromBytes(ShowText());
  std::vector<std::pair<const TIniList*, std::string>> keys;
  CollectKeys(*file, keys);
  for (auto _ : state) {
    for (const auto& [list, name] : keys) benchmark::DoNotOptimize(list->FindKey(name));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * keys.size()));
  state.counters["keys"] = static_cast<double>(keys.size());
}
BENCHMARK(BM_IniLookupEveryKey)->Unit(benchmark::kMillisecond);

// Key number i, its digits zero-padded to `width`.
std::string KeyName(const char* prefix, int i, size_t width) {
  std::string digits = std::to_string(i);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return prefix + digits;
}

// Items a look-up compares, on average over `names`: the search cost without the cache. A
// chain holds its bucket's items in descending index, so a look-up meets every item of its
// bucket from the last one down to the one it finds.
double VisitedPerLookup(const TIniList& list, const std::vector<std::string>& names) {
  std::vector<std::vector<int>> buckets(list.TableSize());
  for (int i = 0; i < list.Count(); ++i)
    if (list.Item(i)->HasName()) buckets[list.Bucket(list.Item(i)->NameHash())].push_back(i);
  double visited = 0;
  for (const std::string& name : names) {
    const TIniItem* found = list.FindKey(name);
    for (int index : buckets[list.Bucket(found->NameHash())]) visited += index >= found->Index();
  }
  return visited / static_cast<double>(names.size());
}

// 1024 look-ups in one list of N keys, over `distinct` different names spread through it.
void LookUpInListOf(benchmark::State& state, int distinct, size_t width) {
  const int n = static_cast<int>(state.range(0));
  std::string text = "[S]\r\n";
  for (int i = 0; i < n; ++i) text += KeyName("Key", i, width) + "=" + std::to_string(i) + "\r\n";
  auto file = dax::MakeRef<TIniFile>();
  file->LoadFromText(text);
  const TIniSection* section = file->FindSection("s");
  std::vector<std::string> names;
  for (int i = 0; i < 1024; ++i) names.push_back(KeyName("KEY", (i % distinct) * 7919 % n, width));
  for (auto _ : state) {
    for (const std::string& name : names) benchmark::DoNotOptimize(section->FindKey(name));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * names.size()));
  state.counters["visited"] = VisitedPerLookup(*section, names);
  state.counters["per_lookup"] = benchmark::Counter(
      static_cast<double>(names.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The cost of a look-up must not grow with N. Spread over 1024 names, a large list also
// misses the cache on each.
void BM_IniLookupInListOf(benchmark::State& state) {
  LookUpInListOf(state, 1024, 0);
}
BENCHMARK(BM_IniLookupInListOf)->Arg(10)->Arg(1000)->Arg(100000);

// The search alone: 16 names repeated, so that they stay in cache, all of one length, so
// that hashing and comparing cost the same at every N.
void BM_IniLookupHotInListOf(benchmark::State& state) {
  LookUpInListOf(state, 16, 6);
}
BENCHMARK(BM_IniLookupHotInListOf)->Arg(10)->Arg(1000)->Arg(100000);

void BM_IniWrite(benchmark::State& state) {
  auto file = dax::MakeRef<TIniFile>();
  file->LoadFromBytes(ShowText());
  for (auto _ : state) benchmark::DoNotOptimize(file->SaveToBytes().size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ShowText().size()));
}
BENCHMARK(BM_IniWrite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
