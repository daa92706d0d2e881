// An INI document: keys before the first header belong to the root; sections follow, each
// holding keys, text lines and nested "object ... end" blocks. Create with
// MakeRef<TIniFile>(); load, then share read-only (lookups never modify a loaded document).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ini/CommaList.h"
#include "ini/IniItem.h"
#include "ini/IniList.h"
#include "ini/IniValue.h"
#include "ini/TextSaver.h"

namespace dax {
class TStream;
}

namespace dax::ini {

class TIniFile : public TIniSection {
 public:
  // Streams of this size or more are not read.
  static constexpr int64_t kMaxStreamSize = 134217728;
  // The rest of the stream as LoadFromStream reads it, for callers that keep the bytes too:
  // false when it cannot be read, is too large or is cut short. Never throws.
  static bool ReadDocumentBytes(TStream& stream, std::string& bytes);
  // Deeper object headers are kept as text lines.
  static constexpr int kMaxObjectDepth = 256;

  TIniFile() = default;

  TIniItemKind Kind() const override { return TIniItemKind::File; }

  void Clear() override;
  // Clears, reads the rest of the stream (UTF-8 with EF BB BF, UTF-16 LE with FF FE, else
  // Windows-1252), parses and builds every name table. False, with an empty document, when
  // the stream cannot be read, is too large or is cut short.
  bool LoadFromStream(TStream& stream);
  bool LoadFromFile(const std::string& path);
  // The same decoding from bytes in memory.
  void LoadFromBytes(std::string_view bytes);
  // Parses UTF-8 text (no byte order mark detection; invalid sequences become U+FFFD).
  void LoadFromText(std::string_view utf8);
  // Clears, unescapes the value-text form and parses; false (empty document) on a bad escape.
  bool LoadFromValueText(std::string_view text);
  std::string SaveToValueText() const;
  // False when writing raised an error.
  bool SaveToStream(TStream& stream, bool withByteOrderMark = true) const;
  bool SaveToFile(const std::string& path) const;
  // The written form: UTF-8, CR LF, with the byte order mark when asked.
  std::string SaveToBytes(bool withByteOrderMark = true) const;

  void Assign(const TIniList& source) override;
  // Copies a list's children, or writes any other writer to text and parses it.
  void Assign(const TTextWriter& source);
  TRef<TIniList> CreateEmpty() const override;

  // The section of that name, or the root itself for the empty name; null when absent.
  const TIniSection* FindSection(std::string_view name) const;
  TIniSection* FindSection(std::string_view name) {
    return const_cast<TIniSection*>(std::as_const(*this).FindSection(name));
  }
  // FindSection, else a new section (holding one empty line) appended to the document.
  TIniSection* AddSection(std::string_view name);

  int SectionCount() const { return static_cast<int>(sections_.size()); }
  TIniSection* Section(int sectionIndex) const {
    return sections_[static_cast<size_t>(sectionIndex)];
  }
  const std::vector<TIniSection*>& Sections() const { return sections_; }

  using TIniList::ReadBool;
  using TIniList::ReadFloat;
  using TIniList::ReadInt64;
  using TIniList::ReadInteger;
  using TIniList::ReadString;
  using TIniList::WriteInteger;
  using TIniList::WriteString;
  // The value of key in section (empty section name: the root), or def when either is
  // missing or the value does not convert.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  int64_t ReadInt64(std::string_view section, std::string_view key, int64_t def) const;
  double ReadFloat(std::string_view section, std::string_view key, double def) const;
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  const TIniItem* FindKey(std::string_view section, std::string_view key) const;
  using TIniList::FindKey;
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteFloat(std::string_view section, std::string_view key, double value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  void Write(TTextSaver& saver, int indent) const override;

 protected:
  ~TIniFile() override;
  bool IsDocument() const override { return true; }

 private:
  friend class TIniList;
  friend class TIniParser;
  std::vector<TIniSection*> sections_;  // in item order; not owning
};

// Byte decoding shared by every loader: the three encodings above, to UTF-8, with invalid
// UTF-8 sequences replaced by U+FFFD.
std::string DecodeIniBytes(std::string_view bytes);
// Replaces invalid or cut UTF-8 sequences with U+FFFD (EF BF BD).
std::string SanitizeUtf8(std::string_view text);

}  // namespace dax::ini
