#include "image/BitmapStore.h"

#include <algorithm>
#include <cstring>

#include "foundation/Assert.h"
#include "image/ColorProfile.h"
#include "image/Orientation.h"

namespace dax::image {
namespace {
constexpr int kDeepestLevel = 31;
}  // namespace

bool SizeAcceptable(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImagePixels && height <= kMaxImagePixels &&
         width * height <= kMaxImagePixels;
}

TSize MipLevelSize(int width, int height, int level) {
  for (int i = 0; i < level && (width > 1 || height > 1); ++i) {
    width = (width + 1) / 2;
    height = (height + 1) / 2;
  }
  return {width, height};
}

int LevelFromSize(int fullWidth, int fullHeight, int targetWidth, int targetHeight) {
  int w = fullWidth;
  int h = fullHeight;
  int n = -1;
  // Bounded: a dimension of 1 can no longer be greater than a non-negative target.
  while (w > targetWidth && h > targetHeight && (w > 1 || h > 1)) {
    w = (w + 1) / 2;
    h = (h + 1) / 2;
    ++n;
  }
  return std::max(n, 0);
}

TBitmap HalveBitmap(const TBitmap& source) {
  DAX_ASSERT(BytesPerPixel(source.Format()) == 4, "Invalid Combination Of Bitmap Parameters");
  const int sw = source.Width();
  const int sh = source.Height();
  TSize size = MipLevelSize(sw, sh, 1);
  TBitmap out(size.width, size.height, source.Format());
  if (sw == 0 || sh == 0) return out;
  auto clampX = [sw](int x) { return std::clamp(x, 0, sw - 1); };
  for (int y = 0; y < size.height; ++y) {
    const int cy = 2 * y;
    const uint8_t* rows[3] = {source.Scanline(std::clamp(cy - 1, 0, sh - 1)),
                              source.Scanline(std::min(cy, sh - 1)),
                              source.Scanline(std::min(cy + 1, sh - 1))};
    uint8_t* dst = out.Scanline(y);
    for (int x = 0; x < size.width; ++x) {
      const int cx = 2 * x;
      const int xs[3] = {clampX(cx - 1) * 4, clampX(cx) * 4, clampX(cx + 1) * 4};
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (int j = 0; j < 3; ++j) {
          const unsigned wy = j == 1 ? 2 : 1;
          const uint8_t* r = rows[j];
          sum += wy * (r[xs[0] + c] + 2u * r[xs[1] + c] + r[xs[2] + c]);
        }
        dst[x * 4 + c] = static_cast<uint8_t>(sum / 16);
      }
    }
  }
  return out;
}

TBitmap ConvertBitmap(const TBitmap& source, TPixelFormat format) {
  DAX_ASSERT(BytesPerPixel(source.Format()) == 4, "Invalid Combination Of Bitmap Parameters");
  TBitmap out(source.Width(), source.Height(), format);
  for (int y = 0; y < source.Height(); ++y) {
    const uint8_t* s = source.Scanline(y);
    uint8_t* d = out.Scanline(y);
    for (int x = 0; x < source.Width(); ++x, s += 4) {
      switch (format) {
        case TPixelFormat::A8R8G8B8:
          std::memcpy(d + x * 4, s, 4);
          break;
        case TPixelFormat::X8R8G8B8:
          std::memcpy(d + x * 4, s, 3);
          d[x * 4 + 3] = 255;
          break;
        case TPixelFormat::L8:
          d[x] = static_cast<uint8_t>((s[2] * 77u + s[1] * 150u + s[0] * 29u + 128) >> 8);
          break;
        case TPixelFormat::R5G6B5: {
          uint16_t v =
              static_cast<uint16_t>(((s[2] >> 3) << 11) | ((s[1] >> 2) << 5) | (s[0] >> 3));
          std::memcpy(d + x * 2, &v, 2);
          break;
        }
      }
    }
  }
  return out;
}

TLevelBitmap TBitmapStore::GetMipLevel(int level, std::optional<TPixelFormat> format) {
  DAX_ASSERT(level >= 0, "TSysBitmapStore.GetMipLevel - Index<0");
  // Every picture is 1 x 1 by level 31; deeper requests get that level, not a deep recursion.
  level = std::min(level, kDeepestLevel);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  partial_ = false;
  return Level(level, format.value_or(NativeFormat()));
}

TLevelBitmap TBitmapStore::Level(int level, TPixelFormat format) {
  auto key = std::make_pair(level, static_cast<int>(format));
  if (auto it = levels_.find(key); it != levels_.end()) return it->second;

  // The working format keeps alpha when the picture has it.
  const TPixelFormat work =
      NativeFormat() == TPixelFormat::A8R8G8B8 ? TPixelFormat::A8R8G8B8 : TPixelFormat::X8R8G8B8;
  TLevelBitmap made;
  if (format != work) {
    TLevelBitmap base = Level(level, work);
    made = std::make_shared<const TBitmap>(ConvertBitmap(*base, format));
  } else {
    // A picture that failed to decode fails the same way again: no second attempt.
    if (auto failed = failures_.find(level); failed != failures_.end())
      throw EImageError(failed->second);
    std::unique_ptr<TBitmap> produced;
    try {
      produced = ProduceLevel(level);
    } catch (const EImageError& e) {
      failures_[level] = e.what();
      throw;
    } catch (const std::length_error&) {
      failures_[level] = "Image too large";
      throw EImageError("Image too large");
    }
    if (produced) {
      TSize expected = LevelSize(level);
      PostProcess(*produced);
      DAX_ASSERT(produced->Width() == expected.width && produced->Height() == expected.height,
                 "Incorrect MipLevelIndex");
      if (produced->Format() != work) *produced = ConvertBitmap(*produced, work);
      made = std::move(produced);
    } else {
      DAX_ASSERT(level > 0, ClassName() + " returned no bitmap for level " + std::to_string(level));
      TLevelBitmap previous = Level(level - 1, work);
      made = std::make_shared<const TBitmap>(HalveBitmap(*previous));
    }
  }
  if (!partial_) levels_[key] = made;
  return made;
}

TRef<TColorProfile> TBitmapStore::Profile() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return profile_;
}

void TBitmapStore::SetProfile(TRef<TColorProfile> profile) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  profile_ = std::move(profile);
}

TSysBitmapStore::TSysBitmapStore(std::string name, int width, int height, TPixelFormat format)
    : name_(std::move(name)), width_(width), height_(height), format_(format) {}

int TSysBitmapStore::Width() const {
  return OrientationSwapsSize(orientation_) ? height_ : width_;
}
int TSysBitmapStore::Height() const {
  return OrientationSwapsSize(orientation_) ? width_ : height_;
}

void TSysBitmapStore::SetOrientation(int code) {
  orientation_ = code >= 1 && code <= 8 ? code : 1;
}

void TSysBitmapStore::SetPostProcess(std::function<void(TBitmap&)> callback) {
  postProcess_ = std::move(callback);
}

TSize TSysBitmapStore::LevelSize(int level) const {
  return MipLevelSize(Width(), Height(), level);
}

void TSysBitmapStore::PostProcess(TBitmap& bitmap) {
  ApplyOrientation(bitmap, orientation_);
  if (postProcess_) postProcess_(bitmap);
}

TWrapperBitmapStore::TWrapperBitmapStore(std::string name, TBitmap bitmap)
    : TSysBitmapStore(std::move(name), bitmap.Width(), bitmap.Height(), bitmap.Format()),
      bitmap_(std::make_unique<TBitmap>(std::move(bitmap))) {}

std::unique_ptr<TBitmap> TWrapperBitmapStore::ProduceLevel(int level) {
  if (level != 0) return nullptr;
  // The cache keeps the level; the store does not need its own copy afterwards.
  if (bitmap_) return std::move(bitmap_);
  return nullptr;
}

TImage::TImage(TRef<TSysBitmapStore> store) : store_(std::move(store)) {
  if (store_) {
    name_ = store_->Name();
    width_ = store_->Width();
    height_ = store_->Height();
  }
}

}  // namespace dax::image
