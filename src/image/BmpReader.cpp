#include "image/BmpReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "foundation/Progress.h"

namespace dax::image {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderMin = 40;
constexpr uint32_t kMissingPaletteColour = 0xFF000000u;  // opaque black
constexpr int kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;
// Large pictures let the loader thread yield (or abort) while they are decoded.
constexpr int kRowsPerProgress = 64;

uint32_t U16(const uint8_t* p) {
  return p[0] | p[1] << 8;
}
uint32_t U32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct TMask {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  explicit TMask(uint32_t m = 0) : mask(m) {
    if (m) {
      shift = std::countr_zero(m);
      bits = std::popcount(m >> shift);
    }
  }
  uint8_t Extract(uint32_t v) const {
    if (!mask) return 0;
    uint32_t c = (v & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(c >> (bits - 8));
    uint32_t max = (1u << bits) - 1;
    return static_cast<uint8_t>((c * 255 + max / 2) / max);
  }
};

struct THeader {
  TBmpInfo info;
  uint32_t infoSize = 0;
  uint32_t offBits = 0;
  uint32_t colorsUsed = 0;
  TMask masks[4];
  bool hasAlphaMask = false;
};

std::optional<THeader> ParseHeader(const uint8_t* data, size_t size, int64_t maxPixels) {
  if (size < kFileHeaderSize + kInfoHeaderMin || data[0] != 'B' || data[1] != 'M') return {};
  THeader h;
  h.offBits = U32(data + 10);
  const uint8_t* ih = data + kFileHeaderSize;
  h.infoSize = U32(ih);
  if (h.infoSize < kInfoHeaderMin || h.infoSize > size - kFileHeaderSize) return {};
  int64_t width = static_cast<int32_t>(U32(ih + 4));
  int64_t height = static_cast<int32_t>(U32(ih + 8));
  uint32_t planes = U16(ih + 12);
  h.info.bitCount = static_cast<int>(U16(ih + 14));
  h.info.compression = static_cast<int>(U32(ih + 16));
  h.colorsUsed = U32(ih + 32);
  if (width <= 0 || height == 0 || planes != 1) return {};
  if (static_cast<uint32_t>(h.info.compression) >= 6) return {};
  h.info.topDown = height < 0;
  height = height < 0 ? -height : height;
  if (!SizeAcceptable(width, height) || width * height > maxPixels) return {};
  h.info.width = static_cast<int>(width);
  h.info.height = static_cast<int>(height);
  const int bc = h.info.bitCount;
  switch (h.info.compression) {
    case kRgb:
      if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32) return {};
      break;
    case kRle8:
      if (bc != 8 || h.info.topDown) return {};
      break;
    case kRle4:
      if (bc != 4 || h.info.topDown) return {};
      break;
    case kBitfields:
      if (bc != 16 && bc != 32) return {};
      break;
    default:  // embedded JPEG or PNG: not read here
      return {};
  }
  if (bc == 16) {
    h.masks[0] = TMask(0x7C00);
    h.masks[1] = TMask(0x03E0);
    h.masks[2] = TMask(0x001F);
  } else if (bc == 32) {
    h.masks[0] = TMask(0x00FF0000);
    h.masks[1] = TMask(0x0000FF00);
    h.masks[2] = TMask(0x000000FF);
    h.masks[3] = TMask(0xFF000000);
    h.hasAlphaMask = true;
  }
  if (h.info.compression == kBitfields) {
    // The masks follow a 40-byte header, or lie inside a longer one.
    size_t at = kFileHeaderSize + kInfoHeaderMin;
    if (size < at + 12) return {};
    for (int i = 0; i < 3; ++i) h.masks[i] = TMask(U32(data + at + 4 * i));
    h.masks[3] = TMask();
    h.hasAlphaMask = false;
    if (h.infoSize >= 56) {
      h.masks[3] = TMask(U32(data + at + 12));
      h.hasAlphaMask = h.masks[3].mask != 0;
    }
  }
  h.info.format = h.hasAlphaMask || h.info.compression == kRle8 || h.info.compression == kRle4
                      ? TPixelFormat::A8R8G8B8
                      : TPixelFormat::X8R8G8B8;
  if (h.offBits >= size) return {};
  // Uncompressed rows must all be there, so that a header promising more than the file holds
  // is refused before its bitmap is allocated. RLE streams may end early and keep what they drew.
  if (h.info.compression == kRgb || h.info.compression == kBitfields) {
    const int64_t stride = ((static_cast<int64_t>(h.info.width) * bc + 31) / 32) * 4;
    if (static_cast<int64_t>(size - h.offBits) < stride * h.info.height) return {};
  }
  return h;
}

std::array<uint32_t, 256> ReadPalette(const THeader& h, const uint8_t* data, size_t size) {
  std::array<uint32_t, 256> palette;
  palette.fill(kMissingPaletteColour);
  if (h.info.bitCount > 8) return palette;
  size_t count = h.colorsUsed ? std::min<uint32_t>(h.colorsUsed, 256) : 1u << h.info.bitCount;
  size_t at = kFileHeaderSize + h.infoSize;
  if (h.info.compression == kBitfields) at += 12;
  for (size_t i = 0; i < count && at + 4 * i + 4 <= size && at + 4 * i + 4 <= h.offBits; ++i) {
    const uint8_t* p = data + at + 4 * i;
    palette[i] = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
  }
  return palette;
}

bool ReadRle(const THeader& h, const uint8_t* data, size_t size,
             const std::array<uint32_t, 256>& palette, TBitmap& out) {
  const bool four = h.info.compression == kRle4;
  const int w = h.info.width;
  const int height = h.info.height;
  size_t p = h.offBits;
  if (p >= size) return false;
  int64_t x = 0;  // may run far past the width on hostile data; such pixels are dropped
  int row = 0;    // counted from the bottom
  auto put = [&](int index) {
    if (x < w && row < height)
      out.SetPixel(static_cast<int>(x), height - 1 - row, palette[index & 255]);
    ++x;
  };
  while (p + 2 <= size) {
    uint8_t count = data[p];
    uint8_t value = data[p + 1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      if (++row >= height) return true;
      if (row % kRowsPerProgress == 0) LoadProgress();
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta move
      if (p + 2 > size) return false;
      x += data[p];
      row += data[p + 1];
      p += 2;
      if (row >= height) return true;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      size_t bytes = four ? (value + 1u) / 2 : value;
      if (p + bytes > size) return false;
      for (int i = 0; i < value; ++i) {
        uint8_t b = data[p + (four ? i / 2 : i)];
        put(four ? (i & 1 ? b & 15 : b >> 4) : b);
      }
      p += (bytes + 1) & ~size_t{1};
    }
  }
  return true;  // a stream without its end marker keeps what it drew
}

}  // namespace

std::optional<TBmpInfo> ReadBmpHeader(const uint8_t* data, size_t size, int64_t maxPixels) {
  auto h = ParseHeader(data, size, maxPixels);
  if (!h) return {};
  return h->info;
}

std::optional<TBitmap> ReadBmp(const uint8_t* data, size_t size, int64_t maxPixels) {
  auto parsed = ParseHeader(data, size, maxPixels);
  if (!parsed) return {};
  const THeader& h = *parsed;
  const int w = h.info.width;
  const int height = h.info.height;
  const auto palette = ReadPalette(h, data, size);
  LoadProgress();
  TBitmap out(w, height, TPixelFormat::A8R8G8B8);
  if (h.info.compression == kRle4 || h.info.compression == kRle8) {
    if (!ReadRle(h, data, size, palette, out)) return {};
    return out;
  }
  const int bc = h.info.bitCount;
  const int64_t stride = ((static_cast<int64_t>(w) * bc + 31) / 32) * 4;  // checked in ParseHeader
  bool anyAlpha = false;
  for (int y = 0; y < height; ++y) {
    if (y % kRowsPerProgress == kRowsPerProgress - 1) LoadProgress();
    const uint8_t* src = data + h.offBits + stride * y;
    const int outY = h.info.topDown ? y : height - 1 - y;
    for (int x = 0; x < w; ++x) {
      uint32_t argb;
      switch (bc) {
        case 1:
          argb = palette[src[x >> 3] >> (7 - (x & 7)) & 1];
          break;
        case 4:
          argb = palette[x & 1 ? src[x >> 1] & 15 : src[x >> 1] >> 4];
          break;
        case 8:
          argb = palette[src[x]];
          break;
        case 24: {
          const uint8_t* s = src + x * 3;
          argb = 0xFF000000u | s[2] << 16 | s[1] << 8 | s[0];
          break;
        }
        default: {
          uint32_t v = bc == 16 ? U16(src + x * 2) : U32(src + x * 4);
          uint32_t a = h.hasAlphaMask ? h.masks[3].Extract(v) : 255;
          anyAlpha = anyAlpha || a != 0;
          argb = a << 24 | static_cast<uint32_t>(h.masks[0].Extract(v)) << 16 |
                 static_cast<uint32_t>(h.masks[1].Extract(v)) << 8 | h.masks[2].Extract(v);
          break;
        }
      }
      out.SetPixel(x, outY, argb);
    }
  }
  // 32-bit files whose fourth byte is all zero mean no alpha at all.
  if (h.hasAlphaMask && !anyAlpha) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < w; ++x) out.Scanline(y)[x * 4 + 3] = 255;
  }
  return out;
}

namespace {

class TBmpBitmapStore : public TSysBitmapStore {
 public:
  TBmpBitmapStore(std::string name, const TBmpInfo& info, std::vector<uint8_t> bytes)
      : TSysBitmapStore(std::move(name), info.width, info.height, info.format),
        bytes_(std::move(bytes)) {}

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    if (level != 0) return nullptr;
    auto bitmap = ReadBmp(bytes_.data(), bytes_.size());
    if (!bitmap) throw EImageError("BMP data damaged: " + Name());
    std::vector<uint8_t>().swap(bytes_);
    return std::make_unique<TBitmap>(std::move(*bitmap));
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

TRef<TSysBitmapStore> LoadBmp(const TLoadRequest& request) {
  constexpr int64_t kMaxBmpBytes = kMaxImagePixels * 4 + (int64_t{1} << 20);
  uint8_t head[2];
  if (request.stream->Read(head, 2) != 2 || head[0] != 'B' || head[1] != 'M') return nullptr;
  request.stream->SetPosition(request.start);
  std::vector<uint8_t> bytes = ReadRest(*request.stream, kMaxBmpBytes);
  auto info = ReadBmpHeader(bytes.data(), bytes.size());
  if (!info) return nullptr;
  return MakeRef<TBmpBitmapStore>(request.name, *info, std::move(bytes));
}

}  // namespace dax::image
