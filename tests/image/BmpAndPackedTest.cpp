#include <gtest/gtest.h>

#include "ImageFixtures.h"
#include "image/BmpReader.h"
#include "image/ImageLoader.h"
#include "image/PackedPicture.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

using test::TBmpSpec;
using test::TBytes;

TBitmap MustRead(const TBytes& bytes) {
  auto b = ReadBmp(bytes.data(), bytes.size());
  EXPECT_TRUE(b.has_value());
  return b ? std::move(*b) : TBitmap();
}

TEST(BmpReader, ReadsEveryBitDepth) {
  const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
  struct Case {
    const char* what;
    TBmpSpec spec;
    std::vector<uint32_t> expected;  // top row left to right, then the next
  } cases[] = {
      {"1 bit", {2, 2, 1, 0, {red, blue}, {{0x40}, {0x80}}, {}}, {blue, red, red, blue}},
      {"4 bit", {2, 1, 4, 0, {red, green, blue}, {{0x21}}, {}}, {blue, green}},
      {"8 bit", {2, 1, 8, 0, {red, green, blue}, {{2, 0}}, {}}, {blue, red}},
      {"16 bit 555", {2, 1, 16, 0, {}, {{0x00, 0x7C, 0x1F, 0x00}}, {}}, {red, blue}},
      {"24 bit", {1, 2, 24, 0, {}, {{0, 0, 255}, {255, 0, 0}}, {}}, {blue, red}},
      {"24 bit top-down", {1, -2, 24, 0, {}, {{0, 0, 255}, {255, 0, 0}}, {}}, {red, blue}},
      {"32 bit no alpha", {1, 1, 32, 0, {}, {{0, 255, 0, 0}}, {}}, {green}},
      {"32 bit alpha", {1, 1, 32, 0, {}, {{0, 255, 0, 0x80}}, {}}, {0x8000FF00u}},
      {"short palette", {2, 1, 8, 0, {red}, {{0, 5}}, {}}, {red, 0xFF000000u}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TBitmap b = MustRead(test::MakeBmp(c.spec));
    std::vector<uint32_t> got;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) got.push_back(b.Pixel(x, y));
    EXPECT_EQ(got, c.expected);
  }
}

TEST(BmpReader, DecodesRleAndKeepsHostileMovesInsideTheBitmap) {
  const uint32_t red = 0xFFFF0000u, blue = 0xFF0000FFu;
  // RLE8 4x2: bottom row "run of 3 red, 1 blue", end of line; top row absolute [1 0 1], EOB.
  TBmpSpec rle8{4, 2, 8, 1, {red, blue}, {}, {3, 0, 1, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 1}};
  TBitmap b = MustRead(test::MakeBmp(rle8));
  EXPECT_EQ(b.Pixel(0, 1), red);
  EXPECT_EQ(b.Pixel(3, 1), blue);
  EXPECT_EQ(b.Pixel(0, 0), blue);
  EXPECT_EQ(b.Pixel(1, 0), red);
  EXPECT_EQ(b.Pixel(3, 0), 0u);  // untouched pixels stay transparent

  // RLE4: a run of 4 alternating indices 1,0.
  TBmpSpec rle4{4, 1, 4, 2, {red, blue}, {}, {4, 0x10, 0, 1}};
  TBitmap r4 = MustRead(test::MakeBmp(rle4));
  EXPECT_EQ(r4.Pixel(0, 0), blue);
  EXPECT_EQ(r4.Pixel(1, 0), red);

  // Runs past the right edge, deltas far outside and a missing end marker: no crash, the
  // pixels inside are drawn.
  TBmpSpec hostile{2, 2, 8, 1, {red, blue}, {}, {255, 1, 0, 2, 255, 255, 0, 2, 200, 0, 3, 0}};
  TBitmap h = MustRead(test::MakeBmp(hostile));
  EXPECT_EQ(h.Pixel(0, 1), blue);
  TBmpSpec cut{2, 2, 8, 1, {red}, {}, {0, 5, 1}};  // absolute run longer than the data
  TBytes cutBytes = test::MakeBmp(cut);
  EXPECT_FALSE(ReadBmp(cutBytes.data(), cutBytes.size()).has_value());
}

TEST(BmpReader, RefusesMalformedHeadersAndOversizedPictures) {
  TBytes good = test::MakeBmp({1, 1, 24, 0, {}, {{1, 2, 3}}, {}});
  ASSERT_TRUE(ReadBmpHeader(good.data(), good.size()));
  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    TBytes b = good;
    for (size_t i = 0; i < bytes.size(); ++i) b[at + i] = bytes[i];
    return b;
  };
  struct Case {
    const char* what;
    TBytes bytes;
  } cases[] = {
      {"not BM", patched(0, {'X'})},
      {"zero width", patched(18, {0, 0, 0, 0})},
      {"zero height", patched(22, {0, 0, 0, 0})},
      {"two planes", patched(26, {2})},
      {"compression 6", patched(30, {6})},
      {"bit count 7", patched(28, {7})},
      {"65536 x 65536", patched(18, {0, 0, 1, 0, 0, 0, 1, 0})},
      {"pixel data missing", patched(18, {0, 1, 0, 0})},  // 256 wide, one row of 3 bytes
      {"offset past the end", patched(10, {0xFF, 0xFF, 0, 0})},
      {"cut header", TBytes(good.begin(), good.begin() + 30)},
      // 16384 x 16384 is within the pixel cap, but 58 bytes cannot hold its rows.
      {"16384 x 16384 in 58 bytes", patched(18, {0, 0x40, 0, 0, 0, 0x40, 0, 0})},
      {"last row one byte short",
       [] {
         TBytes b = test::MakeBmp({2, 2, 24, 0, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 1, 2, 3}}, {}});
         b.pop_back();
         return b;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Refused by the header already, so the loader declines at open and nothing is allocated.
    EXPECT_FALSE(ReadBmpHeader(c.bytes.data(), c.bytes.size()).has_value());
    EXPECT_FALSE(ReadBmp(c.bytes.data(), c.bytes.size()).has_value());
  }
}

TEST(BmpReader, APictureWhosePixelDataIsMissingIsDeclinedAtOpen) {
  RegisterStandardImageLoaders();
  TBytes huge = test::MakeBmp({16384, 16384, 24, 0, {}, {{1, 2, 3}}, {}});
  ASSERT_EQ(huge.size(), 58u);
  EXPECT_FALSE(OpenImage(std::make_unique<TMemoryStream>(huge), "huge.bmp"));
}

std::vector<uint8_t> PackedOf(const TBitmap& bitmap, bool raw) {
  TBytes bmp = test::MakeBmp24(bitmap);
  return WritePackedPicture({{"File", "photo.bmp"},
                             {"Width", std::to_string(bitmap.Width())},
                             {"Height", std::to_string(bitmap.Height())},
                             {"OriginalSize", std::to_string(bmp.size())}},
                            bmp, raw);
}

TEST(PackedPicture, ReadsZlibAndRawDeflatePayloads) {
  RegisterStandardImageLoaders();
  TBitmap source = test::RampBitmap(7, 5);
  for (bool raw : {false, true}) {
    SCOPED_TRACE(raw ? "raw deflate" : "zlib");
    TImage image = OpenImage(std::make_unique<TMemoryStream>(PackedOf(source, raw)), "a.kvgfx");
    ASSERT_TRUE(image);
    EXPECT_EQ(image.Width(), 7);
    EXPECT_EQ(image.Store()->Format(), TPixelFormat::A8R8G8B8);
    TLevelBitmap level = image.Store()->GetMipLevel(0);
    EXPECT_EQ(level->Bytes(), source.Bytes());
  }
}

TEST(PackedPicture, DamagedPayloadGivesAFilledBitmapOfTheDeclaredSize) {
  RegisterStandardImageLoaders();
  std::vector<uint8_t> packed = PackedOf(test::RampBitmap(6, 4), false);
  packed[packed.size() - 8] ^= 0x5A;
  packed.resize(packed.size() - 3);
  TImage image = OpenImage(std::make_unique<TMemoryStream>(packed), "a.kvgfx");
  ASSERT_TRUE(image);
  TLevelBitmap level = image.Store()->GetMipLevel(0);
  ASSERT_EQ(level->Width(), 6);
  ASSERT_EQ(level->Height(), 4);
  EXPECT_EQ(level->Pixel(3, 2), kDamagedPictureColour);
}

TEST(PackedPicture, DeclinesMissingKeysCutStringsAndHugeSizes) {
  TBytes bmp = test::MakeBmp24(test::RampBitmap(2, 2));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"no OriginalSize",
       WritePackedPicture({{"File", "x"}, {"Width", "2"}, {"Height", "2"}}, bmp)},
      {"width not a number",
       WritePackedPicture({{"File", "x"}, {"Width", "2a"}, {"Height", "2"}, {"OriginalSize", "1"}},
                          bmp)},
      {"over the pixel cap",
       WritePackedPicture(
           {{"File", "x"}, {"Width", "70000"}, {"Height", "70000"}, {"OriginalSize", "1"}}, bmp)},
      {"negative",
       WritePackedPicture({{"File", "x"}, {"Width", "-2"}, {"Height", "2"}, {"OriginalSize", "1"}},
                          bmp)},
      {"cut string", {'K', 'V', 'G', 'F', 1, 0, 200, 0, 'F'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(ParsePackedPictureHeader(c.bytes.data(), c.bytes.size()).has_value());
  }
}

}  // namespace
}  // namespace dax::image
