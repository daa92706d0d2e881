// Picture orientation as EXIF codes 1..8 (1 = as stored, 3 = 180 degrees, 6 = 90 clockwise,
// 8 = 90 counter-clockwise; 2, 4, 5, 7 mirror).
#pragma once

#include "foundation/Bitmap.h"

namespace dax::image {

bool OrientationSwapsSize(int code);
// Turns a bitmap stored in orientation `code` upright; other codes leave it alone.
void ApplyOrientation(TBitmap& bitmap, int code);

}  // namespace dax::image
