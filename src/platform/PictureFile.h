// Saving a slide picture for the user: the pictures folder and PNG files.
#pragma once

#include <string>

namespace dax {
class TBitmap;
}

namespace dax::platform {

// $XDG_PICTURES_DIR, else ~/Pictures (created when missing). Empty when there is no home.
std::string PicturesFolder();
// A file name in `folder` from `base` and `extension` that does not exist yet.
std::string UniqueFileName(const std::string& folder, const std::string& base,
                           const std::string& extension);
// Writes a 32-bit bitmap as an 8-bit RGBA PNG (X8R8G8B8 as opaque). False on failure.
bool SavePng(const std::string& path, const TBitmap& bitmap);

}  // namespace dax::platform
