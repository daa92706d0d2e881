#include "image/GifReader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/Progress.h"

namespace dax::image {
namespace {

constexpr int kMaxLzwBits = 12;
constexpr int kMaxLzwCodes = 1 << kMaxLzwBits;
constexpr uint32_t kMissingColour = 0xFF000000u;

uint32_t U16(const uint8_t* p) {
  return p[0] | p[1] << 8;
}

std::vector<uint32_t> ReadPalette(const uint8_t* data, size_t size, size_t& pos, int packed) {
  if (!(packed & 0x80)) return {};
  size_t count = size_t{2} << (packed & 7);
  std::vector<uint32_t> palette(count, kMissingColour);
  for (size_t i = 0; i < count && pos + 3 <= size; ++i, pos += 3)
    palette[i] = 0xFF000000u | data[pos] << 16 | data[pos + 1] << 8 | data[pos + 2];
  return palette;
}

// Skips data sub-blocks from `pos` (the first length byte); returns the position after them.
size_t SkipSubBlocks(const uint8_t* data, size_t size, size_t pos) {
  while (pos < size) {
    size_t len = data[pos++];
    if (len == 0) break;
    pos += len;
  }
  return std::min(pos, size);
}

// Decodes an LZW stream held in data sub-blocks, handing at most `total` indices to
// `sink(index)` in stream order; the sink returns false when it wants no more.
template <typename Sink>
void DecodeLzw(const uint8_t* data, size_t size, size_t pos, int minCodeSize, size_t total,
               Sink&& sink) {
  if (minCodeSize < 2 || minCodeSize > 8) return;
  std::vector<uint16_t> prefix(kMaxLzwCodes);
  std::vector<uint8_t> suffix(kMaxLzwCodes);
  std::vector<uint8_t> stack(kMaxLzwCodes + 1);
  const int clear = 1 << minCodeSize;
  const int eoi = clear + 1;
  for (int i = 0; i < clear; ++i) suffix[i] = static_cast<uint8_t>(i);
  int codeSize = minCodeSize + 1;
  int next = clear + 2;
  int prev = -1;
  uint8_t first = 0;
  uint32_t acc = 0;
  int bits = 0;
  size_t blockLeft = 0;
  size_t written = 0;
  while (written < total) {
    while (bits < codeSize) {
      if (blockLeft == 0) {
        if (pos >= size) return;
        blockLeft = data[pos++];
        if (blockLeft == 0) return;
      }
      if (pos >= size) return;
      acc |= static_cast<uint32_t>(data[pos++]) << bits;
      bits += 8;
      --blockLeft;
    }
    int code = static_cast<int>(acc & ((1u << codeSize) - 1));
    acc >>= codeSize;
    bits -= codeSize;
    if (code == clear) {
      codeSize = minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == eoi) return;
    if (prev < 0) {
      if (code >= clear) return;
      if (!sink(static_cast<uint8_t>(code))) return;
      ++written;
      prev = code;
      first = static_cast<uint8_t>(code);
      continue;
    }
    if (code > next) return;
    const int in = code;
    size_t sp = 0;
    if (code == next) {
      stack[sp++] = first;
      code = prev;
    }
    while (code >= clear) {
      if (sp >= stack.size() - 1) return;
      stack[sp++] = suffix[code];
      code = prefix[code];
    }
    first = suffix[code];
    stack[sp++] = first;
    for (; sp > 0 && written < total; ++written)
      if (!sink(stack[--sp])) return;
    if (next < kMaxLzwCodes) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = first;
      ++next;
      if (next == (1 << codeSize) && codeSize < kMaxLzwBits) ++codeSize;
    }
    prev = in;
  }
}

// Row y of the picture that the n-th stored row of an interlaced frame of `height` rows is.
int InterlacedRow(int n, int height) {
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int rows =
        height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (n < rows) return kStart[pass] + n * kStep[pass];
    n -= rows;
  }
  return height;
}

}  // namespace

bool TFPReaderGif::Read(std::shared_ptr<const std::vector<uint8_t>> bytes, int64_t maxPixels) {
  data_ = std::move(bytes);
  frames_.clear();
  globalPalette_.clear();
  loopCount_ = -1;
  const uint8_t* data = data_->data();
  const size_t size = data_->size();
  if (size < 13 || std::memcmp(data, "GIF8", 4) != 0 || (data[4] != '7' && data[4] != '9') ||
      data[5] != 'a')
    return false;
  screenWidth_ = static_cast<int>(U16(data + 6));
  screenHeight_ = static_cast<int>(U16(data + 8));
  size_t pos = 13;
  globalPalette_ = ReadPalette(data, size, pos, data[10]);

  TGifFrame pending;
  bool havePending = false;
  while (pos < size) {
    const size_t blockPos = pos;
    const uint8_t kind = data[pos];
    if (kind == 0x3B) break;
    if (kind == 0x21) {
      if (pos + 2 > size) break;
      const uint8_t label = data[pos + 1];
      pos += 2;
      if (label == 0xF9 && pos + 5 <= size && data[pos] >= 4) {
        const uint8_t packed = data[pos + 1];
        const int delay = static_cast<int>(U16(data + pos + 2));
        pending = TGifFrame();
        pending.streamPos = static_cast<int64_t>(blockPos);
        pending.disposal = packed >> 2 & 7;
        pending.delayMs = delay == 0 ? kGifDefaultDelayMs : delay * 10;
        pending.transparentIndex = packed & 1 ? data[pos + 4] : -1;
        havePending = true;
      } else if (label == 0xFF && pos + 12 <= size && data[pos] == 11 &&
                 (std::memcmp(data + pos + 1, "NETSCAPE2.0", 11) == 0 ||
                  std::memcmp(data + pos + 1, "ANIMEXTS1.0", 11) == 0)) {
        size_t sub = pos + 12;
        if (sub + 4 <= size && data[sub] >= 3 && data[sub + 1] == 1)
          loopCount_ = static_cast<int>(U16(data + sub + 2));
      }
      pos = SkipSubBlocks(data, size, pos);
      continue;
    }
    if (kind != 0x2C || pos + 10 > size) break;
    TGifFrame frame = havePending ? pending : TGifFrame();
    if (!havePending) frame.streamPos = static_cast<int64_t>(blockPos);
    havePending = false;
    frame.left = static_cast<int>(U16(data + pos + 1));
    frame.top = static_cast<int>(U16(data + pos + 3));
    frame.width = static_cast<int>(U16(data + pos + 5));
    frame.height = static_cast<int>(U16(data + pos + 7));
    const uint8_t packed = data[pos + 9];
    frame.interlaced = (packed & 0x40) != 0;
    pos += 10;
    frame.localPalette = ReadPalette(data, size, pos, packed);
    if (pos >= size) break;
    frame.dataPos = static_cast<int64_t>(pos);
    pos = SkipSubBlocks(data, size, pos + 1);
    if (frame.width == 0 || frame.height == 0) continue;
    if (static_cast<int64_t>(frame.width) * frame.height > maxPixels) break;
    frames_.push_back(std::move(frame));
  }
  if (frames_.empty()) return false;
  if (screenWidth_ == 0 || screenHeight_ == 0) {
    for (const TGifFrame& f : frames_) {
      screenWidth_ = std::max(screenWidth_, std::min(f.left + f.width, 65535));
      screenHeight_ = std::max(screenHeight_, std::min(f.top + f.height, 65535));
    }
  }
  return static_cast<int64_t>(screenWidth_) * screenHeight_ <= maxPixels &&
         SizeAcceptable(screenWidth_, screenHeight_);
}

TGifIndices TFPReaderGif::DecodeIndices(size_t index) const {
  const TGifFrame& f = frames_.at(index);
  TGifIndices out;
  // Only the part inside the logical screen is kept: a frame placed outside costs nothing.
  out.width = std::clamp(screenWidth_ - f.left, 0, f.width);
  out.height = std::clamp(screenHeight_ - f.top, 0, f.height);
  if (out.width == 0 || out.height == 0) {
    out.width = out.height = 0;
    return out;
  }
  const uint8_t fill = static_cast<uint8_t>(f.transparentIndex >= 0 ? f.transparentIndex : 0);
  out.indices.assign(static_cast<size_t>(out.width) * out.height, fill);
  const auto& d = *data_;
  if (static_cast<size_t>(f.dataPos) < d.size()) {
    int x = 0;
    int storedRow = 0;
    int y = f.interlaced ? InterlacedRow(0, f.height) : 0;
    auto sink = [&](uint8_t i) {
      if (x < out.width && y < out.height) out.indices[static_cast<size_t>(y) * out.width + x] = i;
      if (++x == f.width) {
        x = 0;
        ++storedRow;
        y = f.interlaced ? InterlacedRow(storedRow, f.height) : storedRow;
        // Rows come in order when not interlaced: past the screen, nothing more is kept.
        if (!f.interlaced && y >= out.height) return false;
      }
      return true;
    };
    DecodeLzw(d.data(), d.size(), static_cast<size_t>(f.dataPos) + 1, d[f.dataPos],
              static_cast<size_t>(f.width) * f.height, sink);
  }
  LoadProgress();
  return out;
}

void TFPReaderGif::DrawFrame(size_t index, TBitmap& canvas, int cellX) const {
  const TGifFrame& f = frames_.at(index);
  const std::vector<uint32_t>& palette = f.localPalette.empty() ? globalPalette_ : f.localPalette;
  const TGifIndices decoded = DecodeIndices(index);
  const int right = f.left + decoded.width;
  const int bottom = std::min(f.top + decoded.height, canvas.Height());
  for (int y = f.top; y < bottom; ++y) {
    const uint8_t* row = decoded.indices.data() + static_cast<size_t>(y - f.top) * decoded.width;
    for (int x = f.left; x < right; ++x) {
      const int i = row[x - f.left];
      if (i == f.transparentIndex) continue;
      const int cx = cellX + x;
      if (cx >= canvas.Width()) break;
      canvas.SetPixel(cx, y, static_cast<size_t>(i) < palette.size() ? palette[i] : kMissingColour);
    }
  }
}

TBitmap TFPReaderGif::FirstFrame() const {
  TBitmap canvas(screenWidth_, screenHeight_, TPixelFormat::A8R8G8B8);
  DrawFrame(0, canvas);
  return canvas;
}

int TFPReaderGif::AtlasFrameCount() const {
  const int64_t cell = static_cast<int64_t>(screenWidth_) * screenHeight_;
  const int64_t fit = cell > 0 ? kMaxAtlasPixels / cell : 0;
  return static_cast<int>(std::clamp<int64_t>(fit, 1, static_cast<int64_t>(frames_.size())));
}

TTilesInfo TFPReaderGif::AtlasTiles() const {
  TTilesInfo tiles;
  tiles.cellWidth = screenWidth_;
  tiles.cellHeight = screenHeight_;
  tiles.frameCount = AtlasFrameCount();
  for (int i = 0; i < tiles.frameCount; ++i) {
    const int delay = frames_[static_cast<size_t>(i)].delayMs;
    tiles.totalDuration += delay;
    tiles.delays += (i ? "," : "") + std::to_string(delay);
  }
  tiles.averageDuration = static_cast<double>(tiles.totalDuration) / tiles.frameCount;
  tiles.loopCount = loopCount_;
  return tiles;
}

TBitmap TFPReaderGif::BuildAtlas() const {
  const int count = AtlasFrameCount();
  const int w = screenWidth_;
  const int h = screenHeight_;
  TBitmap atlas(w * count, h, TPixelFormat::A8R8G8B8);
  int lastKeptCell = -1;  // the last cell whose frame had disposal 1
  for (int i = 0; i < count; ++i) {
    const int cellX = i * w;
    DrawFrame(static_cast<size_t>(i), atlas, cellX);
    if (i > 0) {
      const TGifFrame& prev = frames_[static_cast<size_t>(i) - 1];
      int sourceCell = i - 1;
      if (prev.disposal == 3) sourceCell = lastKeptCell;
      if (sourceCell >= 0) {
        for (int y = 0; y < h; ++y) {
          uint8_t* row = atlas.Scanline(y);
          for (int x = 0; x < w; ++x) {
            uint8_t* px = row + static_cast<size_t>(cellX + x) * 4;
            if (px[3] != 0) continue;
            if (prev.disposal == 2 && x >= prev.left && x < prev.left + prev.width &&
                y >= prev.top && y < prev.top + prev.height)
              continue;
            std::memcpy(px, row + static_cast<size_t>(sourceCell * w + x) * 4, 4);
          }
        }
      }
    }
    if (frames_[static_cast<size_t>(i)].disposal == 1) lastKeptCell = i;
  }
  return atlas;
}

namespace {

constexpr int64_t kMaxGifBytes = int64_t{1} << 30;

class TGifBitmapStore : public TSysBitmapStore {
 public:
  TGifBitmapStore(std::string name, TFPReaderGif reader, bool atlas, int width, int height)
      : TSysBitmapStore(std::move(name), width, height, TPixelFormat::A8R8G8B8),
        reader_(std::move(reader)),
        atlas_(atlas) {}

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    if (level != 0) return nullptr;
    if (!atlas_) return std::make_unique<TBitmap>(reader_.FirstFrame());
    return std::make_unique<TBitmap>(reader_.BuildAtlas());
  }

 private:
  TFPReaderGif reader_;
  bool atlas_;
};

std::optional<TFPReaderGif> ReadGif(const TLoadRequest& request) {
  uint8_t head[4];
  if (request.stream->Read(head, 4) != 4 || std::memcmp(head, "GIF8", 4) != 0) return {};
  request.stream->SetPosition(request.start);
  auto bytes = std::make_shared<std::vector<uint8_t>>(ReadRest(*request.stream, kMaxGifBytes));
  TFPReaderGif reader;
  if (!reader.Read(bytes)) return {};
  return reader;
}

}  // namespace

TRef<TSysBitmapStore> LoadGifFirstFrame(const TLoadRequest& request) {
  auto reader = ReadGif(request);
  if (!reader) return nullptr;
  const int w = reader->ScreenWidth();
  const int h = reader->ScreenHeight();
  return MakeRef<TGifBitmapStore>(request.name, std::move(*reader), false, w, h);
}

TRef<TSysBitmapStore> LoadGifAtlas(const TLoadRequest& request) {
  auto reader = ReadGif(request);
  if (!reader) return nullptr;
  const int w = reader->ScreenWidth();
  const int h = reader->ScreenHeight();
  if (reader->Frames().size() < 2)
    return MakeRef<TGifBitmapStore>(request.name, std::move(*reader), false, w, h);
  // The tiles record is known without decoding: sizes and delays come from the blocks.
  TTilesInfo tiles = reader->AtlasTiles();
  const int count = tiles.frameCount;
  auto store = MakeRef<TGifBitmapStore>(request.name, std::move(*reader), true, w * count, h);
  store->SetTiles(std::move(tiles));
  return store;
}

}  // namespace dax::image
