// Wires the image library into the show container: the picture decoder of the decoded-image
// cache, the placeholder maker and the colour set-up of every opened show.
#pragma once

#include <optional>
#include <string>

#include "container/ShowLocator.h"
#include "image/BitmapStore.h"
#include "image/ColorProfile.h"

namespace dax::image {

// Registers the standard loaders and installs the container hooks. Safe to call again.
void InstallImageLibrary();

// The command line's colour switches for the whole run: `noIcc` ("-noicc") keeps colour
// management off; `outputProfile` ("-icc VALUE") replaces the show's own choice.
void SetColorSwitches(bool noIcc, std::optional<std::string> outputProfile);

// The placeholder as a store (what the cache hands out for a missing picture).
TRef<TSysBitmapStore> MakePlaceholderStore(const std::string& message, const std::string& fileName);

// Whether a show's "ColorManagement" value, under the run's switches, asks for colour
// management ("*" without an output profile keeps it inactive, like an empty value).
bool ColorManagementAsked(const std::string& colorManagement);

// Colour set-up for a show: the target profile from its "ColorManagement" value, the
// show's entries for profile files and precomputed tables.
void SetUpShowColors(container::TDaxShowLocator& locator, const std::string& colorManagement);

// Applies the current target profile to a freshly opened store: its levels are converted
// from the picture's profile (sRGB when it has none) to the target.
void AttachColorManagement(TSysBitmapStore& store);

}  // namespace dax::image
