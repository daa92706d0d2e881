#include "foundation/Numbers.h"

#include <charconv>
#include <cmath>

namespace dax {

std::string FormatInt(int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string FormatFloat(double value, int decimals) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  std::string text(buf, res.ptr);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::optional<int64_t> ParseInt64(std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto res = std::from_chars(text.data(), end, value);
  if (res.ec != std::errc() || res.ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<double> ParseDouble(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto res = std::from_chars(text.data(), end, value);
  if (res.ec != std::errc() || res.ptr != end || text.empty()) return std::nullopt;
  return value;
}

int64_t RoundHalfEven(double value) {
  double floor = std::floor(value);
  double diff = value - floor;
  double r;
  if (diff > 0.5) {
    r = floor + 1;
  } else if (diff < 0.5) {
    r = floor;
  } else {
    r = std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
  }
  return static_cast<int64_t>(r);
}

}  // namespace dax
