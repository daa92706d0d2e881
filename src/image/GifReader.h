// GIF files: the block structure with each frame's place in the stream, LZW decoding, the
// first frame and the frames atlas.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "image/BitmapStore.h"
#include "image/ImageLoader.h"

namespace dax::image {

// Delays of 0 play at this rate.
constexpr int kGifDefaultDelayMs = 50;
// The frames atlas never holds more pixels than this.
constexpr int64_t kMaxAtlasPixels = 26214400;

struct TGifFrame {
  int64_t streamPos = 0;  // the frame's first block: its graphic control extension, if any
  int64_t dataPos = 0;    // the LZW minimum code size byte
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
  int delayMs = kGifDefaultDelayMs;
  int disposal = 0;
  int transparentIndex = -1;
  std::vector<uint32_t> localPalette;  // empty: the global one
};

// A frame's palette indices, row by row, for the part of it inside the logical screen.
struct TGifIndices {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;
};

class TFPReaderGif {
 public:
  // Parses the blocks of a GIF held in `data`; false when it is no GIF or has no frame.
  // Frames whose size is out of range end the list.
  bool Read(std::shared_ptr<const std::vector<uint8_t>> data, int64_t maxPixels = kMaxImagePixels);

  int ScreenWidth() const { return screenWidth_; }
  int ScreenHeight() const { return screenHeight_; }
  const std::vector<TGifFrame>& Frames() const { return frames_; }
  // The NETSCAPE loop count (0 = forever), -1 when the file has none.
  int LoopCount() const { return loopCount_; }

  // The palette indices of a frame, row by row (interlacing undone), clipped to the logical
  // screen. Damaged or short data leaves the rest as the transparent index (or 0).
  TGifIndices DecodeIndices(size_t index) const;
  // Draws a frame at its position plus (cellX, 0) on a canvas; transparent pixels are not
  // drawn and everything outside the logical screen is clipped.
  void DrawFrame(size_t index, TBitmap& canvas, int cellX = 0) const;

  // The first frame on a transparent screen-sized bitmap.
  TBitmap FirstFrame() const;
  // How many frames the atlas holds.
  int AtlasFrameCount() const;
  // Cell, count, delays and loop count of the atlas, known without decoding.
  TTilesInfo AtlasTiles() const;
  // The frames side by side, each cell filled from earlier ones by their disposal.
  TBitmap BuildAtlas() const;

 private:
  std::shared_ptr<const std::vector<uint8_t>> data_;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  std::vector<uint32_t> globalPalette_;
  std::vector<TGifFrame> frames_;
  int loopCount_ = -1;
};

TRef<TSysBitmapStore> LoadGifFirstFrame(const TLoadRequest& request);
TRef<TSysBitmapStore> LoadGifAtlas(const TLoadRequest& request);

}  // namespace dax::image
