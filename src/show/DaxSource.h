// The parsed show: show-wide options, the random transition pool, per-slide transitions and
// the slide timeline, built from the show document.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/RefObject.h"
#include "ini/IniFile.h"
#include "show/DaxEffect.h"
#include "show/EffectManager.h"
#include "show/SlideTimeline.h"

namespace dax::show {

struct THiderColor {
  uint8_t blue = 0, green = 0, red = 0;
};

// What SlideTransition hands to the slide producer.
struct TSlideTransition {
  TRef<TDaxEffect> effect;  // null: no transition
  double duration = 0;      // ms; 0 without a transition
  float smoothness = 0;     // for the renderer
};

enum class TSlideEndAction { None, Pause, Loop };

// Bound on the items of the completed slide sections that the random pool's custom
// transitions hold together; variants past it stay out of the pool.
constexpr int64_t kMaxPoolSectionItems = int64_t{1} << 16;

class TDaxSource : public TRefObject {
 public:
  // programPath is the player's own file: the extension ".scr" (any case) means
  // screen-saver mode. The source keeps a reference on the document and the file access
  // object. Raises EAssertionFailed "Incorrect time" when sync positions decrease.
  TDaxSource(TRef<TRefObject> fileAccess, TRef<ini::TIniFile> document,
             const std::string& programPath);

  // The same, with the failure as a message for the user instead of an exception; null
  // then. An assertion failure ("Incorrect time") has written its text to stderr and the log
  // already; alreadyReported, when given, then says so.
  static TRef<TDaxSource> TryCreate(TRef<TRefObject> fileAccess, TRef<ini::TIniFile> document,
                                    const std::string& programPath, std::string& error,
                                    bool* alreadyReported = nullptr);

  ini::TIniFile* Document() const { return document_.Get(); }
  TRefObject* FileAccess() const { return fileAccess_.Get(); }
  ini::TIniSection* MainSection() const { return main_; }
  ini::TIniSection* TimesSection() const { return times_; }
  TDAXEffectManager* EffectManager() const { return effects_.Get(); }

  int32_t DesignWidth() const { return designWidth_; }
  int32_t DesignHeight() const { return designHeight_; }
  int32_t SlideCount() const { return slideCount_; }
  TEndMode EndMode() const { return endMode_; }
  bool ScreenSaverMode() const { return screenSaver_; }
  bool PauseWhenInactive() const { return pauseWhenInactive_; }
  THiderColor HiderColor() const { return hiderColor_; }
  float UnsharpAmount() const { return unsharpAmount_; }
  double ShowDuration() const { return slides_.ShowDuration(); }
  const TSlideInfoList& SlideList() const { return slides_; }

  // Set by the engine right after construction: picks then depend only on the slide index.
  void SetRepeatableEffects(bool on) { repeatable_ = on; }
  bool RepeatableEffects() const { return repeatable_; }
  uint32_t EffectSeed() const { return effectSeed_; }

  double DefaultTransitionDuration() const { return defaultDuration_; }
  size_t PoolCount() const { return pool_.size(); }
  const TDaxEffect& PoolItem(size_t i) const { return *pool_[i]; }
  std::vector<int32_t> PoolOrder();

  // A copy of a pool descriptor with one variant enabled; null for an empty pool.
  TRef<TDaxEffect> PickFromPool(int64_t slideIndex);
  // The transition that brings slide i in (i taken modulo the slide count). Reports an
  // assertion failure and gives none for a show without slides.
  TSlideTransition SlideTransition(int64_t i);

  double TransitionDuration(int64_t i);
  int64_t SlideTiming(int64_t a, TSlideTiming& out) const { return slides_.SlideTiming(a, out); }
  int64_t SlideAtTime(double t) const { return slides_.SlideAtTime(t); }
  // Whether slide i stops at its end; for a loop, the period to jump back by.
  bool SlideEndAction(int64_t i, double& loopPeriod);
  TSlideEndAction SlideEndActionKind(int64_t i);
  // Whether a program is to be run for slide i, and its file name.
  bool SlideRunApp(int64_t i, std::string& fileName);

  // The main window's seek targets.
  int64_t SlideStartTime(int64_t slide) const {
    return show::SlideStartTime(slides_, endMode_, slide);
  }
  int64_t NextSlideTime(double t, bool paused) const {
    return show::NextSlideTime(slides_, endMode_, t, paused);
  }
  int64_t PrevSlideTime(double t) const { return show::PrevSlideTime(slides_, t); }

 private:
  void BuildRandomPool();
  void ShuffleOrder();
  void BuildSlideInfos();
  // Slide i of a show with n > 0 slides, normalised into 0...n-1.
  int64_t WrapSlide(int64_t i) const;
  TRef<TDaxEffect> FirstCustomVariant(TEffectProp& entry);

  TRef<TRefObject> fileAccess_;
  TRef<ini::TIniFile> document_;
  ini::TIniSection* main_ = nullptr;
  ini::TIniSection* times_ = nullptr;
  TRef<TDAXEffectManager> effects_;
  int32_t designWidth_ = 1920;
  int32_t designHeight_ = 1080;
  int32_t slideCount_ = 0;
  TEndMode endMode_ = TEndMode::Repeat;
  bool screenSaver_ = false;
  bool pauseWhenInactive_ = true;
  THiderColor hiderColor_;
  float unsharpAmount_ = 0;
  double defaultDuration_ = 0;
  TSlideInfoList slides_;

  bool repeatable_ = false;
  uint32_t effectSeed_ = 0;
  // Random-pick state; SlideTransition runs on the slide loader's thread.
  std::mutex pickLock_;
  bool parity_ = false;
  uint32_t pickCounter_ = 0;
  std::vector<TRef<TDaxEffect>> pool_;
  std::vector<int32_t> order_;
  // Slides whose kind is a custom transition: the descriptor of the first usable variant,
  // made at construction so that later calls never touch the document.
  std::vector<TRef<TDaxEffect>> customEffects_;
};

}  // namespace dax::show
