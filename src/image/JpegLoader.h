// JPEG pictures through libjpeg-turbo: levels 0..3 by scaled decoding, the embedded profile.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/Stream.h"
#include "image/BitmapStore.h"
#include "image/ImageLoader.h"

namespace dax::image {

struct TJpegInfo {
  int width = 0;
  int height = 0;
  int components = 0;
  bool grayscale = false;
  bool progressive = false;
  bool cmyk = false;                // CMYK or YCCK, converted to RGB when decoded
  std::vector<uint8_t> iccProfile;  // reassembled from its "ICC_PROFILE" APP2 segments
};

// Streams larger than this are not searched for a profile.
constexpr int64_t kMaxProfileStream = 104857600;

// Reads the header from the stream's current position; none when it is not a JPEG we read.
// The position is left where the header ended.
std::optional<TJpegInfo> ReadJpegInfo(TStream& stream, bool readProfile);

// Decodes the picture at 1 / 2^level (level 0..3) into a 32-bit bitmap, from the stream's
// current position. Throws EImageError "JPEG error #<code>" on libjpeg errors; an aborted
// load (the progress hook in abort mode) returns the rows decoded so far. `progress`, when
// set, receives the fraction done.
std::unique_ptr<TBitmap> DecodeJpeg(TStream& stream, int level,
                                    const std::function<void(float)>& progress = {},
                                    bool* aborted = nullptr);

TRef<TSysBitmapStore> LoadJpeg(const TLoadRequest& request);

}  // namespace dax::image
