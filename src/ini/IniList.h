// Items that hold ordered child items (sections, objects, the document), with a hashed,
// case-folded name table where the last occurrence of a name wins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ini/IniItem.h"

namespace dax::ini {

class TIniObject;

// Lookups (Find*, FirstObject, NextObject, FindPath) only find: they never modify the list,
// so several threads may share a document once its name tables are built (BuildTables; a
// loaded document has them). A list without a table is searched from the end, still
// without modifying it.
class TIniList : public TIniItem {
 public:
  static constexpr size_t kInitialCapacity = 16;
  static constexpr size_t kInitialBuckets = 16;

  TIniList() = default;
  TIniList(std::string_view name, std::string_view value) : TIniItem(name, value) {}

  TIniItemKind Kind() const override { return TIniItemKind::List; }

  int Count() const { return static_cast<int>(items_.size()); }
  TIniItem* Item(int index) const { return items_[static_cast<size_t>(index)]; }
  TIniItem* operator[](int index) const { return Item(index); }
  int NamedCount() const { return namedCount_; }
  // The index just after the last named child.
  int InsertionPoint() const { return insertPoint_; }

  // Appends; returns the index, or -1 when refused (null, or a list into itself or below).
  // An item owned by another list is removed there first.
  int Add(TRef<TIniItem> item);
  bool Insert(int index, TRef<TIniItem> item);
  // Removes without freeing; the caller gets the reference.
  TRef<TIniItem> Extract(int index);
  void Delete(int index) { Extract(index); }
  virtual void Clear();
  virtual TRef<TIniList> CreateEmpty() const;
  // Clears, then copies the children of source.
  virtual void Assign(const TIniList& source);
  TRef<TIniItem> Clone() const override;

  // Convenience: appends a new key (name may be empty for a text line).
  TIniItem* AddItem(std::string_view name, std::string_view value);
  // A new object after the last object of the list, or at the insertion point when none.
  TIniObject* AddObject(std::string_view name, std::string_view type);

  const TIniItem* FindKey(std::string_view name) const;
  TIniItem* FindKey(std::string_view name) {
    return const_cast<TIniItem*>(std::as_const(*this).FindKey(name));
  }
  // The child of that kind (or a subclass) with that name.
  const TIniItem* Find(std::string_view name, TIniItemKind kind) const;
  TIniItem* Find(std::string_view name, TIniItemKind kind) {
    return const_cast<TIniItem*>(std::as_const(*this).Find(name, kind));
  }
  // The child whose name is prefix followed by the decimal digits of n.
  const TIniItem* FindIndexed(std::string_view prefix, int64_t n) const;
  TIniItem* FindIndexed(std::string_view prefix, int64_t n) {
    return const_cast<TIniItem*>(std::as_const(*this).FindIndexed(prefix, n));
  }
  const TIniObject* FindObject(std::string_view name) const;
  TIniObject* FindObject(std::string_view name) {
    return const_cast<TIniObject*>(std::as_const(*this).FindObject(name));
  }
  const TIniObject* FindObject(std::string_view name, std::string_view type) const;
  TIniObject* FindObject(std::string_view name, std::string_view type) {
    return const_cast<TIniObject*>(std::as_const(*this).FindObject(name, type));
  }
  // The key of exactly class TIniItem with that name, else a new key at the insertion point.
  TIniItem* FindOrAddKey(std::string_view name);

  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  TIniObject* Object(int objectIndex) const { return objects_[static_cast<size_t>(objectIndex)]; }
  TIniObject* FirstObject() const { return objects_.empty() ? nullptr : objects_.front(); }
  TIniObject* NextObject(const TIniObject* object) const;

  // Path of sections/objects separated by ":"; the last component names an item, or is
  // empty to name the list reached. Missing steps are added.
  TIniItem* ResolvePath(std::string_view path);
  // The same walk, finding only; null when a step is missing.
  const TIniItem* FindPath(std::string_view path) const;

  std::string ReadString(std::string_view key, std::string_view def) const;
  int32_t ReadInteger(std::string_view key, int32_t def) const;
  int64_t ReadInt64(std::string_view key, int64_t def) const;
  double ReadFloat(std::string_view key, double def) const;
  bool ReadBool(std::string_view key, bool def) const;
  void WriteString(std::string_view key, std::string_view value);
  void WriteInteger(std::string_view key, int32_t value);

  // Builds the name table of this list and of every list below it.
  void BuildTables();
  bool HasTable() const { return !table_.empty(); }
  // Buckets in the name table; 0 when it is not built.
  size_t TableSize() const { return table_.size(); }
  // The bucket of a name hash while the table is built. The hash's low bits cluster for
  // names that differ only in a numeric suffix ("Key0".."Key999"), so the bucket comes from
  // the high bits of a multiplicative mix.
  size_t Bucket(uint32_t hash) const { return (hash * 0x9E3779B9u) >> tableShift_; }

  void Write(TTextSaver& saver, int indent) const override;
  bool IsAncestorOf(const TIniList* list) const override;

 protected:
  ~TIniList() override;
  void WriteChildren(TTextSaver& saver, int indent) const;
  // Appends a freshly made, unowned item (the parser's path); takes the reference.
  void AppendNew(TIniItem* item) { AppendNew(item, item->Kind()); }
  void AppendNew(TIniItem* item, TIniItemKind kind);
  virtual bool IsDocument() const { return false; }

 private:
  friend class TIniItem;
  friend class TIniFile;
  friend class TIniParser;

  template <class Match>
  const TIniItem* FindMatch(uint32_t hash, Match&& match) const;
  void BuildTable();
  void LinkIntoTable(TIniItem* item);
  void UnlinkFromTable(TIniItem* item);
  void Renumber(size_t from);
  void RecomputeInsertionPoint();
  void NameChanging(TIniItem* item);
  void NameChanged(TIniItem* item);
  TRef<TIniItem> ExtractAt(size_t index);
  TIniList* FindOrAddPathList(std::string_view component, bool atRoot);

  std::vector<TIniItem*> items_;  // one reference each
  std::vector<TIniItem*> table_;  // bucket heads, length a power of two; empty = not built
  unsigned tableShift_ = 32;      // 32 - log2(table length)
  int namedCount_ = 0;
  int insertPoint_ = 0;
  std::vector<TIniObject*> objects_;  // child objects in item order
};

// A nested, named and typed block: the name is the object name, the value its type.
class TIniObject : public TIniList {
 public:
  TIniObject() = default;
  TIniObject(std::string_view name, std::string_view type) : TIniList(name, type) {}

  TIniItemKind Kind() const override { return TIniItemKind::Object; }
  const TByteString& Type() const { return Value(); }
  void SetType(std::string_view type) { SetValue(type); }
  // Position in the owner's object list; -1 when not owned.
  int ObjectIndex() const { return objectIndex_; }

  TRef<TIniList> CreateEmpty() const override;
  void Write(TTextSaver& saver, int indent) const override;

 protected:
  ~TIniObject() override = default;

 private:
  friend class TIniList;
  int objectIndex_ = -1;
};

// A section, opened by a header line in square brackets.
class TIniSection : public TIniList {
 public:
  TIniSection() = default;
  explicit TIniSection(std::string_view name) : TIniList(name, {}) {}

  TIniItemKind Kind() const override { return TIniItemKind::Section; }
  // Position in the document's section list; -1 when not in a document.
  int SectionIndex() const { return sectionIndex_; }

  TRef<TIniList> CreateEmpty() const override;
  void Write(TTextSaver& saver, int indent) const override;

 protected:
  ~TIniSection() override = default;

 private:
  friend class TIniList;
  friend class TIniFile;
  int sectionIndex_ = -1;
};

}  // namespace dax::ini
