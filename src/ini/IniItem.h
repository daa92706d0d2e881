// One line of an INI document: an optional name and a value, both UTF-8 bytes, owned by the
// list that holds it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "foundation/RefObject.h"
#include "ini/CommaList.h"
#include "ini/TextSaver.h"

namespace dax::ini {

// Names and values: UTF-8 bytes. The interface hands them out as they are stored.
using TByteString = std::string;

class TIniList;

// What an item is, for lookups by class: a class matches itself and its subclasses.
enum class TIniItemKind { Item, List, Object, Section, File };

// Hash of the case-folded UTF-8 bytes: h += byte; h -= rotl(h, 13), from 0.
uint32_t IniNameHash(std::string_view name);
// Names compare without regard to case (Unicode simple folding), consistent with the hash.
bool SameIniName(std::string_view a, std::string_view b);

class TIniItem : public TTextWriter {
 public:
  TIniItem() = default;
  TIniItem(std::string_view name, std::string_view value);

  // Items made while a document is parsed share blocks of storage (see ItemArena.h).
  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;

  TIniList* Owner() const { return owner_; }
  // Position in the owner's items; -1 when not owned.
  int Index() const { return index_; }

  const TByteString& Name() const { return name_; }
  // Re-files the item in its owner's name table.
  void SetName(std::string_view name);
  const TByteString& Value() const { return value_; }
  void SetValue(std::string_view value) { value_.assign(value.data(), value.size()); }
  bool HasName() const { return !name_.empty(); }
  uint32_t NameHash() const { return hash_; }

  virtual TIniItemKind Kind() const { return TIniItemKind::Item; }
  // True when this item is of `kind` or one of its subclasses.
  bool IsKind(TIniItemKind kind) const;

  void WriteTo(TTextSaver& saver) const override { Write(saver, 0); }
  virtual void Write(TTextSaver& saver, int indent) const;
  // True when this item is `list` or holds it somewhere below.
  virtual bool IsAncestorOf(const TIniList* list) const;
  virtual TRef<TIniItem> Clone() const;

  int32_t AsInteger(int32_t def) const;
  int64_t AsInt64(int64_t def) const;
  double AsFloat(double def) const;
  bool AsBool(bool def) const;
  void SetInteger(int32_t value);
  void SetInt64(int64_t value);
  void SetFloat(double value);
  void SetBool(bool value);
  TCommaList Split(char separator = ',') const { return TCommaList(value_, separator); }
  // Position of the first of `names` equal to the value, else def.
  int ValueIndex(std::span<const std::string_view> names, int def, bool ignoreCase) const;
  int ValueIndex(std::initializer_list<std::string_view> names, int def, bool ignoreCase) const {
    return ValueIndex(std::span<const std::string_view>(names.begin(), names.size()), def,
                      ignoreCase);
  }

 protected:
  ~TIniItem() override = default;
  // Detaches the item from its owner.
  void Dispose() override;
  virtual void Attached() {}
  virtual void Detached() {}

 private:
  friend class TIniList;
  friend class TIniParser;

  TIniList* owner_ = nullptr;
  TIniItem* next_ = nullptr;  // next in the owner's name-table bucket
  int32_t index_ = -1;
  uint32_t hash_ = 0;
  TByteString name_;
  TByteString value_;
};

// Readings that accept an absent item (null) and give the default then.
inline int32_t AsInteger(const TIniItem* item, int32_t def) {
  return item ? item->AsInteger(def) : def;
}
inline int64_t AsInt64(const TIniItem* item, int64_t def) {
  return item ? item->AsInt64(def) : def;
}
inline double AsFloat(const TIniItem* item, double def) {
  return item ? item->AsFloat(def) : def;
}
inline bool AsBool(const TIniItem* item, bool def) {
  return item ? item->AsBool(def) : def;
}
inline std::string AsString(const TIniItem* item, std::string_view def) {
  return item ? item->Value() : std::string(def);
}

}  // namespace dax::ini
