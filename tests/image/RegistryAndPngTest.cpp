#include <gtest/gtest.h>

#include "ImageFixtures.h"
#include "image/ImageLoader.h"
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

}  // namespace
}  // namespace dax::image
