#include "image/ImageLibrary.h"

#include <mutex>
#include <optional>

#include "container/ImageCache.h"
#include "image/ImageLoader.h"
#include "image/Placeholder.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

std::mutex gOpenerLock;
TShowOpener gShowOpener;  // the last set-up show's entries (profiles, precomputed tables)

std::mutex gSwitchLock;
bool gNoIcc = false;
std::optional<std::string> gOutputProfile;

// "-icc VALUE": "auto" or empty is the display's profile, built-in names as in shows,
// anything else a profile file on disk (none when it cannot be read).
TRef<TColorProfile> OutputProfileFromSwitch(const std::string& value) {
  if (value.empty() || value == "auto") return DisplayProfile();
  if (value == "sRGB" || value == "AdobeRGB" || value == "ZedidUZE") {
    return ProfileForSetting(value, nullptr);
  }
  return ProfileForSetting(value,
                           [](const std::string& path) { return OpenFile(path, TFileMode::Read); });
}

TShowOpener ShowOpener() {
  std::lock_guard<std::mutex> guard(gOpenerLock);
  return gShowOpener;
}

TRef<TRefObject> DecodePicture(TStream& stream, const container::TImageDecodeRequest& request) {
  TImage image = OpenImage(stream, request.name);
  if (!image) return nullptr;
  TRef<TSysBitmapStore> store = image.StoreRef();
  if (request.orientation) store->SetOrientation(request.orientation(request.name));
  AttachColorManagement(*store);
  return store;
}

}  // namespace

TRef<TSysBitmapStore> MakePlaceholderStore(const std::string& message,
                                           const std::string& fileName) {
  return MakeRef<TWrapperBitmapStore>(fileName, RenderPlaceholder(message, fileName));
}

void AttachColorManagement(TSysBitmapStore& store) {
  TRef<TColorProfile> target = TargetProfileOrNull();
  if (!target) return;
  TRef<TColorProfile> source = store.Profile();
  if (!source) source = BuiltinSrgbProfile();
  TRef<TColorTransform> transform = MakeColorTransform(source, target, ShowOpener());
  if (!transform) return;
  store.SetPostProcess([transform](TBitmap& bitmap) { transform->Apply(bitmap); });
}

void SetUpShowColors(container::TDaxShowLocator& locator, const std::string& colorManagement) {
  TRef<container::TFileAccessor> accessor = locator.AccessorRef();
  TShowOpener opener = [accessor](const std::string& name) { return accessor->OpenStream(name); };
  std::optional<std::string> output;
  {
    std::lock_guard<std::mutex> guard(gSwitchLock);
    output = gOutputProfile;
  }
  TRef<TColorProfile> target;
  if (!ColorManagementAsked(colorManagement)) {
    target = nullptr;
  } else if (output) {
    target = OutputProfileFromSwitch(*output);
    if (!target) target = ProfileForSetting(colorManagement, opener);
  } else {
    target = ProfileForSetting(colorManagement, opener);
  }
  SetTargetProfile(std::move(target));
  std::lock_guard<std::mutex> guard(gOpenerLock);
  gShowOpener = std::move(opener);
}

bool ColorManagementAsked(const std::string& colorManagement) {
  std::lock_guard<std::mutex> guard(gSwitchLock);
  return !gNoIcc && !colorManagement.empty() && (colorManagement != "*" || gOutputProfile);
}

void SetColorSwitches(bool noIcc, std::optional<std::string> outputProfile) {
  std::lock_guard<std::mutex> guard(gSwitchLock);
  gNoIcc = noIcc;
  gOutputProfile = std::move(outputProfile);
}

void InstallImageLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterStandardImageLoaders();
    container::RegisterImageDecoder(DecodePicture);
    container::SetPlaceholderMaker(
        [](const std::string& message, const std::string& fileName) -> TRef<TRefObject> {
          return MakePlaceholderStore(message, fileName);
        });
    container::SetColorSetupHook(SetUpShowColors);
  });
}

}  // namespace dax::image
