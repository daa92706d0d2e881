#include "platform/PictureFile.h"

#include <png.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/Bitmap.h"

namespace dax::platform {

std::string PicturesFolder() {
  if (const char* dir = std::getenv("XDG_PICTURES_DIR"); dir && *dir) {
    ::mkdir(dir, 0755);
    return dir;
  }
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  std::string folder = std::string(home) + "/Pictures";
  ::mkdir(folder.c_str(), 0755);
  return folder;
}

std::string UniqueFileName(const std::string& folder, const std::string& base,
                           const std::string& extension) {
  struct stat st {};
  std::string path = folder + "/" + base + extension;
  for (int i = 2; ::stat(path.c_str(), &st) == 0 && i < 10000; ++i)
    path = folder + "/" + base + "_" + std::to_string(i) + extension;
  return path;
}

bool SavePng(const std::string& path, const TBitmap& bitmap) {
  if (bitmap.Empty() ||
      (bitmap.Format() != TPixelFormat::A8R8G8B8 && bitmap.Format() != TPixelFormat::X8R8G8B8))
    return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> row(static_cast<size_t>(bitmap.Width()) * 4);
  volatile bool ok = false;
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()),
                 static_cast<png_uint_32>(bitmap.Height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    bool opaque = bitmap.Format() == TPixelFormat::X8R8G8B8;
    for (int y = 0; y < bitmap.Height(); ++y) {
      for (int x = 0; x < bitmap.Width(); ++x) {
        uint32_t argb = bitmap.Pixel(x, y);
        uint8_t* out = &row[static_cast<size_t>(x) * 4];
        out[0] = static_cast<uint8_t>(argb >> 16);
        out[1] = static_cast<uint8_t>(argb >> 8);
        out[2] = static_cast<uint8_t>(argb);
        out[3] = opaque ? 255 : static_cast<uint8_t>(argb >> 24);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

}  // namespace dax::platform
