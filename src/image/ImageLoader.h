// The image loader registry: loaders asked in registration order, by file extension.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Stream.h"
#include "image/BitmapStore.h"

namespace dax::image {

// What a loader is given. The loader may keep `stream` (shared) for later decoding.
struct TLoadRequest {
  std::shared_ptr<TStream> stream;
  int64_t start = 0;  // where the picture begins in the stream
  std::string name;
  std::string extension;  // lower case, with the dot
};

// Returns a store, or none to decline (the registry restores the stream position).
using TImageLoaderFn = std::function<TRef<TSysBitmapStore>(const TLoadRequest& request)>;

// Extensions are normalised: leading blanks and a leading "*" dropped, a "." put in front.
std::string NormaliseExtension(const std::string& extension);
// Everything from the last "." on, lower case ("" when there is none).
std::string ExtensionOf(const std::string& name);

// Loaders asked in the order they were registered.
class TImageLoaderRegistry {
 public:
  void Register(TImageLoaderFn loader, const std::vector<std::string>& extensions);
  // See OpenImage below.
  TImage Open(std::unique_ptr<TStream> stream, const std::string& name) const;

 private:
  struct TEntry {
    TImageLoaderFn loader;
    std::vector<std::string> extensions;
  };
  mutable std::mutex lock_;
  std::vector<TEntry> entries_;
};

// The process's registry, filled at start-up.
TImageLoaderRegistry& ImageLoaders();
void RegisterImageLoader(TImageLoaderFn loader, const std::vector<std::string>& extensions);

// Opens a picture: the first loader whose extensions contain the name's extension and that
// accepts the stream wins (an empty name asks every loader). A ".bmp" that starts with the
// PNG signature is opened as ".png". Never throws on malformed data.
TImage OpenImage(std::unique_ptr<TStream> stream, const std::string& name);
// Same, for a stream the caller keeps: the rest of it is copied first.
TImage OpenImage(TStream& stream, const std::string& name);

// Reads only a picture's embedded profile; none when it has none.
using TProfileReaderFn =
    std::function<TRef<TColorProfile>(TStream& stream, const std::string& name)>;
void RegisterProfileReader(TProfileReaderFn reader, const std::vector<std::string>& extensions);
// Asks the reader registered for the name's extension; the stream position is restored.
TRef<TColorProfile> ReadEmbeddedProfile(TStream& stream, const std::string& name);

// Reads the rest of a stream into memory; empty when it is larger than `limit` bytes.
std::vector<uint8_t> ReadRest(TStream& stream, int64_t limit);

}  // namespace dax::image
