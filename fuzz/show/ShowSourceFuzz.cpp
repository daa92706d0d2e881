// Builds the show source from arbitrary document bytes and asks it what the player asks:
// nothing may crash, hang or leak, and failures come back as the open's error text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ini/IniFile.h"
#include "show/DaxSource.h"
#include "show/ShowInfo.h"

namespace {
class TNoFiles : public dax::TRefObject {};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dax;
  auto doc = MakeRef<ini::TIniFile>();
  doc->LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string error;
  TRef<show::TDaxSource> source = show::TDaxSource::TryCreate(
      MakeRef<TNoFiles>(), doc, size % 2 ? "show.scr" : "daxviewer", error);
  if (!source) return 0;
  const double d = source->ShowDuration();
  for (double t : {-2e9, -1.0, 0.0, 1.0, d * 0.5, d, d + 1, d * 3.5, 1e15}) {
    source->SlideAtTime(t);
    source->NextSlideTime(t, false);
    source->NextSlideTime(t, true);
    source->PrevSlideTime(t);
  }
  const int64_t n = std::min<int64_t>(source->SlideCount(), 64);
  for (int64_t i = -1; i <= n; ++i) {
    source->SlideStartTime(i);
    if (n > 0) source->SlideTransition(i);
    double period;
    source->SlideEndAction(i, period);
    std::string app;
    source->SlideRunApp(i, app);
  }
  for (int k = 0; k < 8; ++k) source->PickFromPool(k);
  if (source->SlideCount() <= 64) show::FormatShowJson(show::DescribeShow(*source));
  return 0;
}
