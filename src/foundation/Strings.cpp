#include "foundation/Strings.h"

#include <algorithm>
#include <iterator>

#include "foundation/Exceptions.h"

namespace dax {
namespace {

struct TFoldPair {
  char32_t from;
  char32_t to;
};

constexpr TFoldPair kFoldTable[] = {
#include "foundation/CaseFoldTable.inc"
};

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value,
// as the system converter does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string WideToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t unit : text) AppendUtf8(out, unit);
  return out;
}

char32_t DecodeUtf8(std::string_view text, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(pos++);
  if (lead < 0x80) return lead;
  int extra;
  char32_t cp;
  if (lead >= 0xC0 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return kReplacement;  // stray continuation byte, or F5-FF
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size() || (byte(pos) & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (byte(pos++) & 0x3F);
  }
  if (cp > 0x10FFFF) return kReplacement;
  // A surrogate pair written as two 3-byte sequences (how UTF-16 text is converted) is one
  // character, so that both spellings of it compare and fold alike.
  if (cp >= 0xD800 && cp <= 0xDBFF && pos + 3 <= text.size() &&
      static_cast<uint8_t>(text[pos]) == 0xED && (byte(pos + 1) & 0xF0) == 0xB0 &&
      (byte(pos + 2) & 0xC0) == 0x80) {
    char32_t low = 0xD000 | ((byte(pos + 1) & 0x3F) << 6) | (byte(pos + 2) & 0x3F);
    pos += 3;
    return 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
  }
  return cp;
}

std::u16string Utf8ToWide(std::string_view text, TUtf8Errors errors) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    size_t start = pos;
    char32_t cp = DecodeUtf8(text, pos);
    if (cp == kReplacement && errors == TUtf8Errors::Throw) {
      // A literal U+FFFD in the input is EF BF BD; anything else that decoded to it was bad.
      if (!(pos - start == 3 && text.substr(start, 3) == "\xEF\xBF\xBD")) {
        throw EConvertError("Invalid UTF8 Char");
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (cp >> 10));
      out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

char32_t FoldCase(char32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  auto it = std::lower_bound(std::begin(kFoldTable), std::end(kFoldTable), cp,
                             [](const TFoldPair& p, char32_t c) { return p.from < c; });
  return (it != std::end(kFoldTable) && it->from == cp) ? it->to : cp;
}

std::string FoldUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    uint8_t b = static_cast<uint8_t>(text[pos]);
    if (b < 0x80) {
      out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
      ++pos;
      continue;
    }
    size_t start = pos;
    char32_t cp = DecodeUtf8(text, pos);
    char32_t folded = FoldCase(cp);
    // Keep the bytes, valid or not, unless they spell a pair the long way.
    if (folded == cp && !(cp >= 0x10000 && pos - start == 6)) {
      out.append(text.substr(start, pos - start));
    } else {
      AppendUtf8(out, folded);
    }
  }
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    uint8_t x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[j]);
    char32_t ca, cb;
    if (x < 0x80 && y < 0x80) {
      ca = FoldCase(x);
      cb = FoldCase(y);
      ++i;
      ++j;
    } else {
      size_t si = i, sj = j;
      ca = FoldCase(DecodeUtf8(a, i));
      cb = FoldCase(DecodeUtf8(b, j));
      // Invalid sequences compare by their bytes so that different junk never matches.
      if (ca == cb && ca == kReplacement) {
        int c = a.substr(si, i - si).compare(b.substr(sj, j - sj));
        if (c != 0) return c < 0 ? -1 : 1;
      }
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool SameText(std::string_view a, std::string_view b) {
  return CompareText(a, b) == 0;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    uint8_t b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out += c;
    } else if (b < 0xA0) {
      AppendUtf8(out, kCp1252High[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace dax
