// Services the main window calls when it opens a show: the media library, the colour library
// and the exclusive full-screen decision.
#pragma once

#include <functional>
#include <string>

#include "app/ShowInterfaces.h"
#include "container/ShowLocator.h"

namespace dax::app {

// Our media library (the shared object over FFmpeg), looked for beside the program.
constexpr const char* kMediaLibraryFile = "libdaxmedia.so";

// Finds the media library once; a show's own "ffmpeg.dll" is a Windows file and is never
// loaded. `load` takes the library's path (the video library's binding); without it the path
// is only kept.
class TMediaLibraryProvider {
 public:
  using TLoader = std::function<bool(const std::string& path)>;
  TMediaLibraryProvider(std::string programFolder, TLoader load = {})
      : programFolder_(std::move(programFolder)), load_(std::move(load)) {}

  void Provide(IOpenShow* show);
  // Empty until the library was found (the next show tries again).
  const std::string& Path() const { return path_; }

 private:
  std::string programFolder_;
  TLoader load_;
  std::string path_;
};

// LittleCMS is linked into the program, so colour management is always available; a show's
// own "lcms2.dll" is a Windows file and is never loaded (it is logged).
bool ColourLibraryAvailable(container::TDaxShowLocator& locator);

// Puts the colour-library provider in front of the image library's colour set-up of every
// opened show: it is asked when the show, under the run's colour switches, turns colour
// management on.
void InstallColourLibraryProvider();

// Exclusive full screen is allowed unless the show sets opt_scr_noexclusive (there is no
// desktop composition switch to ask). The result is kept for the device layer.
void DecideExclusiveMode(IOpenShow& show);
bool ExclusiveModeAllowed();

}  // namespace dax::app
