#include "show/ShowInfo.h"

#include <cmath>
#include <cstdio>

#include "foundation/Numbers.h"

namespace dax::show {
namespace {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double v) {
  return std::isfinite(v) ? FormatFloat(v, 6) : "null";
}

std::string Ms(double v) {
  return FormatFloat(v, 3);
}

}  // namespace

const char* EndModeName(TEndMode mode) {
  switch (mode) {
    case TEndMode::Close:
      return "close";
    case TEndMode::Stop:
      return "stop";
    default:
      return "repeat";
  }
}

TShowSummary DescribeShow(TDaxSource& source) {
  source.SetRepeatableEffects(true);
  TShowSummary s;
  s.version = source.Document()->ReadString("Main", "DaxVersion", "");
  s.designWidth = source.DesignWidth();
  s.designHeight = source.DesignHeight();
  s.endMode = EndModeName(source.EndMode());
  s.slideCount = source.SlideCount();
  s.duration = source.ShowDuration();
  s.screenSaver = source.ScreenSaverMode();
  s.defaultTransition = source.DefaultTransitionDuration();
  s.poolSize = source.PoolCount();
  const TSlideInfoList& list = source.SlideList();
  for (int64_t i = 0; i < list.Count(); ++i) {
    TSlideSummary slide;
    slide.index = i + 1;
    slide.timing = list[static_cast<size_t>(i)];
    slide.slideId = slide.timing.slideId;
    TSlideTransition t = source.SlideTransition(i);
    if (t.effect) {
      slide.hasTransition = true;
      slide.transitionType = t.effect->type;
      slide.transitionKind = std::string(EffectTypeName(t.effect->type));
      slide.transitionDuration = t.duration;
      slide.transitionName = t.effect->name;
      slide.transitionSmoothness = t.smoothness;
      for (bool f : t.effect->flags) slide.transitionFlags += f ? '1' : '0';
    }
    switch (source.SlideEndActionKind(i)) {
      case TSlideEndAction::Pause:
        slide.endAction = "pause";
        break;
      case TSlideEndAction::Loop:
        slide.endAction = "loop";
        source.SlideEndAction(i, slide.loopPeriod);
        break;
      default:
        slide.endAction = "none";
    }
    source.SlideRunApp(i, slide.runApp);
    s.slides.push_back(std::move(slide));
  }
  return s;
}

std::string FormatShowJson(const TShowSummary& s) {
  std::string out = "{";
  out += "\"version\": " + JsonString(s.version);
  out += ", \"designWidth\": " + FormatInt(s.designWidth);
  out += ", \"designHeight\": " + FormatInt(s.designHeight);
  out += ", \"endMode\": " + JsonString(s.endMode);
  out += ", \"slideCount\": " + FormatInt(s.slideCount);
  out += ", \"duration\": " + JsonNumber(s.duration);
  out += std::string(", \"screenSaver\": ") + (s.screenSaver ? "true" : "false");
  out += ", \"defaultTransition\": " + JsonNumber(s.defaultTransition);
  out += ", \"poolSize\": " + FormatInt(static_cast<int64_t>(s.poolSize));
  out += ", \"slides\": [";
  for (size_t i = 0; i < s.slides.size(); ++i) {
    const TSlideSummary& slide = s.slides[i];
    if (i > 0) out += ", ";
    out += "{\"index\": " + FormatInt(slide.index);
    out += ", \"slideId\": " + JsonString(slide.slideId);
    out += ", \"start\": " + JsonNumber(slide.timing.start);
    out += ", \"end\": " + JsonNumber(slide.timing.end);
    out += ", \"transitionIn\": " + JsonNumber(slide.timing.transitionIn);
    out += ", \"endWithNext\": " + JsonNumber(slide.timing.endWithNext);
    out += ", \"transition\": ";
    if (slide.hasTransition) {
      out += "{\"kind\": " + JsonString(slide.transitionKind);
      out += ", \"type\": " + FormatInt(slide.transitionType);
      out += ", \"duration\": " + JsonNumber(slide.transitionDuration);
      out += ", \"name\": " + JsonString(slide.transitionName);
      out += ", \"flags\": " + JsonString(slide.transitionFlags);
      out += ", \"smoothness\": " + JsonNumber(slide.transitionSmoothness);
      out += "}";
    } else {
      out += "null";
    }
    out += ", \"endAction\": " + JsonString(slide.endAction);
    if (slide.endAction == "loop") out += ", \"loopPeriod\": " + JsonNumber(slide.loopPeriod);
    out += ", \"runApp\": " + JsonString(slide.runApp);
    out += "}";
  }
  out += "]}\n";
  return out;
}

std::string FormatShowText(const TShowSummary& s) {
  std::string out;
  out += "Version:        " + (s.version.empty() ? std::string("-") : s.version) + "\n";
  out += "Design size:    " + FormatInt(s.designWidth) + " x " + FormatInt(s.designHeight) + "\n";
  out += "End mode:       " + s.endMode + "\n";
  out += std::string("Screen saver:   ") + (s.screenSaver ? "yes" : "no") + "\n";
  out += "Slides:         " + FormatInt(s.slideCount) + ", " + Ms(s.duration) + " ms\n";
  out += "Random pool:    " + FormatInt(static_cast<int64_t>(s.poolSize)) +
         " transitions, default " + Ms(s.defaultTransition) + " ms\n";
  for (const TSlideSummary& slide : s.slides) {
    out += "  " + FormatInt(slide.index) + ". " + Ms(slide.timing.start) + " - " +
           Ms(slide.timing.end) + " ms";
    if (!slide.slideId.empty()) out += " \"" + slide.slideId + "\"";
    if (slide.hasTransition)
      out += ", " + slide.transitionKind + " " + Ms(slide.transitionDuration) + " ms (in " +
             Ms(slide.timing.transitionIn) + " ms)";
    else
      out += ", no transition";
    if (slide.endAction == "loop")
      out += ", loops every " + Ms(slide.loopPeriod) + " ms";
    else if (slide.endAction == "pause")
      out += ", pauses";
    if (!slide.runApp.empty()) out += ", runs " + slide.runApp;
    out += "\n";
  }
  return out;
}

}  // namespace dax::show
