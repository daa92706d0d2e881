#include "ImageFixtures.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace dax::image::test {
namespace {

void Put16(TBytes& b, uint32_t v) {
  b.push_back(v & 255);
  b.push_back(v >> 8 & 255);
}
void Put32(TBytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

}  // namespace

TBitmap RampBitmap(int width, int height) {
  TBitmap b(width, height, TPixelFormat::A8R8G8B8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t r = static_cast<uint32_t>(x * 255 / std::max(width - 1, 1));
      uint32_t g = static_cast<uint32_t>(y * 255 / std::max(height - 1, 1));
      uint32_t bl = static_cast<uint32_t>((x + y) * 127 / std::max(width + height - 2, 1));
      b.SetPixel(x, y, 0xFF000000u | r << 16 | g << 8 | bl);
    }
  return b;
}

TBytes MakeBmp(const TBmpSpec& spec) {
  TBytes pixels;
  if (spec.compression == 1 || spec.compression == 2) {
    pixels = spec.rle;
  } else {
    for (const TBytes& row : spec.rows) {
      TBytes r = row;
      while (r.size() % 4) r.push_back(0);
      pixels.insert(pixels.end(), r.begin(), r.end());
    }
  }
  const uint32_t paletteBytes = static_cast<uint32_t>(spec.palette.size() * 4);
  const uint32_t offBits = 14 + 40 + paletteBytes;
  TBytes b = {'B', 'M'};
  Put32(b, offBits + static_cast<uint32_t>(pixels.size()));
  Put32(b, 0);
  Put32(b, offBits);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(spec.width));
  Put32(b, static_cast<uint32_t>(spec.height));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(spec.bitCount));
  Put32(b, static_cast<uint32_t>(spec.compression));
  Put32(b, static_cast<uint32_t>(pixels.size()));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, static_cast<uint32_t>(spec.palette.size()));
  Put32(b, 0);
  for (uint32_t c : spec.palette) Put32(b, c & 0xFFFFFF);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

TBytes MakeBmp24(const TBitmap& bitmap) {
  TBmpSpec spec;
  spec.width = bitmap.Width();
  spec.height = bitmap.Height();
  spec.bitCount = 24;
  for (int y = bitmap.Height() - 1; y >= 0; --y) {
    TBytes row;
    for (int x = 0; x < bitmap.Width(); ++x) {
      uint32_t p = bitmap.Pixel(x, y);
      row.push_back(p & 255);
      row.push_back(p >> 8 & 255);
      row.push_back(p >> 16 & 255);
    }
    spec.rows.push_back(row);
  }
  return MakeBmp(spec);
}

namespace {

struct TCode {
  uint32_t code;
  int bits;
};

std::vector<TCode> LiteralCodes(const std::vector<uint8_t>& indices, int minCode) {
  const uint32_t clear = 1u << minCode;
  const int codeSize = minCode + 1;
  std::vector<TCode> codes = {{clear, codeSize}};
  uint32_t sinceClear = 0;
  for (uint8_t i : indices) {
    if (sinceClear == clear - 2) {
      codes.push_back({clear, codeSize});
      sinceClear = 0;
    }
    codes.push_back({i, codeSize});
    ++sinceClear;
  }
  codes.push_back({clear + 1, codeSize});
  return codes;
}

std::vector<TCode> DictionaryCodes(const std::vector<uint8_t>& indices, int minCode,
                                   TGifLzwStats* stats) {
  constexpr uint32_t kTableSize = 4096;
  const uint32_t clear = 1u << minCode;
  int codeSize = minCode + 1;
  uint32_t next = clear + 2;
  std::map<uint32_t, uint32_t> table;  // (prefix code << 8 | index) -> code
  std::vector<TCode> codes = {{clear, codeSize}};
  TGifLzwStats local;
  TGifLzwStats& st = stats ? *stats : local;
  auto emit = [&](uint32_t code) {
    codes.push_back({code, codeSize});
    if (code > clear + 1) ++st.dictionaryCodes;
    // The decoder is one entry behind: it meets the code it has not yet defined.
    if (code > clear + 1 && code == next - 1) ++st.kwkwk;
    st.maxCodeSize = std::max(st.maxCodeSize, codeSize);
  };
  int64_t prefix = -1;
  for (uint8_t k : indices) {
    if (prefix < 0) {
      prefix = k;
      continue;
    }
    const uint32_t key = static_cast<uint32_t>(prefix) << 8 | k;
    if (auto it = table.find(key); it != table.end()) {
      prefix = it->second;
      continue;
    }
    emit(static_cast<uint32_t>(prefix));
    if (next < kTableSize) {
      table[key] = next++;
      // The code just defined no longer fits: wider codes from here on.
      if (next - 1 == (1u << codeSize) && codeSize < 12) ++codeSize;
    } else {
      emit(clear);
      ++st.tableFullClears;
      table.clear();
      next = clear + 2;
      codeSize = minCode + 1;
    }
    prefix = k;
  }
  if (prefix >= 0) emit(static_cast<uint32_t>(prefix));
  emit(clear + 1);
  return codes;
}

}  // namespace

TBytes MakeGif(int screenWidth, int screenHeight, const std::vector<uint32_t>& palette,
               const std::vector<TGifFrameSpec>& frames, int loopCount, TGifLzwStats* stats) {
  int bits = 1;
  while ((1u << bits) < palette.size()) ++bits;
  TBytes b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, static_cast<uint32_t>(screenWidth));
  Put16(b, static_cast<uint32_t>(screenHeight));
  b.push_back(static_cast<uint8_t>(0x80 | (bits - 1)));
  b.push_back(0);
  b.push_back(0);
  for (uint32_t i = 0; i < (1u << bits); ++i) {
    uint32_t c = i < palette.size() ? palette[i] : 0;
    b.push_back(c >> 16 & 255);
    b.push_back(c >> 8 & 255);
    b.push_back(c & 255);
  }
  if (loopCount >= 0) {
    b.insert(b.end(), {0x21, 0xFF, 11});
    for (char c : std::string("NETSCAPE2.0")) b.push_back(static_cast<uint8_t>(c));
    b.insert(b.end(), {3, 1});
    Put16(b, static_cast<uint32_t>(loopCount));
    b.push_back(0);
  }
  for (const TGifFrameSpec& f : frames) {
    b.insert(b.end(), {0x21, 0xF9, 4});
    b.push_back(static_cast<uint8_t>(f.disposal << 2 | (f.transparent >= 0 ? 1 : 0)));
    Put16(b, static_cast<uint32_t>(f.delay));
    b.push_back(static_cast<uint8_t>(f.transparent >= 0 ? f.transparent : 0));
    b.push_back(0);
    b.push_back(0x2C);
    Put16(b, static_cast<uint32_t>(f.left));
    Put16(b, static_cast<uint32_t>(f.top));
    Put16(b, static_cast<uint32_t>(f.width));
    Put16(b, static_cast<uint32_t>(f.height));
    b.push_back(f.interlaced ? 0x40 : 0);
    const int minCode = std::max(bits, 2);
    const std::vector<TCode> codes = f.dictionary ? DictionaryCodes(f.indices, minCode, stats)
                                                  : LiteralCodes(f.indices, minCode);
    TBytes data;
    uint32_t acc = 0;
    int nbits = 0;
    for (auto [c, codeBits] : codes) {
      acc |= c << nbits;
      nbits += codeBits;
      while (nbits >= 8) {
        data.push_back(acc & 255);
        acc >>= 8;
        nbits -= 8;
      }
    }
    if (nbits > 0) data.push_back(acc & 255);
    b.push_back(static_cast<uint8_t>(minCode));
    for (size_t at = 0; at < data.size(); at += 255) {
      size_t n = std::min<size_t>(255, data.size() - at);
      b.push_back(static_cast<uint8_t>(n));
      b.insert(b.end(), data.begin() + static_cast<ptrdiff_t>(at),
               data.begin() + static_cast<ptrdiff_t>(at + n));
    }
    b.push_back(0);
  }
  b.push_back(0x3B);
  return b;
}

TBytes MakeJpeg(const TBitmap& bitmap, const TJpegSpec& spec) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&c, &out, &outSize);
  c.image_width = static_cast<JDIMENSION>(bitmap.Width());
  c.image_height = static_cast<JDIMENSION>(bitmap.Height());
  if (spec.grayscale) {
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
  } else if (spec.cmyk || spec.plainCmyk) {
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
  } else {
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
  }
  jpeg_set_defaults(&c);
  if (spec.cmyk) jpeg_set_colorspace(&c, JCS_YCCK);
  if (spec.plainCmyk) {
    jpeg_set_colorspace(&c, JCS_CMYK);
    c.write_Adobe_marker = FALSE;
  }
  jpeg_set_quality(&c, spec.quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  for (auto& [marker, data] : spec.markers)
    jpeg_write_marker(&c, marker, data.data(), static_cast<unsigned>(data.size()));
  if (!spec.icc.empty())
    jpeg_write_icc_profile(&c, spec.icc.data(), static_cast<unsigned>(spec.icc.size()));
  std::vector<uint8_t> row(static_cast<size_t>(bitmap.Width()) * c.input_components);
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      uint32_t p = bitmap.Pixel(x, y);
      uint8_t r = p >> 16 & 255, g = p >> 8 & 255, bl = p & 255;
      if (spec.grayscale) {
        row[x] = g;
      } else if (spec.cmyk || spec.plainCmyk) {
        uint8_t k = static_cast<uint8_t>(255 - std::max({r, g, bl}));
        uint8_t* q = &row[static_cast<size_t>(x) * 4];
        if (k == 255) {
          q[0] = q[1] = q[2] = 255;
        } else {
          q[0] = static_cast<uint8_t>(255 - (255 - r - k) * 255 / (255 - k));
          q[1] = static_cast<uint8_t>(255 - (255 - g - k) * 255 / (255 - k));
          q[2] = static_cast<uint8_t>(255 - (255 - bl - k) * 255 / (255 - k));
        }
        q[3] = static_cast<uint8_t>(255 - k);
        // Adobe stores 255 - ink (as above); plain CMYK stores the ink itself.
        if (spec.plainCmyk)
          for (int i = 0; i < 4; ++i) q[i] = static_cast<uint8_t>(255 - q[i]);
      } else {
        row[static_cast<size_t>(x) * 3] = r;
        row[static_cast<size_t>(x) * 3 + 1] = g;
        row[static_cast<size_t>(x) * 3 + 2] = bl;
      }
    }
    JSAMPROW rp = row.data();
    jpeg_write_scanlines(&c, &rp, 1);
  }
  jpeg_finish_compress(&c);
  TBytes result(out, out + outSize);
  jpeg_destroy_compress(&c);
  std::free(out);
  return result;
}

TBytes MakeExifBlock(bool big, int orientation, const std::string& description,
                     const std::string& dateTime, const std::string& comment) {
  TBytes b;
  auto p16 = [&](uint32_t v) {
    if (big) {
      b.push_back(v >> 8 & 255);
      b.push_back(v & 255);
    } else {
      Put16(b, v);
    }
  };
  auto p32 = [&](uint32_t v) {
    if (big) {
      p16(v >> 16);
      p16(v & 0xFFFF);
    } else {
      Put32(b, v);
    }
  };
  auto set32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      b[at + i] = static_cast<uint8_t>(big ? v >> (24 - 8 * i) : v >> (8 * i));
  };
  if (big)
    b = {'M', 'M', 0, 42};
  else
    b = {'I', 'I', 42, 0};
  p32(8);
  // IFD0: description, orientation, date/time, EXIF IFD pointer.
  std::string desc = description + '\0';
  std::string dt = dateTime + '\0';
  p16(4);
  size_t descAt, dtAt, exifAt;
  p16(270), p16(2), p32(static_cast<uint32_t>(desc.size())), descAt = b.size(), p32(0);
  p16(274), p16(3), p32(1), p16(static_cast<uint32_t>(orientation)), p16(0);
  p16(306), p16(2), p32(static_cast<uint32_t>(dt.size())), dtAt = b.size(), p32(0);
  p16(0x8769), p16(4), p32(1), exifAt = b.size(), p32(0);
  p32(0);
  set32(descAt, static_cast<uint32_t>(b.size()));
  b.insert(b.end(), desc.begin(), desc.end());
  set32(dtAt, static_cast<uint32_t>(b.size()));
  b.insert(b.end(), dt.begin(), dt.end());
  set32(exifAt, static_cast<uint32_t>(b.size()));
  std::string uc = std::string("ASCII\0\0\0", 8) + comment;
  p16(1);
  p16(0x9286), p16(7), p32(static_cast<uint32_t>(uc.size()));
  size_t ucAt = b.size();
  p32(0);
  p32(0);
  set32(ucAt, static_cast<uint32_t>(b.size()));
  b.insert(b.end(), uc.begin(), uc.end());
  return b;
}

TBytes ExifApp1(const TBytes& block) {
  TBytes b(6 + block.size());
  std::memcpy(b.data(), "Exif\0\0", 6);
  std::copy(block.begin(), block.end(), b.begin() + 6);
  return b;
}

}  // namespace dax::image::test
