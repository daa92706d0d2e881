#include "app/Providers.h"

#include <gtest/gtest.h>

#include "AppFakes.h"
#include "support/TempDir.h"

namespace dax::app {
namespace {

TEST(MediaLibraryProvider, LoadsOurLibraryNeverTheShowsDll) {
  dax::test::TTempDir dir;
  std::vector<std::string> loaded;
  TMediaLibraryProvider provider(dir.Path(), [&](const std::string& path) {
    loaded.push_back(path);
    return true;
  });
  test::TFakeShowSetup setup;
  setup.entries = {"FFmpeg.dll", "lcms2.dll"};
  test::TFakeShow show("/x.dxshow", setup, nullptr);

  provider.Provide(&show);  // absent: nothing, and the next show tries again
  EXPECT_TRUE(loaded.empty());
  EXPECT_EQ(provider.Path(), "");

  dax::test::WriteFileBytes(dir.File(kMediaLibraryFile), "elf");
  provider.Provide(nullptr);
  provider.Provide(&show);  // found once, kept for the run
  EXPECT_EQ(loaded, std::vector<std::string>{dir.File(kMediaLibraryFile)});
  EXPECT_EQ(provider.Path(), dir.File(kMediaLibraryFile));
  EXPECT_TRUE(ColourLibraryAvailable(&show));
}

TEST(ExclusiveMode, FollowsTheShowsOption) {
  test::TFakeShowSetup setup;
  test::TFakeShow plain("/a", setup, nullptr);
  setup.main["opt_scr_noexclusive"] = "1";
  test::TFakeShow refusing("/b", setup, nullptr);
  DecideExclusiveMode(refusing);
  EXPECT_FALSE(ExclusiveModeAllowed());
  DecideExclusiveMode(plain);
  EXPECT_TRUE(ExclusiveModeAllowed());
}

}  // namespace
}  // namespace dax::app
