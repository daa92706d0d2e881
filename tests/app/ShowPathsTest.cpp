#include "app/ShowPaths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"

namespace dax::app {
namespace {

TEST(ShowPaths, ResolveAgainstTheProgramFolder) {
  dax::test::TTempDir dir;
  ::mkdir(dir.File("bin").c_str(), 0755);
  ::mkdir(dir.File("Shows").c_str(), 0755);
  dax::test::WriteFileBytes(dir.File("Shows/Main.DXSHOW"), "x");
  std::string bin = dir.File("bin");
  struct TCase {
    std::string name, expected;
  } cases[] = {
      {"..\\Shows\\Main.DXSHOW", dir.File("Shows/Main.DXSHOW")},
      {"..\\shows\\main.dxshow", dir.File("Shows/Main.DXSHOW")},  // letter case ignored
      {"./../Shows/./Main.DXSHOW", dir.File("Shows/Main.DXSHOW")},
      {"x.dxshow", dir.File("bin/x.dxshow")},
      {"/abs/x.dxshow", "/abs/x.dxshow"},
      {"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x", "/x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ResolveAgainstFolder(bin, c.name), c.expected);
  }
}

TEST(ShowPaths, ShowFileOfBundlesAndPrograms) {
  dax::test::TTempDir dir;
  std::string bundle = dir.File("Show.app");
  EXPECT_EQ(ResolveShowFile(bundle), dir.File("Show.dxshow"));
  ::mkdir(bundle.c_str(), 0755);
  ::mkdir((bundle + "/Contents").c_str(), 0755);
  ::mkdir((bundle + "/Contents/Resources").c_str(), 0755);
  dax::test::WriteFileBytes(bundle + "/Contents/Resources/slideshow.dat", "x");
  EXPECT_EQ(ResolveShowFile(bundle), bundle + "/Contents/Resources/slideshow.dat");
  EXPECT_EQ(ResolveShowFile(dir.File("show.EXE")), dir.File("show.EXE"));
  EXPECT_EQ(ResolveShowFile(dir.File("show")), dir.File("show"));
}

TEST(ShowPaths, NameParts) {
  EXPECT_EQ(ChangeExtension("/a.b/show", ".dxshow"), "/a.b/show.dxshow");
  EXPECT_EQ(ChangeExtension("/a/show.exe", ".dxshow"), "/a/show.dxshow");
  EXPECT_EQ(ExtensionOf("/a.b/c"), "");
  EXPECT_EQ(FolderOf("/x"), "/");
  EXPECT_EQ(RelativeFolder("C:/Out", "C:/out/Sub/deeper"), "Sub/deeper");
  EXPECT_EQ(RelativeFolder("C:/Out/a", "C:/Out/b"), "../b");
  EXPECT_EQ(RelativeFolder("C:/Out", "C:/Out"), "");
}

}  // namespace
}  // namespace dax::app
