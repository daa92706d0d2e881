// Transitions made of a slide: the description section's own slide plays through while the
// transition runs.
#pragma once

#include <cstdint>

#include "ini/IniFile.h"

namespace dax::show {

struct TCustomSlideTransition {
  int32_t length = 2000;  // "CustomEffTime", ms: the length of the transition's own slide
  bool coverMode = true;
  bool transparentBackground = false;
  int32_t background = 0;  // "CustomEffBg"
};

TCustomSlideTransition ReadCustomSlideTransition(const ini::TIniSection& description);

// The time of the transition's own slide shown at progress x (0...1, clamped) of a
// transition running from start to end.
inline double CustomSlideTime(double start, double end, double x) {
  x = x < 0 ? 0 : (x > 1 ? 1 : x);
  return start + (end - start) * x;
}

}  // namespace dax::show
