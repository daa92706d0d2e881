// The picture shown instead of one that is missing or cannot be decoded.
#pragma once

#include <string>

#include "foundation/Bitmap.h"

namespace dax::image {

constexpr uint32_t kPlaceholderText = 0xFFE6E6E6u;        // (230, 230, 230)
constexpr uint32_t kPlaceholderBackground = 0xFF646464u;  // (100, 100, 100)

// Two text lines, the message and the file name, each with one space before and after, in
// the default sans-serif font at half scale. Without a usable font the background alone.
TBitmap RenderPlaceholder(const std::string& message, const std::string& fileName);

}  // namespace dax::image
