// The line tokenizer: one call reads one line of UTF-8 text and classifies it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dax::ini {

enum class TIniLineKind { Text, Key, Section, Object, End };
enum class TIniLineEnd { None, CrLf, LfCr, Cr, Lf };

struct TIniParserParams {
  std::string_view text;
  size_t position = 0;
  size_t lineStart = 0;
  // Name and value as byte offsets into text: the key's name and value, the section's name,
  // the object's name and type, the text line's value.
  size_t nameStart = 0;
  size_t nameLength = 0;
  size_t valueStart = 0;
  size_t valueLength = 0;
  int indent = 0;  // leading blank bytes; no meaning to the structure
  TIniLineEnd lineEnd = TIniLineEnd::None;

  explicit TIniParserParams(std::string_view t) : text(t) {}
  bool AtEnd() const { return position >= text.size(); }
  std::string_view Name() const { return text.substr(nameStart, nameLength); }
  std::string_view Value() const { return text.substr(valueStart, valueLength); }
};

// Blank bytes: 0-32 except LF and CR.
inline bool IsIniBlank(unsigned char c) {
  return c <= 32 && c != 10 && c != 13;
}
inline bool IsIniIdentifier(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Reads the line at params.position and moves past its line end (CR LF and LF CR count once).
TIniLineKind ReadIniLine(TIniParserParams& params);

}  // namespace dax::ini
