// Print on this platform: the current slide's picture is saved as a file for the user.
#pragma once

#include <string>

#include "app/ShowInterfaces.h"

namespace dax::app {

// The engine's picture when there is one (as PNG); else the slide's own "picture" entry of
// section "slide<n>": JPEG and PNG files as they are, every other picture decoded and saved as
// PNG. Returns the saved path, empty on failure.
std::string SaveSlidePicture(IOpenShow& show, int slide, const TBitmap* picture,
                             const std::string& folder);

}  // namespace dax::app
