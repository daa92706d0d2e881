#include "app/LocatorShow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "app/PrintSaver.h"
#include "container/ShowPacker.h"
#include "foundation/Bitmap.h"
#include "platform/PictureFile.h"
#include "show/DaxSource.h"
#include "show/ShowSourceFactory.h"
#include "support/TempDir.h"

namespace dax::app {
namespace {

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

}  // namespace
}  // namespace dax::app
