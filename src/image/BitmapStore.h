// Bitmap stores: a picture that knows its size at once and produces its pixels per mip level.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/RefObject.h"
#include "image/ColorProfile.h"

namespace dax::image {

// A picture that cannot be decoded or is too large to hold.
class EImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest bitmap any loader makes; bigger pictures are declined.
constexpr int64_t kMaxImagePixels = TBitmap::kMaxPixels;

struct TSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// True when width x height is positive and within kMaxImagePixels.
bool SizeAcceptable(int64_t width, int64_t height);

// Level n: the size halved n times, each halving rounding up.
TSize MipLevelSize(int width, int height, int level);
// The deepest level still larger than the target in both directions (0 at least).
int LevelFromSize(int fullWidth, int fullHeight, int targetWidth, int targetHeight);

// The next level of a 32-bit bitmap: each output pixel (x, y) is the 1-2-1 x 1-2-1 weighted
// sum of the 3x3 neighbourhood of (2x, 2y) divided by 16 (truncated); neighbours outside the
// picture repeat the edge pixel.
TBitmap HalveBitmap(const TBitmap& source);

// Converts a 32-bit bitmap into another pixel format (X8R8G8B8 forces alpha to 255).
TBitmap ConvertBitmap(const TBitmap& source, TPixelFormat format);

// The GIF frames atlas description the renderer needs to play it.
struct TTilesInfo {
  int cellWidth = 0;
  int cellHeight = 0;
  int frameCount = 0;
  int64_t totalDuration = 0;  // ms
  double averageDuration = 0;
  std::string delays;  // "100,50,..." in ms
  int loopCount = 0;
};

using TLevelBitmap = std::shared_ptr<const TBitmap>;

// Per-level cache under one lock; subclasses produce the levels they can decode directly.
class TBitmapStore : public TRefObject {
 public:
  // The bitmap of level `level` in `format` (none: the store's own format). Throws
  // EAssertionFailed on misuse and EImageError when the picture cannot be decoded; a level
  // that failed keeps its error and is not decoded again. An abort (EOperationAborted) is not
  // remembered.
  TLevelBitmap GetMipLevel(int level, std::optional<TPixelFormat> format = std::nullopt);

  TRef<TColorProfile> Profile() const;
  void SetProfile(TRef<TColorProfile> profile);

 protected:
  // Called under the store's lock; none when the level is not produced directly.
  virtual std::unique_ptr<TBitmap> ProduceLevel(int level) = 0;
  virtual TPixelFormat NativeFormat() const = 0;
  virtual TSize LevelSize(int level) const = 0;
  // Runs on every bitmap a subclass produced (not on halved ones, which inherit it).
  virtual void PostProcess(TBitmap& /*bitmap*/) {}
  // Called from ProduceLevel when the bitmap is incomplete (an aborted load): it is handed
  // out but not cached, so that a later request decodes it again.
  void MarkPartial() { partial_ = true; }

 private:
  TLevelBitmap Level(int level, TPixelFormat format);

  mutable std::recursive_mutex lock_;
  std::map<std::pair<int, int>, TLevelBitmap> levels_;
  std::map<int, std::string> failures_;  // level -> the decode error it gave
  TRef<TColorProfile> profile_;
  bool partial_ = false;
};

// A store with a name, full size, pixel format, an orientation (EXIF code 1..8) and an
// optional post-processing callback supplied by the opener.
class TSysBitmapStore : public TBitmapStore {
 public:
  TSysBitmapStore(std::string name, int width, int height, TPixelFormat format);

  const std::string& Name() const { return name_; }
  // The size as the picture is shown (width and height exchanged by orientations 5..8).
  int Width() const;
  int Height() const;
  TPixelFormat Format() const { return format_; }

  // Must be set before the first level is produced.
  void SetOrientation(int code);
  int Orientation() const { return orientation_; }
  void SetPostProcess(std::function<void(TBitmap&)> callback);

  // Decode progress of the current level, 0..1.
  float DecodeProgress() const { return progress_.load(); }

  const TTilesInfo* Tiles() const { return tiles_ ? &*tiles_ : nullptr; }
  void SetTiles(TTilesInfo tiles) { tiles_ = std::move(tiles); }

 protected:
  TPixelFormat NativeFormat() const override { return format_; }
  TSize LevelSize(int level) const override;
  void PostProcess(TBitmap& bitmap) override;
  void SetDecodeProgress(float value) { progress_.store(value); }

  // The stored (not yet oriented) full size.
  int StoredWidth() const { return width_; }
  int StoredHeight() const { return height_; }

 private:
  std::string name_;
  int width_;
  int height_;
  TPixelFormat format_;
  int orientation_ = 1;
  std::function<void(TBitmap&)> postProcess_;
  std::atomic<float> progress_{0};
  std::optional<TTilesInfo> tiles_;
};

// Holds a finished level-0 bitmap.
class TWrapperBitmapStore : public TSysBitmapStore {
 public:
  TWrapperBitmapStore(std::string name, TBitmap bitmap);

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override;

 private:
  std::unique_ptr<TBitmap> bitmap_;
};

// A picture as callers hold it: a shared store plus its name and size.
class TImage {
 public:
  TImage() = default;
  explicit TImage(TRef<TSysBitmapStore> store);

  explicit operator bool() const { return static_cast<bool>(store_); }
  TSysBitmapStore* Store() const { return store_.Get(); }
  const TRef<TSysBitmapStore>& StoreRef() const { return store_; }
  const std::string& Name() const { return name_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  TRef<TSysBitmapStore> store_;
  std::string name_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace dax::image
