// Built-in transition descriptors made from effect entries, and the colour texts they read.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "show/DaxEffect.h"
#include "show/EffectManager.h"

namespace dax::show {

struct TColorValue {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

// "#RRGGBB" or a decimal COLORREF, optionally followed by ",alpha"; or "r,g,b" with an
// optional ",alpha". Components are clamped to 0...255. Anything else gives nullopt.
std::optional<TColorValue> ParseColorText(std::string_view text);
// Red in the low byte, green in the second, blue in the third.
inline uint32_t ColorRef(const TColorValue& c) {
  return static_cast<uint32_t>(c.r) | (static_cast<uint32_t>(c.g) << 8) |
         (static_cast<uint32_t>(c.b) << 16);
}

// The type of a built-in kind name ("swap" is 11); 12 for any other name. The names
// "default", "defowntime" and "quick" are the caller's to handle.
uint32_t EffectTypeOfKindName(std::string_view kindName);
// The type of a kind index; 0 for "default", "defowntime" and "quick" (no descriptor).
uint32_t EffectTypeOfKindIndex(int32_t kindIndex);

// The descriptor of type 1...12 read from the entry's values; none when its variant count is
// 0. Type 12 gets one set flag and no description section.
TRef<TDaxEffect> BuildBuiltInEffect(uint32_t type, const TEffectProp& entry);

}  // namespace dax::show
