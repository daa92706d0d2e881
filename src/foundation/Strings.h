// Text conversions shared by every library: UTF-16 <-> UTF-8, case folding, Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dax {

using WideString = std::u16string;

// Each UTF-16 unit is encoded on its own: below 0x80 one byte, below 0x800 two, else three
// (surrogate halves included), so supplementary characters become two 3-byte sequences.
std::string WideToUtf8(std::u16string_view text);

enum class TUtf8Errors { Replace, Throw };

// Lead bytes C0-DF, E0-EF and F0-F7 start 2-, 3- and 4-byte sequences; 4-byte ones give a
// surrogate pair. Invalid bytes, bad continuations and cut sequences become U+FFFD, or raise
// EConvertError("Invalid UTF8 Char") with TUtf8Errors::Throw.
std::u16string Utf8ToWide(std::string_view text, TUtf8Errors errors = TUtf8Errors::Replace);

// Decodes one code point at pos (advancing it) with the rules above; invalid input gives
// U+FFFD and consumes the bad lead byte plus the valid continuation bytes that followed it.
// A surrogate pair spelt as two 3-byte sequences decodes to its one code point.
char32_t DecodeUtf8(std::string_view text, size_t& pos);
void AppendUtf8(std::string& out, char32_t cp);

// Unicode simple case folding. FoldUtf8 writes supplementary characters in their 4-byte
// form, however they were spelt.
char32_t FoldCase(char32_t cp);
std::string FoldUtf8(std::string_view text);

// Case-insensitive comparison of UTF-8 texts, code point by code point after folding.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);

// Windows-1252, the ANSI code page of shows, to UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

// Without leading and trailing blank bytes (0-32: spaces, tabs, line breaks, controls).
std::string_view TrimBlanks(std::string_view text);

std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

}  // namespace dax
