// 32-bit ARGB (and the other named pixel formats) bitmaps with a row stride.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dax {

enum class TPixelFormat { A8R8G8B8, X8R8G8B8, L8, R5G6B5 };

int BytesPerPixel(TPixelFormat format);

class TBitmap {
 public:
  TBitmap() = default;
  // Zero-filled. Rows are aligned to 4 bytes. Throws std::length_error when the byte size
  // overflows or exceeds kMaxPixels.
  TBitmap(int width, int height, TPixelFormat format = TPixelFormat::A8R8G8B8);

  static constexpr int64_t kMaxPixels = 268435456;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  TPixelFormat Format() const { return format_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  uint8_t* Scanline(int y) { return pixels_.data() + static_cast<size_t>(y) * stride_; }
  const uint8_t* Scanline(int y) const { return pixels_.data() + static_cast<size_t>(y) * stride_; }
  // ARGB pixel access for the 32-bit formats.
  uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, uint32_t argb);
  void Fill(uint32_t argb);

  std::vector<uint8_t>& Bytes() { return pixels_; }
  const std::vector<uint8_t>& Bytes() const { return pixels_; }

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  TPixelFormat format_ = TPixelFormat::A8R8G8B8;
  std::vector<uint8_t> pixels_;
};

}  // namespace dax
