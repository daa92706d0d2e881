#include "image/PngLoader.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "foundation/Progress.h"

namespace dax::image {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr int64_t kMaxPngBytes = int64_t{1} << 31;

// The header is read at open; the pixels on the first request. The compressed bytes stay in
// memory until then.
class TImageLibStore : public TSysBitmapStore {
 public:
  TImageLibStore(std::string name, int width, int height, TPixelFormat format,
                 std::vector<uint8_t> bytes)
      : TSysBitmapStore(std::move(name), width, height, format), bytes_(std::move(bytes)) {}

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    if (level != 0) return nullptr;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes_.data(), bytes_.size()))
      throw EImageError("PNG error: " + std::string(image.message));
    // Released however this ends: the allocation and the progress hook may throw
    // (png_image_free is a no-op on an image already freed).
    struct TImageFree {
      png_image& image;
      ~TImageFree() { png_image_free(&image); }
    } release{image};
    image.format = PNG_FORMAT_BGRA;
    auto bitmap = std::make_unique<TBitmap>(StoredWidth(), StoredHeight(), Format());
    LoadProgress();
    if (!png_image_finish_read(&image, nullptr, bitmap->Bytes().data(), bitmap->Stride(), nullptr))
      throw EImageError("PNG error: " + std::string(image.message));
    std::vector<uint8_t>().swap(bytes_);
    return bitmap;
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

TRef<TSysBitmapStore> LoadPng(const TLoadRequest& request) {
  uint8_t head[8];
  if (request.stream->Read(head, 8) != 8 || std::memcmp(head, kSignature, 8) != 0) return nullptr;
  request.stream->SetPosition(request.start);
  std::vector<uint8_t> bytes = ReadRest(*request.stream, kMaxPngBytes);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return nullptr;
  const int width = static_cast<int>(std::min<png_uint_32>(image.width, INT32_MAX));
  const int height = static_cast<int>(std::min<png_uint_32>(image.height, INT32_MAX));
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png_image_free(&image);
  if (!SizeAcceptable(width, height)) return nullptr;
  return MakeRef<TImageLibStore>(request.name, width, height,
                                 alpha ? TPixelFormat::A8R8G8B8 : TPixelFormat::X8R8G8B8,
                                 std::move(bytes));
}

std::vector<uint8_t> EncodePng(const TBitmap& bitmap) {
  if (BytesPerPixel(bitmap.Format()) != 4 || bitmap.Empty()) return {};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap.Width());
  image.height = static_cast<png_uint_32>(bitmap.Height());
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> source;
  const void* pixels = bitmap.Bytes().data();
  if (bitmap.Format() == TPixelFormat::X8R8G8B8) {
    source = bitmap.Bytes();
    for (size_t i = 3; i < source.size(); i += 4) source[i] = 255;
    pixels = source.data();
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, bitmap.Stride(), nullptr))
    return {};
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, bitmap.Stride(), nullptr))
    return {};
  out.resize(size);
  return out;
}

bool WritePng(const TBitmap& bitmap, const std::string& path) {
  std::vector<uint8_t> bytes = EncodePng(bitmap);
  if (bytes.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace dax::image
