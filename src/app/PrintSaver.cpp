#include "app/PrintSaver.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "app/ShowPaths.h"
#include "foundation/Bitmap.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"
#include "platform/PictureFile.h"

namespace dax::app {

namespace {
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
}  // namespace

std::string SaveSlidePicture(IOpenShow& show, int slide, const TBitmap* picture,
                             const std::string& folder) {
  if (folder.empty()) return {};
  std::string base = "slide_" + FormatInt(slide + 1);
  if (picture && !picture->Empty()) {
    std::string path = platform::UniqueFileName(folder, base, ".png");
    return platform::SavePng(path, *picture) ? path : std::string();
  }
  std::string name = show.ReadString("slide" + FormatInt(int64_t{slide} + 1), "picture", "");
  if (name.empty()) return {};
  std::string fileName = name;
  for (char& ch : fileName)
    if (ch == '\\') ch = '/';
  std::string ext = AsciiLower(ExtensionOf(fileName));
  bool jpeg = ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif";
  if (jpeg || ext == ".png") {
    std::optional<std::string> bytes = show.ReadEntry(name);
    if (!bytes) return {};
    // JPEG and PNG files are useful as they are; a ".png" name with other bytes is decoded.
    if (jpeg || bytes->compare(0, sizeof(kPngSignature) - 1, kPngSignature) == 0) {
      std::string path = platform::UniqueFileName(folder, base, ext);
      return WriteBytes(path, *bytes) ? path : std::string();
    }
  }
  // Every other picture (BMP, GIF, packed ".kvgfx", ...) is decoded by the image library.
  std::shared_ptr<const TBitmap> decoded = show.DecodePicture(name);
  if (!decoded || decoded->Empty()) return {};
  std::string path = platform::UniqueFileName(folder, base, ".png");
  return platform::SavePng(path, *decoded) ? path : std::string();
}

}  // namespace dax::app
