// The process-wide decoded-image cache: one decode per (name, source), shared afterwards.
// The image library registers the decoders and the placeholder maker at start-up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "container/FileSource.h"
#include "foundation/Bitmap.h"
#include "foundation/RefObject.h"
#include "foundation/Stream.h"

namespace dax::container {

inline constexpr char kVideoNotFound[] = "Video not found";
inline constexpr char kImageNotFound[] = "Image not found";
inline constexpr char kVideoLoadError[] = "Video load error:";
inline constexpr char kImageLoadError[] = "Image load error:";

struct TImageDecodeRequest {
  std::string name;                  // the show name as asked for
  TOrientationProvider orientation;  // empty when the source has none
  int imageLevel = 0;                // the accessor's image level
};

// Decodes a picture from a stream (positioned at 0) into a store; null or an exception when it
// cannot. Decoders are tried in registration order.
using TImageDecoder = std::function<TRef<TRefObject>(TStream& stream, const TImageDecodeRequest&)>;
void RegisterImageDecoder(TImageDecoder decoder);
void ClearImageDecoders();

// Makes the placeholder store: message is kImageNotFound or kImageLoadError, fileName the
// file-name part of the name. Two text lines, each with one space before and after, in
// (230, 230, 230) on (100, 100, 100) at half scale.
using TPlaceholderMaker =
    std::function<TRef<TRefObject>(const std::string& message, const std::string& fileName)>;
void SetPlaceholderMaker(TPlaceholderMaker maker);  // empty restores the built-in one

// The built-in placeholder until the image library installs its own: the texts and a plain
// background bitmap.
class TPlaceholderImage : public TRefObject {
 public:
  TPlaceholderImage(std::string message, std::string fileName);
  const std::string& Message() const { return message_; }
  const std::string& FileName() const { return fileName_; }
  const TBitmap& Bitmap() const { return bitmap_; }

 private:
  std::string message_;
  std::string fileName_;
  TBitmap bitmap_;
};

class TImageHandle;

// A cached picture: holds one reference on its cache handle; copies share the handle.
class TDaxImage {
 public:
  TDaxImage() = default;
  TDaxImage(const TDaxImage& other);
  TDaxImage(TDaxImage&& other) noexcept;
  TDaxImage& operator=(TDaxImage other) noexcept;
  ~TDaxImage();

  explicit operator bool() const { return handle_ != nullptr; }
  // The decoded store (the image library's class, or TPlaceholderImage).
  TRef<TRefObject> Store() const;
  template <class T>
  T* StoreAs() const {
    return dynamic_cast<T*>(StorePtr());
  }
  bool IsPlaceholder() const;
  // Same handle: same name, same source.
  bool SharesHandleWith(const TDaxImage& other) const {
    return handle_ && handle_ == other.handle_;
  }

 private:
  friend TDaxImage OpenCachedImage(TFileSource& source, const std::string& name, int imageLevel);
  explicit TDaxImage(TImageHandle* adoptedHandle) : handle_(adoptedHandle) {}
  TRefObject* StorePtr() const;

  TImageHandle* handle_ = nullptr;
};

// The cache lookup and decode behind TFileAccessor::OpenImage.
TDaxImage OpenCachedImage(TFileSource& source, const std::string& name, int imageLevel);

// Handles alive now (tests).
size_t LiveImageHandles();

}  // namespace dax::container
