// ".kvgfx" packed pictures: "KVGF", key/value strings, then a deflated BMP file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "image/BitmapStore.h"
#include "image/ImageLoader.h"

namespace dax::image {

struct TPackedPictureHeader {
  std::map<std::string, std::string> keys;
  int width = 0;
  int height = 0;
  int64_t originalSize = 0;
  size_t payloadOffset = 0;
};

// The header of a packed picture; none when a required key is missing, a string cannot be
// read or the declared size is out of range.
std::optional<TPackedPictureHeader> ParsePackedPictureHeader(const uint8_t* data, size_t size,
                                                             int64_t maxPixels = kMaxImagePixels);

// Inflates zlib or raw deflate data, at most `limit` bytes of output; none when damaged.
std::optional<std::vector<uint8_t>> InflatePayload(const uint8_t* data, size_t size, size_t limit);

// The colour of a packed picture whose payload cannot be read.
constexpr uint32_t kDamagedPictureColour = 0xFF646464u;

// The picture of a packed payload: the BMP inside, or a Width x Height bitmap filled with
// kDamagedPictureColour when it cannot be inflated or read.
TBitmap DecodePackedPayload(const TPackedPictureHeader& header, const uint8_t* payload,
                            size_t size);

// Builds a packed picture (tools and tests): keys in order, payload deflated with zlib.
std::vector<uint8_t> WritePackedPicture(
    const std::vector<std::pair<std::string, std::string>>& keys,
    const std::vector<uint8_t>& bmpFile, bool rawDeflate = false);

TRef<TSysBitmapStore> LoadPackedPicture(const TLoadRequest& request);

}  // namespace dax::image
