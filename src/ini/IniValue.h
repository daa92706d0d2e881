// Typed readings of document values and their written forms. Readers give nullopt when the
// text does not convert; callers substitute their default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dax::ini {

// Leading blanks (space, backspace, tab), one optional sign, at least one decimal digit and
// nothing else; values outside the type's range do not convert.
std::optional<int32_t> ParseIniInteger(std::string_view text);
std::optional<int64_t> ParseIniInt64(std::string_view text);
// Blanks and a sign as above, digits with at most one ".", then optionally E/e and a signed
// integer exponent. "." alone reads as 0; an infinite or NaN result does not convert.
std::optional<double> ParseIniFloat(std::string_view text);
// Exactly "1" or "0".
std::optional<bool> ParseIniBool(std::string_view text);

std::string FormatIniInteger(int64_t value);
// Fixed with 16 decimals, trailing zeros and a bare "." removed.
std::string FormatIniFloat(double value);
inline const char* FormatIniBool(bool value) {
  return value ? "1" : "0";
}

}  // namespace dax::ini
