// Windows BMP files: 1, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8, all checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/Bitmap.h"
#include "image/BitmapStore.h"
#include "image/ImageLoader.h"

namespace dax::image {

struct TBmpInfo {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  int bitCount = 0;
  int compression = 0;
  TPixelFormat format = TPixelFormat::X8R8G8B8;
};

// The header of a BMP file; none when it is not one we can read, the size is out of range or
// the uncompressed pixel data it promises is not all there.
std::optional<TBmpInfo> ReadBmpHeader(const uint8_t* data, size_t size,
                                      int64_t maxPixels = kMaxImagePixels);
// The whole picture as 32-bit ARGB; none on malformed data. Calls the load-progress hook as it
// goes, so an aborted load throws EOperationAborted.
std::optional<TBitmap> ReadBmp(const uint8_t* data, size_t size,
                               int64_t maxPixels = kMaxImagePixels);

TRef<TSysBitmapStore> LoadBmp(const TLoadRequest& request);

}  // namespace dax::image
