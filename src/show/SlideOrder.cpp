#include "show/SlideOrder.h"

#include <algorithm>
#include <utility>

#include "foundation/HashList.h"
#include "foundation/Numbers.h"
#include "foundation/Random.h"
#include "foundation/Strings.h"
#include "show/SlideTimeline.h"

namespace dax::show {
namespace {

constexpr size_t kRegistryBuckets = 251;
constexpr int32_t kShuffleKeyRange = 1000000;
// Positions beyond this are answered as identity without storing them.
constexpr int64_t kMaxStoredPositions = 4 * static_cast<int64_t>(kMaxSlideCount);

struct TRegistry {
  std::mutex lock;
  THashList<TRef<TSlideRandomList>> lists{kRegistryBuckets};
};

TRegistry& Registry() {
  static TRegistry* registry = new TRegistry();  // kept until shutdown
  return *registry;
}

}  // namespace

TSlideRandomList::TSlideRandomList(int32_t count) {
  pairs_.resize(static_cast<size_t>(std::max(count, 0)));
  for (size_t i = 0; i < pairs_.size(); ++i) pairs_[i].slide = static_cast<int32_t>(i);
}

int32_t TSlideRandomList::SlideAt(int64_t i) {
  std::lock_guard guard(lock_);
  if (i < static_cast<int64_t>(pairs_.size())) return pairs_[static_cast<size_t>(i)].slide;
  if (i >= kMaxStoredPositions || i >= INT32_MAX)
    return static_cast<int32_t>(std::min<int64_t>(i, INT32_MAX));
  while (static_cast<int64_t>(pairs_.size()) <= i)
    pairs_.push_back({static_cast<int32_t>(pairs_.size()), 0});
  return pairs_[static_cast<size_t>(i)].slide;
}

void TSlideRandomList::Shuffle() {
  std::lock_guard guard(lock_);
  ShuffleByKeys(pairs_.data(), pairs_.size());
}

int64_t TSlideRandomList::Count() {
  std::lock_guard guard(lock_);
  return static_cast<int64_t>(pairs_.size());
}

TRef<TSlideRandomList> SlideOrderFor(std::string_view projectPath, int32_t slideCount) {
  TRegistry& registry = Registry();
  std::lock_guard guard(registry.lock);
  TRef<TSlideRandomList>& list = registry.lists.FindOrAdd(FoldUtf8(projectPath));
  if (!list) list = MakeRef<TSlideRandomList>(std::clamp(slideCount, 0, kMaxSlideCount));
  return list;
}

ini::TIniSection* SlideSection(ini::TIniFile& document, int64_t i) {
  if (i < 0) return nullptr;
  const std::string projectPath = document.ReadString("Main", "ProjectFilePath", "");
  int64_t number = i;
  if (!projectPath.empty()) {
    const int32_t count = document.ReadInteger("Times", "opt_slidescount", 0);
    number = SlideOrderFor(projectPath, count)->SlideAt(i);
  }
  return document.FindSection("Slide" + FormatInt(number + 1));
}

void ShuffleByKeys(TSlideOrderPair* pairs, size_t count) {
  for (size_t i = 0; i < count; ++i) pairs[i].key = Random().Uniform(kShuffleKeyRange);
  for (size_t k = count; k >= 2; --k) {
    size_t best = k - 1;
    for (size_t j = k - 1; j-- > 0;)
      if (pairs[j].key > pairs[best].key) best = j;
    std::swap(pairs[best], pairs[k - 1]);
  }
}

}  // namespace dax::show
