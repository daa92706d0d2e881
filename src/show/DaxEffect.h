// Transition descriptors: TDaxEffect describes one transition for the renderer, TDaxFilter
// is the transition attached to one prepared slide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/RefObject.h"
#include "ini/IniFile.h"

namespace dax::show {

// Transition types executed by the renderer.
enum : uint32_t {
  kEffectDissolve = 1,
  kEffectHourhand = 2,
  kEffectShapes = 3,
  kEffectGates = 4,
  kEffectPage = 5,
  kEffectMosaic = 6,
  kEffectPush = 7,
  kEffectSlide = 8,
  kEffectCurling = 9,
  kEffectFlip = 10,
  kEffectSwap = 11,
  kEffectCustom = 12,
};

// The kind name of a type ("dissolve" ... "swap", "custom"); empty for unknown types.
std::string_view EffectTypeName(uint32_t type);

class TDaxEffect : public TRefObject {
 public:
  static constexpr double kDefaultSmoothness = 0.001;

  TDaxEffect() = default;
  explicit TDaxEffect(uint32_t type) : type(type) {}

  // Values below 0.1 (and NaN) are stored as 0.001.
  void SetSmoothness(double value);
  double Smoothness() const { return smoothness_; }

  // A copy of every array, the name and the smoothness; the description section is shared.
  TRef<TDaxEffect> Copy() const;

  // The number of variants the flags enable, by the rules of the type.
  int32_t CountVariants() const;
  // A copy in which only variant v (0 <= v < variant count) stays enabled.
  TRef<TDaxEffect> WithVariant(int32_t v) const;

  uint32_t type = 0;
  int32_t variantCount = 0;
  std::vector<int32_t> intParams;
  std::vector<float> floatParams;
  std::vector<bool> flags;
  std::string name;
  // A custom transition's own description (type 12 only).
  TRef<ini::TIniSection> description;

 private:
  double smoothness_ = kDefaultSmoothness;
};

// The transition attached to one prepared slide by the slide producer. The draw filter is
// built by the drawing side and owned here.
class TDaxFilter : public TRefObject {
 public:
  TRef<TDaxEffect> effect;
  double duration = 0;
  float smoothness = 0;
  double producerValue = 0;
  TRef<TRefObject> drawFilter;
};

}  // namespace dax::show
