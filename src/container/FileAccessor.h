// Opens every file of a show by name, as a stream or as a cached decoded picture, whatever the
// bytes come from (packed container, project on disk, plain disk files).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "container/FileSource.h"
#include "container/ImageCache.h"
#include "foundation/RefObject.h"
#include "foundation/Stream.h"

namespace dax::container {

// Asked when the source has no such name.
using TFallbackOpener = std::function<std::unique_ptr<TStream>(const std::string& name)>;
// May replace a stream after opening (return it unchanged to keep it).
using TStreamFilter =
    std::function<std::unique_ptr<TStream>(const std::string& name, std::unique_ptr<TStream>)>;

class TFileAccessor : public TRefObject {
 public:
  explicit TFileAccessor(TRef<TFileSource> source);

  // A new accessor on the same source with the same base folder.
  TRef<TFileAccessor> Copy() const;

  // The stream of a show name, or null. Reads report load progress. Never throws.
  std::unique_ptr<TStream> OpenStream(const std::string& name);
  // Decoded once per name and source; a placeholder when missing or undecodable.
  TDaxImage OpenImage(const std::string& name);
  // An existing disk file for the name: as it is, else after the path modifiers, else the
  // base folder + the name's file-name part. On success name becomes that path.
  bool FindFile(std::string& name) const;
  // The disk file FindFile finds, opened for reading; null when none.
  std::unique_ptr<TStream> OpenFile(const std::string& name) const;
  // Providers are asked in registration order before any file is decoded.
  TRef<TCallbackHandle> AddImageProvider(TImageProvider provider, const void* owner);
  // The picture's EXIF orientation from the show (1 when none is recorded).
  int Orientation(const std::string& name) const;

  TFileSource& Source() const { return *source_; }
  const TRef<TFileSource>& SourceRef() const { return source_; }

  int ImageLevel() const { return imageLevel_; }
  void SetImageLevel(int level) { imageLevel_ = level; }
  void SetFallbackOpener(TFallbackOpener opener) { fallback_ = std::move(opener); }
  void SetStreamFilter(TStreamFilter filter) { filter_ = std::move(filter); }
  // With a trailing "/"; "\" in the argument is taken as "/".
  const std::string& BaseFolder() const { return baseFolder_; }
  void SetBaseFolder(const std::string& folder);

 private:
  TRef<TFileSource> source_;
  int imageLevel_ = 0;
  TFallbackOpener fallback_;
  TStreamFilter filter_;
  std::string baseFolder_;
};

// The process's accessor on plain disk files.
TRef<TFileAccessor> DefaultAccessor();

}  // namespace dax::container
