#include "image/GifReader.h"

#include <gtest/gtest.h>

#include "ImageFixtures.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

using test::TGifFrameSpec;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu,
                   kWhite = 0xFFFFFFFFu;
const std::vector<uint32_t> kPalette = {kRed, kGreen, kBlue, kWhite};

TFPReaderGif Parse(const test::TBytes& bytes) {
  TFPReaderGif reader;
  EXPECT_TRUE(reader.Read(std::make_shared<std::vector<uint8_t>>(bytes)));
  return reader;
}

TEST(GifReader, FramesKnowTheirStreamPositionDelaysAndLoopCount) {
  std::vector<TGifFrameSpec> frames = {
      {0, 0, 2, 2, {0, 1, 2, 3}, 0, 1, -1, false},
      {1, 1, 1, 1, {2}, 7, 2, -1, false},
  };
  test::TBytes bytes = test::MakeGif(2, 2, kPalette, frames, 0);
  TFPReaderGif gif = Parse(bytes);
  ASSERT_EQ(gif.Frames().size(), 2u);
  EXPECT_EQ(gif.Frames()[0].delayMs, 50);  // delay 0 plays at 50 ms
  EXPECT_EQ(gif.Frames()[1].delayMs, 70);
  EXPECT_EQ(gif.Frames()[1].disposal, 2);
  EXPECT_EQ(gif.LoopCount(), 0);
  for (const TGifFrame& f : gif.Frames()) {
    EXPECT_EQ(bytes[f.streamPos], 0x21);
    EXPECT_EQ(bytes[f.streamPos + 1], 0xF9);
  }
  EXPECT_LT(gif.Frames()[0].streamPos, gif.Frames()[1].streamPos);
}

TEST(GifReader, FirstFrameKeepsTransparencyAndUndoesInterlacing) {
  // 1x10 column, interlaced: rows are stored in the order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  std::vector<uint8_t> stored;
  for (int y : {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}) stored.push_back(static_cast<uint8_t>(y % 4));
  test::TBytes bytes = test::MakeGif(1, 10, kPalette, {{0, 0, 1, 10, stored, 0, 0, 3, true}});
  TBitmap b = Parse(bytes).FirstFrame();
  for (int y = 0; y < 10; ++y) {
    SCOPED_TRACE(y);
    const int index = y % 4;
    EXPECT_EQ(b.Pixel(0, y), index == 3 ? 0u : kPalette[index]);  // index 3 is transparent
  }
  // Long frames need clear codes in the LZW stream; a 40x40 frame exercises them.
  std::vector<uint8_t> many(1600);
  for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i * 7 % 4);
  TBitmap big =
      Parse(test::MakeGif(40, 40, kPalette, {{0, 0, 40, 40, many, 0, 0, -1, false}})).FirstFrame();
  EXPECT_EQ(big.Pixel(39, 39), kPalette[1599 * 7 % 4]);
  EXPECT_EQ(big.Pixel(13, 2), kPalette[93 * 7 % 4]);
}

TEST(GifReader, AtlasFillsCellsByThePreviousFramesDisposal) {
  // 2x1 screen. Frame 0: both pixels, disposal 1. Frame 1: only x=1 (green), disposal 2.
  // Frame 2: only x=1 (blue), disposal 3. Frame 3: nothing drawn (transparent).
  std::vector<TGifFrameSpec> frames = {
      {0, 0, 2, 1, {0, 0}, 0, 1, -1, false},
      {1, 0, 1, 1, {1}, 0, 2, -1, false},
      {1, 0, 1, 1, {2}, 0, 3, -1, false},
      {0, 0, 1, 1, {3}, 0, 0, 3, false},
  };
  TFPReaderGif gif = Parse(test::MakeGif(2, 1, kPalette, frames));
  TBitmap atlas = gif.BuildAtlas();
  ASSERT_EQ(atlas.Width(), 8);
  EXPECT_EQ(atlas.Pixel(0, 0), kRed);
  EXPECT_EQ(atlas.Pixel(1, 0), kRed);
  // Cell 1: previous disposal 1 -> underlay from cell 0.
  EXPECT_EQ(atlas.Pixel(2, 0), kRed);
  EXPECT_EQ(atlas.Pixel(3, 0), kGreen);
  // Cell 2: previous disposal 2 -> underlay from cell 1 except inside frame 1's rectangle.
  EXPECT_EQ(atlas.Pixel(4, 0), kRed);
  EXPECT_EQ(atlas.Pixel(5, 0), kBlue);
  // Cell 3: previous disposal 3 -> underlay from the last disposal-1 cell (cell 0).
  EXPECT_EQ(atlas.Pixel(6, 0), kRed);
  EXPECT_EQ(atlas.Pixel(7, 0), kRed);

  TTilesInfo tiles = gif.AtlasTiles();
  EXPECT_EQ(tiles.frameCount, 4);
  EXPECT_EQ(tiles.totalDuration, 200);
  EXPECT_EQ(tiles.delays, "50,50,50,50");
  EXPECT_DOUBLE_EQ(tiles.averageDuration, 50.0);
}

TEST(GifReader, AtlasIsCappedAt26214400Pixels) {
  RegisterStandardImageLoaders();
  std::vector<TGifFrameSpec> frames(300, TGifFrameSpec{0, 0, 1, 1, {1}, 4, 0, -1, false});
  test::TBytes bytes = test::MakeGif(400, 300, kPalette, frames);
  TImage atlas = OpenImage(std::make_unique<TMemoryStream>(bytes), "anim.gif|framesatlas");
  ASSERT_TRUE(atlas);
  const TTilesInfo* tiles = atlas.Store()->Tiles();
  ASSERT_NE(tiles, nullptr);
  EXPECT_EQ(tiles->frameCount, 218);  // 218 x 120000 = 26160000
  EXPECT_EQ(atlas.Width(), 218 * 400);
  EXPECT_EQ(atlas.Height(), 300);
  EXPECT_EQ(tiles->totalDuration, 218 * 40);

  // The same file as a plain GIF is its first frame; a one-frame GIF as an atlas likewise.
  TImage first = OpenImage(std::make_unique<TMemoryStream>(bytes), "anim.gif");
  ASSERT_TRUE(first);
  EXPECT_EQ(first.Width(), 400);
  EXPECT_EQ(first.Store()->Tiles(), nullptr);
  test::TBytes still = test::MakeGif(3, 3, kPalette, {{0, 0, 1, 1, {2}, 0, 0, -1, false}});
  TImage one = OpenImage(std::make_unique<TMemoryStream>(still), "still.gif|framesatlas");
  ASSERT_TRUE(one);
  EXPECT_EQ(one.Width(), 3);
  EXPECT_EQ(one.Store()->GetMipLevel(0)->Pixel(0, 0), kBlue);
}

// Display-order rows -> the order an interlaced frame stores them in.
std::vector<uint8_t> Interlace(const std::vector<uint8_t>& rows, int width, int height) {
  std::vector<uint8_t> stored;
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
    for (int y = start; y < height; y += step)
      stored.insert(stored.end(), rows.begin() + y * width, rows.begin() + (y + 1) * width);
  return stored;
}

TBitmap Expected(const std::vector<uint8_t>& rows, int width, int height,
                 const std::vector<uint32_t>& palette) {
  TBitmap b(width, height, TPixelFormat::A8R8G8B8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.SetPixel(x, y, palette[rows[y * width + x]]);
  return b;
}

TEST(GifReader, DictionaryCodedFramesDecodePixelExact) {
  // Runs (a run of three right after a clear is the code-equals-next case) and stripes that
  // repeat, so that strings grow long and the code size climbs.
  constexpr int kW = 48, kH = 40;
  std::vector<uint8_t> stripes(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      stripes[y * kW + x] = static_cast<uint8_t>((y / 3 + x / 5 + (x * y % 11 == 0)) % 4);
  // 64 colours of noise fill the 4096-entry table several times over.
  constexpr int kNW = 200, kNH = 150;
  std::vector<uint32_t> palette64;
  for (uint32_t i = 0; i < 64; ++i) palette64.push_back(0xFF000000u | i * 0x030507u);
  std::vector<uint8_t> noise(kNW * kNH);
  uint32_t seed = 12345;
  for (uint8_t& v : noise) v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 26);

  struct Case {
    const char* what;
    int w, h;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> rows;
    bool interlaced;
  } cases[] = {
      {"stripes", kW, kH, kPalette, stripes, false},
      {"stripes interlaced", kW, kH, kPalette, stripes, true},
      {"noise", kNW, kNH, palette64, noise, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TGifFrameSpec frame{
        0, 0, c.w, c.h,          c.interlaced ? Interlace(c.rows, c.w, c.h) : c.rows,
        0, 0, -1,  c.interlaced, true};
    test::TGifLzwStats stats;
    test::TBytes bytes = test::MakeGif(c.w, c.h, c.palette, {frame}, -1, &stats);
    // The fixture reaches what it is meant to.
    EXPECT_GT(stats.dictionaryCodes, 0);
    EXPECT_GT(stats.kwkwk, 0);
    EXPECT_GT(stats.maxCodeSize, 3);
    if (c.palette.size() == 64) {
      EXPECT_EQ(stats.maxCodeSize, 12);
      EXPECT_GT(stats.tableFullClears, 0);
    }
    EXPECT_EQ(Parse(bytes).FirstFrame().Bytes(), Expected(c.rows, c.w, c.h, c.palette).Bytes());
  }

  // The same coding in an atlas: the second cell is its frame, pixel for pixel.
  std::vector<uint8_t> shifted(stripes.size());
  for (size_t i = 0; i < stripes.size(); ++i)
    shifted[i] = static_cast<uint8_t>((stripes[i] + 1) % 4);
  TGifFrameSpec first{0, 0, kW, kH, stripes, 0, 1, -1, false, true};
  TGifFrameSpec second{0, 0, kW, kH, shifted, 0, 1, -1, false, true};
  TBitmap atlas = Parse(test::MakeGif(kW, kH, kPalette, {first, second})).BuildAtlas();
  ASSERT_EQ(atlas.Width(), 2 * kW);
  TBitmap expected = Expected(shifted, kW, kH, kPalette);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      ASSERT_EQ(atlas.Pixel(kW + x, y), expected.Pixel(x, y)) << x << "," << y;
}

TEST(GifReader, FramesReachingPastTheScreenAreClippedWhileDecoding) {
  // A 4x4 frame at (1, 1) on a 3x3 screen: only its top-left 2x2 is kept and drawn.
  std::vector<uint8_t> rows = {0, 1, 2, 3, 1, 2, 3, 0, 2, 3, 0, 1, 3, 0, 1, 2};
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced);
    TGifFrameSpec frame{1, 1, 4,  4,          interlaced ? Interlace(rows, 4, 4) : rows,
                        0, 0, -1, interlaced, true};
    TFPReaderGif gif = Parse(test::MakeGif(3, 3, kPalette, {frame}));
    TGifIndices decoded = gif.DecodeIndices(0);
    EXPECT_EQ(decoded.width, 2);
    EXPECT_EQ(decoded.height, 2);
    EXPECT_EQ(decoded.indices, (std::vector<uint8_t>{0, 1, 1, 2}));
    TBitmap b = gif.FirstFrame();
    EXPECT_EQ(b.Pixel(0, 0), 0u);
    EXPECT_EQ(b.Pixel(1, 1), kPalette[0]);
    EXPECT_EQ(b.Pixel(2, 1), kPalette[1]);
    EXPECT_EQ(b.Pixel(1, 2), kPalette[1]);
    EXPECT_EQ(b.Pixel(2, 2), kPalette[2]);
  }
}

TEST(GifReader, DamagedDataNeverReadsOutOfBounds) {
  test::TBytes good = test::MakeGif(4, 4, kPalette, {{0, 0, 4, 4, std::vector<uint8_t>(16, 1)}});
  for (size_t cut = 13; cut < good.size(); ++cut) {
    SCOPED_TRACE(cut);
    test::TBytes bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
    TFPReaderGif gif;
    if (gif.Read(std::make_shared<std::vector<uint8_t>>(bytes))) gif.FirstFrame();
  }
  // A frame larger than the screen, placed outside it, is clipped.
  test::TBytes outside =
      test::MakeGif(2, 2, kPalette, {{60000, 60000, 3, 3, std::vector<uint8_t>(9, 2)}});
  TBitmap b = Parse(outside).FirstFrame();
  EXPECT_EQ(b.Pixel(1, 1), 0u);
  EXPECT_TRUE(Parse(outside).DecodeIndices(0).indices.empty());  // nothing decoded
  test::TBytes notGif = {'G', 'I', 'F', '8', '9', 'b', 0, 0, 0, 0, 0, 0, 0};
  TFPReaderGif gif;
  EXPECT_FALSE(gif.Read(std::make_shared<std::vector<uint8_t>>(notGif)));
}

}  // namespace
}  // namespace dax::image
