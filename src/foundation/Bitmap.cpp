#include "foundation/Bitmap.h"

#include <cstring>
#include <stdexcept>

namespace dax {

int BytesPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::A8R8G8B8:
    case TPixelFormat::X8R8G8B8: return 4;
    case TPixelFormat::R5G6B5: return 2;
    case TPixelFormat::L8: return 1;
  }
  return 4;
}

TBitmap::TBitmap(int width, int height, TPixelFormat format) : format_(format) {
  if (width < 0 || height < 0 || static_cast<int64_t>(width) * height > kMaxPixels) {
    throw std::length_error("Bitmap size out of range");
  }
  width_ = width;
  height_ = height;
  stride_ = (width * BytesPerPixel(format) + 3) & ~3;
  pixels_.assign(static_cast<size_t>(stride_) * height, 0);
}

uint32_t TBitmap::Pixel(int x, int y) const {
  uint32_t v;
  std::memcpy(&v, Scanline(y) + static_cast<size_t>(x) * 4, 4);
  return v;
}

void TBitmap::SetPixel(int x, int y, uint32_t argb) {
  std::memcpy(Scanline(y) + static_cast<size_t>(x) * 4, &argb, 4);
}

void TBitmap::Fill(uint32_t argb) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) SetPixel(x, y, argb);
}

}  // namespace dax
