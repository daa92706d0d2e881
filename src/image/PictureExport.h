// A show's picture as the player prepares it for a slide size, for authors to look at.
#pragma once

#include <string>

#include "container/ShowLocator.h"
#include "image/BitmapStore.h"

namespace dax::image {

struct TPreparedPicture {
  TLevelBitmap bitmap;  // 32-bit ARGB; none on failure
  int width = 0;        // the picture's full size as shown (after orientation)
  int height = 0;
  int level = 0;
  std::string error;  // "Image not found ..." / "Image load error: ..." on failure
};

// Opens `name` through the show's accessor (file map, orientation, colour management) and
// takes the level the store chooses for a slide of slideWidth x slideHeight (0 x 0: full
// size). A placeholder is an error, never a picture.
TPreparedPicture PreparePicture(container::TDaxShowLocator& locator, const std::string& name,
                                int slideWidth, int slideHeight);

}  // namespace dax::image
