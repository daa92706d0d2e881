// GIF files: block structure, LZW data, first frame and the frames atlas.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "image/GifReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr int64_t kCap = 1 << 18;
  dax::image::TFPReaderGif gif;
  if (!gif.Read(std::make_shared<std::vector<uint8_t>>(data, data + size), kCap)) return 0;
  for (const auto& f : gif.Frames())
    if (f.streamPos < 0 || static_cast<size_t>(f.streamPos) >= size) std::abort();
  dax::TBitmap first = gif.FirstFrame();
  if (first.Width() != gif.ScreenWidth()) std::abort();
  // The atlas is bounded by its pixel cap; keep the fuzzer's inputs small enough to build it.
  if (static_cast<int64_t>(gif.ScreenWidth()) * gif.ScreenHeight() * gif.AtlasFrameCount() <= kCap)
    gif.BuildAtlas();
  return 0;
}
