#include "image/PictureExport.h"

#include <exception>

#include "container/ImageCache.h"

namespace dax::image {

TPreparedPicture PreparePicture(container::TDaxShowLocator& locator, const std::string& name,
                                int slideWidth, int slideHeight) {
  TPreparedPicture result;
  container::TDaxImage picture = locator.Accessor().OpenImage(name);
  if (!picture || picture.IsPlaceholder()) {
    const bool found = locator.Accessor().OpenStream(name) != nullptr;
    result.error =
        std::string(found ? container::kImageLoadError : container::kImageNotFound) + " " + name;
    return result;
  }
  auto* store = picture.StoreAs<TSysBitmapStore>();
  if (!store) {
    result.error = std::string(container::kImageLoadError) + " " + name;
    return result;
  }
  result.width = store->Width();
  result.height = store->Height();
  result.level = slideWidth > 0 && slideHeight > 0
                     ? LevelFromSize(result.width, result.height, slideWidth, slideHeight)
                     : 0;
  try {
    result.bitmap = store->GetMipLevel(result.level, TPixelFormat::A8R8G8B8);
  } catch (const std::exception& e) {
    result.error = std::string(container::kImageLoadError) + " " + name + ": " + e.what();
  }
  return result;
}

}  // namespace dax::image
