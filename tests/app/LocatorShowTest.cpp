#include "app/LocatorShow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "app/PrintSaver.h"
#include "container/ShowPacker.h"
#include "foundation/Bitmap.h"
#include "foundation/Stream.h"
#include "image/ColorProfile.h"
#include "image/ImageLibrary.h"
#include "image/ImageLoader.h"
#include "platform/PictureFile.h"
#include "show/DaxSource.h"
#include "show/ShowSourceFactory.h"
#include "support/TempDir.h"

namespace dax::app {
namespace {

// A bottom-up 24-bit BMP file of 2 x 1 pixels.
std::string TwoPixelBmp(uint32_t left, uint32_t right) {
  std::string b = "BM";
  auto put = [&b](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
  };
  put(14 + 40 + 8, 4), put(0, 4), put(14 + 40, 4);
  put(40, 4), put(2, 4), put(1, 4), put(1, 2), put(24, 2), put(0, 4), put(8, 4);
  put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  put(left & 0xFFFFFF, 3), put(right & 0xFFFFFF, 3), put(0, 2);  // BGR, padded to 4 bytes
  return b;
}

struct LocatorShowTest : ::testing::Test {
  dax::test::TTempDir dir;
  std::string project;

  void SetUp() override {
    ::mkdir(dir.File("src").c_str(), 0755);
    project = dir.File("src/Project.dax");
    dax::test::WriteFileBytes(project,
                              "[Main]\nDaxVersion=5.6\nopt_repeat=close\nopt_lockwheel=1\n"
                              "opt_hidecursor=2\n"
                              "[Times]\nopt_slidescount=3\nopt_synchpos1=3000\n"
                              "opt_synchpos2=6000\nopt_synchpos3=9000\n"
                              "[Slide1]\nslideid=Title\npicture=pics\\one.png\n"
                              "[Slide2]\nslideid=Middle\n[Slide3]\npicture=missing.jpg\n");
    ::mkdir(dir.File("src/pics").c_str(), 0755);
    TBitmap bitmap(2, 2);
    bitmap.Fill(0xFF102030u);
    ASSERT_TRUE(platform::SavePng(dir.File("src/pics/one.png"), bitmap));
    show::RegisterShowSourceFactory("/opt/daxviewer");
  }
};

TEST_F(LocatorShowTest, ProjectOpensWithItsTimelineAndOptions) {
  TLocatorShowOpener opener;
  TOpenResult result = opener.OpenProject(project);
  ASSERT_TRUE(result.show);
  auto& show = static_cast<TLocatorShow&>(*result.show);
  ASSERT_NE(show.Source(), nullptr);
  EXPECT_FALSE(show.IsPacked());
  EXPECT_FALSE(show.IsScreenSaver());
  EXPECT_EQ(show.Version(), "5.6");
  EXPECT_EQ(show.EndAction(), "close");
  EXPECT_TRUE(show.ReadBool("Main", "opt_lockwheel", false));
  EXPECT_EQ(show.ReadInteger("main", "OPT_HIDECURSOR", 0), 2);
  EXPECT_EQ(show.ReadString("Main", "opt_scr_caption", "fallback"), "fallback");
  EXPECT_EQ(show.SlideCount(), 3);
  EXPECT_EQ(show.FindSlideByName("middle"), 1);
  EXPECT_EQ(show.FindSlideByName("nothing"), -1);
  // The main window's seeks come from the show library's timeline.
  const show::TDaxSource& source = *show.Source();
  for (int slide : {0, 1, 2, 3})
    EXPECT_EQ(show.SlideStartTime(slide), source.SlideStartTime(slide));
  for (double t : {0.0, 2999.0, 4500.0}) {
    EXPECT_EQ(show.NextSlideTime(t, false), source.NextSlideTime(t, false));
    EXPECT_EQ(show.NextSlideTime(t, true), source.NextSlideTime(t, true));
    EXPECT_EQ(show.PrevSlideTime(t), source.PrevSlideTime(t));
    // The pre-show phase (-1) counts as the first slide.
    EXPECT_EQ(show.SlideAtTime(t), std::max<int64_t>(source.SlideAtTime(t), 0));
  }
  EXPECT_GT(show.NextSlideTime(0, false), 0);
  EXPECT_TRUE(show.HasEntry("pics\\ONE.png"));
  EXPECT_FALSE(show.HasEntry("missing.jpg"));
}

TEST_F(LocatorShowTest, PackedShowAndContainerVersion) {
  std::string error;
  auto input = container::CollectPackInput(dir.File("src"), error);
  ASSERT_TRUE(input) << error;
  std::string packed = dir.File("show.dxshow");
  ASSERT_EQ(container::WritePackedShow(*input, {}, packed), "");
  TLocatorShowOpener opener;
  TOpenResult result = opener.OpenPacked(packed);
  ASSERT_TRUE(result.show) << result.errorText;
  EXPECT_TRUE(result.show->IsPacked());
  EXPECT_EQ(result.show->ReadEntry("pics\\one.png"),
            dax::test::ReadFileBytes(dir.File("src/pics/one.png")));
  EXPECT_TRUE(opener.ReadContainerVersion(packed).has_value());
  EXPECT_FALSE(opener.ReadContainerVersion(project).has_value());
  TOpenResult missing = opener.OpenPacked(dir.File("none.dxshow"));
  EXPECT_FALSE(missing.show);
  EXPECT_EQ(missing.errorText, "Slideshow File not Found");
}

TEST_F(LocatorShowTest, InconsistentTimelineFailsTheOpen) {
  dax::test::WriteFileBytes(project,
                            "[Main]\n[Times]\nopt_slidescount=2\nopt_synchpos1=5000\n"
                            "opt_synchpos2=3000\n[Slide1]\n[Slide2]\n");
  TOpenResult result = TLocatorShowOpener().OpenProject(project);
  EXPECT_FALSE(result.show);
  EXPECT_NE(result.errorText.find("Incorrect time"), std::string::npos) << result.errorText;
}

TEST_F(LocatorShowTest, PrintSavesTheSlidePicture) {
  TOpenResult result = TLocatorShowOpener().OpenProject(project);
  ASSERT_TRUE(result.show);
  ::mkdir(dir.File("out").c_str(), 0755);
  std::string saved = SaveSlidePicture(*result.show, 0, nullptr, dir.File("out"));
  EXPECT_EQ(saved, dir.File("out/slide_1.png"));
  EXPECT_EQ(dax::test::ReadFileBytes(saved),
            dax::test::ReadFileBytes(dir.File("src/pics/one.png")));
  // The engine's picture wins; a slide without a readable picture saves nothing.
  TBitmap picture(4, 3);
  EXPECT_EQ(SaveSlidePicture(*result.show, 0, &picture, dir.File("out")),
            dir.File("out/slide_1_2.png"));
  EXPECT_EQ(SaveSlidePicture(*result.show, 1, nullptr, dir.File("out")), "");
  EXPECT_EQ(SaveSlidePicture(*result.show, 2, nullptr, dir.File("out")), "");
  EXPECT_EQ(SaveSlidePicture(*result.show, 0, nullptr, ""), "");
}

TEST_F(LocatorShowTest, PrintDecodesOtherPicturesToPng) {
  image::InstallImageLibrary();
  image::SetTargetProfile(nullptr);  // the pixels as the file has them
  dax::test::WriteFileBytes(dir.File("src/pics/two.bmp"), TwoPixelBmp(0xFF0000u, 0x0000FFu));
  // A ".png" name that holds no PNG is not copied as one.
  dax::test::WriteFileBytes(dir.File("src/pics/fake.png"), TwoPixelBmp(0x00FF00u, 0x00FF00u));
  dax::test::WriteFileBytes(project,
                            "[Main]\n[Times]\nopt_slidescount=2\nopt_synchpos1=3000\n"
                            "opt_synchpos2=6000\n[Slide1]\npicture=pics\\two.bmp\n"
                            "[Slide2]\npicture=pics\\fake.png\n");
  TOpenResult result = TLocatorShowOpener().OpenProject(project);
  ASSERT_TRUE(result.show);
  ::mkdir(dir.File("out").c_str(), 0755);
  std::string saved = SaveSlidePicture(*result.show, 0, nullptr, dir.File("out"));
  ASSERT_EQ(saved, dir.File("out/slide_1.png"));
  EXPECT_EQ(dax::test::ReadFileBytes(saved).rfind("\x89PNG\r\n\x1a\n", 0), 0u);
  image::TImage png = image::OpenImage(OpenFile(saved, TFileMode::Read), saved);
  ASSERT_TRUE(png);
  ASSERT_EQ(png.Width(), 2);
  ASSERT_EQ(png.Height(), 1);
  image::TLevelBitmap pixels = png.Store()->GetMipLevel(0, TPixelFormat::A8R8G8B8);
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(pixels->Pixel(1, 0), 0xFF0000FFu);

  EXPECT_EQ(SaveSlidePicture(*result.show, 1, nullptr, dir.File("out")), "");
}

}  // namespace
}  // namespace dax::app
