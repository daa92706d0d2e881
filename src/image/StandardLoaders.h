// Registers the picture loaders and profile readers in their order of precedence.
#pragma once

namespace dax::image {

// Packed picture, BMP, JPEG, GIF first frame (".gif", ".gif_first_frame"), GIF frames atlas,
// PNG. Safe to call more than once: registers only the first time.
void RegisterStandardImageLoaders();

}  // namespace dax::image
