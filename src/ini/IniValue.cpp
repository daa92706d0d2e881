#include "ini/IniValue.h"

#include <charconv>
#include <cmath>

#include "foundation/Numbers.h"

namespace dax::ini {
namespace {

bool IsNumberBlank(char c) {
  return c == ' ' || c == '\b' || c == '\t';
}

// Sign and magnitude of a whole-text decimal integer; a magnitude beyond 64 bits saturates.
bool ParseDecimal(std::string_view text, bool& negative, uint64_t& magnitude) {
  constexpr uint64_t kLimit = 1844674407370955160ull;  // largest m with m * 10 + 9 in 64 bits
  size_t i = 0;
  while (i < text.size() && IsNumberBlank(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    if (magnitude > kLimit) {
      magnitude = UINT64_MAX;
    } else {
      magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    }
  }
  return true;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::string_view text) {
  bool negative;
  uint64_t magnitude;
  if (!ParseDecimal(text, negative, magnitude)) return std::nullopt;
  if (magnitude > (negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                       : static_cast<int64_t>(magnitude));
}

std::optional<int64_t> ParseIniInt64(std::string_view text) {
  bool negative;
  uint64_t magnitude;
  if (!ParseDecimal(text, negative, magnitude)) return std::nullopt;
  constexpr uint64_t kMaxPositive = 9223372036854775807ull;
  if (magnitude > (negative ? kMaxPositive + 1 : kMaxPositive)) return std::nullopt;
  if (negative) return static_cast<int64_t>(0 - magnitude);
  return static_cast<int64_t>(magnitude);
}

std::optional<double> ParseIniFloat(std::string_view text) {
  size_t i = 0, n = text.size();
  while (i < n && IsNumberBlank(text[i])) ++i;
  if (i == n) return std::nullopt;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  // Collect the digits without the point; the scale says how many came after it.
  std::string digits;
  int64_t scale = 0;
  bool point = false, any = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (digits.empty() && c == '0') {
        if (point) ++scale;  // leading zeros only shift the scale
        continue;
      }
      digits += c;
      if (point) ++scale;
    } else if (c == '.') {
      if (point) return std::nullopt;
      point = true;
      any = true;
    } else {
      break;
    }
  }
  if (!any) return std::nullopt;
  int64_t exponent = 0;
  if (i < n) {
    if (text[i] != 'E' && text[i] != 'e') return std::nullopt;
    ++i;
    bool expNegative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
    if (i == n) return std::nullopt;
    for (; i < n; ++i) {
      char c = text[i];
      if (c < '0' || c > '9') return std::nullopt;
      if (exponent < 100000000) exponent = exponent * 10 + (c - '0');
    }
    if (expNegative) exponent = -exponent;
  }
  double value = 0;
  if (!digits.empty()) {
    int64_t power = exponent - scale;
    // Magnitude is 10^(power + digits - 1) roughly: decide far overflow and underflow here.
    int64_t magnitude = power + static_cast<int64_t>(digits.size());
    if (magnitude > 400) return std::nullopt;
    if (magnitude < -400) {
      value = 0;
    } else {
      digits += 'e';
      digits += std::to_string(power);
      auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (res.ec == std::errc::result_out_of_range) {
        if (magnitude > 0) return std::nullopt;
        value = 0;
      } else if (res.ec != std::errc()) {
        return std::nullopt;
      }
    }
  }
  if (negative) value = -value;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<bool> ParseIniBool(std::string_view text) {
  if (text == "1") return true;
  if (text == "0") return false;
  return std::nullopt;
}

std::string FormatIniInteger(int64_t value) {
  return FormatInt(value);
}

std::string FormatIniFloat(double value) {
  return FormatFloat(value, 16);
}

}  // namespace dax::ini
