// EXIF and IPTC data of a picture, read for the text macros of slide objects.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "foundation/Stream.h"

namespace dax::image {

struct TExifInfo {
  std::string description;  // tag 270
  std::string dateTime;     // tag 306
  std::string comment;      // the EXIF user comment, else the JPEG comment
  int orientation = 1;      // tag 274 (parsed; the loaders show pixels as stored)
  // IPTC application record (record 2): dataset number -> values in file order.
  std::map<int, std::vector<std::string>> iptc;
};

// A TIFF-structured EXIF block (what follows "Exif\0\0"); false when it is not one.
bool ParseExifBlock(const uint8_t* data, size_t size, TExifInfo& info);
// Photoshop image resources (what follows "Photoshop 3.0\0"); false when no IPTC inside.
bool ParseIptcResources(const uint8_t* data, size_t size, TExifInfo& info);
// Walks a JPEG's markers up to its first scan and reads APP1, APP13 and COM.
TExifInfo ReadJpegMetadata(const uint8_t* data, size_t size);
// The same from a stream's current position (the position is restored).
TExifInfo ReadPictureMetadata(TStream& stream);

}  // namespace dax::image
