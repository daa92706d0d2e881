#include "show/DaxSource.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>

#include "foundation/Assert.h"
#include "foundation/Log.h"
#include "foundation/Numbers.h"
#include "foundation/Random.h"
#include "foundation/Strings.h"
#include "ini/IniValue.h"
#include "show/EffectDescriptors.h"
#include "show/SlideOrder.h"

namespace dax::show {
namespace {

bool IsScreenSaverProgram(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  size_t dot = name.rfind('.');
  return dot != std::string_view::npos && AsciiLower(name.substr(dot)) == ".scr";
}

// The bare file name of a picture path: after the last "\" (a trailing one ignored), without
// its extension. Show names separate folders with "\" only; a "/" is part of the name.
std::string PictureStem(std::string_view path) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  size_t slash = path.rfind('\\');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  size_t dot = path.rfind('.');
  if (dot != std::string_view::npos) path = path.substr(0, dot);
  return std::string(path);
}

double DecimalOr(const std::string& text, double def) {
  return ini::ParseIniFloat(text).value_or(def);
}

int64_t PositiveMod(int64_t a, int64_t n) {
  int64_t r = a % n;
  return r < 0 ? r + n : r;
}

// Every item of a section, nested objects included.
int64_t CountItems(const ini::TIniList& list) {
  int64_t count = 0;
  std::vector<const ini::TIniList*> pending{&list};
  while (!pending.empty()) {
    const ini::TIniList* l = pending.back();
    pending.pop_back();
    count += l->Count();
    for (int k = 0; k < l->Count(); ++k) {
      const ini::TIniItem* item = l->Item(k);
      if (item->Kind() != ini::TIniItemKind::Item)
        pending.push_back(static_cast<const ini::TIniList*>(item));
    }
  }
  return count;
}

}  // namespace

TRef<TDaxSource> TDaxSource::TryCreate(TRef<TRefObject> fileAccess, TRef<ini::TIniFile> document,
                                       const std::string& programPath, std::string& error,
                                       bool* alreadyReported) {
  if (alreadyReported) *alreadyReported = false;
  try {
    return MakeRef<TDaxSource>(std::move(fileAccess), std::move(document), programPath);
  } catch (const EAssertionFailed& e) {
    error = e.what();
    if (alreadyReported) *alreadyReported = true;
  } catch (const std::exception& e) {
    error = e.what();
  }
  return nullptr;
}

TDaxSource::TDaxSource(TRef<TRefObject> fileAccess, TRef<ini::TIniFile> document,
                       const std::string& programPath)
    : fileAccess_(std::move(fileAccess)), document_(std::move(document)) {
  DAX_ASSERT(fileAccess_ && document_, "TDaxSource needs a file accessor and a document");
  ini::TIniFile& doc = *document_;
  main_ = doc.FindSection("Main");
  times_ = doc.FindSection("Times");

  if (main_) {
    designWidth_ = main_->FindOrAddKey("opt_scr_width")->AsInteger(kDefaultFrameWidth);
    designHeight_ = main_->FindOrAddKey("opt_scr_height")->AsInteger(kDefaultFrameHeight);
    // No show is laid out on a page of zero or negative size.
    if (designWidth_ <= 0) designWidth_ = kDefaultFrameWidth;
    if (designHeight_ <= 0) designHeight_ = kDefaultFrameHeight;
  }
  effects_ = MakeRef<TDAXEffectManager>(&doc, designHeight_, designWidth_);

  screenSaver_ = IsScreenSaverProgram(programPath);
  if (screenSaver_) {
    doc.ResolvePath("Main:opt_ssaver")->SetValue("1");
    doc.ResolvePath("Main:opt_fcp")->SetValue("0");
    doc.ResolvePath("Main:opt_hidecursor")->SetValue("1");
    doc.ResolvePath("Main:opt_scr_full")->SetValue("1");
    doc.ResolvePath("Main:opt_repeat")->SetValue("repeat");
  } else {
    doc.ResolvePath("Main:opt_ssaver")->SetValue("0");
  }

  if (main_) {
    pauseWhenInactive_ = main_->ReadBool("opt_pausewheninactive", true);
    const ini::TIniItem* repeat = main_->FindKey("opt_repeat");
    const int mode = repeat ? repeat->ValueIndex({"repeat", "close", "stop"}, 0, true) : 0;
    endMode_ = static_cast<TEndMode>(mode);
    const int32_t hider = main_->ReadInteger("opt_scr_hidercolor", 0);
    hiderColor_.red = static_cast<uint8_t>(hider);
    hiderColor_.green = static_cast<uint8_t>(hider >> 8);
    hiderColor_.blue = static_cast<uint8_t>(hider >> 16);
    const double unsharp = main_->ReadFloat("opt_scr_unsharpamount", 0);
    unsharpAmount_ = std::fabs(unsharp) < 3.0e38 ? static_cast<float>(unsharp) : 0.0f;
  }

  int32_t count = times_ ? times_->ReadInteger("opt_slidescount", 0) : 0;
  if (count > kMaxSlideCount) {
    TLogLine("Slide count ").Int(count).Add(" limited to ").Int(kMaxSlideCount);
    count = kMaxSlideCount;
  }
  slideCount_ = std::max(count, 0);

  BuildRandomPool();
  BuildSlideInfos();

  customEffects_.resize(static_cast<size_t>(slideCount_));
  for (int64_t i = 0; i < slideCount_; ++i) {
    TEffectProp* entry = effects_->SlideEntry(i);
    if (!entry) continue;
    const std::string kind = entry->KindName();
    if (SameText(kind, "default") || SameText(kind, "defowntime") || SameText(kind, "quick"))
      continue;
    if (EffectTypeOfKindName(kind) == kEffectCustom)
      customEffects_[static_cast<size_t>(i)] = FirstCustomVariant(*entry);
  }
}

std::vector<int32_t> TDaxSource::PoolOrder() {
  std::lock_guard guard(pickLock_);
  return order_;
}

void TDaxSource::BuildRandomPool() {
  pool_.clear();
  defaultDuration_ = DecimalOr(effects_->ProjectDefaultTimeText(), 0);
  int64_t copiedItems = 0;
  bool limitLogged = false;
  for (int32_t i = 0, n = effects_->ProjectEntryCount(); i < n; ++i) {
    TEffectProp* entry = effects_->ProjectEntry(i);
    if (!entry || entry->CheckedState() == kCheckedOff) continue;
    if (!SameText(entry->KindName(), "custom")) {
      const uint32_t type = EffectTypeOfKindIndex(entry->KindIndex());
      if (type == 0) continue;
      if (TRef<TDaxEffect> effect = BuildBuiltInEffect(type, *entry)) pool_.push_back(effect);
      continue;
    }
    // Variants of one definition often name one section, and every completed copy carries all
    // of the definition's user properties: one copy per section serves all its variants (the
    // descriptors share their description section anyway).
    std::map<std::string, TRef<ini::TIniSection>> copies;
    const int64_t variants = std::min(entry->VariantCount(), kMaxVariantSearch);
    for (int64_t v = 0; v < variants; ++v) {
      if (!entry->VariantEnabled(v) || !entry->VariantUsable(v)) continue;
      const std::optional<std::string> name = entry->VariantSectionName(v);
      if (!name) continue;
      auto copy = copies.find(*name);
      if (copy == copies.end()) {
        if (copiedItems >= kMaxPoolSectionItems) {
          if (!limitLogged)
            TLogLine("Custom transitions of the random pool limited to ")
                .Int(kMaxPoolSectionItems)
                .Add(" items");
          limitLogged = true;
          continue;
        }
        TRef<ini::TIniSection> made = entry->CompletedSlideSection(*name);
        copiedItems += CountItems(*made);
        copy = copies.emplace(*name, std::move(made)).first;
      }
      auto effect = MakeRef<TDaxEffect>(kEffectCustom);
      effect->name = entry->Name();
      effect->description = copy->second;
      effect->variantCount = 1;
      effect->flags = {true};
      pool_.push_back(effect);
    }
  }
  order_.resize(pool_.size());
  std::iota(order_.begin(), order_.end(), 0);
  ShuffleOrder();
}

void TDaxSource::ShuffleOrder() {
  // The swap partner is drawn from 0...n-1-i, not from i...n-1: the order is knowingly not
  // uniform, and shows rely on the familiar sequence of picks.
  const int32_t n = static_cast<int32_t>(order_.size());
  for (int32_t i = 0; i + 1 < n; ++i) {
    const int32_t r = Random().Uniform(n - i);
    std::swap(order_[static_cast<size_t>(i)], order_[static_cast<size_t>(r)]);
  }
}

TRef<TDaxEffect> TDaxSource::PickFromPool(int64_t slideIndex) {
  std::lock_guard guard(pickLock_);
  const int64_t n = static_cast<int64_t>(pool_.size());
  if (n == 0) return nullptr;
  int64_t k;
  if (repeatable_) {
    k = PositiveMod(slideIndex, n);
  } else {
    k = static_cast<int64_t>(pickCounter_ % static_cast<uint64_t>(n));
    ++pickCounter_;
    if (k == 0) ShuffleOrder();
  }
  const TDaxEffect& effect = *pool_[static_cast<size_t>(order_[static_cast<size_t>(k)])];
  const int32_t count = std::max(effect.variantCount, 1);
  int32_t v;
  if (repeatable_) {
    const uint32_t mixed = static_cast<uint32_t>(slideIndex) ^ effectSeed_;
    v = static_cast<int32_t>(mixed % static_cast<uint32_t>(count));
    const bool slideOdd = ((static_cast<uint32_t>(slideIndex) & 1u) != 0) != parity_;
    if (slideOdd != ((v & 1) != 0)) v = (v + 1) % count;
  } else {
    v = Random().Uniform(count);
    if (((v % 2) == 0) != parity_) v = (v + 1) % count;
    parity_ = !parity_;
  }
  return effect.WithVariant(v);
}

TRef<TDaxEffect> TDaxSource::FirstCustomVariant(TEffectProp& entry) {
  const int64_t variants = std::min(entry.VariantCount(), kMaxVariantSearch);
  for (int64_t v = 0; v < variants; ++v) {
    if (!entry.VariantEnabled(v) || !entry.VariantUsable(v)) continue;
    auto effect = MakeRef<TDaxEffect>(kEffectCustom);
    effect->name = entry.Name();
    effect->description = entry.VariantSlideSection(v);
    effect->variantCount = 1;
    effect->flags = {true};
    return effect;
  }
  return nullptr;
}

int64_t TDaxSource::WrapSlide(int64_t i) const {
  return PositiveMod(i, slideCount_);
}

TSlideTransition TDaxSource::SlideTransition(int64_t i) {
  TSlideTransition result;
  if (slideCount_ == 0) {
    ReportAssertion("SlideTransition of a show without slides", __FILE__, __LINE__);
    return result;
  }
  i = WrapSlide(i);
  TEffectProp* entry = effects_->SlideEntry(i);
  if (!entry) return result;

  double duration = DecimalOr(entry->Value("time"), 0);
  double smoothness = DecimalOr(entry->Value("smoothline"), 0);
  TRef<TDaxEffect> effect;
  const std::string kind = entry->KindName();
  if (SameText(kind, "default") || SameText(kind, "defowntime")) {
    effect = PickFromPool(i);
    if (SameText(kind, "default")) duration = defaultDuration_;
    smoothness = effect ? effect->Smoothness() : 0;
  } else if (SameText(kind, "quick")) {
    effect = nullptr;
  } else {
    const uint32_t type = EffectTypeOfKindName(kind);
    if (type != kEffectCustom)
      effect = BuildBuiltInEffect(type, *entry);
    else if (const TRef<TDaxEffect>& custom = customEffects_[static_cast<size_t>(i)])
      effect = custom->Copy();
  }
  if (!effect || !(duration > 0)) return result;

  if (effect->type == kEffectMosaic) {
    int32_t seed;
    if (repeatable_) {
      seed = static_cast<int32_t>(static_cast<uint32_t>(i) ^ effectSeed_);
    } else {
      seed = Random().Uniform(4096) * 4096 + Random().Uniform(4096);
    }
    effect->intParams.resize(3, 0);
    effect->intParams.push_back(seed);
  }
  result.effect = effect;
  result.duration = duration;
  result.smoothness = std::fabs(smoothness) < 3.0e38 ? static_cast<float>(smoothness) : 0.0f;
  return result;
}

double TDaxSource::TransitionDuration(int64_t i) {
  if (slideCount_ == 0) return 0;
  if (endMode_ != TEndMode::Repeat && i >= slideCount_) return 0;
  return effects_->SlideDuration(WrapSlide(i));
}

void TDaxSource::BuildSlideInfos() {
  const int64_t n = slideCount_;
  std::vector<double> durations(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) durations[static_cast<size_t>(i)] = TransitionDuration(i);
  const double afterLast = TransitionDuration(n);

  std::vector<TSlideInfo> infos(static_cast<size_t>(n));
  double prev = 0;
  for (int64_t i = 0; i < n; ++i) {
    const ini::TIniItem* sync = times_ ? times_->FindIndexed("opt_synchpos", i + 1) : nullptr;
    const double s = ini::AsInteger(sync, 0);
    if (s < prev) AssertFailed("Incorrect time", __FILE__, __LINE__);
    TSlideInfo& info = infos[static_cast<size_t>(i)];
    info.start = prev;
    info.end = s;
    info.transitionIn = durations[static_cast<size_t>(i)];
    info.nextTransition = i + 1 < n ? durations[static_cast<size_t>(i + 1)] : afterLast;
    if (!(info.end - info.start >= info.transitionIn)) info.transitionIn = info.end - info.start;
    info.endWithNext = s + info.nextTransition;
    if (const ini::TIniSection* section = SlideSection(*document_, i)) {
      info.slideId = section->ReadString("slideid", "");
      if (info.slideId.empty()) info.slideId = PictureStem(section->ReadString("Picture", ""));
    }
    prev = s;
  }
  slides_.Assign(std::move(infos));
}

TSlideEndAction TDaxSource::SlideEndActionKind(int64_t i) {
  if (slideCount_ == 0 || i < 0) return TSlideEndAction::None;
  const ini::TIniSection* section = SlideSection(*document_, WrapSlide(i));
  const ini::TIniItem* action = section ? section->FindKey("Pers_EndAction") : nullptr;
  if (!action) return TSlideEndAction::None;
  switch (action->ValueIndex({"pause", "loop", ""}, -1, true)) {
    case 0:
      return TSlideEndAction::Pause;
    case 1:
      return TSlideEndAction::Loop;
    case 2:
      return main_ && main_->ReadString("opt_manualshow", "") == "1" ? TSlideEndAction::Pause
                                                                     : TSlideEndAction::None;
    default:
      return TSlideEndAction::None;
  }
}

bool TDaxSource::SlideEndAction(int64_t i, double& loopPeriod) {
  const TSlideEndAction kind = SlideEndActionKind(i);
  if (kind == TSlideEndAction::Loop) {
    const TSlideInfo& info = slides_[static_cast<size_t>(WrapSlide(i))];
    loopPeriod = info.end - info.start - info.transitionIn;
  }
  return kind != TSlideEndAction::None;
}

bool TDaxSource::SlideRunApp(int64_t i, std::string& fileName) {
  fileName.clear();
  if (slideCount_ == 0 || i < 0) return false;
  const ini::TIniSection* section = SlideSection(*document_, WrapSlide(i));
  if (!section || section->ReadString("Pers_RunApp", "") != "1") return false;
  fileName = section->ReadString("RunAppFN", "");
  return !fileName.empty();
}

}  // namespace dax::show
