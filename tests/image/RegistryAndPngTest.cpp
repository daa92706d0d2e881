#include <gtest/gtest.h>

#include <optional>

#include "ImageFixtures.h"
#include "foundation/Clock.h"
#include "foundation/Exceptions.h"
#include "foundation/Progress.h"
#include "image/ImageLoader.h"
#include "image/PackedPicture.h"
#include "image/PngLoader.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

TEST(LoaderRegistry, ExtensionsAreNormalised) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{".bmp", ".bmp"},
               {"  *.JPG", ".jpg"},
               {"gif", ".gif"},
               {"*gif|framesatlas", ".gif|framesatlas"}};
  for (const Case& c : cases) EXPECT_EQ(NormaliseExtension(c.in), c.out) << c.in;
  EXPECT_EQ(ExtensionOf("dir.x\\Anim.GIF|framesatlas"), ".gif|framesatlas");
  EXPECT_EQ(ExtensionOf("noext"), "");
}

// A loader that records its calls, reads a byte (moving the stream) and accepts or declines.
struct TProbe {
  std::vector<std::string>* log;
  std::string id;
  bool accept;
  TRef<TSysBitmapStore> operator()(const TLoadRequest& r) const {
    log->push_back(id + "@" + std::to_string(r.stream->Position()));
    uint8_t b;
    r.stream->Read(&b, 1);
    if (!accept) return nullptr;
    return MakeRef<TWrapperBitmapStore>(id, TBitmap(1, 1));
  }
};

TEST(LoaderRegistry, RegistrationOrderDecidesAndDecliningRestoresThePosition) {
  TImageLoaderRegistry registry;
  std::vector<std::string> log;
  registry.Register(TProbe{&log, "first", false}, {"*.abc"});
  registry.Register(TProbe{&log, "other", true}, {".xyz"});
  registry.Register(TProbe{&log, "second", true}, {"ABC"});
  registry.Register(TProbe{&log, "third", true}, {".abc"});
  TImage image = registry.Open(std::make_unique<TMemoryStream>(std::string("data")), "pic.Abc");
  ASSERT_TRUE(image);
  EXPECT_EQ(image.Name(), "second");
  EXPECT_EQ(log, (std::vector<std::string>{"first@0", "second@0"}));
  log.clear();
  // An empty name asks every loader.
  EXPECT_EQ(registry.Open(std::make_unique<TMemoryStream>(std::string("d")), "").Name(), "other");
  log.clear();
  EXPECT_FALSE(registry.Open(std::make_unique<TMemoryStream>(std::string("d")), "pic.none"));
  EXPECT_TRUE(log.empty());
}

TEST(PngLoader, DecodesWithAlphaAndOpensUnderABmpName) {
  RegisterStandardImageLoaders();
  TBitmap source = test::RampBitmap(9, 5);
  source.SetPixel(2, 3, 0x80112233u);
  std::vector<uint8_t> png = EncodePng(source);
  ASSERT_FALSE(png.empty());
  for (const char* name : {"pic.png", "really-a-png.bmp", "UPPER.PNG"}) {
    SCOPED_TRACE(name);
    TImage image = OpenImage(std::make_unique<TMemoryStream>(png), name);
    ASSERT_TRUE(image);
    EXPECT_EQ(image.Width(), 9);
    EXPECT_EQ(image.Store()->Format(), TPixelFormat::A8R8G8B8);
    TLevelBitmap level = image.Store()->GetMipLevel(0);
    EXPECT_EQ(level->Bytes(), source.Bytes());
  }
  // A damaged PNG opens (the header is fine) but its level is an error, not a crash.
  std::vector<uint8_t> broken = png;
  broken.resize(broken.size() - 20);
  TImage image = OpenImage(std::make_unique<TMemoryStream>(broken), "b.png");
  ASSERT_TRUE(image);
  EXPECT_THROW(image.Store()->GetMipLevel(0), EImageError);
  // A BMP is still a BMP.
  TImage bmp = OpenImage(std::make_unique<TMemoryStream>(test::MakeBmp24(source)), "a.bmp");
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp.Store()->Format(), TPixelFormat::X8R8G8B8);
}

// Counts the work a decode does: reads from the picture's stream and calls of the load-progress
// hook (in Yield mode, each call asks the clock for the time).
class TWorkCounter : public IClock {
 public:
  TWorkCounter() {
    SetLoadProgressClock(this);
    SetLoadProgressMode(TProgressMode::Yield);
  }
  ~TWorkCounter() override {
    SetLoadProgressMode(TProgressMode::None);
    SetLoadProgressClock(nullptr);
  }
  int64_t NowMs() override {
    ++work;
    return 0;
  }
  void SleepMs(int64_t) override {}
  int work = 0;
};

class TCountingStream : public TMemoryStream {
 public:
  TCountingStream(const test::TBytes& bytes, int& reads) : TMemoryStream(bytes), reads_(reads) {}
  size_t Read(void* buffer, size_t count) override {
    ++reads_;
    return TMemoryStream::Read(buffer, count);
  }

 private:
  int& reads_;
};

test::TBytes BrokenJpeg() {
  // The first component names quantisation table 3, which is never defined.
  test::TBytes b = test::MakeJpeg(test::RampBitmap(64, 64));
  for (size_t i = 2; i + 13 < b.size(); ++i) {
    if (b[i] == 0xFF && b[i + 1] == 0xC0) {
      b[i + 12] = 3;
      break;
    }
  }
  return b;
}

TEST(BitmapStores, ADecodeThatFailedIsNotRepeated) {
  RegisterStandardImageLoaders();
  std::vector<uint8_t> png = EncodePng(test::RampBitmap(40, 30));
  png.resize(png.size() - 20);
  const uint32_t red = 0xFFFF0000u;
  // An absolute run longer than the data that is left.
  test::TBytes bmp = test::MakeBmp({2, 2, 8, 1, {red}, {}, {0, 5, 1}});
  struct Case {
    const char* name;
    test::TBytes bytes;
  } cases[] = {{"cut.png", png}, {"cut-rle.bmp", bmp}, {"broken.jpg", BrokenJpeg()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int reads = 0;
    TImage image = OpenImage(std::make_unique<TCountingStream>(c.bytes, reads), c.name);
    ASSERT_TRUE(image);
    TWorkCounter counter;
    auto attempt = [&](std::optional<TPixelFormat> format) {
      const int before = counter.work + reads;
      std::string error = "no error";
      try {
        image.Store()->GetMipLevel(0, format);
      } catch (const EImageError& e) {
        error = e.what();
      }
      return std::pair{error, counter.work + reads - before};
    };
    auto [first, firstWork] = attempt(std::nullopt);
    EXPECT_NE(first, "no error");
    EXPECT_GT(firstWork, 0);
    EXPECT_EQ(attempt(std::nullopt), std::pair(first, 0));
    EXPECT_EQ(attempt(TPixelFormat::A8R8G8B8), std::pair(first, 0));
  }
}

TEST(BitmapStores, AnAbortedDecodeIsNotRememberedAndLeavesNothingBehind) {
  RegisterStandardImageLoaders();
  TBitmap source = test::RampBitmap(40, 30);
  test::TBytes bmp = test::MakeBmp24(source);
  struct Case {
    const char* name;
    test::TBytes bytes;
  } cases[] = {
      {"a.png", EncodePng(source)},
      {"a.bmp", bmp},
      {"a.kvgfx", WritePackedPicture({{"File", "a.bmp"},
                                      {"Width", "40"},
                                      {"Height", "30"},
                                      {"OriginalSize", std::to_string(bmp.size())}},
                                     bmp)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TImage image = OpenImage(std::make_unique<TMemoryStream>(c.bytes), c.name);
    ASSERT_TRUE(image);
    // The hook throws inside the decoder (zlib and libpng state open): the sanitizer build
    // reports anything not released.
    SetLoadProgressMode(TProgressMode::Abort);
    EXPECT_THROW(image.Store()->GetMipLevel(0), EOperationAborted);
    SetLoadProgressMode(TProgressMode::None);
    TLevelBitmap level = image.Store()->GetMipLevel(0);
    ASSERT_EQ(level->Width(), 40);
    EXPECT_EQ(level->Pixel(17, 9) | 0xFF000000u, source.Pixel(17, 9));
  }
}

}  // namespace
}  // namespace dax::image
