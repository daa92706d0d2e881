#include "image/Orientation.h"

#include <cstring>

namespace dax::image {

bool OrientationSwapsSize(int code) {
  return code >= 5 && code <= 8;
}

void ApplyOrientation(TBitmap& bitmap, int code) {
  if (code < 2 || code > 8 || BytesPerPixel(bitmap.Format()) != 4) return;
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  const bool swap = OrientationSwapsSize(code);
  TBitmap out(swap ? h : w, swap ? w : h, bitmap.Format());
  // For each output pixel, where it comes from in the stored picture.
  for (int y = 0; y < out.Height(); ++y) {
    uint8_t* dst = out.Scanline(y);
    for (int x = 0; x < out.Width(); ++x) {
      int sx = x;
      int sy = y;
      switch (code) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y;
          sy = x;
          break;
      }
      std::memcpy(dst + x * 4, bitmap.Scanline(sy) + sx * 4, 4);
    }
  }
  bitmap = std::move(out);
}

}  // namespace dax::image
