#include "container/FileAccessor.h"

#include <exception>

#include "container/PartialStream.h"
#include "container/PathModifiers.h"
#include "container/ShowPath.h"
#include "foundation/Progress.h"

namespace dax::container {

TFileAccessor::TFileAccessor(TRef<TFileSource> source) : source_(std::move(source)) {}

TRef<TFileAccessor> TFileAccessor::Copy() const {
  auto copy = MakeRef<TFileAccessor>(source_);
  copy->baseFolder_ = baseFolder_;
  return copy;
}

void TFileAccessor::SetBaseFolder(const std::string& folder) {
  baseFolder_ = ShowNameToPath(folder);
  if (!baseFolder_.empty() && baseFolder_.back() != '/') baseFolder_ += '/';
}

std::unique_ptr<TStream> TFileAccessor::OpenStream(const std::string& name) {
  std::unique_ptr<TStream> stream;
  try {
    if (std::unique_ptr<TStream> raw = source_->OpenRawStream(name)) {
      // The wrapper reports progress; a window that already did would only report twice.
      if (auto* window = dynamic_cast<TPartialStream*>(raw.get()))
        window->SetProgressHook(nullptr, TPartialStream::kDefaultChunk);
      auto wrapped = std::make_unique<TPartialStream>(std::move(raw));
      wrapped->SetProgressHook(&LoadProgress, TPartialStream::kDefaultChunk);
      stream = std::move(wrapped);
      if (filter_) stream = filter_(name, std::move(stream));
    }
    if (!stream && fallback_) stream = fallback_(name);
  } catch (const std::exception&) {
    return nullptr;
  }
  return stream;
}

TDaxImage TFileAccessor::OpenImage(const std::string& name) {
  return OpenCachedImage(*source_, name, imageLevel_);
}

bool TFileAccessor::FindFile(std::string& name) const {
  if (name.empty()) return false;
  std::string plain = name.substr(0, name.find('|'));
  if (auto path = ResolveShowFile(plain)) {
    name = *path;
    return true;
  }
  std::string modified = ApplyPathModifiers(plain);
  if (modified != plain) {
    if (auto path = ResolveShowFile(modified)) {
      name = *path;
      return true;
    }
  }
  if (!baseFolder_.empty()) {
    if (auto path = ResolveShowFile(baseFolder_ + FileNamePart(plain))) {
      name = *path;
      return true;
    }
  }
  return false;
}

std::unique_ptr<TStream> TFileAccessor::OpenFile(const std::string& name) const {
  std::string path = name;
  if (!FindFile(path)) return nullptr;
  try {
    return std::make_unique<TFileStreamEx>(path);
  } catch (const std::exception&) {
    return nullptr;
  }
}

TRef<TCallbackHandle> TFileAccessor::AddImageProvider(TImageProvider provider, const void* owner) {
  return source_->AddImageProvider(std::move(provider), owner);
}

int TFileAccessor::Orientation(const std::string& name) const {
  TOrientationProvider provider = source_->OrientationProvider();
  if (!provider) return 1;
  try {
    return provider(name);
  } catch (const std::exception&) {
    return 1;
  }
}

TRef<TFileAccessor> DefaultAccessor() {
  static TRef<TFileAccessor>* accessor =
      new TRef<TFileAccessor>(MakeRef<TFileAccessor>(MakeRef<TRealFileSource>()));
  return *accessor;
}

}  // namespace dax::container
