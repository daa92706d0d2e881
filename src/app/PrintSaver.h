// Print on this platform: the current slide's picture is saved as a file for the user.
#pragma once

#include <string>

#include "app/ShowInterfaces.h"

namespace dax::app {

// The engine's picture when there is one (as PNG); else the slide's own "picture" entry of
// section "slide<n>", PNG bytes as they are and other formats in their own format (their
// decoding belongs to the image library). Returns the saved path, empty on failure.
std::string SaveSlidePicture(IOpenShow& show, int slide, const TBitmap* picture,
                             const std::string& folder);

}  // namespace dax::app
