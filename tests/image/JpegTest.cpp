#include "image/JpegLoader.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "ImageFixtures.h"
#include "foundation/Exceptions.h"
#include "foundation/Progress.h"
#include "image/ColorProfile.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

using test::TBytes;

int MaxChannelDiff(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s : {0, 8, 16}) d = std::max(d, std::abs(int(a >> s & 255) - int(b >> s & 255)));
  return d;
}

test::TJpegSpec Gray() {
  test::TJpegSpec s;
  s.grayscale = true;
  return s;
}
test::TJpegSpec Cmyk() {
  test::TJpegSpec s;
  s.cmyk = true;
  return s;
}
test::TJpegSpec WithIcc(TBytes icc) {
  test::TJpegSpec s;
  s.icc = std::move(icc);
  return s;
}

TImage OpenBytes(const TBytes& bytes, const std::string& name) {
  RegisterStandardImageLoaders();
  return OpenImage(std::make_unique<TMemoryStream>(bytes), name);
}

// libjpeg's own decode at 1 / denom with the settings the loader promises (accurate DCT,
// fancy upsampling, no block smoothing), as 32-bit BGRA.
TBitmap LibjpegScaled(const TBytes& jpeg, unsigned denom) {
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&c, TRUE);
  c.scale_num = 1;
  c.scale_denom = denom;
  c.dct_method = JDCT_ISLOW;
  c.do_fancy_upsampling = TRUE;
  c.do_block_smoothing = FALSE;
  c.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&c);
  TBitmap b(static_cast<int>(c.output_width), static_cast<int>(c.output_height),
            TPixelFormat::X8R8G8B8);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = b.Scanline(static_cast<int>(c.output_scanline));
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return b;
}

TEST(JpegLoader, LevelsZeroToThreeComeFromScaledDecoding) {
  TBitmap source = test::RampBitmap(100, 60);
  const TBytes jpeg = test::MakeJpeg(source);
  TImage image = OpenBytes(jpeg, "photo.JPG");
  ASSERT_TRUE(image);
  EXPECT_EQ(image.Width(), 100);
  EXPECT_EQ(image.Store()->Format(), TPixelFormat::X8R8G8B8);
  for (int level = 0; level <= 4; ++level) {
    SCOPED_TRACE(level);
    TLevelBitmap b = image.Store()->GetMipLevel(level);
    TSize expected = MipLevelSize(100, 60, level);
    ASSERT_EQ(b->Width(), expected.width);
    ASSERT_EQ(b->Height(), expected.height);
    // The centre pixel matches the source's colour there.
    // Scaled decoding centres a pixel on its block; halving centres it on pixel 2x below.
    const int scale = 1 << level;
    const int offset = level <= 3 ? scale / 2 : 4;
    uint32_t want = source.Pixel(std::min(b->Width() / 2 * scale + offset, 99),
                                 std::min(b->Height() / 2 * scale + offset, 59));
    EXPECT_LE(MaxChannelDiff(b->Pixel(b->Width() / 2, b->Height() / 2), want), 12);
    EXPECT_EQ(b->Pixel(0, 0) >> 24, 255u);
    // Levels 0..3 are libjpeg's scaled decode byte for byte (a halved level would differ);
    // level 4 is level 3 halved.
    if (level <= 3)
      EXPECT_EQ(b->Bytes(), LibjpegScaled(jpeg, 1u << level).Bytes());
    else
      EXPECT_EQ(b->Bytes(), HalveBitmap(*image.Store()->GetMipLevel(3)).Bytes());
  }
}

TEST(JpegLoader, GrayscaleAndCmykDecodeToRgb) {
  TBitmap source = test::RampBitmap(32, 16);
  TImage gray = OpenBytes(test::MakeJpeg(source, Gray()), "g.jpg");
  ASSERT_TRUE(gray);
  TLevelBitmap g = gray.Store()->GetMipLevel(0);
  uint32_t p = g->Pixel(10, 8);
  EXPECT_EQ(p & 255, p >> 8 & 255);
  EXPECT_EQ(p & 255, p >> 16 & 255);
  EXPECT_LE(std::abs(int(p & 255) - int(source.Pixel(10, 8) >> 8 & 255)), 4);

  TImage cmyk = OpenBytes(test::MakeJpeg(source, Cmyk()), "c.jpeg");
  ASSERT_TRUE(cmyk);
  TLevelBitmap c = cmyk.Store()->GetMipLevel(0);
  for (auto [x, y] : {std::pair{3, 3}, {16, 8}, {28, 12}}) {
    SCOPED_TRACE(testing::Message() << x << "," << y);
    EXPECT_LE(MaxChannelDiff(c->Pixel(x, y), source.Pixel(x, y)), 12);
  }

  // Plain CMYK (no Adobe marker) stores the ink itself, not its inverse.
  test::TJpegSpec plainSpec;
  plainSpec.plainCmyk = true;
  TBytes plainBytes = test::MakeJpeg(source, plainSpec);
  for (size_t i = 0; i + 1 < plainBytes.size(); ++i)
    ASSERT_FALSE(plainBytes[i] == 0xFF && plainBytes[i + 1] == 0xEE) << "Adobe marker at " << i;
  TMemoryStream plainStream(plainBytes);
  auto info = ReadJpegInfo(plainStream, false);
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->cmyk);
  TImage plain = OpenBytes(plainBytes, "p.jpg");
  ASSERT_TRUE(plain);
  TLevelBitmap p2 = plain.Store()->GetMipLevel(0);
  for (auto [x, y] : {std::pair{3, 3}, {16, 8}, {28, 12}}) {
    SCOPED_TRACE(testing::Message() << "plain " << x << "," << y);
    EXPECT_LE(MaxChannelDiff(p2->Pixel(x, y), source.Pixel(x, y)), 12);
  }
}

TEST(JpegLoader, ErrorsBecomeExceptionsAndGarbageDeclines) {
  TBytes jpeg = test::MakeJpeg(test::RampBitmap(64, 64));
  // The first component names quantisation table 3, which is never defined: the header
  // reads, decoding fails.
  TBytes broken = jpeg;
  for (size_t i = 2; i + 13 < broken.size(); ++i) {
    if (broken[i] == 0xFF && broken[i + 1] == 0xC0) {
      broken[i + 12] = 3;
      break;
    }
  }
  TImage image = OpenBytes(broken, "b.jpg");
  ASSERT_TRUE(image);
  {
    try {
      image.Store()->GetMipLevel(0);
      ADD_FAILURE() << "no error";
    } catch (const EImageError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u) << e.what();
    }
  }
  TBytes garbage = {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3};
  EXPECT_FALSE(OpenBytes(garbage, "x.jpg"));
  // A truncated file still decodes (the rest is filled by libjpeg).
  TBytes cut(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(jpeg.size() * 2 / 3));
  TImage partial = OpenBytes(cut, "cut.jpg");
  ASSERT_TRUE(partial);
  EXPECT_EQ(partial.Store()->GetMipLevel(0)->Width(), 64);
}

TEST(JpegLoader, AbortKeepsTheRowsDecodedSoFar) {
  TImage image = OpenBytes(test::MakeJpeg(test::RampBitmap(64, 64)), "a.jpg");
  ASSERT_TRUE(image);
  SetLoadProgressMode(TProgressMode::Abort);
  TLevelBitmap partial = image.Store()->GetMipLevel(0);
  SetLoadProgressMode(TProgressMode::None);
  ASSERT_EQ(partial->Width(), 64);
  EXPECT_EQ(partial->Pixel(40, 40), 0u);  // never decoded
  // The partial level was not cached: asking again decodes it fully.
  TLevelBitmap full = image.Store()->GetMipLevel(0);
  EXPECT_NE(full.get(), partial.get());
  EXPECT_NE(full->Pixel(40, 40), 0u);
  EXPECT_EQ(image.Store()->GetMipLevel(0).get(), full.get());
}

TBytes ProfileBytes(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  TBytes b(size);
  cmsSaveProfileToMem(profile, b.data(), &size);
  cmsCloseProfile(profile);
  return b;
}

TEST(JpegLoader, ProfileIsReassembledAndOtherApp2DataIgnored) {
  // A large profile (padded with a big description) spans several APP2 segments; an MPF
  // APP2 segment comes first, as cameras write it.
  TBytes adobe = BuiltinAdobeRgbProfile()->Bytes();
  TBytes big = adobe;
  big.resize(150000, 0);  // ICC readers ignore bytes past the tag table
  TBytes mpf = {'M', 'P', 'F', 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
  test::TJpegSpec spec;
  spec.markers.push_back({0xE2, mpf});  // APP2
  spec.icc = big;
  TImage image = OpenBytes(test::MakeJpeg(test::RampBitmap(8, 8), spec), "p.jpg");
  ASSERT_TRUE(image);
  TRef<TColorProfile> profile = image.Store()->Profile();
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->Bytes().size(), big.size());
  EXPECT_EQ(profile->Bytes(), big);
  EXPECT_EQ(profile->Name(), "p.jpg");

  // An sRGB profile maps to the built-in one: no transform to an sRGB target.
  TBytes srgb = ProfileBytes(cmsCreate_sRGBProfile());
  std::string marker = "sRGB IEC61966-2.1";
  srgb.insert(srgb.begin() + 200, marker.begin(), marker.end());  // the description text
  spec = {};
  spec.icc = srgb;
  TImage s = OpenBytes(test::MakeJpeg(test::RampBitmap(8, 8), spec), "s.jpg");
  ASSERT_TRUE(s);
  EXPECT_EQ(s.Store()->Profile().Get(), BuiltinSrgbProfile().Get());
  EXPECT_FALSE(MakeColorTransform(s.Store()->Profile(), BuiltinSrgbProfile()));

  TMemoryStream stream(test::MakeJpeg(test::RampBitmap(8, 8), WithIcc(adobe)));
  TRef<TColorProfile> read = ReadEmbeddedProfile(stream, "x.jpe");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Bytes(), adobe);
  EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace dax::image
