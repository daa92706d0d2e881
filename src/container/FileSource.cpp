#include "container/FileSource.h"

#include <algorithm>
#include <atomic>
#include <exception>

#include "container/PathModifiers.h"
#include "container/ShowPath.h"

namespace dax::container {
namespace {
std::atomic<uint64_t> gSourceCounter{0};
}  // namespace

TCallbackHandle::TCallbackHandle(TRef<TFileSource> source, uint64_t id, const void* owner)
    : source_(std::move(source)), id_(id), owner_(owner) {}

void TCallbackHandle::Dispose() {
  if (source_) source_->RemoveProvider(id_);
  source_.Reset();
  TRefObject::Dispose();
}

TFileSource::TFileSource() : number_(++gSourceCounter) {}

std::unique_ptr<TStream> TFileSource::OpenRawStream(const std::string& name) {
  std::unique_lock lock(openLock_);
  try {
    return DoOpenRawStream(name, lock);
  } catch (const std::exception&) {
    return nullptr;
  }
}

TRef<TCallbackHandle> TFileSource::AddImageProvider(TImageProvider provider, const void* owner) {
  uint64_t id;
  {
    std::lock_guard lock(providersLock_);
    id = nextProviderId_++;
    providers_.push_back({id, std::make_shared<TImageProvider>(std::move(provider))});
  }
  return MakeRef<TCallbackHandle>(TRef<TFileSource>::Share(this), id, owner);
}

void TFileSource::RemoveProvider(uint64_t id) {
  std::lock_guard lock(providersLock_);
  providers_.erase(std::remove_if(providers_.begin(), providers_.end(),
                                  [id](const TProviderSlot& s) { return s.id == id; }),
                   providers_.end());
}

TRef<TRefObject> TFileSource::AskImageProviders(const std::string& name) {
  std::vector<std::shared_ptr<TImageProvider>> providers;
  {
    std::lock_guard lock(providersLock_);
    for (const TProviderSlot& slot : providers_) providers.push_back(slot.provider);
  }
  // Called without the lock: a provider may register or drop providers itself.
  for (const auto& provider : providers) {
    if (!*provider) continue;
    try {
      if (TRef<TRefObject> store = (*provider)(name)) return store;
    } catch (const std::exception&) {
    }
  }
  return nullptr;
}

TOrientationProvider TFileSource::OrientationProvider() const {
  std::lock_guard lock(providersLock_);
  return orientation_;
}

void TFileSource::SetOrientationProvider(TOrientationProvider provider) {
  std::lock_guard lock(providersLock_);
  orientation_ = std::move(provider);
}

size_t TFileStreamEx::Read(void* buffer, size_t count) {
  try {
    return TFileStream::Read(buffer, count);
  } catch (const std::exception&) {
    return 0;
  }
}

std::unique_ptr<TStream> OpenDiskName(const std::string& name, const std::string& rootFolder) {
  std::string path;
  if (size_t bar = name.find('|'); bar != std::string::npos) {
    path = name.substr(0, bar);
  } else {
    path = ApplyPathModifiers(name);
  }
  if (path.empty()) return nullptr;
  std::optional<std::string> resolved = ResolveShowFile(JoinPath(rootFolder, ShowNameToPath(path)));
  if (!resolved) return nullptr;
  try {
    return std::make_unique<TFileStreamEx>(*resolved);
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::unique_ptr<TStream> TRealFileSource::DoOpenRawStream(const std::string& name,
                                                          std::unique_lock<std::mutex>&) {
  return OpenDiskName(name, rootFolder_);
}

}  // namespace dax::container
