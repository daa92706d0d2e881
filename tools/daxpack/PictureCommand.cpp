// daxpack picture: writes a show's picture as the player would prepare it for a slide size.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "container/ShowLocator.h"
#include "foundation/Numbers.h"
#include "image/ImageLibrary.h"
#include "image/PictureExport.h"
#include "image/PngLoader.h"

namespace dax::daxpack {
namespace {

bool ParseSize(const std::string& text, int& width, int& height) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  auto w = ParseInt64(text.substr(0, x));
  auto h = ParseInt64(text.substr(x + 1));
  if (!w || !h || *w <= 0 || *h <= 0 || *w > 65535 || *h > 65535) return false;
  width = static_cast<int>(*w);
  height = static_cast<int>(*h);
  return true;
}

bool EndsWithDax(const std::string& path) {
  return path.size() >= 4 && (path.compare(path.size() - 4, 4, ".dax") == 0 ||
                              path.compare(path.size() - 4, 4, ".DAX") == 0);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "daxpack picture: %s\n", message.c_str());
  return 1;
}

int RunPicture(const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  int width = 0;
  int height = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--size") {
      if (i + 1 >= args.size() || !ParseSize(args[i + 1], width, height))
        return Fail("--size needs WIDTHxHEIGHT");
      ++i;
    } else {
      plain.push_back(args[i]);
    }
  }
  if (plain.size() != 3) {
    std::fprintf(stderr, "usage: daxpack picture SHOW NAME OUT.png [--size WxH]\n");
    return 2;
  }
  const std::string& showPath = plain[0];
  const std::string& name = plain[1];
  const std::string& outPath = plain[2];

  // Decoders, placeholder and colour set-up must be in place before the show opens.
  image::InstallImageLibrary();
  std::unique_ptr<container::TDaxShowLocator> locator;
  if (EndsWithDax(showPath)) {
    locator = container::OpenProjectFile(showPath);
    if (!locator) return Fail("cannot open project " + showPath);
  } else {
    container::TOpenShowResult opened = container::OpenPackedShow(showPath);
    if (!opened.locator)
      return Fail("cannot open show " + showPath +
                  (opened.errorText.empty() ? "" : ": " + opened.errorText));
    locator = std::move(opened.locator);
  }

  image::TPreparedPicture prepared = image::PreparePicture(*locator, name, width, height);
  if (!prepared.bitmap) return Fail(prepared.error);
  if (!image::WritePng(*prepared.bitmap, outPath)) return Fail("cannot write " + outPath);
  std::printf("%s: %dx%d, level %d (%dx%d) -> %s\n", name.c_str(), prepared.width, prepared.height,
              prepared.level, prepared.bitmap->Width(), prepared.bitmap->Height(), outPath.c_str());
  return 0;
}

}  // namespace

DAXPACK_COMMAND("picture",
                "picture SHOW NAME OUT.png [--size WxH]   write a picture as prepared for a slide",
                RunPicture);

}  // namespace dax::daxpack
