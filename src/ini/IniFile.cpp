#include "ini/IniFile.h"

#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "foundation/Stream.h"
#include "foundation/Strings.h"
#include "ini/IniParser.h"
#include "ini/ItemArena.h"

namespace dax::ini {

// Builds the tree from text, one line at a time, without recursion: open objects are a
// stack, bounded by TIniFile::kMaxObjectDepth.
class TIniParser {
 public:
  explicit TIniParser(TIniFile& file) : file_(file), current_(&file) {}

  void Parse(std::string_view text) {
    arena_.Expect(CountLines(text) * (sizeof(TIniItem) + sizeof(void*)));
    TIniParserParams params(text);
    while (!params.AtEnd()) {
      switch (ReadIniLine(params)) {
        case TIniLineKind::Text:
          Append(Make<TIniItem>(std::string_view(), params.Value()));
          break;
        case TIniLineKind::Key:
          Append(Make<TIniItem>(params.Name(), params.Value()));
          break;
        case TIniLineKind::Section:
          OpenSection(params.Name());
          break;
        case TIniLineKind::Object:
          if (open_.size() >= static_cast<size_t>(TIniFile::kMaxObjectDepth)) {
            // Too deep: kept as text, and its end line will be text too.
            ++suppressed_;
            Append(Make<TIniItem>(std::string_view(), WholeLine(params)));
          } else {
            auto* object = Make<TIniObject>(params.Name(), params.Value());
            object->BuildTable();
            Append(object, TIniItemKind::Object);
            open_.push_back(object);
          }
          break;
        case TIniLineKind::End:
          if (suppressed_ > 0) {
            --suppressed_;
            Append(Make<TIniItem>(std::string_view(), WholeLine(params)));
          } else if (open_.empty()) {
            Append(Make<TIniItem>(std::string_view(), std::string_view("end")));
          } else {
            open_.pop_back();
          }
          break;
      }
    }
  }

 private:
  // About one item per line; lines ended by CR alone count once, the rest by their LF.
  static size_t CountLines(std::string_view text) {
    size_t lf = CountByte(text, '\n');
    return (lf ? lf : CountByte(text, '\r')) + 1;
  }

  static size_t CountByte(std::string_view text, char c) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    size_t n = 0, pos = 0;
    for (; pos + 8 <= text.size(); pos += 8) {
      uint64_t word;
      std::memcpy(&word, text.data() + pos, 8);
      uint64_t x = word ^ pattern;  // zero bytes where c is
      uint64_t nonzero = ((x & kLow7) + kLow7) | x;
      uint64_t found = (~nonzero & ~kLow7) >> 7;  // one per matching byte
      n += static_cast<size_t>((found * kOnes) >> 56);
    }
    for (; pos < text.size(); ++pos) n += text[pos] == c;
    return n;
  }

  template <class T, class... Args>
  T* Make(Args&&... args) {
    static_assert(alignof(T) <= 8, "block storage is 8-byte aligned");
    void* storage = arena_.Allocate(sizeof(T));
    try {
      return ::new (storage) T(std::forward<Args>(args)...);
    } catch (...) {
      FreeIniItem(storage);  // a name or value that could not be copied
      throw;
    }
  }

  static std::string_view WholeLine(const TIniParserParams& p) {
    size_t start = p.lineStart + static_cast<size_t>(p.indent);
    return p.text.substr(start, p.valueStart + p.valueLength - start);
  }

  // Plain items are told apart here, where their class is known, not by a virtual call.
  void Append(TIniItem* item, TIniItemKind kind = TIniItemKind::Item) {
    TIniList* target = open_.empty() ? current_ : open_.back();
    target->AppendNew(item, kind);
  }

  void OpenSection(std::string_view name) {
    // A header closes every open object; repeated headers continue the earlier section.
    open_.clear();
    suppressed_ = 0;
    TIniSection* section;
    if (name.empty()) {
      section = emptySection_;
    } else {
      section = static_cast<TIniSection*>(file_.Find(name, TIniItemKind::Section));
    }
    if (!section) {
      section = Make<TIniSection>(name);
      section->BuildTable();
      file_.AppendNew(section, TIniItemKind::Section);
      if (name.empty()) emptySection_ = section;
    }
    current_ = section;
  }

  TIniFile& file_;
  TIniList* current_;
  std::vector<TIniList*> open_;
  size_t suppressed_ = 0;
  TIniSection* emptySection_ = nullptr;
  TIniItemArena arena_;
};

namespace {

constexpr unsigned char kReplacementBytes[] = {0xEF, 0xBF, 0xBD};

}  // namespace

// Position of the first invalid UTF-8 sequence at or after pos, or text.size().
static size_t FindInvalidUtf8(std::string_view text, size_t pos) {
  while (pos < text.size()) {
    // Runs of ASCII, eight bytes at a time.
    while (pos + 8 <= text.size()) {
      uint64_t word;
      std::memcpy(&word, text.data() + pos, 8);
      if (word & 0x8080808080808080ull) break;
      pos += 8;
    }
    if (pos == text.size()) break;
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    size_t start = pos;
    char32_t cp = DecodeUtf8(text, pos);
    if (cp == 0xFFFD && !(pos - start == 3 && text.compare(start, 3, "\xEF\xBF\xBD") == 0))
      return start;
  }
  return text.size();
}

static bool IsAscii(std::string_view text) {
  size_t pos = 0;
  for (; pos + 8 <= text.size(); pos += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + pos, 8);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; pos < text.size(); ++pos)
    if (static_cast<unsigned char>(text[pos]) >= 0x80) return false;
  return true;
}

std::string SanitizeUtf8(std::string_view text) {
  size_t bad = FindInvalidUtf8(text, 0);
  if (bad == text.size()) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  size_t copied = 0;  // text before this is already in out
  for (size_t pos = bad; pos < text.size();) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    size_t start = pos;
    char32_t cp = DecodeUtf8(text, pos);
    if (cp == 0xFFFD && !(pos - start == 3 && text.compare(start, 3, "\xEF\xBF\xBD") == 0)) {
      out.append(text.substr(copied, start - copied));
      out.append(reinterpret_cast<const char*>(kReplacementBytes), 3);
      copied = pos;
    }
  }
  out.append(text.substr(copied));
  return out;
}

std::string DecodeIniBytes(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return SanitizeUtf8(bytes.substr(3));
  if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) {
    std::u16string wide((bytes.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
      wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    }
    return WideToUtf8(wide);
  }
  return Cp1252ToUtf8(bytes);
}

TIniFile::~TIniFile() {
  Clear();
}

void TIniFile::Clear() {
  TIniList::Clear();
  sections_.clear();
}

TRef<TIniList> TIniFile::CreateEmpty() const {
  return MakeRef<TIniFile>();
}

void TIniFile::LoadFromText(std::string_view utf8) {
  if (Count() > 0) {
    // The text may lie in one of the items about to be freed.
    std::string copy(utf8);
    Clear();
    LoadFromText(copy);
    return;
  }
  if (FindInvalidUtf8(utf8, 0) != utf8.size()) {
    std::string valid = SanitizeUtf8(utf8);
    LoadFromText(valid);
    return;
  }
  Clear();
  // Every list gets its table when it is made and keeps it filled as lines arrive, while
  // the items are still in cache; the parser also finds sections by name as it goes.
  BuildTable();
  TIniParser(*this).Parse(utf8);
}

void TIniFile::LoadFromBytes(std::string_view bytes) {
  // UTF-8 text and plain ASCII (the same in Windows-1252) are parsed where they lie;
  // LoadFromText still replaces invalid sequences.
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    LoadFromText(bytes.substr(3));
  } else if (!(bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) && IsAscii(bytes)) {
    LoadFromText(bytes);
  } else {
    LoadFromText(DecodeIniBytes(bytes));
  }
}

bool TIniFile::ReadDocumentBytes(TStream& stream, std::string& bytes) {
  try {
    int64_t size = stream.Size() - stream.Position();
    if (size < 0 || size >= kMaxStreamSize) return false;
    bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    while (got < bytes.size()) {
      size_t n = stream.Read(bytes.data() + got, bytes.size() - got);
      if (n == 0) return false;  // cut short
      got += n;
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool TIniFile::LoadFromStream(TStream& stream) {
  Clear();
  std::string bytes;
  if (!ReadDocumentBytes(stream, bytes)) return false;
  LoadFromBytes(bytes);
  return true;
}

bool TIniFile::LoadFromFile(const std::string& path) {
  Clear();
  std::unique_ptr<TStream> stream;
  try {
    stream = OpenFile(path, TFileMode::Read);
  } catch (const std::exception&) {
    return false;
  }
  if (!stream) return false;
  return LoadFromStream(*stream);
}

bool TIniFile::LoadFromValueText(std::string_view text) {
  // Unescaped before clearing: the text may lie in one of the items about to be freed.
  std::string plain;
  plain.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      plain += c;
      continue;
    }
    if (++i < text.size() && text[i] == '\\') {
      plain += '\\';
    } else if (i < text.size() && text[i] == 'n') {
      plain += "\r\n";
    } else {
      Clear();
      return false;
    }
  }
  Clear();
  LoadFromText(plain);
  return true;
}

std::string TIniFile::SaveToValueText() const {
  auto saver = MakeRef<TValueTextSaver>();
  Write(*saver, 0);
  saver->Finish();
  return saver->Bytes();
}

std::string TIniFile::SaveToBytes(bool withByteOrderMark) const {
  auto saver = MakeRef<TBytesTextSaver>();
  if (withByteOrderMark) saver->WriteByteOrderMark();
  Write(*saver, 0);
  saver->Finish();
  return saver->Bytes();
}

bool TIniFile::SaveToStream(TStream& stream, bool withByteOrderMark) const {
  try {
    auto saver = MakeRef<TStreamTextSaver>(&stream, false);
    try {
      if (withByteOrderMark) saver->WriteByteOrderMark();
      Write(*saver, 0);
      saver->Finish();
    } catch (...) {
      saver->Finish();  // marks it finished, so its release does not write again
      throw;
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool TIniFile::SaveToFile(const std::string& path) const {
  std::unique_ptr<TStream> stream;
  try {
    stream = OpenFile(path, TFileMode::Create);
    if (!stream) return false;
    if (!SaveToStream(*stream, true)) return false;
    stream->SetSize(stream->Position());
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void TIniFile::Assign(const TIniList& source) {
  if (&source == this) return;
  TIniList::Assign(source);
  BuildTables();
}

void TIniFile::Assign(const TTextWriter& source) {
  if (auto* list = dynamic_cast<const TIniList*>(&source)) {
    Assign(*list);
    return;
  }
  auto saver = MakeRef<TBytesTextSaver>();
  source.WriteTo(*saver);
  saver->Finish();
  LoadFromText(saver->View());
}

const TIniSection* TIniFile::FindSection(std::string_view name) const {
  if (name.empty()) return this;
  return static_cast<const TIniSection*>(Find(name, TIniItemKind::Section));
}

TIniSection* TIniFile::AddSection(std::string_view name) {
  if (TIniSection* found = FindSection(name)) return found;
  auto section = MakeRef<TIniSection>(name);
  section->AppendNew(new TIniItem());
  section->BuildTable();
  TIniSection* raw = section.Get();
  if (!HasTable()) BuildTable();
  Insert(Count(), std::move(section));
  return raw;
}

const TIniItem* TIniFile::FindKey(std::string_view section, std::string_view key) const {
  const TIniSection* list = FindSection(section);
  return list ? list->FindKey(key) : nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  return AsString(FindKey(section, key), def);
}
int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  return ini::AsInteger(FindKey(section, key), def);
}
int64_t TIniFile::ReadInt64(std::string_view section, std::string_view key, int64_t def) const {
  return ini::AsInt64(FindKey(section, key), def);
}
double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
  return ini::AsFloat(FindKey(section, key), def);
}
bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ini::AsBool(FindKey(section, key), def);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  AddSection(section)->WriteString(key, value);
}
void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  AddSection(section)->FindOrAddKey(key)->SetInteger(value);
}
void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  AddSection(section)->FindOrAddKey(key)->SetFloat(value);
}
void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  AddSection(section)->FindOrAddKey(key)->SetBool(value);
}

void TIniFile::Write(TTextSaver& saver, int indent) const {
  WriteChildren(saver, indent);
}

}  // namespace dax::ini
