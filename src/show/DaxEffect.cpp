#include "show/DaxEffect.h"

#include <cmath>

namespace dax::show {
namespace {

// For the action x direction kinds: the flag ranges of actions and directions.
struct TPairLayout {
  size_t actionFirst, actionCount, directionFirst, directionCount;
};

bool PairLayout(uint32_t type, TPairLayout& layout) {
  switch (type) {
    case kEffectHourhand:
      layout = {0, 2, 2, 9};
      return true;
    case kEffectShapes:
      layout = {0, 2, 2, 3};
      return true;
    case kEffectCurling:
      layout = {0, 2, 2, 8};
      return true;
    default:
      return false;
  }
}

size_t SetFlagsIn(const std::vector<bool>& flags, size_t first, size_t count) {
  size_t n = 0;
  for (size_t i = first; i < first + count && i < flags.size(); ++i) n += flags[i] ? 1 : 0;
  return n;
}

// The flags that take part in the variant numbering of the single-list kinds.
size_t VariantFlagCount(const TDaxEffect& e) {
  return e.type == kEffectFlip ? std::min<size_t>(4, e.flags.size()) : e.flags.size();
}

}  // namespace

std::string_view EffectTypeName(uint32_t type) {
  static constexpr std::string_view kNames[] = {"",     "dissolve", "hourhand", "shapes", "gates",
                                                "page", "mosaic",   "push",     "slide",  "curling",
                                                "flip", "swap",     "custom"};
  return type < std::size(kNames) ? kNames[type] : std::string_view();
}

void TDaxEffect::SetSmoothness(double value) {
  smoothness_ = (std::isnan(value) || value < 0.1) ? kDefaultSmoothness : value;
}

TRef<TDaxEffect> TDaxEffect::Copy() const {
  auto c = MakeRef<TDaxEffect>(type);
  c->variantCount = variantCount;
  c->intParams = intParams;
  c->floatParams = floatParams;
  c->flags = flags;
  c->name = name;
  c->description = description;
  c->smoothness_ = smoothness_;
  return c;
}

int32_t TDaxEffect::CountVariants() const {
  TPairLayout p;
  if (PairLayout(type, p)) {
    return static_cast<int32_t>(SetFlagsIn(flags, p.actionFirst, p.actionCount) *
                                SetFlagsIn(flags, p.directionFirst, p.directionCount));
  }
  return static_cast<int32_t>(SetFlagsIn(flags, 0, VariantFlagCount(*this)));
}

TRef<TDaxEffect> TDaxEffect::WithVariant(int32_t v) const {
  TRef<TDaxEffect> c = Copy();
  std::vector<bool>& f = c->flags;
  TPairLayout p;
  if (PairLayout(type, p)) {
    const size_t directions = SetFlagsIn(f, p.directionFirst, p.directionCount);
    if (directions == 0 || v < 0) return c;
    size_t actionOrdinal = static_cast<size_t>(v) / directions;
    size_t directionOrdinal = static_cast<size_t>(v) % directions;
    auto keepOnly = [&f](size_t first, size_t count, size_t ordinal) {
      size_t seen = 0;
      for (size_t i = first; i < first + count && i < f.size(); ++i) {
        if (!f[i]) continue;
        f[i] = (seen++ == ordinal);
      }
    };
    keepOnly(p.actionFirst, p.actionCount, actionOrdinal);
    keepOnly(p.directionFirst, p.directionCount, directionOrdinal);
    return c;
  }
  size_t seen = 0;
  const size_t count = VariantFlagCount(*c);
  for (size_t i = 0; i < count; ++i) {
    if (!f[i]) continue;
    f[i] = (static_cast<int64_t>(seen++) == v);
  }
  return c;
}

}  // namespace dax::show
