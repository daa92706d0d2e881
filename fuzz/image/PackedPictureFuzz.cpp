// Packed pictures: header strings and the deflated payload (zlib or raw).
#include <cstdint>
#include <cstdlib>

#include "image/PackedPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr int64_t kCap = 1 << 18;
  auto header = dax::image::ParsePackedPictureHeader(data, size, kCap);
  if (!header) return 0;
  if (header->payloadOffset > size) std::abort();
  dax::TBitmap b = dax::image::DecodePackedPayload(*header, data + header->payloadOffset,
                                                   size - header->payloadOffset);
  if (b.Width() != header->width || b.Height() != header->height) std::abort();
  return 0;
}
