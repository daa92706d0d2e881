// PNG pictures through libpng (the image library's slot in the loader order).
#pragma once

#include "image/BitmapStore.h"
#include "image/ImageLoader.h"

namespace dax::image {

TRef<TSysBitmapStore> LoadPng(const TLoadRequest& request);

// Writes a 32-bit bitmap as an RGBA PNG file; false when it cannot be written.
bool WritePng(const TBitmap& bitmap, const std::string& path);
// The same into memory.
std::vector<uint8_t> EncodePng(const TBitmap& bitmap);

}  // namespace dax::image
