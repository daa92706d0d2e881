// A summary of a parsed show as daxpack prints it: show-wide options and every slide's
// window, transition, end action and launch, with effects made repeatable so that the same
// show always gives the same text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "show/DaxSource.h"

namespace dax::show {

struct TSlideSummary {
  int64_t index = 0;  // from 1
  std::string slideId;
  TSlideInfo timing;
  bool hasTransition = false;
  std::string transitionKind;
  uint32_t transitionType = 0;
  double transitionDuration = 0;
  std::string transitionName;
  std::string transitionFlags;
  float transitionSmoothness = 0;
  std::string endAction;  // "pause", "loop" or "none"
  double loopPeriod = 0;
  std::string runApp;
};

struct TShowSummary {
  std::string version;
  int32_t designWidth = 0;
  int32_t designHeight = 0;
  std::string endMode;
  int32_t slideCount = 0;
  double duration = 0;
  bool screenSaver = false;
  double defaultTransition = 0;
  size_t poolSize = 0;
  std::vector<TSlideSummary> slides;
};

// What daxpack info seeds the random service with before it builds the source: the pool's
// order, and with it every repeatable pick, is then the same on every run.
constexpr uint64_t kShowInfoRandomSeed = 1;

const char* EndModeName(TEndMode mode);

// Switches the source to repeatable effects (as the engine does) before asking for the
// transitions.
TShowSummary DescribeShow(TDaxSource& source);

std::string FormatShowJson(const TShowSummary& summary);
std::string FormatShowText(const TShowSummary& summary);

}  // namespace dax::show
