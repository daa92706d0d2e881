#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdio>

#include "SDL2/SDL.h"
#include "foundation/Bitmap.h"
#include "platform/InstanceLock.h"
#include "platform/KeyCodes.h"
#include "platform/Launcher.h"
#include "platform/MessageSink.h"
#include "platform/PictureFile.h"
#include "support/TempDir.h"

namespace dax::platform {
namespace {

TEST(InstanceLock, NameCountsPathFolderAndFile) {
  EXPECT_EQ(InstanceLockName("/usr/bin/show.scr"), "Instance_ID1798show.scr");
  EXPECT_EQ(InstanceLockName("a.scr"), "Instance_ID505a.scr");
}

TEST(InstanceLock, SecondHolderSeesTheFirst) {
  dax::test::TTempDir dir;
  std::string path = dir.File(InstanceLockName("/x/show.scr"));
  {
    TInstanceLock first(path);
    EXPECT_FALSE(first.AnotherInstanceRuns());
    EXPECT_FALSE(first.AnotherInstanceRuns());  // its own lock is no other instance
    TInstanceLock second(path);
    EXPECT_TRUE(second.AnotherInstanceRuns());
  }
  TInstanceLock third(path);
  EXPECT_FALSE(third.AnotherInstanceRuns());
}

struct LauncherTest : ::testing::Test {
  dax::test::TTempDir dir;
  std::string record;
  std::string opener;

  void SetUp() override {
    record = dir.File("record.txt");
    // Writes its working folder and each argument on a line of its own.
    std::string script = "#!/bin/sh\npwd > '" + record +
                         "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + record + "'; done\n";
    dax::test::WriteFileBytes(dir.File("prog.sh"), script);
    ::chmod(dir.File("prog.sh").c_str(), 0755);
    opener = dir.File("opener.sh");
    dax::test::WriteFileBytes(opener, script);
    ::chmod(opener.c_str(), 0755);
    ::mkdir(dir.File("work").c_str(), 0755);
  }
};

TEST_F(LauncherTest, ProgramsGetAnArgumentVectorAndTheirFolder) {
  TPosixLauncher launcher(opener);
  EXPECT_GT(launcher.Launch("prog.sh", {"a b", "$(id); rm x", "c"}, dir.Path()), 32);
  launcher.WaitAll();
  EXPECT_EQ(dax::test::ReadFileBytes(record), dir.Path() + "\na b\n$(id); rm x\nc\n");

  EXPECT_GT(launcher.Launch(dir.File("prog.sh"), {}, dir.File("work")), 32);
  launcher.WaitAll();
  EXPECT_EQ(dax::test::ReadFileBytes(record), dir.File("work") + "\n");
}

TEST_F(LauncherTest, DocumentsAndLinksGoToTheOpener) {
  TPosixLauncher launcher(opener);
  dax::test::WriteFileBytes(dir.File("readme.txt"), "text");
  EXPECT_GT(launcher.Launch("readme.txt", {}, dir.Path()), 32);
  launcher.WaitAll();
  EXPECT_NE(dax::test::ReadFileBytes(record).find("\n" + dir.File("readme.txt") + "\n"),
            std::string::npos);

  EXPECT_GT(launcher.OpenLink("http://example.com/a,b c;d"), 32);
  launcher.WaitAll();
  EXPECT_NE(dax::test::ReadFileBytes(record).find("\nhttp://example.com/a,b c;d\n"),
            std::string::npos);
}

TEST_F(LauncherTest, MissingProgramsReportNotFound) {
  TPosixLauncher launcher(opener);
  EXPECT_EQ(launcher.Launch("no-such-program-here", {}, dir.Path()), kLaunchFileNotFound);
  EXPECT_EQ(launcher.Launch("nodir/prog", {}, dir.Path()), kLaunchPathNotFound);
  EXPECT_EQ(launcher.Launch("/no/such/folder/prog", {}, dir.Path()), kLaunchPathNotFound);
  EXPECT_FALSE(FindProgram("sh", dir.Path()).empty());
}

TEST(KeyCodes, SdlKeysBecomeVirtualKeys) {
  struct TCase {
    int32_t sdl;
    int vk;
  } cases[] = {{SDLK_ESCAPE, 27},     {SDLK_SPACE, 32},      {SDLK_RIGHT, 39},
               {SDLK_LEFT, 37},       {SDLK_PAGEDOWN, 34},   {SDLK_HOME, 36},
               {SDLK_F1, 112},        {SDLK_F12, 123},       {SDLK_p, 'P'},
               {SDLK_5, '5'},         {SDLK_RETURN, 13},     {SDLK_PAUSE, 19},
               {SDLK_AUDIOPLAY, 179}, {SDLK_AUDIONEXT, 176}, {SDLK_AC_FORWARD, 167},
               {SDLK_AC_BACK, 166},   {SDLK_UNKNOWN, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sdl);
    EXPECT_EQ(SdlKeyToVirtualKey(c.sdl), c.vk);
  }
  EXPECT_EQ(SdlShiftState(KMOD_LCTRL, 0), 8);
  EXPECT_EQ(SdlShiftState(KMOD_RSHIFT | KMOD_LALT, SDL_BUTTON(SDL_BUTTON_LEFT)), 2 | 4 | 16);
  EXPECT_EQ(SdlShiftState(KMOD_LGUI, SDL_BUTTON(SDL_BUTTON_RIGHT)), 1 | 32);
  EXPECT_EQ(SdlMouseButton(SDL_BUTTON_LEFT), 1);
  EXPECT_EQ(SdlMouseButton(SDL_BUTTON_RIGHT), 4);
  EXPECT_EQ(SdlMouseButton(SDL_BUTTON_MIDDLE), 5);
}

TEST(MessageSink, WritesCaptionAndLinesToTheErrorStream) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  TMessageSink sink(false, file);
  sink.ShowMessage("Slideshow Error", "Slideshow File not Found\r\"a.dxshow\"",
                   TMessageIcon::Warning);
  sink.ShowMessage("", "plain", TMessageIcon::None);
  std::rewind(file);
  char buffer[256] = {};
  size_t n = std::fread(buffer, 1, sizeof(buffer) - 1, file);
  std::fclose(file);
  EXPECT_EQ(std::string(buffer, n),
            "Slideshow Error: Slideshow File not Found\n\"a.dxshow\"\nplain\n");
  EXPECT_EQ(MessageLines("a\r\nb\rc"), "a\nb\nc");
}

TEST(PictureFile, SavesPngAndNeverOverwrites) {
  dax::test::TTempDir dir;
  TBitmap bitmap(3, 2);
  bitmap.SetPixel(0, 0, 0x80FF0000u);
  bitmap.SetPixel(2, 1, 0xFF00FF00u);
  std::string path = UniqueFileName(dir.Path(), "slide_1", ".png");
  EXPECT_EQ(path, dir.File("slide_1.png"));
  ASSERT_TRUE(SavePng(path, bitmap));
  EXPECT_EQ(UniqueFileName(dir.Path(), "slide_1", ".png"), dir.File("slide_1_2.png"));

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 4),
            (std::vector<uint8_t>{255, 0, 0, 128}));
  EXPECT_EQ(std::vector<uint8_t>(pixels.end() - 4, pixels.end()),
            (std::vector<uint8_t>{0, 255, 0, 255}));
  EXPECT_FALSE(SavePng(dir.File("none/x.png"), bitmap));
  EXPECT_FALSE(SavePng(dir.File("empty.png"), TBitmap()));
}

}  // namespace
}  // namespace dax::platform
