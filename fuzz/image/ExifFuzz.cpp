// EXIF blocks, Photoshop/IPTC resources and the JPEG marker walk that finds them.
#include <cstdint>

#include "image/Exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dax::image::TExifInfo info;
  dax::image::ParseExifBlock(data, size, info);
  dax::image::ParseIptcResources(data, size, info);
  dax::image::ReadJpegMetadata(data, size);
  return 0;
}
