#include "image/Exif.h"

#include <algorithm>
#include <cstring>

#include "foundation/Exceptions.h"
#include "foundation/Strings.h"

namespace dax::image {
namespace {

constexpr uint16_t kTagDescription = 270;
constexpr uint16_t kTagOrientation = 274;
constexpr uint16_t kTagDateTime = 306;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagUserComment = 0x9286;
constexpr int kMaxIfdEntries = 1024;
constexpr int kIptcApplicationRecord = 2;
constexpr uint16_t kIptcResource = 0x0404;
constexpr size_t kMaxMetadataBytes = 16 << 20;

// Text from files: UTF-8 when it is valid, else Windows-1252. Trailing NULs dropped.
std::string Text(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && (s.back() == '\0' || s.back() == ' ')) s.pop_back();
  if (size_t nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
  try {
    Utf8ToWide(s, TUtf8Errors::Throw);
    return s;
  } catch (const EConvertError&) {
    return Cp1252ToUtf8(s);
  }
}

struct TTiff {
  const uint8_t* data;
  size_t size;
  bool big;
  uint32_t U16(size_t at) const {
    if (at + 2 > size) return 0;
    return big ? data[at] << 8 | data[at + 1] : data[at] | data[at + 1] << 8;
  }
  uint32_t U32(size_t at) const {
    if (at + 4 > size) return 0;
    return big ? static_cast<uint32_t>(data[at]) << 24 | data[at + 1] << 16 | data[at + 2] << 8 |
                     data[at + 3]
               : data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                     static_cast<uint32_t>(data[at + 3]) << 24;
  }
  // The bytes of an entry's value; false when they lie outside the block.
  bool Value(size_t entry, size_t unit, const uint8_t*& p, size_t& n) const {
    uint64_t count = U32(entry + 4);
    uint64_t bytes = count * unit;
    if (bytes > size) return false;
    uint64_t at = bytes <= 4 ? entry + 8 : U32(entry + 8);
    if (at + bytes > size) return false;
    p = data + at;
    n = static_cast<size_t>(bytes);
    return true;
  }
};

std::string UserComment(const TTiff& t, const uint8_t* p, size_t n) {
  if (n < 8) return {};
  const uint8_t* text = p + 8;
  size_t len = n - 8;
  if (std::memcmp(p, "UNICODE\0", 8) == 0) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < len; i += 2)
      wide.push_back(
          static_cast<char16_t>(t.big ? text[i] << 8 | text[i + 1] : text[i] | text[i + 1] << 8));
    while (!wide.empty() && (wide.back() == 0 || wide.back() == u' ')) wide.pop_back();
    return WideToUtf8(wide);
  }
  return Text(text, len);
}

void ReadIfd(const TTiff& t, size_t ifd, TExifInfo& info, bool top) {
  const uint32_t count = t.U16(ifd);
  if (count > kMaxIfdEntries || ifd + 2 + count * 12ull > t.size) return;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = ifd + 2 + i * 12;
    const uint32_t tag = t.U16(e);
    const uint32_t type = t.U16(e + 2);
    const uint8_t* p = nullptr;
    size_t n = 0;
    if (top && tag == kTagDescription && type == 2 && t.Value(e, 1, p, n)) {
      info.description = Text(p, n);
    } else if (top && tag == kTagDateTime && type == 2 && t.Value(e, 1, p, n)) {
      info.dateTime = Text(p, n);
    } else if (top && tag == kTagOrientation && type == 3) {
      uint32_t v = t.U16(e + 8);
      if (v >= 1 && v <= 8) info.orientation = static_cast<int>(v);
    } else if (top && tag == kTagExifIfd && (type == 4 || type == 13)) {
      // One level deep only: the EXIF IFD never leads further.
      size_t sub = t.U32(e + 8);
      if (sub != ifd && sub < t.size) ReadIfd(t, sub, info, false);
    } else if (!top && tag == kTagUserComment && type == 7 && t.Value(e, 1, p, n)) {
      info.comment = UserComment(t, p, n);
    }
  }
}

}  // namespace

bool ParseExifBlock(const uint8_t* data, size_t size, TExifInfo& info) {
  if (size < 8) return false;
  TTiff t{data, size, false};
  if (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) {
    t.big = false;
  } else if (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42) {
    t.big = true;
  } else {
    return false;
  }
  size_t ifd = t.U32(4);
  if (ifd < 8 || ifd >= size) return false;
  ReadIfd(t, ifd, info, true);
  return true;
}

bool ParseIptcResources(const uint8_t* data, size_t size, TExifInfo& info) {
  bool found = false;
  size_t p = 0;
  while (p + 12 <= size && std::memcmp(data + p, "8BIM", 4) == 0) {
    const uint32_t id = data[p + 4] << 8 | data[p + 5];
    p += 6;
    size_t nameLen = data[p];
    p += (nameLen + 2) & ~size_t{1};  // Pascal string padded to even length
    if (p + 4 > size) break;
    const size_t len =
        static_cast<size_t>(data[p]) << 24 | data[p + 1] << 16 | data[p + 2] << 8 | data[p + 3];
    p += 4;
    if (len > size - p) break;
    if (id == kIptcResource) {
      found = true;
      size_t q = p;
      const size_t end = p + len;
      while (q + 5 <= end && data[q] == 0x1C) {
        const int record = data[q + 1];
        const int dataset = data[q + 2];
        size_t n = data[q + 3] << 8 | data[q + 4];
        q += 5;
        if (n & 0x8000) {  // extended length: the next (n & 0x7FFF) bytes hold it
          size_t lenBytes = n & 0x7FFF;
          if (lenBytes > 4 || q + lenBytes > end) break;
          n = 0;
          for (size_t i = 0; i < lenBytes; ++i) n = n << 8 | data[q + i];
          q += lenBytes;
        }
        if (n > end - q) break;
        if (record == kIptcApplicationRecord) info.iptc[dataset].push_back(Text(data + q, n));
        q += n;
      }
    }
    p += (len + 1) & ~size_t{1};
  }
  return found;
}

TExifInfo ReadJpegMetadata(const uint8_t* data, size_t size) {
  TExifInfo info;
  std::string jpegComment;
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return info;
  size_t p = 2;
  while (p < size) {
    if (data[p] != 0xFF) break;
    while (p < size && data[p] == 0xFF) ++p;
    if (p >= size) break;
    const uint8_t marker = data[p++];
    if (marker == 0xD9 || marker == 0xDA) break;  // end of image, start of scan
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
    if (p + 2 > size) break;
    const size_t len = data[p] << 8 | data[p + 1];
    if (len < 2 || p + len > size) break;
    const uint8_t* seg = data + p + 2;
    const size_t n = len - 2;
    if (marker == 0xE1 && n >= 6 && std::memcmp(seg, "Exif\0\0", 6) == 0) {
      ParseExifBlock(seg + 6, n - 6, info);
    } else if (marker == 0xED && n >= 14 && std::memcmp(seg, "Photoshop 3.0\0", 14) == 0) {
      ParseIptcResources(seg + 14, n - 14, info);
    } else if (marker == 0xFE && jpegComment.empty()) {
      jpegComment = Text(seg, n);
    }
    p += len;
  }
  if (info.comment.empty()) info.comment = jpegComment;
  return info;
}

TExifInfo ReadPictureMetadata(TStream& stream) {
  try {
    const int64_t start = stream.Position();
    const int64_t left = stream.Size() - start;
    std::vector<uint8_t> bytes(
        static_cast<size_t>(std::clamp<int64_t>(left, 0, static_cast<int64_t>(kMaxMetadataBytes))));
    size_t got = 0;
    while (got < bytes.size()) {
      size_t n = stream.Read(bytes.data() + got, bytes.size() - got);
      if (n == 0) break;
      got += n;
    }
    stream.SetPosition(start);
    return ReadJpegMetadata(bytes.data(), got);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace dax::image
