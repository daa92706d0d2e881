#include "show/EffectManager.h"

#include <algorithm>
#include <limits>

#include "foundation/Assert.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"
#include "show/SlideTimeline.h"

namespace dax::show {
namespace {

constexpr std::string_view kReferenceType = "AnEffect";
constexpr std::string_view kBuiltInNames[3] = {"default", "defowntime", "quick"};

using TLock = std::lock_guard<std::recursive_mutex>;

std::vector<std::string> SplitFields(const std::string& text, char separator) {
  std::vector<std::string> fields;
  ini::TCommaList list(text, separator);
  for (int k = 0; k < list.Count(); ++k) fields.push_back(list.AsString(k));
  return fields;
}

std::string ItemValue(const ini::TIniItem* item) {
  return item ? item->Value() : std::string();
}

// Empty: 0. First "1": 2, which becomes 1 at a later "0". Otherwise 0, which becomes 1 at
// a later "1".
int32_t ClassifyChecked(std::string_view text) {
  if (text.empty()) return kCheckedOff;
  const bool on = text.front() == '1';
  const char other = on ? '0' : '1';
  if (text.find(other, 1) != std::string_view::npos) return kCheckedPartly;
  return on ? kCheckedFully : kCheckedOff;
}

int64_t SaturatingMul(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  if (a > std::numeric_limits<int64_t>::max() / b) return std::numeric_limits<int64_t>::max();
  return a * b;
}

// The single empty key counts as no options at all.
bool NoOptions(const std::vector<std::string>& options) {
  return options.empty() || (options.size() == 1 && options[0].empty());
}

}  // namespace

TEffectProp::TEffectProp(TDAXEffectManager* manager, ini::TIniObject* object)
    : manager_(manager),
      object_(TRef<ini::TIniObject>::Share(object)),
      isReference_(SameText(object->Type(), kReferenceType)) {
  if (!isReference_) {
    name_ = FoldUtf8(object_->Name());
    keys_ = SplitFields(ItemValue(object_->FindKey("key")), ',');
    return;
  }
  name_ = FoldUtf8(ItemValue(object_->FindKey("ref")));
  TLock lock(manager_->Lock());
  // Chains of references are not a shape the authoring tool writes; following them could
  // loop, so only definitions and built-ins are designated.
  ini::TIniObject* definition = manager_->ProjectList()->FindObject(name_);
  if (definition && !SameText(definition->Type(), kReferenceType))
    designatedDefinition_ = manager_->EntryOfProjectObject(definition);
  designated_ = designatedDefinition_ ? designatedDefinition_ : manager_->BuiltIn(name_);
  if (designated_)
    keys_ = SplitFields(designated_->Value("key"), ',');
  else
    keys_ = {"checked"};
}

std::string TEffectProp::Name() const {
  return name_;
}

TEffectProp* TEffectProp::Designated() const {
  return designated_;
}

TEffectProp* TEffectProp::DesignatedDefinition() const {
  return designatedDefinition_;
}

std::string TEffectProp::KindName() const {
  if (!IsReference()) return object_->Type();
  if (TEffectProp* target = DesignatedDefinition()) return target->object_->Type();
  return Name();
}

int32_t TEffectProp::KindIndex() const {
  if (!IsReference()) return ini::AsInteger(object_->FindKey("stdidx"), -1);
  if (TEffectProp* target = DesignatedDefinition()) return target->KindIndex();
  const std::string name = Name();
  if (name == "default") return kKindDefault;
  if (name == "defowntime") return kKindDefOwnTime;
  if (name == "quick") return kKindQuick;
  return kKindDissolve;
}

const ini::TIniItem* TEffectProp::Item(std::string_view key) const {
  if (!IsReference() && SameText(key, "time")) {
    const ini::TIniList* holder = object_->Owner();
    return holder ? holder->FindKey("time") : nullptr;
  }
  return object_->FindKey(key);
}

std::string TEffectProp::Value(std::string_view key) const {
  TLock lock(manager_->Lock());
  if (!IsReference()) {
    if (SameText(key, "time")) {
      if (Name() == "defowntime") return manager_->ProjectDefaultTimeText();
      return ItemValue(Item("time"));
    }
    return ItemValue(object_->FindKey(key));
  }
  if (SameText(key, "caption")) {
    TEffectProp* target = Designated();
    return target ? target->Value("caption") : std::string();
  }
  if (const ini::TIniItem* own = object_->FindKey(key)) return own->Value();
  if (TEffectProp* target = DesignatedDefinition()) return target->Value(key);
  return ItemValue(manager_->ProjectList()->FindKey(key));
}

int32_t TEffectProp::CheckedState() const {
  if (keys_.empty()) return ini::AsBool(Item("checked"), false) ? kCheckedFully : kCheckedOff;
  bool partly = false;
  for (const std::string& key : keys_) {
    int32_t state = ClassifyChecked(ItemValue(Item(key)));
    if (state == kCheckedOff) return kCheckedOff;
    partly = partly || state == kCheckedPartly;
  }
  return partly ? kCheckedPartly : kCheckedFully;
}

int32_t TEffectProp::Duration() {
  TLock lock(manager_->Lock());
  if (!IsReference()) {
    const ini::TIniItem* time = Item("time");
    return time ? time->AsInteger(0) : manager_->ProjectDefaultTime();
  }
  const std::string name = Name();
  if (name == "default") return manager_->AnyEnabled() ? manager_->ProjectDefaultTime() : 0;
  if (name == "quick") return 0;
  const ini::TIniItem* own = object_->FindKey("time");
  if (name == "defowntime") {
    if (!manager_->AnyEnabled()) return 0;
    if (!own) {
      ini::TIniItem* added = object_->FindOrAddKey("time");
      added->SetValue(manager_->ProjectDefaultTimeText());
      own = added;
    }
  }
  return ini::AsInteger(own, 0);
}

std::vector<std::string> TEffectProp::OptionList() const {
  if (IsReference()) {
    TEffectProp* target = Designated();
    return target ? target->OptionList() : std::vector<std::string>();
  }
  if (!SameText(KindName(), "custom")) return {};
  const ini::TIniItem* field = object_->FindKey("sectionfield");
  if (!field || SameText(field->Value(), "checked")) return {};
  return SplitFields(field->Value(), ',');
}

int64_t TEffectProp::VariantCount() const {
  TLock lock(manager_->Lock());
  if (!SameText(KindName(), "custom")) return 0;
  int64_t count = 1;
  for (const std::string& option : OptionList()) {
    if (option.empty()) continue;
    const ini::TIniItem* item = Item(option);
    if (!item) continue;
    count = SaturatingMul(count, static_cast<int64_t>(item->Value().size()));
  }
  return count;
}

bool TEffectProp::VariantEnabled(int64_t i) const {
  TLock lock(manager_->Lock());
  if (i < 0 || i >= VariantCount()) return false;  // also false for other kinds (count 0)
  const std::vector<std::string> options = OptionList();
  if (NoOptions(options)) return IsReference() || CheckedState() != kCheckedOff;
  bool enabled = true;
  int64_t rest = i;
  for (auto it = options.rbegin(); it != options.rend(); ++it) {
    const ini::TIniItem* item = it->empty() ? nullptr : Item(*it);
    if (!item) {
      enabled = rest == 0;
      continue;
    }
    const std::string& value = item->Value();
    if (value.empty()) return false;
    const int64_t length = static_cast<int64_t>(value.size());
    const int64_t digit = rest % length;
    rest /= length;
    if (value[static_cast<size_t>(digit)] != '1') enabled = false;
  }
  return enabled;
}

bool TEffectProp::VariantDigits(int64_t i, const std::vector<std::string>& options,
                                std::vector<int64_t>& digits) const {
  digits.assign(options.size(), 0);
  int64_t rest = i;
  for (size_t k = options.size(); k-- > 0;) {
    const ini::TIniItem* item = options[k].empty() ? nullptr : Item(options[k]);
    if (!item || item->Value().empty()) return false;
    const int64_t length = static_cast<int64_t>(item->Value().size());
    digits[k] = rest % length;
    rest /= length;
  }
  return true;
}

const ini::TIniItem* TEffectProp::VariantKey(int64_t i) {
  TLock lock(manager_->Lock());
  if (IsReference()) {
    TEffectProp* target = Designated();
    return target ? target->VariantKey(i) : nullptr;
  }
  if (i < 0) return nullptr;
  const std::vector<std::string> options = OptionList();
  if (NoOptions(options)) {
    if (i != 0) return nullptr;
    if (const ini::TIniItem* key = object_->FindKey("slide_1")) return key;
    ini::TIniItem* added = object_->FindOrAddKey("slide_1");
    added->SetValue(Name());
    return added;
  }
  std::vector<int64_t> digits;
  if (!VariantDigits(i, options, digits)) return nullptr;
  std::string name = "slide_";
  for (size_t k = 0; k < options.size(); ++k) {
    if (k > 0) name += '_';
    std::string oneHot(Item(options[k])->Value().size(), '0');
    oneHot[static_cast<size_t>(digits[k])] = '1';
    name += oneHot;
  }
  return object_->FindKey(name);
}

ini::TIniSection* TEffectProp::VariantSection(int64_t i, bool create) {
  TLock lock(manager_->Lock());
  if (IsReference()) {
    TEffectProp* target = Designated();
    return target ? target->VariantSection(i, create) : nullptr;
  }
  const std::optional<std::string> name = VariantSectionName(i);
  if (!name) return nullptr;
  ini::TIniFile* document = manager_->Document();
  if (ini::TIniSection* section = document->FindSection(*name)) return section;
  return create ? document->AddSection(*name) : nullptr;
}

bool TEffectProp::VariantUsable(int64_t i) {
  return VariantSection(i, false) != nullptr;
}

std::optional<std::string> TEffectProp::VariantSectionName(int64_t i) {
  TLock lock(manager_->Lock());
  const ini::TIniItem* key = VariantKey(i);
  if (!key) return std::nullopt;
  return "effect_" + key->Value();
}

TRef<ini::TIniSection> TEffectProp::VariantSlideSection(int64_t i) {
  TLock lock(manager_->Lock());
  const std::optional<std::string> name = VariantSectionName(i);
  return name ? CompletedSlideSection(*name) : nullptr;
}

TRef<ini::TIniSection> TEffectProp::CompletedSlideSection(const std::string& name) {
  TLock lock(manager_->Lock());
  auto copy = MakeRef<ini::TIniSection>(name);
  if (const ini::TIniSection* source = manager_->Document()->FindSection(name))
    copy->Assign(*source);

  ini::TIniObject* root = copy->FindObject("Container", "Root");
  if (!root) root = copy->AddObject("Container", "Root");

  const std::vector<std::string> excluded = SplitFields(Value("sectionfield"), ',');
  auto isExcluded = [&excluded](std::string_view id) {
    for (const std::string& e : excluded)
      if (SameText(e, id)) return true;
    return false;
  };
  const int32_t userProps = std::min(ini::AsInteger(Item("userprops"), 0), kMaxUserProps);
  for (int32_t k = 1; k <= userProps; ++k) {
    const std::string propKey = "prop" + FormatInt(k);
    const std::string text = ItemValue(Item(propKey));
    if (text.empty()) continue;
    std::string id;
    ini::TCommaList fields(text, ';');
    for (int f = 0; f < fields.Count(); ++f) {
      std::string_view field = fields.Field(f);
      size_t colon = field.find(':');
      if (colon != std::string_view::npos && SameText(field.substr(0, colon), "id"))
        id = std::string(field.substr(colon + 1));
    }
    if (id.empty() || isExcluded(id)) continue;
    root->FindOrAddKey(propKey)->SetValue(text);
    root->FindOrAddKey(id)->SetValue(Value(id));
  }

  auto set = [&copy](std::string_view k, std::string_view v) {
    copy->FindOrAddKey(k)->SetValue(v);
  };
  auto copyKey = [&](std::string_view k, std::string_view def) {
    const ini::TIniItem* item = Item(k);
    set(k, item ? std::string_view(item->Value()) : def);
  };
  set("CustomEffBg", "0");
  switch (ini::AsInteger(Item("bstyle"), 0)) {
    case 1:
      set("bstyle", "1");
      copyKey("bcolor", "0");
      break;
    case 2:
      set("bstyle", "2");
      if (Item("bfn")) copyKey("bfn", "");
      copyKey("bsize", "100");
      break;
    case 3:
      set("bstyle", "3");
      copyKey("bcolor1", "16711680");
      copyKey("bcolor2", "0");
      copyKey("bcolorStyle", "1");
      break;
    case 4:
      set("bstyle", "4");
      copyKey("CustomEffBg", "3");
      break;
    default:
      break;
  }
  copyKey("TransparentBg", "0");
  set("CoverMode", "1");
  set("opt_scr_width", FormatInt(manager_->FrameWidth()));
  set("opt_scr_height", FormatInt(manager_->FrameHeight()));
  return copy;
}

TDAXEffectManager::TDAXEffectManager(ini::TIniFile* document, int32_t frameHeight,
                                     int32_t frameWidth)
    : document_(document), frameWidth_(frameWidth), frameHeight_(frameHeight) {
  DAX_ASSERT(document != nullptr, "There is no IniFile for EffectRuller");
  if (frameWidth_ <= 0)
    frameWidth_ = document_->ReadInteger("Main", "opt_scr_width", kDefaultFrameWidth);
  if (frameHeight_ <= 0)
    frameHeight_ = document_->ReadInteger("Main", "opt_scr_height", kDefaultFrameHeight);
  // A size of zero or less would be written into every slide-based transition.
  if (frameWidth_ <= 0) frameWidth_ = kDefaultFrameWidth;
  if (frameHeight_ <= 0) frameHeight_ = kDefaultFrameHeight;
  ProjectList();
}

int32_t TDAXEffectManager::SlideCount() const {
  return std::clamp(document_->ReadInteger("Times", "opt_slidescount", 0), 0, kMaxSlideCount);
}

ini::TIniObject* TDAXEffectManager::ProjectList() {
  TLock lock(lock_);
  if (projectList_) return projectList_;
  ini::TIniSection* main = document_->FindSection("Main");
  if (main) projectList_ = main->FindObject("TheEffect");
  if (!projectList_) {
    if (!main) main = document_->AddSection("Main");
    projectList_ = main->AddObject("TheEffect", kReferenceType);
    projectList_->WriteString("time", "2000");
  }
  return projectList_;
}

std::string TDAXEffectManager::ProjectDefaultTimeText() {
  return ItemValue(ProjectList()->FindKey("time"));
}

int32_t TDAXEffectManager::ProjectDefaultTime() {
  return ini::AsInteger(ProjectList()->FindKey("time"), 0);
}

std::vector<std::string_view> TDAXEffectManager::MissingBuiltIns() {
  std::vector<std::string_view> missing;
  for (std::string_view name : kBuiltInNames)
    if (!ProjectList()->FindObject(name)) missing.push_back(name);
  return missing;
}

int32_t TDAXEffectManager::ProjectEntryCount() {
  TLock lock(lock_);
  return ProjectList()->ObjectCount() + static_cast<int32_t>(MissingBuiltIns().size());
}

TEffectProp* TDAXEffectManager::ProjectEntry(int32_t i) {
  TLock lock(lock_);
  if (i < 0) return nullptr;
  const int32_t objects = ProjectList()->ObjectCount();
  if (i < objects) return EntryOfProjectObject(ProjectList()->Object(i));
  const auto missing = MissingBuiltIns();
  const size_t k = static_cast<size_t>(i - objects);
  return k < missing.size() ? BuiltIn(missing[k]) : nullptr;
}

TEffectProp* TDAXEffectManager::EntryOfProjectObject(ini::TIniObject* object) {
  TLock lock(lock_);
  const int index = object->ObjectIndex();
  if (index < 0) return nullptr;
  if (projectEntries_.size() < static_cast<size_t>(ProjectList()->ObjectCount()))
    projectEntries_.resize(static_cast<size_t>(ProjectList()->ObjectCount()));
  const size_t k = static_cast<size_t>(index);
  if (!projectEntries_[k] || projectEntries_[k]->Object() != object) {
    // Making a reference entry looks up other entries; keep no reference into the cache
    // across it.
    TRef<TEffectProp> made = MakeRef<TEffectProp>(this, object);
    projectEntries_[k] = made;
  }
  return projectEntries_[k].Get();
}

TEffectProp* TDAXEffectManager::BuiltIn(std::string_view name) {
  TLock lock(lock_);
  for (size_t k = 0; k < std::size(kBuiltInNames); ++k) {
    if (!SameText(name, kBuiltInNames[k])) continue;
    if (!builtIns_[k]) {
      auto object = MakeRef<ini::TIniObject>(kBuiltInNames[k], kBuiltInNames[k]);
      object->WriteString("caption", kBuiltInNames[k]);
      object->WriteString("islocal", "1");
      object->WriteString("group", k == 2 ? "GroupBasic" : "GroupFromProjectOptions");
      builtInObjects_[k] = object;
      builtIns_[k] = MakeRef<TEffectProp>(this, object.Get());
    }
    return builtIns_[k].Get();
  }
  return nullptr;
}

TEffectProp* TDAXEffectManager::EntryByName(std::string_view name) {
  TLock lock(lock_);
  if (ini::TIniObject* object = ProjectList()->FindObject(name))
    return EntryOfProjectObject(object);
  return BuiltIn(name);
}

TEffectProp* TDAXEffectManager::SlideEntry(int64_t i) {
  TLock lock(lock_);
  const int32_t count = SlideCount();
  if (i < 0 || i >= count) return nullptr;
  if (slideEntries_.size() != static_cast<size_t>(count)) {
    slideEntries_.resize(static_cast<size_t>(count));
    slideEntryMade_.resize(static_cast<size_t>(count), false);
  }
  const size_t k = static_cast<size_t>(i);
  if (!slideEntryMade_[k]) {
    slideEntryMade_[k] = true;
    if (ini::TIniSection* section = document_->FindSection("Slide" + FormatInt(i + 1))) {
      ini::TIniObject* object = section->FindObject("TheEffect");
      if (!object) {
        object = section->AddObject("TheEffect", kReferenceType);
        object->WriteString("ref", "default");
      }
      slideEntries_[k] = MakeRef<TEffectProp>(this, object);
    }
  }
  return slideEntries_[k].Get();
}

int32_t TDAXEffectManager::SlideDuration(int64_t i) {
  TLock lock(lock_);
  TEffectProp* entry = SlideEntry(i);
  return entry ? entry->Duration() : 0;
}

bool TDAXEffectManager::AnyEnabled() {
  TLock lock(lock_);
  if (anyEnabled_ < 0) {
    anyEnabled_ = 0;
    for (int32_t i = 0, n = ProjectEntryCount(); i < n; ++i) {
      TEffectProp* entry = ProjectEntry(i);
      if (entry && entry->CheckedState() != kCheckedOff) {
        anyEnabled_ = 1;
        break;
      }
    }
  }
  return anyEnabled_ == 1;
}

}  // namespace dax::show
