#include "ini/IniList.h"

#include <algorithm>

#include "foundation/Assert.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"
#include "ini/IniFile.h"
#include "ini/IniValue.h"

namespace dax::ini {
namespace {

template <class T>
void Reserve16(std::vector<T>& v) {
  if (v.capacity() == 0) v.reserve(TIniList::kInitialCapacity);
}

template <class T>
size_t SortedPosition(const std::vector<T*>& list, int itemIndex) {
  auto it = std::lower_bound(list.begin(), list.end(), itemIndex,
                             [](const T* entry, int index) { return entry->Index() < index; });
  return static_cast<size_t>(it - list.begin());
}

}  // namespace

TIniList::~TIniList() {
  Clear();
}

void TIniList::Clear() {
  // Detach first so that a child's clean-up never reaches back into a half-cleared list.
  std::vector<TIniItem*> items;
  items.swap(items_);
  for (TIniItem* item : items) {
    item->owner_ = nullptr;
    item->index_ = -1;
    item->next_ = nullptr;
    if (item->Kind() == TIniItemKind::Object) static_cast<TIniObject*>(item)->objectIndex_ = -1;
    if (item->Kind() == TIniItemKind::Section) static_cast<TIniSection*>(item)->sectionIndex_ = -1;
  }
  table_.clear();
  objects_.clear();
  namedCount_ = 0;
  insertPoint_ = 0;
  if (IsDocument()) static_cast<TIniFile*>(this)->sections_.clear();
  for (TIniItem* item : items) item->Release();
}

bool TIniList::IsAncestorOf(const TIniList* list) const {
  for (const TIniList* p = list; p; p = p->Owner())
    if (p == this) return true;
  return false;
}

void TIniList::Renumber(size_t from) {
  for (size_t i = from; i < items_.size(); ++i) items_[i]->index_ = static_cast<int32_t>(i);
}

void TIniList::RecomputeInsertionPoint() {
  insertPoint_ = 0;
  for (size_t i = items_.size(); i > 0; --i) {
    if (items_[i - 1]->HasName()) {
      insertPoint_ = static_cast<int>(i);
      return;
    }
  }
}

void TIniList::BuildTable() {
  size_t buckets = kInitialBuckets;
  while (buckets < static_cast<size_t>(namedCount_)) buckets *= 2;
  table_.assign(buckets, nullptr);
  tableShift_ = 32;
  for (size_t n = buckets; n > 1; n >>= 1) --tableShift_;
  // Ascending order with push-front leaves every chain in descending item index.
  for (TIniItem* item : items_) {
    if (!item->HasName()) continue;
    TIniItem*& head = table_[Bucket(item->hash_)];
    item->next_ = head;
    head = item;
  }
}

void TIniList::LinkIntoTable(TIniItem* item) {
  TIniItem** link = &table_[Bucket(item->hash_)];
  while (*link && (*link)->index_ > item->index_) link = &(*link)->next_;
  item->next_ = *link;
  *link = item;
}

void TIniList::UnlinkFromTable(TIniItem* item) {
  TIniItem** link = &table_[Bucket(item->hash_)];
  while (*link && *link != item) link = &(*link)->next_;
  if (*link) *link = item->next_;
  item->next_ = nullptr;
}

void TIniList::BuildTables() {
  // Iterative, so that the depth of the tree never matters.
  std::vector<TIniList*> pending{this};
  while (!pending.empty()) {
    TIniList* list = pending.back();
    pending.pop_back();
    list->BuildTable();
    for (TIniItem* item : list->items_)
      if (item->Kind() != TIniItemKind::Item) pending.push_back(static_cast<TIniList*>(item));
  }
}

void TIniList::AppendNew(TIniItem* item, TIniItemKind kind) {
  Reserve16(items_);
  item->owner_ = this;
  item->index_ = static_cast<int32_t>(items_.size());
  items_.push_back(item);
  if (item->HasName()) {
    ++namedCount_;
    insertPoint_ = item->index_ + 1;
    if (!table_.empty()) {
      if (static_cast<size_t>(namedCount_) > table_.size()) {
        BuildTable();
      } else {
        TIniItem*& head = table_[Bucket(item->hash_)];
        item->next_ = head;
        head = item;
      }
    }
  }
  if (kind == TIniItemKind::Object) {
    auto* object = static_cast<TIniObject*>(item);
    if (objects_.capacity() == 0) objects_.reserve(8);
    object->objectIndex_ = static_cast<int>(objects_.size());
    objects_.push_back(object);
  } else if (kind == TIniItemKind::Section && IsDocument()) {
    auto& sections = static_cast<TIniFile*>(this)->sections_;
    if (sections.capacity() == 0) sections.reserve(8);
    auto* section = static_cast<TIniSection*>(item);
    section->sectionIndex_ = static_cast<int>(sections.size());
    sections.push_back(section);
  }
  item->Attached();
}

int TIniList::Add(TRef<TIniItem> item) {
  int index = Count();
  if (item && item->owner_ == this) --index;  // moving an own item to the end
  return Insert(index, std::move(item)) ? index : -1;
}

bool TIniList::Insert(int index, TRef<TIniItem> item) {
  if (!item || item->IsAncestorOf(this)) return false;
  if (TIniList* previous = item->owner_) {
    int limit = previous == this ? Count() - 1 : Count();
    if (index < 0 || index > limit) return false;
    previous->ExtractAt(static_cast<size_t>(item->index_)).Detach();
    // The reference the old owner held now belongs to us; drop the caller's extra one.
    item->Release();
  }
  if (index < 0 || index > Count()) return false;
  TIniItem* raw = item.Detach();
  if (static_cast<size_t>(index) == items_.size()) {
    AppendNew(raw);
    return true;
  }
  Reserve16(items_);
  items_.insert(items_.begin() + index, raw);
  raw->owner_ = this;
  Renumber(static_cast<size_t>(index));
  if (index < insertPoint_) ++insertPoint_;
  if (raw->HasName()) {
    ++namedCount_;
    if (index + 1 > insertPoint_) insertPoint_ = index + 1;
    if (!table_.empty()) {
      if (static_cast<size_t>(namedCount_) > table_.size())
        BuildTable();
      else
        LinkIntoTable(raw);
    }
  }
  TIniItemKind kind = raw->Kind();
  if (kind == TIniItemKind::Object) {
    auto* object = static_cast<TIniObject*>(raw);
    size_t at = SortedPosition(objects_, index);
    objects_.insert(objects_.begin() + static_cast<ptrdiff_t>(at), object);
    for (size_t i = at; i < objects_.size(); ++i) objects_[i]->objectIndex_ = static_cast<int>(i);
  } else if (kind == TIniItemKind::Section && IsDocument()) {
    auto& sections = static_cast<TIniFile*>(this)->sections_;
    size_t at = SortedPosition(sections, index);
    sections.insert(sections.begin() + static_cast<ptrdiff_t>(at), static_cast<TIniSection*>(raw));
    for (size_t i = at; i < sections.size(); ++i) sections[i]->sectionIndex_ = static_cast<int>(i);
  }
  raw->Attached();
  return true;
}

TRef<TIniItem> TIniList::Extract(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return ExtractAt(static_cast<size_t>(index));
}

TRef<TIniItem> TIniList::ExtractAt(size_t index) {
  TIniItem* item = items_[index];
  DAX_ASSERT(item->index_ == static_cast<int32_t>(index), "TIniItem.Index mismatch");
  TIniItemKind kind = item->Kind();
  if (kind == TIniItemKind::Object) {
    auto* object = static_cast<TIniObject*>(item);
    size_t at = static_cast<size_t>(object->objectIndex_);
    DAX_ASSERT(at < objects_.size() && objects_[at] == object, "TIniObject.ObjectIndex mismatch");
    objects_.erase(objects_.begin() + static_cast<ptrdiff_t>(at));
    for (size_t i = at; i < objects_.size(); ++i) objects_[i]->objectIndex_ = static_cast<int>(i);
    object->objectIndex_ = -1;
  } else if (kind == TIniItemKind::Section && IsDocument()) {
    auto& sections = static_cast<TIniFile*>(this)->sections_;
    auto* section = static_cast<TIniSection*>(item);
    size_t at = static_cast<size_t>(section->sectionIndex_);
    DAX_ASSERT(at < sections.size() && sections[at] == section,
               "TIniSection.SectionIndex mismatch");
    sections.erase(sections.begin() + static_cast<ptrdiff_t>(at));
    for (size_t i = at; i < sections.size(); ++i) sections[i]->sectionIndex_ = static_cast<int>(i);
    section->sectionIndex_ = -1;
  }
  if (item->HasName()) {
    if (!table_.empty()) UnlinkFromTable(item);
    --namedCount_;
  }
  items_.erase(items_.begin() + static_cast<ptrdiff_t>(index));
  Renumber(index);
  if (static_cast<int>(index) < insertPoint_) {
    if (item->HasName() && static_cast<int>(index) + 1 == insertPoint_)
      RecomputeInsertionPoint();
    else
      --insertPoint_;
  }
  item->owner_ = nullptr;
  item->index_ = -1;
  item->next_ = nullptr;
  item->Detached();
  return TRef<TIniItem>::Adopt(item);
}

void TIniList::NameChanging(TIniItem* item) {
  if (item->HasName()) {
    if (!table_.empty()) UnlinkFromTable(item);
    --namedCount_;
  }
}

void TIniList::NameChanged(TIniItem* item) {
  if (item->HasName()) {
    ++namedCount_;
    if (!table_.empty()) {
      if (static_cast<size_t>(namedCount_) > table_.size())
        BuildTable();
      else
        LinkIntoTable(item);
    }
  }
  RecomputeInsertionPoint();
}

TRef<TIniList> TIniList::CreateEmpty() const {
  return MakeRef<TIniList>();
}

void TIniList::Assign(const TIniList& source) {
  if (&source == this) return;
  // The source may lie below this list, where Clear would free it: copy it first.
  std::vector<TRef<TIniItem>> copies;
  copies.reserve(source.items_.size());
  for (const TIniItem* child : source.items_) copies.push_back(child->Clone());
  Clear();
  for (TRef<TIniItem>& copy : copies) AppendNew(copy.Detach());
  BuildTable();
}

TRef<TIniItem> TIniList::Clone() const {
  TRef<TIniList> copy = CreateEmpty();
  copy->SetName(Name());
  copy->SetValue(Value());
  copy->Assign(*this);
  return copy;
}

TIniItem* TIniList::AddItem(std::string_view name, std::string_view value) {
  TIniItem* item = new TIniItem(name, value);
  AppendNew(item);
  return item;
}

TIniObject* TIniList::AddObject(std::string_view name, std::string_view type) {
  auto object = MakeRef<TIniObject>(name, type);
  object->BuildTable();
  int index = objects_.empty() ? insertPoint_ : objects_.back()->Index() + 1;
  TIniObject* raw = object.Get();
  Insert(index, std::move(object));
  return raw;
}

template <class Match>
const TIniItem* TIniList::FindMatch(uint32_t hash, Match&& match) const {
  if (!table_.empty()) {
    for (const TIniItem* p = table_[Bucket(hash)]; p; p = p->next_)
      if (p->hash_ == hash && match(p)) return p;
    return nullptr;
  }
  for (size_t i = items_.size(); i > 0; --i) {
    const TIniItem* p = items_[i - 1];
    if (p->hash_ == hash && p->HasName() && match(p)) return p;
  }
  return nullptr;
}

const TIniItem* TIniList::FindKey(std::string_view name) const {
  if (name.empty()) return nullptr;
  return FindMatch(IniNameHash(name),
                   [name](const TIniItem* p) { return SameIniName(p->Name(), name); });
}

const TIniItem* TIniList::Find(std::string_view name, TIniItemKind kind) const {
  if (name.empty()) return nullptr;
  return FindMatch(IniNameHash(name), [name, kind](const TIniItem* p) {
    return p->IsKind(kind) && SameIniName(p->Name(), name);
  });
}

const TIniItem* TIniList::FindIndexed(std::string_view prefix, int64_t n) const {
  char digits[24];
  size_t count = 0;
  uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (n < 0) digits[count++] = '-';
  std::reverse(digits, digits + count);
  std::string_view suffix(digits, count);
  // The hash runs on over the digits, which fold to themselves.
  uint32_t hash = IniNameHash(prefix);
  for (char c : suffix) {
    hash += static_cast<unsigned char>(c);
    hash -= (hash << 13) | (hash >> 19);
  }
  return FindMatch(hash, [prefix, suffix](const TIniItem* p) {
    std::string_view name = p->Name();
    return name.size() >= suffix.size() && name.ends_with(suffix) &&
           SameIniName(name.substr(0, name.size() - suffix.size()), prefix);
  });
}

const TIniObject* TIniList::FindObject(std::string_view name) const {
  return static_cast<const TIniObject*>(Find(name, TIniItemKind::Object));
}

const TIniObject* TIniList::FindObject(std::string_view name, std::string_view type) const {
  if (name.empty()) return nullptr;
  return static_cast<const TIniObject*>(
      FindMatch(IniNameHash(name), [name, type](const TIniItem* p) {
        return p->Kind() == TIniItemKind::Object && SameIniName(p->Name(), name) &&
               SameIniName(p->Value(), type);
      }));
}

TIniItem* TIniList::FindOrAddKey(std::string_view name) {
  if (!name.empty()) {
    if (table_.empty()) BuildTable();
    const TIniItem* found = FindMatch(IniNameHash(name), [name](const TIniItem* p) {
      return p->Kind() == TIniItemKind::Item && SameIniName(p->Name(), name);
    });
    if (found) return const_cast<TIniItem*>(found);
  }
  auto key = MakeRef<TIniItem>(name, std::string_view());
  TIniItem* raw = key.Get();
  Insert(insertPoint_, std::move(key));
  return raw;
}

TIniObject* TIniList::NextObject(const TIniObject* object) const {
  if (!object || object->Owner() != this) return nullptr;
  size_t next = static_cast<size_t>(object->ObjectIndex()) + 1;
  return next < objects_.size() ? objects_[next] : nullptr;
}

TIniList* TIniList::FindOrAddPathList(std::string_view component, bool atRoot) {
  if (atRoot) return static_cast<TIniFile*>(this)->AddSection(component);
  if (component.empty()) {
    if (TIniObject* first = FirstObject()) return first;
  } else if (TIniObject* found = FindObject(component)) {
    return found;
  }
  return AddObject(component, {});
}

TIniItem* TIniList::ResolvePath(std::string_view path) {
  TIniList* list = this;
  for (;;) {
    size_t colon = path.find(':');
    if (colon == std::string_view::npos) break;
    list = list->FindOrAddPathList(path.substr(0, colon), list->IsDocument());
    path.remove_prefix(colon + 1);
  }
  if (path.empty()) return list;
  if (TIniItem* found = list->FindKey(path)) return found;
  return list->FindOrAddKey(path);
}

const TIniItem* TIniList::FindPath(std::string_view path) const {
  const TIniList* list = this;
  for (;;) {
    size_t colon = path.find(':');
    if (colon == std::string_view::npos) break;
    std::string_view component = path.substr(0, colon);
    if (list->IsDocument())
      list = static_cast<const TIniFile*>(list)->FindSection(component);
    else if (component.empty())
      list = list->FirstObject();
    else
      list = list->FindObject(component);
    if (!list) return nullptr;
    path.remove_prefix(colon + 1);
  }
  if (path.empty()) return list;
  return list->FindKey(path);
}

std::string TIniList::ReadString(std::string_view key, std::string_view def) const {
  return AsString(FindKey(key), def);
}
int32_t TIniList::ReadInteger(std::string_view key, int32_t def) const {
  return ini::AsInteger(FindKey(key), def);
}
int64_t TIniList::ReadInt64(std::string_view key, int64_t def) const {
  return ini::AsInt64(FindKey(key), def);
}
double TIniList::ReadFloat(std::string_view key, double def) const {
  return ini::AsFloat(FindKey(key), def);
}
bool TIniList::ReadBool(std::string_view key, bool def) const {
  return ini::AsBool(FindKey(key), def);
}
void TIniList::WriteString(std::string_view key, std::string_view value) {
  FindOrAddKey(key)->SetValue(value);
}
void TIniList::WriteInteger(std::string_view key, int32_t value) {
  FindOrAddKey(key)->SetInteger(value);
}

void TIniList::WriteChildren(TTextSaver& saver, int indent) const {
  for (const TIniItem* item : items_) item->Write(saver, indent);
}

void TIniList::Write(TTextSaver& saver, int indent) const {
  WriteChildren(saver, indent);
}

TRef<TIniList> TIniObject::CreateEmpty() const {
  return MakeRef<TIniObject>();
}

void TIniObject::Write(TTextSaver& saver, int indent) const {
  saver.WriteIndent(indent);
  saver.WriteText("object");
  if (!Name().empty() || !Type().empty()) {
    saver.WriteText(" ");
    saver.WriteText(Name());
  }
  // A name holding ":" needs the separator even without a type, or it would read back split.
  if (!Type().empty() || Name().find(':') != std::string::npos) {
    saver.WriteText(":");
    saver.WriteText(Type());
  }
  saver.WriteLineEnd();
  WriteChildren(saver, indent + 2);
  saver.WriteIndent(indent);
  saver.WriteText("end");
  saver.WriteLineEnd();
}

TRef<TIniList> TIniSection::CreateEmpty() const {
  return MakeRef<TIniSection>();
}

void TIniSection::Write(TTextSaver& saver, int indent) const {
  saver.WriteText("[");
  saver.WriteText(Name());
  saver.WriteText("]");
  saver.WriteLineEnd();
  WriteChildren(saver, indent);
}

}  // namespace dax::ini
