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
  test::TBytes notGif = {'G', 'I', 'F', '8', '9', 'b', 0, 0, 0, 0, 0, 0, 0};
  TFPReaderGif gif;
  EXPECT_FALSE(gif.Read(std::make_shared<std::vector<uint8_t>>(notGif)));
}

}  // namespace
}  // namespace dax::image
