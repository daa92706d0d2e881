#include "image/ImageLibrary.h"

#include <mutex>

#include "container/ImageCache.h"
#include "image/ImageLoader.h"
#include "image/Placeholder.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

std::mutex gOpenerLock;
TShowOpener gShowOpener;  // the last set-up show's entries (profiles, precomputed tables)

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
  SetTargetProfile(ProfileForSetting(colorManagement, opener));
  std::lock_guard<std::mutex> guard(gOpenerLock);
  gShowOpener = std::move(opener);
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
