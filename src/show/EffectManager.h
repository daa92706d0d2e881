// The effect manager: reads the show's transition definitions (the project list "TheEffect"
// in "Main") and each slide's effect entry, and answers every question about them through
// TEffectProp entries.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/RefObject.h"
#include "ini/IniFile.h"

namespace dax::show {

class TDAXEffectManager;

// Checked states of an entry.
constexpr int32_t kCheckedOff = 0;
constexpr int32_t kCheckedPartly = 1;
constexpr int32_t kCheckedFully = 2;

// Kind indices (any other value is a custom transition).
enum : int32_t {
  kKindDefault = 0,
  kKindDefOwnTime = 1,
  kKindDissolve = 2,
  kKindQuick = 3,
  kKindHourhand = 4,
  kKindShapes = 5,
  kKindGates = 6,
  kKindPage = 7,
  kKindMosaic = 8,
  kKindPush = 9,
  kKindSlide = 10,
  kKindCurling = 11,
  kKindFlip = 12,
  kKindSwap = 13,
};

// The design size of a show whose "opt_scr_width" / "opt_scr_height" is missing, malformed or
// not positive.
constexpr int32_t kDefaultFrameWidth = 1920;
constexpr int32_t kDefaultFrameHeight = 1080;

// Custom transitions can multiply their options into astronomically many variants; searches
// over variants look at no more than this many.
constexpr int64_t kMaxVariantSearch = 4096;
// Bound on the numbered user properties of a slide-based transition.
constexpr int32_t kMaxUserProps = 4096;

// One effect entry: a definition (its object typed by its kind name) or a reference (an
// object of type "AnEffect" whose "ref" names a definition or a built-in). Entries belong to
// their manager; callers hold plain pointers and treat a null entry as empty (kind index 3).
class TEffectProp : public TRefObject {
 public:
  TEffectProp(TDAXEffectManager* manager, ini::TIniObject* object);

  ini::TIniObject* Object() const { return object_.Get(); }
  bool IsReference() const { return isReference_; }

  // A reference's "ref", a definition's object name, lower-cased.
  std::string Name() const;
  std::string KindName() const;
  int32_t KindIndex() const;
  // The entry's own item (a definition's "time" comes from the object that holds it).
  const ini::TIniItem* Item(std::string_view key) const;
  // The value after reference resolution; a missing key reads as empty.
  std::string Value(std::string_view key) const;
  int32_t CheckedState() const;
  // Whole ms. Writes the project default time into a "defowntime" reference that has none.
  int32_t Duration();
  std::vector<std::string> OptionList() const;
  // Saturates instead of overflowing.
  int64_t VariantCount() const;
  bool VariantEnabled(int64_t i) const;
  // The item naming variant i's description section; may add "slide_1" (see below).
  const ini::TIniItem* VariantKey(int64_t i);
  // The document section "effect_" + the variant key's value; created when asked.
  ini::TIniSection* VariantSection(int64_t i, bool create);
  // The name of variant i's description section, "effect_" + the variant key's value;
  // nullopt when the variant has no key.
  std::optional<std::string> VariantSectionName(int64_t i);
  // A detached, completed copy of the variant section describing a transition made of a
  // slide. The document is never changed by it; a missing variant section gives an empty
  // copy. Null when the variant has no key.
  TRef<ini::TIniSection> VariantSlideSection(int64_t i);
  // The same for the section of that name: variants that name one section get equal copies.
  TRef<ini::TIniSection> CompletedSlideSection(const std::string& sectionName);

  // Sub-effects as the show source sees them: variant i is usable when its description
  // section exists.
  bool VariantUsable(int64_t i);

  const std::vector<std::string>& KeyList() const { return keys_; }

 private:
  // The entry this reference's name designates (built-ins included), or null.
  TEffectProp* Designated() const;
  // The project list's definition this reference's name designates, or null.
  TEffectProp* DesignatedDefinition() const;
  // Digits of variant i over the option list, last option varying fastest; false when some
  // option has no item.
  bool VariantDigits(int64_t i, const std::vector<std::string>& options,
                     std::vector<int64_t>& digits) const;

  TDAXEffectManager* manager_;
  TRef<ini::TIniObject> object_;
  bool isReference_;
  std::string name_;
  std::vector<std::string> keys_;
  // Worked out at creation: the project list and the built-ins do not change afterwards.
  TEffectProp* designated_ = nullptr;
  TEffectProp* designatedDefinition_ = nullptr;
};

class TDAXEffectManager : public TRefObject {
 public:
  // A width or height <= 0 is read from "Main"; where that is missing or <= 0 as well, the
  // default size stands in (1920 x 1080). Raises the assertion failure "There is no IniFile
  // for EffectRuller" without a document.
  TDAXEffectManager(ini::TIniFile* document, int32_t frameHeight, int32_t frameWidth);

  ini::TIniFile* Document() const { return document_; }
  int32_t FrameWidth() const { return frameWidth_; }
  int32_t FrameHeight() const { return frameHeight_; }
  // "opt_slidescount" of "Times", limited to the source's maximum slide count.
  int32_t SlideCount() const;

  // The "TheEffect" object of "Main"; added (type "AnEffect", "time" = "2000") when missing.
  ini::TIniObject* ProjectList();
  std::string ProjectDefaultTimeText();
  int32_t ProjectDefaultTime();

  int32_t ProjectEntryCount();
  TEffectProp* ProjectEntry(int32_t i);
  TEffectProp* EntryByName(std::string_view name);
  // The entry of slide i's "TheEffect"; a slide section without one gets a reference to
  // "default" first. Null outside the slides or when the section is missing.
  TEffectProp* SlideEntry(int64_t i);
  int32_t SlideDuration(int64_t i);
  bool AnyEnabled();

  // Serialises the lazy caches and the few document changes the entries make.
  std::recursive_mutex& Lock() { return lock_; }

 private:
  friend class TEffectProp;
  TEffectProp* BuiltIn(std::string_view name);
  // Names of the built-ins missing from the project list, in their fixed order.
  std::vector<std::string_view> MissingBuiltIns();
  // The project entry for an object of the project list.
  TEffectProp* EntryOfProjectObject(ini::TIniObject* object);

  std::recursive_mutex lock_;
  ini::TIniFile* document_;
  int32_t frameWidth_;
  int32_t frameHeight_;
  ini::TIniObject* projectList_ = nullptr;
  std::vector<TRef<TEffectProp>> projectEntries_;
  std::vector<TRef<TEffectProp>> slideEntries_;
  std::vector<bool> slideEntryMade_;
  TRef<ini::TIniObject> builtInObjects_[3];
  TRef<TEffectProp> builtIns_[3];
  int anyEnabled_ = -1;  // not worked out yet
};

}  // namespace dax::show
