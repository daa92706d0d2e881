// Where a show's files come from: the source base class (packed container, project on disk,
// plain disk), the image providers slides register with it, and the disk variant.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/RefObject.h"
#include "foundation/Stream.h"

namespace dax::container {

// Returns a decoded picture store (the image library's class) for a name, or null.
using TImageProvider = std::function<TRef<TRefObject>(const std::string& name)>;
// EXIF orientation of a picture by name: 1 (none), 3 (180°), 6 or 8 (90°, width and height
// exchanged).
using TOrientationProvider = std::function<int(const std::string& name)>;

inline bool OrientationSwapsSize(int orientation) {
  return orientation == 6 || orientation == 8;
}

class TFileSource;

// One registered image provider; releasing the last reference unregisters it.
class TCallbackHandle : public TRefObject {
 public:
  TCallbackHandle(TRef<TFileSource> source, uint64_t id, const void* owner);
  const void* Owner() const { return owner_; }
  TFileSource* Source() const { return source_.Get(); }

 protected:
  void Dispose() override;

 private:
  TRef<TFileSource> source_;
  uint64_t id_;
  const void* owner_;
};

class TFileSource : public TRefObject {
 public:
  TFileSource();

  // The raw stream of a name, or null. Serialised by the source's lock (a source may release
  // it for work that needs none); never throws.
  std::unique_ptr<TStream> OpenRawStream(const std::string& name);

  // Unique in the process; the decoded-image cache keys on it.
  uint64_t SourceNumber() const { return number_; }

  TRef<TCallbackHandle> AddImageProvider(TImageProvider provider, const void* owner);
  // The first store a provider returns, asked in registration order; null when none does.
  TRef<TRefObject> AskImageProviders(const std::string& name);

  // Empty when the source has no orientation information.
  TOrientationProvider OrientationProvider() const;
  void SetOrientationProvider(TOrientationProvider provider);

 protected:
  // Called holding openLock, which the override may unlock.
  virtual std::unique_ptr<TStream> DoOpenRawStream(const std::string& name,
                                                   std::unique_lock<std::mutex>& openLock) = 0;

 private:
  friend class TCallbackHandle;
  void RemoveProvider(uint64_t id);

  struct TProviderSlot {
    uint64_t id;
    std::shared_ptr<TImageProvider> provider;
  };

  uint64_t number_;
  std::mutex openLock_;
  mutable std::mutex providersLock_;
  std::vector<TProviderSlot> providers_;
  uint64_t nextProviderId_ = 1;
  TOrientationProvider orientation_;
};

// A disk file whose reads give 0 bytes instead of raising on a read error.
class TFileStreamEx : public TFileStream {
 public:
  explicit TFileStreamEx(const std::string& path) : TFileStream(path, TFileMode::Read) {}
  size_t Read(void* buffer, size_t count) override;
};

// Opens a show name on disk: the part before "|" when there is one, else the name after the
// path modifiers; relative names count from rootFolder (the working folder when empty). Null
// when it cannot be opened.
std::unique_ptr<TStream> OpenDiskName(const std::string& name, const std::string& rootFolder);

// Plain disk files.
class TRealFileSource : public TFileSource {
 public:
  explicit TRealFileSource(std::string rootFolder = {}) : rootFolder_(std::move(rootFolder)) {}
  const std::string& RootFolder() const { return rootFolder_; }

 protected:
  std::unique_ptr<TStream> DoOpenRawStream(const std::string& name,
                                           std::unique_lock<std::mutex>& openLock) override;

 private:
  std::string rootFolder_;
};

}  // namespace dax::container
