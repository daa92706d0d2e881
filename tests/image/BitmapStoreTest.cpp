#include "image/BitmapStore.h"

#include <gtest/gtest.h>

#include <optional>

#include "foundation/Assert.h"
#include "image/Orientation.h"

namespace dax::image {
namespace {

TEST(MipLevels, LevelChoiceStopsAtTheLastLevelLargerThanTheTarget) {
  struct Case {
    int w, h, tw, th, level;
  } cases[] = {
      {6000, 4000, 700, 500, 2},    // 1500x1000; 750x500 is not larger in height
      {6000, 4000, 400, 300, 3},    // 750x500
      {6000, 4000, 6000, 4000, 0},  // no halving at all
      {6000, 4000, 1920, 1080, 1},  // 3000x2000
      {100, 100, 200, 200, 0},      // smaller than the target
      {1, 1, 0, 0, 0},              // stops at 1x1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " -> " << c.tw << "x" << c.th);
    EXPECT_EQ(LevelFromSize(c.w, c.h, c.tw, c.th), c.level);
  }
  EXPECT_EQ(MipLevelSize(6000, 4000, 2), (TSize{1500, 1000}));
  EXPECT_EQ(MipLevelSize(5, 3, 1), (TSize{3, 2}));
  EXPECT_EQ(MipLevelSize(5, 3, 3), (TSize{1, 1}));
}

TEST(MipLevels, HalvingIsThe121KernelAroundTheEvenPixel) {
  TBitmap src(4, 4, TPixelFormat::A8R8G8B8);
  // Blue channel holds 16 * x + y, other channels constant.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.SetPixel(x, y, 0xFF204000u | (16 * x + y));
  TBitmap half = HalveBitmap(src);
  ASSERT_EQ(half.Width(), 2);
  ASSERT_EQ(half.Height(), 2);
  // Output (1, 1) centres on input (2, 2): a linear ramp averages to its centre value.
  EXPECT_EQ(half.Pixel(1, 1), 0xFF204000u | (16 * 2 + 2));
  // Output (0, 0): the edge repeats, so columns -1,0,1 weigh 3:1 towards x=0 -> x = 0.25.
  // blue = 16 * 0.25 + 0.25 = 4.25 -> 4
  EXPECT_EQ(half.Pixel(0, 0) & 255, 4u);
  EXPECT_EQ(half.Pixel(0, 0) >> 8, 0xFF2040u);

  // A single bright pixel spreads with weights 4/16 at the centre.
  TBitmap dot(5, 5, TPixelFormat::A8R8G8B8);
  dot.Fill(0xFF000000u);
  dot.SetPixel(2, 2, 0xFF0000A0u);
  TBitmap d = HalveBitmap(dot);
  EXPECT_EQ(d.Width(), 3);
  EXPECT_EQ(d.Pixel(1, 1) & 255, 0xA0u * 4 / 16);
  EXPECT_EQ(d.Pixel(0, 0) & 255, 0u);

  // The weighted sum is divided by 16 and truncated, not rounded.
  for (auto [value, expected] : {std::pair{0xFFu, 63u}, {0x02u, 0u}, {0x0Au, 2u}}) {
    SCOPED_TRACE(value);
    dot.SetPixel(2, 2, 0xFF000000u | value);
    EXPECT_EQ(HalveBitmap(dot).Pixel(1, 1) & 255, expected);
  }
}

// Produces level 0 only and counts its calls.
class TCountingStore : public TSysBitmapStore {
 public:
  TCountingStore(int w, int h) : TSysBitmapStore("count", w, h, TPixelFormat::X8R8G8B8) {}
  int calls = 0;

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    ++calls;
    if (level != 0) return nullptr;
    auto b = std::make_unique<TBitmap>(StoredWidth(), StoredHeight(), TPixelFormat::X8R8G8B8);
    for (int y = 0; y < StoredHeight(); ++y)
      for (int x = 0; x < StoredWidth(); ++x) b->SetPixel(x, y, 0xFF000000u | (x << 8) | y);
    return b;
  }
};

TEST(BitmapStore, LevelsAreHalvedCachedAndConverted) {
  auto store = MakeRef<TCountingStore>(100, 100);
  TLevelBitmap one = store->GetMipLevel(1);
  EXPECT_EQ(one->Width(), 50);
  EXPECT_EQ(one->Height(), 50);
  TLevelBitmap three = store->GetMipLevel(3);
  EXPECT_EQ(three->Width(), 13);
  EXPECT_EQ(store->GetMipLevel(1).get(), one.get());
  const int calls = store->calls;
  TLevelBitmap gray = store->GetMipLevel(1, TPixelFormat::L8);
  EXPECT_EQ(gray->Format(), TPixelFormat::L8);
  EXPECT_EQ(store->calls, calls);  // made from the cached level, not decoded again
  EXPECT_THROW(store->GetMipLevel(-1), EAssertionFailed);
}

// Fails every decode of level 0 and counts them.
class TFailingStore : public TSysBitmapStore {
 public:
  TFailingStore() : TSysBitmapStore("fail", 8, 8, TPixelFormat::X8R8G8B8) {}
  int calls = 0;

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    ++calls;
    if (level != 0) return nullptr;
    throw EImageError("damaged " + std::to_string(calls));
  }
};

TEST(BitmapStore, AFailedLevelKeepsItsErrorAndIsNotDecodedAgain) {
  auto store = MakeRef<TFailingStore>();
  auto message = [&](int level, std::optional<TPixelFormat> format) {
    try {
      store->GetMipLevel(level, format);
    } catch (const EImageError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(0, std::nullopt), "damaged 1");
  // Again, in another format, and a level halved from it: the first error, no new decode.
  EXPECT_EQ(message(0, std::nullopt), "damaged 1");
  EXPECT_EQ(message(0, TPixelFormat::L8), "damaged 1");
  EXPECT_EQ(message(2, std::nullopt), "damaged 1");
  EXPECT_EQ(store->calls, 3);  // level 0 once, levels 1 and 2 asked once each
}

TEST(BitmapStore, OrientationSwapsTheSizeAndTurnsEveryLevel) {
  auto store = MakeRef<TCountingStore>(6, 4);
  store->SetOrientation(6);
  TImage image(store);
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.Height(), 6);
  TLevelBitmap level0 = store->GetMipLevel(0);
  ASSERT_EQ(level0->Width(), 4);
  // Turned clockwise: the stored bottom-left pixel (0, 3) is now the top-left one.
  EXPECT_EQ(level0->Pixel(0, 0), 0xFF000003u);
  TLevelBitmap level1 = store->GetMipLevel(1);
  EXPECT_EQ(level1->Width(), 2);
  EXPECT_EQ(level1->Height(), 3);
}

TEST(Orientation, CodesTurnAStoredPictureUpright) {
  // Stored 3x2: pixel value = 10 * y + x.
  TBitmap stored(3, 2, TPixelFormat::A8R8G8B8);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) stored.SetPixel(x, y, static_cast<uint32_t>(10 * y + x));
  struct Case {
    int code;
    int w, h;
    std::vector<uint32_t> rows;  // expected, row by row
  } cases[] = {
      {1, 3, 2, {0, 1, 2, 10, 11, 12}},
      {3, 3, 2, {12, 11, 10, 2, 1, 0}},
      {6, 2, 3, {10, 0, 11, 1, 12, 2}},
      {8, 2, 3, {2, 12, 1, 11, 0, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TBitmap b = stored;
    ApplyOrientation(b, c.code);
    ASSERT_EQ(b.Width(), c.w);
    ASSERT_EQ(b.Height(), c.h);
    std::vector<uint32_t> got;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) got.push_back(b.Pixel(x, y));
    EXPECT_EQ(got, c.rows);
  }
}

}  // namespace
}  // namespace dax::image
