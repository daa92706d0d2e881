// BMP files, RLE included: never read outside the data, never crash.
#include <cstdint>
#include <cstdlib>

#include "image/BmpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small pixel cap keeps hostile headers from asking for gigabytes.
  constexpr int64_t kCap = 1 << 20;
  auto header = dax::image::ReadBmpHeader(data, size, kCap);
  auto bitmap = dax::image::ReadBmp(data, size, kCap);
  if (bitmap && (!header || bitmap->Width() != header->width || bitmap->Height() != header->height))
    std::abort();
  return 0;
}
