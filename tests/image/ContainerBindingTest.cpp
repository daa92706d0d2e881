#include <gtest/gtest.h>

#include <optional>

#include "ImageFixtures.h"
#include "container/ShowLocator.h"
#include "image/ImageLibrary.h"
#include "image/PictureExport.h"
#include "image/Placeholder.h"
#include "support/TempDir.h"

namespace dax::image {
namespace {

std::string Text(const test::TBytes& b) {
  return std::string(b.begin(), b.end());
}

class ContainerBinding : public testing::Test {
 protected:
  void SetUp() override {
    InstallImageLibrary();
    source_ = test::RampBitmap(6, 4);
    for (const char* name : {"photo.bmp", "r1.bmp", "r3.bmp", "r8.bmp"})
      dax::test::WriteFileBytes(dir_.File(name), Text(test::MakeBmp24(source_)));
    dax::test::WriteFileBytes(dir_.File("plain.bmp"), Text(test::MakeBmp24(source_)));
    dax::test::WriteFileBytes(dir_.File("bad.jpg"), "\xFF\xD8\xFF\xE0 not really");
    // Declares 16384 x 16384 but holds one row.
    dax::test::WriteFileBytes(dir_.File("huge.bmp"),
                              Text(test::MakeBmp({16384, 16384, 24, 0, {}, {{1, 2, 3}}, {}})));
  }
  void TearDown() override { SetTargetProfile(nullptr); }

  std::unique_ptr<container::TDaxShowLocator> Open(const std::string& colorManagement) {
    dax::test::WriteFileBytes(dir_.File("show.dax"),
                              "[Main]\r\nColorManagement=" + colorManagement +
                                  "\r\n[RotationState]\r\n;\"photo.bmp\"=6\r\n;\"r1.bmp\"=1\r\n"
                                  ";\"r3.bmp\"=3\r\n;\"R8.BMP\"=8\r\n");
    return container::OpenProjectFile(dir_.File("show.dax"));
  }

  dax::test::TTempDir dir_;
  TBitmap source_;
};

TEST_F(ContainerBinding, CachedPicturesAreStoresTurnedByRotationState) {
  auto locator = Open("");
  ASSERT_TRUE(locator);
  container::TDaxImage photo = locator->Accessor().OpenImage("photo.bmp");
  ASSERT_TRUE(photo);
  EXPECT_FALSE(photo.IsPlaceholder());
  auto* store = photo.StoreAs<TSysBitmapStore>();
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Width(), 4);
  EXPECT_EQ(store->Height(), 6);
  TLevelBitmap level = store->GetMipLevel(0);
  EXPECT_EQ(level->Pixel(0, 0), source_.Pixel(0, 3));  // turned clockwise

  container::TDaxImage plainImage = locator->Accessor().OpenImage("PLAIN.bmp");
  auto* plain = plainImage.StoreAs<TSysBitmapStore>();
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->GetMipLevel(0)->Bytes(), source_.Bytes());  // colour management off

  // The other recorded orientations: (name, shown size, where the shown top-left comes from).
  struct Case {
    const char* name;
    int w, h, fromX, fromY;
  } cases[] = {{"r1.bmp", 6, 4, 0, 0}, {"r3.bmp", 6, 4, 5, 3}, {"r8.bmp", 4, 6, 5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    container::TDaxImage image = locator->Accessor().OpenImage(c.name);
    auto* turned = image.StoreAs<TSysBitmapStore>();
    ASSERT_NE(turned, nullptr);
    TLevelBitmap b = turned->GetMipLevel(0);
    EXPECT_EQ(b->Width(), c.w);
    EXPECT_EQ(b->Height(), c.h);
    EXPECT_EQ(b->Pixel(0, 0), source_.Pixel(c.fromX, c.fromY));
  }
}

TEST_F(ContainerBinding, MissingAndBrokenPicturesGiveTextPlaceholders) {
  auto locator = Open("");
  ASSERT_TRUE(locator);
  for (const char* name : {"nothing.png", "bad.jpg", "huge.bmp"}) {
    SCOPED_TRACE(name);
    container::TDaxImage image = locator->Accessor().OpenImage(name);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image.IsPlaceholder());
    auto* store = image.StoreAs<TSysBitmapStore>();
    ASSERT_NE(store, nullptr);
    TLevelBitmap b = store->GetMipLevel(0);
    EXPECT_EQ(b->Pixel(0, 0), kPlaceholderBackground);
    // Some text was drawn in the text colour's direction.
    bool lighter = false;
    for (int y = 0; y < b->Height() && !lighter; ++y)
      for (int x = 0; x < b->Width() && !lighter; ++x)
        lighter = (b->Pixel(x, y) & 255) > (kPlaceholderBackground & 255) + 60;
    EXPECT_TRUE(lighter);
  }
}

TEST_F(ContainerBinding, ShowColourManagementConvertsPictures) {
  auto locator = Open("AdobeRGB");
  ASSERT_TRUE(locator);
  ASSERT_TRUE(TargetProfileOrNull());
  EXPECT_EQ(TargetProfileOrNull().Get(), BuiltinAdobeRgbProfile().Get());
  container::TDaxImage plainImage = locator->Accessor().OpenImage("plain.bmp");
  auto* plain = plainImage.StoreAs<TSysBitmapStore>();
  ASSERT_NE(plain, nullptr);
  TLevelBitmap b = plain->GetMipLevel(0);
  TBitmap expected = source_;
  MakeColorTransform(BuiltinSrgbProfile(), BuiltinAdobeRgbProfile())->Apply(expected);
  EXPECT_EQ(b->Bytes(), expected.Bytes());
  EXPECT_NE(b->Bytes(), source_.Bytes());
}

TEST_F(ContainerBinding, CommandLineSwitchesOverrideTheShowsChoice) {
  struct Case {
    const char* show;
    bool noIcc;
    std::optional<std::string> icc;
    TColorProfile* expected;  // null: colour management off
  } cases[] = {
      {"AdobeRGB", true, std::nullopt, nullptr},
      {"AdobeRGB", true, "sRGB", nullptr},
      {"*", false, std::nullopt, nullptr},
      {"*", false, "AdobeRGB", BuiltinAdobeRgbProfile().Get()},
      {"AdobeRGB", false, "sRGB", BuiltinSrgbProfile().Get()},
      {"sRGB", false, "auto", DisplayProfile().Get()},
      {"AdobeRGB", false, "/no/such/profile.icc", BuiltinAdobeRgbProfile().Get()},
      {"", false, "sRGB", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.show) + " " + c.icc.value_or("-"));
    SetColorSwitches(c.noIcc, c.icc);
    auto locator = Open(c.show);
    ASSERT_TRUE(locator);
    EXPECT_EQ(TargetProfileOrNull().Get(), c.expected);
  }
  SetColorSwitches(false, std::nullopt);
}

TEST_F(ContainerBinding, PreparedPictureTakesTheChosenLevelAndRefusesPlaceholders) {
  dax::test::WriteFileBytes(dir_.File("big.bmp"), Text(test::MakeBmp24(test::RampBitmap(64, 40))));
  auto locator = Open("");
  ASSERT_TRUE(locator);
  struct Case {
    const char* name;
    int slideW, slideH, level, w, h;
  } cases[] = {
      {"big.bmp", 0, 0, 0, 64, 40},    // no size: full size
      {"big.bmp", 20, 12, 1, 32, 20},  // 32x20 is the last level larger than 20x12
      {"photo.bmp", 0, 0, 0, 4, 6},    // turned by RotationState
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " " << c.slideW << "x" << c.slideH);
    TPreparedPicture p = PreparePicture(*locator, c.name, c.slideW, c.slideH);
    ASSERT_TRUE(p.bitmap) << p.error;
    EXPECT_EQ(p.level, c.level);
    EXPECT_EQ(p.bitmap->Width(), c.w);
    EXPECT_EQ(p.bitmap->Height(), c.h);
  }
  TPreparedPicture missing = PreparePicture(*locator, "nothing.jpg", 0, 0);
  EXPECT_FALSE(missing.bitmap);
  EXPECT_EQ(missing.error, "Image not found nothing.jpg");
  TPreparedPicture broken = PreparePicture(*locator, "bad.jpg", 0, 0);
  EXPECT_FALSE(broken.bitmap);
  EXPECT_EQ(broken.error, "Image load error: bad.jpg");
  TPreparedPicture huge = PreparePicture(*locator, "huge.bmp", 0, 0);
  EXPECT_FALSE(huge.bitmap);
  EXPECT_EQ(huge.error, "Image load error: huge.bmp");
}

}  // namespace
}  // namespace dax::image
