#include "app/Providers.h"

#include <gtest/gtest.h>

#include <optional>

#include "AppFakes.h"
#include "container/ShowLocator.h"
#include "foundation/Log.h"
#include "image/ColorProfile.h"
#include "image/ImageLibrary.h"
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
}

TEST(ColourLibraryProvider, AskedWhenTheShowTurnsColourManagementOn) {
  dax::test::TTempDir dir;
  dax::test::WriteFileBytes(dir.File("lcms2.dll"), "MZ");
  std::string project = dir.File("Project.dax");
  std::string logFile = dir.File("run.log");
  struct TCase {
    const char* value;
    bool noIcc;
    bool asked;
  } cases[] = {
      {"sRGB", false, true},
      {"", false, false},
      {"*", false, false},
      {"sRGB", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.value << " noicc=" << c.noIcc);
    dax::test::WriteFileBytes(project, std::string("[Main]\nColorManagement=") + c.value + "\n");
    image::SetColorSwitches(c.noIcc, std::nullopt);
    image::SetTargetProfile(nullptr);
    InstallColourLibraryProvider();
    ASSERT_TRUE(Log().OpenFile(logFile));
    auto locator = container::OpenProjectFile(project);
    Log().Close();
    ASSERT_TRUE(locator);
    std::string log = dax::test::ReadFileBytes(logFile);
    EXPECT_EQ(log.find("Windows library in show ignored: lcms2.dll") != std::string::npos, c.asked)
        << log;
    // The image library's own set-up still runs behind the provider.
    EXPECT_EQ(image::TargetProfileOrNull() != nullptr, c.asked);
  }
  container::SetColorSetupHook(image::SetUpShowColors);
  image::SetColorSwitches(false, std::nullopt);
  image::SetTargetProfile(nullptr);
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
