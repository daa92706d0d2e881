#include "ini/IniParser.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace dax::ini {
namespace {

size_t TrimEnd(std::string_view text, size_t start, size_t end) {
  while (end > start && IsIniBlank(static_cast<unsigned char>(text[end - 1]))) --end;
  return end;
}

size_t SkipBlanks(std::string_view text, size_t pos, size_t end) {
  while (pos < end && IsIniBlank(static_cast<unsigned char>(text[pos]))) ++pos;
  return pos;
}

size_t FindLineEnd(std::string_view text, size_t pos) {
  const char* p = text.data() + pos;
  const char* end = text.data() + text.size();
  // Eight bytes at a time: the high bit of each byte equal to LF or CR.
  constexpr uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    uint64_t lf = word ^ (kOnes * '\n'), cr = word ^ (kOnes * '\r');
    uint64_t found = (~(((lf & kLow7) + kLow7) | lf) | ~(((cr & kLow7) + kLow7) | cr)) & ~kLow7;
    if (found) {
      if constexpr (std::endian::native == std::endian::little)
        return static_cast<size_t>(p - text.data()) +
               static_cast<size_t>(__builtin_ctzll(found) / 8);
      break;
    }
    p += 8;
  }
  while (p < end && *p != '\n' && *p != '\r') ++p;
  return static_cast<size_t>(p - text.data());
}

// The keyword (lower case) in any ASCII case at pos, not run on into an identifier and not
// followed, after blanks, by "="; returns the position after its blanks, or 0 when absent.
size_t MatchKeyword(std::string_view text, size_t pos, size_t end, const char* word, size_t n) {
  if (end - pos < n) return 0;
  for (size_t i = 0; i < n; ++i)
    if ((text[pos + i] | 0x20) != word[i]) return 0;
  size_t after = pos + n;
  if (after < end && IsIniIdentifier(static_cast<unsigned char>(text[after]))) return 0;
  after = SkipBlanks(text, after, end);
  if (after < end && text[after] == '=') return 0;
  return after;
}

void SetValue(TIniParserParams& p, size_t start, size_t end) {
  p.valueStart = start;
  p.valueLength = end - start;
}

void SetName(TIniParserParams& p, size_t start, size_t end) {
  p.nameStart = start;
  p.nameLength = end - start;
}

}  // namespace

TIniLineKind ReadIniLine(TIniParserParams& p) {
  std::string_view text = p.text;
  p.lineStart = p.position;
  size_t pos = SkipBlanks(text, p.position, text.size());
  p.indent = static_cast<int>(pos - p.lineStart);
  size_t end = FindLineEnd(text, pos);
  size_t trimmed = TrimEnd(text, pos, end);
  p.nameStart = p.nameLength = 0;
  p.valueStart = pos;
  p.valueLength = 0;
  TIniLineKind kind = TIniLineKind::Text;

  if (pos < end) {
    char first = text[pos];
    size_t after;
    if (first == ';' || first == '=') {
      SetValue(p, pos, trimmed);
    } else if (first == '[') {
      size_t nameStart = SkipBlanks(text, pos + 1, end);
      const void* close =
          nameStart < end ? std::memchr(text.data() + nameStart, ']', end - nameStart) : nullptr;
      if (close) {
        size_t closePos = static_cast<size_t>(static_cast<const char*>(close) - text.data());
        SetName(p, nameStart, TrimEnd(text, nameStart, closePos));
        kind = TIniLineKind::Section;
      } else {
        SetValue(p, pos, trimmed);
      }
    } else if ((first | 0x20) == 'o' && (after = MatchKeyword(text, pos, end, "object", 6))) {
      kind = TIniLineKind::Object;
      if (trimmed < after) trimmed = after;  // only blanks after the word
      size_t colon = trimmed;
      for (size_t i = trimmed; i > after; --i) {
        if (text[i - 1] == ':') {
          colon = i - 1;
          break;
        }
      }
      SetName(p, after, TrimEnd(text, after, colon));
      if (colon < trimmed) {
        size_t typeStart = SkipBlanks(text, colon + 1, trimmed);
        SetValue(p, typeStart, trimmed);
      } else {
        SetValue(p, trimmed, trimmed);
      }
    } else if ((first | 0x20) == 'e' && MatchKeyword(text, pos, end, "end", 3)) {
      kind = TIniLineKind::End;
      SetValue(p, pos, trimmed);
    } else if (const void* eq = std::memchr(text.data() + pos, '=', end - pos)) {
      size_t eqPos = static_cast<size_t>(static_cast<const char*>(eq) - text.data());
      kind = TIniLineKind::Key;
      SetName(p, pos, TrimEnd(text, pos, eqPos));
      size_t valueStart = SkipBlanks(text, eqPos + 1, trimmed);
      SetValue(p, valueStart, trimmed);
    } else {
      SetValue(p, pos, trimmed);
    }
  }

  p.lineEnd = TIniLineEnd::None;
  if (end < text.size()) {
    char c = text[end++];
    if (end < text.size() && (text[end] == '\n' || text[end] == '\r') && text[end] != c) {
      p.lineEnd = c == '\r' ? TIniLineEnd::CrLf : TIniLineEnd::LfCr;
      ++end;
    } else {
      p.lineEnd = c == '\r' ? TIniLineEnd::Cr : TIniLineEnd::Lf;
    }
  }
  p.position = end;
  return kind;
}

}  // namespace dax::ini
