// Pictures made in code for the image tests: BMP, GIF and EXIF bytes written by hand, JPEGs
// through libjpeg's own encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"

namespace dax::image::test {

using TBytes = std::vector<uint8_t>;

// A bitmap whose pixel (x, y) is a smooth colour ramp (opaque).
TBitmap RampBitmap(int width, int height);

// A BMP file. Rows are given top to bottom as raw stored bytes (unpadded; padding added).
struct TBmpSpec {
  int width = 1;
  int height = 1;  // negative: top-down
  int bitCount = 24;
  int compression = 0;
  std::vector<uint32_t> palette;  // ARGB
  std::vector<TBytes> rows;       // bottom-up as stored, for uncompressed data
  TBytes rle;                     // the compressed stream for RLE
};
TBytes MakeBmp(const TBmpSpec& spec);
// A 24-bit BMP of a bitmap.
TBytes MakeBmp24(const TBitmap& bitmap);

// Frames for a GIF. Indices are given in stored order (interlaced passes as stored).
struct TGifFrameSpec {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<uint8_t> indices;
  int delay = 0;  // hundredths
  int disposal = 0;
  int transparent = -1;
  bool interlaced = false;
  // false: literal codes only, with a clear code before the code size would grow. true: a
  // real LZW encoder (dictionary codes, growing code size, a clear code when the table is full).
  bool dictionary = false;
};
// What the dictionary encoder wrote, so that a test can show its fixture reaches the cases.
struct TGifLzwStats {
  int dictionaryCodes = 0;  // codes for strings longer than one index
  int kwkwk = 0;            // codes emitted right after being defined (the decoder's code == next)
  int maxCodeSize = 0;
  int tableFullClears = 0;
};
TBytes MakeGif(int screenWidth, int screenHeight, const std::vector<uint32_t>& palette,
               const std::vector<TGifFrameSpec>& frames, int loopCount = -1,
               TGifLzwStats* stats = nullptr);

struct TJpegSpec {
  int quality = 95;
  bool grayscale = false;
  bool cmyk = false;                            // written as Adobe YCCK (inverted CMYK)
  bool plainCmyk = false;                       // CMYK without an Adobe marker, ink as is
  std::vector<std::pair<int, TBytes>> markers;  // (marker, data) written after the header
  TBytes icc;                                   // written with jpeg_write_icc_profile
};
TBytes MakeJpeg(const TBitmap& bitmap, const TJpegSpec& spec = {});

// An EXIF TIFF block with orientation, description, date/time and a user comment.
TBytes MakeExifBlock(bool bigEndian, int orientation, const std::string& description,
                     const std::string& dateTime, const std::string& comment);
// APP1 payload: "Exif\0\0" + block.
TBytes ExifApp1(const TBytes& block);

}  // namespace dax::image::test
