#include "image/ColorProfile.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ImageFixtures.h"
#include "image/PackedPicture.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

// Adobe RGB (1998) to sRGB through the published D65 matrices.
uint32_t ExpectedAdobeToSrgb(int r, int g, int b) {
  const double gamma = 563.0 / 256.0;
  double lin[3] = {std::pow(r / 255.0, gamma), std::pow(g / 255.0, gamma),
                   std::pow(b / 255.0, gamma)};
  const double toXyz[3][3] = {{0.5767309, 0.1855540, 0.1881852},
                              {0.2973769, 0.6273491, 0.0752741},
                              {0.0270343, 0.0706872, 0.9911085}};
  const double toSrgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                               {-0.9692660, 1.8760108, 0.0415560},
                               {0.0556434, -0.2040259, 1.0572252}};
  double xyz[3], out[3];
  for (int i = 0; i < 3; ++i)
    xyz[i] = toXyz[i][0] * lin[0] + toXyz[i][1] * lin[1] + toXyz[i][2] * lin[2];
  uint32_t argb = 0xFF000000u;
  for (int i = 0; i < 3; ++i) {
    double v = toSrgb[i][0] * xyz[0] + toSrgb[i][1] * xyz[1] + toSrgb[i][2] * xyz[2];
    v = std::clamp(v, 0.0, 1.0);
    out[i] = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    argb |= static_cast<uint32_t>(std::lround(out[i] * 255)) << (16 - 8 * i);
  }
  return argb;
}

int MaxDiff(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s : {0, 8, 16, 24}) d = std::max(d, std::abs(int(a >> s & 255) - int(b >> s & 255)));
  return d;
}

const int kColours[][3] = {{128, 128, 128}, {200, 150, 100}, {60, 120, 180},
                           {255, 255, 255}, {0, 0, 0},       {30, 200, 90}};

TEST(ColorTransform, AdobeRgbToSrgbWithinOne) {
  TBitmap b(static_cast<int>(std::size(kColours)), 1, TPixelFormat::A8R8G8B8);
  for (int i = 0; i < b.Width(); ++i)
    b.SetPixel(i, 0, 0x7F000000u | kColours[i][0] << 16 | kColours[i][1] << 8 | kColours[i][2]);
  TRef<TColorTransform> t = MakeColorTransform(BuiltinAdobeRgbProfile(), BuiltinSrgbProfile());
  ASSERT_TRUE(t);
  t->Apply(b);
  for (int i = 0; i < b.Width(); ++i) {
    SCOPED_TRACE(i);
    uint32_t want = ExpectedAdobeToSrgb(kColours[i][0], kColours[i][1], kColours[i][2]);
    EXPECT_LE(MaxDiff(b.Pixel(i, 0) | 0xFF000000u, want), 1);
    EXPECT_EQ(b.Pixel(i, 0) >> 24, 0x7Fu);  // alpha kept
  }
  EXPECT_FALSE(MakeColorTransform(BuiltinSrgbProfile(), BuiltinSrgbProfile()));
  EXPECT_FALSE(MakeColorTransform(nullptr, BuiltinSrgbProfile()));
}

TEST(ColorTransform, SingleColoursGoThroughTheLatticeTable) {
  EXPECT_EQ(LatticeValue(0), 0);
  EXPECT_EQ(LatticeValue(1), 8);
  EXPECT_EQ(LatticeValue(31), 255);
  TRef<TColorProfile> adobe = BuiltinAdobeRgbProfile();
  TRef<TColorTransform> toAdobe = MakeColorTransform(BuiltinSrgbProfile(), adobe);
  for (auto& c : kColours) {
    SCOPED_TRACE(testing::Message() << c[0] << "," << c[1] << "," << c[2]);
    uint32_t colour = 0xFF000000u | c[0] << 16 | c[1] << 8 | c[2];
    TBitmap one(1, 1);
    one.SetPixel(0, 0, colour);
    toAdobe->Apply(one);
    // Trilinear interpolation over an 8-step lattice stays close to the exact transform.
    EXPECT_LE(MaxDiff(adobe->ConvertColor(colour), one.Pixel(0, 0)), 2);
  }
  // The sRGB table is the identity lattice: colours come back unchanged.
  EXPECT_EQ(BuiltinSrgbProfile()->ConvertColor(0xFF123456u), 0xFF123456u);
}

TEST(ColorManagement, SettingsPickProfiles) {
  std::vector<uint8_t> adobeBytes = BuiltinAdobeRgbProfile()->Bytes();
  TShowOpener opener = [&](const std::string& name) -> std::unique_ptr<TStream> {
    if (name == "my.icc") return std::make_unique<TMemoryStream>(adobeBytes);
    if (name == "junk.icc") return std::make_unique<TMemoryStream>(std::string("not a profile"));
    return nullptr;
  };
  EXPECT_FALSE(ProfileForSetting("", opener));
  EXPECT_EQ(ProfileForSetting("sRGB", opener).Get(), BuiltinSrgbProfile().Get());
  EXPECT_EQ(ProfileForSetting("AdobeRGB", opener).Get(), BuiltinAdobeRgbProfile().Get());
  // Headless: the display profile is sRGB.
  EXPECT_EQ(ProfileForSetting("?", opener).Get(), BuiltinSrgbProfile().Get());
  EXPECT_EQ(ProfileForSetting("ZedidUZE", opener).Get(), BuiltinSrgbProfile().Get());
  TRef<TColorProfile> file = ProfileForSetting("my.icc", opener);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->SameAs(*BuiltinAdobeRgbProfile()));
  EXPECT_FALSE(ProfileForSetting("junk.icc", opener));
  EXPECT_FALSE(ProfileForSetting("missing.icc", opener));

  SetDisplayProfile(adobeBytes);
  EXPECT_TRUE(ProfileForSetting("?", opener)->SameAs(*BuiltinAdobeRgbProfile()));
  SetDisplayProfile({});
  EXPECT_EQ(DisplayProfile().Get(), BuiltinSrgbProfile().Get());

  // Colour management off: single colours unchanged; on with Adobe RGB: converted.
  SetTargetProfile(nullptr);
  EXPECT_EQ(ConvertColorForTarget(0xFFC89664u), 0xFFC89664u);
  SetTargetProfile(BuiltinAdobeRgbProfile());
  EXPECT_NE(ConvertColorForTarget(0xFFC89664u), 0xFFC89664u);
  SetTargetProfile(nullptr);
}

TEST(ColorTransform, ThePrecomputedTableOfTheShowWins) {
  RegisterStandardImageLoaders();
  // An inverting lattice table, packed as the show would carry it.
  TBitmap table(kLatticeSteps, kLatticeSteps * kLatticeSteps, TPixelFormat::A8R8G8B8);
  for (int b = 0; b < kLatticeSteps; ++b)
    for (int g = 0; g < kLatticeSteps; ++g)
      for (int r = 0; r < kLatticeSteps; ++r)
        table.SetPixel(r, b * kLatticeSteps + g,
                       0xFF000000u | (255 - LatticeValue(r)) << 16 | (255 - LatticeValue(g)) << 8 |
                           (255 - LatticeValue(b)));
  test::TBytes bmp = test::MakeBmp24(table);
  std::vector<uint8_t> packed = WritePackedPicture({{"File", "t.bmp"},
                                                    {"Width", "32"},
                                                    {"Height", "1024"},
                                                    {"OriginalSize", std::to_string(bmp.size())}},
                                                   bmp);
  auto source = MakeRef<TColorProfile>("Camera", BuiltinAdobeRgbProfile()->Bytes());
  std::vector<std::string> asked;
  TShowOpener opener = [&](const std::string& name) -> std::unique_ptr<TStream> {
    asked.push_back(name);
    if (name == "ColorSpaceExe_Camera].KVGFX") return std::make_unique<TMemoryStream>(packed);
    return nullptr;
  };
  TRef<TColorTransform> t = MakeColorTransform(source, BuiltinSrgbProfile(), opener);
  ASSERT_TRUE(t);
  EXPECT_NE(dynamic_cast<TDaxViewerColorTransform*>(t.Get()), nullptr);
  EXPECT_EQ(asked, std::vector<std::string>{"ColorSpaceExe_Camera].KVGFX"});
  TBitmap b(1, 1);
  b.SetPixel(0, 0, 0xFF102030u);
  t->Apply(b);
  EXPECT_LE(MaxDiff(b.Pixel(0, 0), 0xFFEFDFCFu), 1);

  auto other = MakeRef<TColorProfile>("Other", BuiltinAdobeRgbProfile()->Bytes());
  TRef<TColorTransform> icc = MakeColorTransform(other, BuiltinSrgbProfile(), opener);
  EXPECT_NE(dynamic_cast<TICCColorTransform*>(icc.Get()), nullptr);
}

}  // namespace
}  // namespace dax::image
