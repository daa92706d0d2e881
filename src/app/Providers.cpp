#include "app/Providers.h"

#include <atomic>

#include "app/ShowPaths.h"
#include "foundation/Log.h"
#include "image/ImageLibrary.h"

namespace dax::app {

void TMediaLibraryProvider::Provide(IOpenShow* show) {
  if (show && show->HasEntry("ffmpeg.dll"))
    Log().Write("Windows library in show ignored: ffmpeg.dll");
  if (!path_.empty()) return;
  std::string candidate = programFolder_ + "/" + kMediaLibraryFile;
  if (!FileExists(candidate)) return;
  path_ = candidate;
  // A library that fails to load is logged and otherwise ignored, as a missing one.
  if (load_ && !load_(path_)) TLogLine("Media library failed to load: ").Add(path_);
}

bool ColourLibraryAvailable(container::TDaxShowLocator& locator) {
  if (locator.Accessor().OpenStream("lcms2.dll"))
    Log().Write("Windows library in show ignored: lcms2.dll");
  return true;
}

void InstallColourLibraryProvider() {
  container::SetColorSetupHook(
      [](container::TDaxShowLocator& locator, const std::string& colorManagement) {
        if (image::ColorManagementAsked(colorManagement) && !ColourLibraryAvailable(locator))
          return;
        image::SetUpShowColors(locator, colorManagement);
      });
}

namespace {
std::atomic<bool> exclusiveAllowed{true};
}

void DecideExclusiveMode(IOpenShow& show) {
  exclusiveAllowed = !show.ReadBool("Main", "opt_scr_noexclusive", false);
}

bool ExclusiveModeAllowed() {
  return exclusiveAllowed;
}

}  // namespace dax::app
