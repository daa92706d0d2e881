#include "container/ImageCache.h"

#include <exception>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "container/PartialStream.h"
#include "container/ShowPath.h"
#include "foundation/Progress.h"
#include "foundation/Strings.h"

namespace dax::container {

// Reference counts of handles change only under the cache's global lock, so a lookup never
// revives a handle that is being freed.
class TImageHandle {
 public:
  std::mutex lock;
  std::string key;
  uint64_t sourceNumber = 0;
  TRef<TRefObject> store;
  bool loaded = false;
  bool placeholder = false;
  int64_t references = 0;
};

namespace {
constexpr int kPlaceholderWidth = 160;
constexpr int kPlaceholderHeight = 40;

struct TImageCache {
  std::mutex lock;
  std::unordered_map<std::string, std::vector<TImageHandle*>> keys;
  size_t live = 0;
  std::mutex registryLock;
  std::vector<TImageDecoder> decoders;
  TPlaceholderMaker placeholderMaker;
};

// Never destroyed: handles may outlive static destruction order.
TImageCache& Cache() {
  static TImageCache* cache = new TImageCache;
  return *cache;
}

void ReleaseLocked(TImageCache& cache, TImageHandle* handle) {
  if (--handle->references > 0) return;
  auto it = cache.keys.find(handle->key);
  if (it != cache.keys.end()) {
    std::erase(it->second, handle);
    if (it->second.empty()) cache.keys.erase(it);
  }
  --cache.live;
  delete handle;
}

TRef<TRefObject> MakePlaceholder(const std::string& message, const std::string& name) {
  TPlaceholderMaker maker;
  {
    std::lock_guard lock(Cache().registryLock);
    maker = Cache().placeholderMaker;
  }
  std::string fileName = FileNamePart(name);
  if (maker) {
    try {
      if (TRef<TRefObject> store = maker(message, fileName)) return store;
    } catch (const std::exception&) {
    }
  }
  return MakeRef<TPlaceholderImage>(message, fileName);
}

TRef<TRefObject> Decode(TFileSource& source, const std::string& name, int imageLevel, bool& found) {
  std::unique_ptr<TStream> raw = source.OpenRawStream(name);
  found = raw != nullptr;
  if (!raw) return nullptr;
  std::vector<TImageDecoder> decoders;
  {
    std::lock_guard lock(Cache().registryLock);
    decoders = Cache().decoders;
  }
  try {
    TPartialStream stream(std::move(raw));
    stream.SetProgressHook(&LoadProgress, TPartialStream::kDefaultChunk);
    TImageDecodeRequest request{name, source.OrientationProvider(), imageLevel};
    for (const TImageDecoder& decoder : decoders) {
      try {
        stream.SetPosition(0);
        if (TRef<TRefObject> store = decoder(stream, request)) return store;
      } catch (const std::exception&) {
      }
    }
  } catch (const std::exception&) {
  }
  return nullptr;
}
}  // namespace

void RegisterImageDecoder(TImageDecoder decoder) {
  std::lock_guard lock(Cache().registryLock);
  Cache().decoders.push_back(std::move(decoder));
}

void ClearImageDecoders() {
  std::lock_guard lock(Cache().registryLock);
  Cache().decoders.clear();
}

void SetPlaceholderMaker(TPlaceholderMaker maker) {
  std::lock_guard lock(Cache().registryLock);
  Cache().placeholderMaker = std::move(maker);
}

TPlaceholderImage::TPlaceholderImage(std::string message, std::string fileName)
    : message_(std::move(message)),
      fileName_(std::move(fileName)),
      bitmap_(kPlaceholderWidth, kPlaceholderHeight) {
  bitmap_.Fill(0xFF646464);
}

TDaxImage::TDaxImage(const TDaxImage& other) : handle_(other.handle_) {
  if (handle_) {
    std::lock_guard lock(Cache().lock);
    ++handle_->references;
  }
}

TDaxImage::TDaxImage(TDaxImage&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

TDaxImage& TDaxImage::operator=(TDaxImage other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}

TDaxImage::~TDaxImage() {
  if (!handle_) return;
  std::lock_guard lock(Cache().lock);
  ReleaseLocked(Cache(), handle_);
}

TRef<TRefObject> TDaxImage::Store() const {
  return handle_ ? handle_->store : nullptr;
}
TRefObject* TDaxImage::StorePtr() const {
  return handle_ ? handle_->store.Get() : nullptr;
}
bool TDaxImage::IsPlaceholder() const {
  return handle_ && handle_->placeholder;
}

TDaxImage OpenCachedImage(TFileSource& source, const std::string& name, int imageLevel) {
  TImageCache& cache = Cache();
  std::string key = FoldUtf8(name);
  TImageHandle* handle = nullptr;
  {
    std::lock_guard lock(cache.lock);
    std::vector<TImageHandle*>& list = cache.keys[key];
    for (TImageHandle* h : list)
      if (h->sourceNumber == source.SourceNumber()) handle = h;
    if (!handle) {
      handle = new TImageHandle;
      handle->key = key;
      handle->sourceNumber = source.SourceNumber();
      list.push_back(handle);
      ++cache.live;
    }
    ++handle->references;
  }
  TDaxImage image(handle);  // owns the reference taken above
  {
    std::lock_guard lock(handle->lock);
    if (!handle->loaded) {
      TRef<TRefObject> store = source.AskImageProviders(name);
      bool found = false;
      if (!store) store = Decode(source, name, imageLevel, found);
      if (!store) {
        store = MakePlaceholder(found ? kImageLoadError : kImageNotFound, name);
        handle->placeholder = true;
      }
      handle->store = std::move(store);
      handle->loaded = true;
    }
  }
  return image;
}

size_t LiveImageHandles() {
  std::lock_guard lock(Cache().lock);
  return Cache().live;
}

}  // namespace dax::container
