// Locale-free number parsing and printing, and the one rounding helper.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dax {

std::string FormatInt(int64_t value);
// Fixed notation with `decimals` places, trailing zeros and a bare "." removed:
// 0.5 -> "0.5", 3 -> "3".
std::string FormatFloat(double value, int decimals = 16);

// Whole-text parses (no blanks, no trailing bytes); nullopt when the text is not a number.
std::optional<int64_t> ParseInt64(std::string_view text);
std::optional<double> ParseDouble(std::string_view text);

// Rounds half to even ("banker's rounding"), the rounding of the show format.
int64_t RoundHalfEven(double value);

}  // namespace dax
