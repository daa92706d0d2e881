#include "image/StandardLoaders.h"

#include <mutex>

#include "image/BmpReader.h"
#include "image/ColorProfile.h"
#include "image/GifReader.h"
#include "image/ImageLoader.h"
#include "image/JpegLoader.h"
#include "image/PackedPicture.h"
#include "image/PngLoader.h"

namespace dax::image {

void RegisterStandardImageLoaders() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterImageLoader(LoadPackedPicture, {".kvgfx", ".bmp", ".dib", ".png", ".gif|framesatlas"});
    RegisterImageLoader(LoadBmp, {".bmp", ".dib"});
    RegisterImageLoader(LoadJpeg, {".jpg", ".jpeg", ".jpe", ".jfif"});
    RegisterImageLoader(LoadGifFirstFrame, {".gif"});
    RegisterImageLoader(LoadGifFirstFrame, {".gif_first_frame"});
    RegisterImageLoader(LoadGifAtlas, {".gif|framesatlas"});
    RegisterImageLoader(LoadPng, {".png"});
    RegisterProfileReader(
        [](TStream& stream, const std::string& name) -> TRef<TColorProfile> {
          if (stream.Size() - stream.Position() > kMaxProfileStream) return nullptr;
          auto info = ReadJpegInfo(stream, true);
          if (!info || info->iccProfile.empty()) return nullptr;
          return ProfileFromEmbedded(std::move(info->iccProfile), name);
        },
        {".jpg", ".jpeg", ".jpe", ".jfif"});
  });
}

}  // namespace dax::image
