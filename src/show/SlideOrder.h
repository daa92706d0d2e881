// Slide order: the process-wide registry mapping a project to the order of its slide
// sections, slide-section lookup, and the keyed shuffle used for random play lists.
#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "foundation/RefObject.h"
#include "ini/IniFile.h"

namespace dax::show {

struct TSlideOrderPair {
  int32_t slide = 0;  // 0-based
  int32_t key = 0;
};

void ShuffleByKeys(TSlideOrderPair* pairs, size_t count);

// The order of one project's slide sections; starts as the identity.
class TSlideRandomList : public TRefObject {
 public:
  explicit TSlideRandomList(int32_t count);

  // Slide number (0-based) at position i, extending the list with identity entries as
  // needed. i must not be negative.
  int32_t SlideAt(int64_t i);
  int64_t Count();
  // Puts the slides into a random order with ShuffleByKeys. The player itself never does;
  // an order set here is what SlideSection then follows.
  void Shuffle();

 private:
  std::mutex lock_;
  std::vector<TSlideOrderPair> pairs_;
};

// The registered list of a project path (compared without regard to case), made on first
// request with the document's "opt_slidescount" entries and kept until shutdown.
TRef<TSlideRandomList> SlideOrderFor(std::string_view projectPath, int32_t slideCount);

// The section of slide i (0-based): "Slide" + (order[i] + 1) when "Main" names a
// "ProjectFilePath", else "Slide" + (i + 1). Null when absent or when i is negative.
ini::TIniSection* SlideSection(ini::TIniFile& document, int64_t i);

// Gives every pair a random key in 0...999999, then sorts ascending by key with a selection
// sort that picks, among equal keys, the one nearest the end. The keys may collide, so the
// order is knowingly not uniform.
void ShuffleByKeys(TSlideOrderPair* pairs, size_t count);

}  // namespace dax::show
