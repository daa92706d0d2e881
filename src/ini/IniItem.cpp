#include "ini/IniItem.h"

#include <cstring>

#include "foundation/Strings.h"
#include "ini/IniList.h"
#include "ini/IniValue.h"
#include "ini/ItemArena.h"

namespace dax::ini {
namespace {

inline uint32_t HashStep(uint32_t h, unsigned char byte) {
  h += byte;
  return h - ((h << 13) | (h >> 19));
}

inline unsigned char AsciiFold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

}  // namespace

uint32_t IniNameHash(std::string_view name) {
  uint32_t h = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 0x80) {
      // ASCII bytes are code point boundaries, so the rest can be folded on its own.
      for (unsigned char f : FoldUtf8(name.substr(i))) h = HashStep(h, f);
      return h;
    }
    h = HashStep(h, AsciiFold(c));
  }
  return h;
}

bool SameIniName(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) return FoldUtf8(a.substr(i)) == FoldUtf8(b.substr(i));
    if (AsciiFold(x) != AsciiFold(y)) return false;
  }
  return a.size() == b.size();
}

void* TIniItem::operator new(size_t size) {
  return AllocateIniItem(size);
}
void TIniItem::operator delete(void* p) noexcept {
  FreeIniItem(p);
}

TIniItem::TIniItem(std::string_view name, std::string_view value)
    : hash_(name.empty() ? 0 : IniNameHash(name)), name_(name), value_(value) {}

void TIniItem::SetName(std::string_view name) {
  if (owner_) owner_->NameChanging(this);
  name_.assign(name.data(), name.size());
  hash_ = name_.empty() ? 0 : IniNameHash(name_);
  if (owner_) owner_->NameChanged(this);
}

bool TIniItem::IsKind(TIniItemKind kind) const {
  TIniItemKind own = Kind();
  switch (kind) {
    case TIniItemKind::Item:
      return true;
    case TIniItemKind::List:
      return own != TIniItemKind::Item;
    case TIniItemKind::Object:
      return own == TIniItemKind::Object;
    case TIniItemKind::Section:
      return own == TIniItemKind::Section || own == TIniItemKind::File;
    case TIniItemKind::File:
      return own == TIniItemKind::File;
  }
  return false;
}

void TIniItem::Write(TTextSaver& saver, int indent) const {
  if (!name_.empty() || !value_.empty()) {
    saver.WriteIndent(indent);
    if (!name_.empty()) {
      saver.WriteText(name_);
      saver.WriteText("=");
    }
    saver.WriteText(value_);
  }
  saver.WriteLineEnd();
}

bool TIniItem::IsAncestorOf(const TIniList*) const {
  return false;
}

TRef<TIniItem> TIniItem::Clone() const {
  return MakeRef<TIniItem>(name_, value_);
}

void TIniItem::Dispose() {
  // Only reachable while owned when a reference was released that was never taken; leave
  // the owner consistent anyway.
  if (owner_) owner_->ExtractAt(static_cast<size_t>(index_)).Detach();
  TTextWriter::Dispose();
}

int32_t TIniItem::AsInteger(int32_t def) const {
  return ParseIniInteger(value_).value_or(def);
}
int64_t TIniItem::AsInt64(int64_t def) const {
  return ParseIniInt64(value_).value_or(def);
}
double TIniItem::AsFloat(double def) const {
  return ParseIniFloat(value_).value_or(def);
}
bool TIniItem::AsBool(bool def) const {
  return ParseIniBool(value_).value_or(def);
}

void TIniItem::SetInteger(int32_t value) {
  value_ = FormatIniInteger(value);
}
void TIniItem::SetInt64(int64_t value) {
  value_ = FormatIniInteger(value);
}
void TIniItem::SetFloat(double value) {
  value_ = FormatIniFloat(value);
}
void TIniItem::SetBool(bool value) {
  value_ = FormatIniBool(value);
}

int TIniItem::ValueIndex(std::span<const std::string_view> names, int def, bool ignoreCase) const {
  for (size_t i = 0; i < names.size(); ++i) {
    if (ignoreCase ? SameText(names[i], value_) : names[i] == value_) return static_cast<int>(i);
  }
  return def;
}

}  // namespace dax::ini
