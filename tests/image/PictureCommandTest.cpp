// daxpack picture, run as built: the exit status, the message and the PNG it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "ImageFixtures.h"
#include "container/ShowPacker.h"
#include "image/ImageLoader.h"
#include "image/StandardLoaders.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

namespace dax::image {
namespace {

std::string Text(const test::TBytes& b) {
  return std::string(b.begin(), b.end());
}

// Runs a command with stderr joined to stdout; the exit status in rc.
std::string RunCommand(const std::string& command, int& rc) {
  return dax::test::RunCommand(command + " 2>&1", rc);
}

class PictureCommand : public testing::Test {
 protected:
  void SetUp() override {
    RegisterStandardImageLoaders();
    const std::string show = dir_.File("show");
    std::filesystem::create_directory(show);
    dax::test::WriteFileBytes(show + "/Project.dax",
                              "[Main]\r\nColorManagement=\r\n[Slide1]\r\nPicture=photo.jpg\r\n"
                              "[RotationState]\r\n;\"turned.bmp\"=6\r\n");
    dax::test::WriteFileBytes(show + "/photo.jpg", Text(test::MakeJpeg(test::RampBitmap(100, 60))));
    dax::test::WriteFileBytes(show + "/turned.bmp", Text(test::MakeBmp24(test::RampBitmap(6, 4))));
    dax::test::WriteFileBytes(show + "/bad.jpg", "\xFF\xD8\xFF\xE0 not really");
    // Declares 16384 x 16384 but holds one row.
    dax::test::WriteFileBytes(show + "/huge.bmp",
                              Text(test::MakeBmp({16384, 16384, 24, 0, {}, {{1, 2, 3}}, {}})));
    std::string error;
    auto input = container::CollectPackInput(show, error);
    ASSERT_TRUE(input) << error;
    show_ = dir_.File("show.dxshow");
    ASSERT_EQ(container::WritePackedShow(*input, {}, show_), "");
    project_ = show + "/Project.dax";
  }

  std::string Picture(const std::string& args, int& rc) {
    return RunCommand(std::string(DAXPACK_PATH) + " picture " + args, rc);
  }

  // The PNG's size, and whether it is RGBA (colour type 6); none when it does not open.
  std::optional<std::pair<TSize, bool>> ReadPng(const std::string& path) {
    std::string bytes = dax::test::ReadFileBytes(path);
    if (bytes.size() < 26) return {};
    TImage image = OpenImage(std::make_unique<TMemoryStream>(bytes), "out.png");
    if (!image) return {};
    return std::pair{TSize{image.Width(), image.Height()}, bytes[25] == 6};
  }

  dax::test::TTempDir dir_;
  std::string show_, project_;
};

TEST_F(PictureCommand, WritesThePictureAtTheLevelTheSlideSizeChooses) {
  // OUT stands for the output file.
  struct Case {
    const char* what;
    std::string args;
    TSize size;
    const char* printed;
  } cases[] = {
      {"full size", "photo.jpg OUT", {100, 60}, "level 0 (100x60)"},
      // 50x30 is the last level larger than 40x25 in both directions.
      {"--size", "photo.jpg OUT --size 40x25", {50, 30}, "level 1 (50x30)"},
      {"--size first", "--size 20x12 photo.jpg OUT", {25, 15}, "level 2 (25x15)"},
      {"turned by RotationState", "turned.bmp OUT", {4, 6}, "level 0 (4x6)"},
  };
  const std::string out = dir_.File("out.png");
  for (const std::string& source : {show_, project_}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(source + ": " + c.what);
      std::remove(out.c_str());
      std::string args = c.args;
      args.replace(args.find("OUT"), 3, "'" + out + "'");
      int rc = -1;
      std::string text = Picture("'" + source + "' " + args, rc);
      EXPECT_EQ(rc, 0) << text;
      EXPECT_NE(text.find(c.printed), std::string::npos) << text;
      auto png = ReadPng(out);
      ASSERT_TRUE(png);
      EXPECT_EQ(png->first, c.size);
      EXPECT_TRUE(png->second);
    }
  }
}

TEST_F(PictureCommand, FailuresExitNonZeroWithTheMessageAndWriteNothing) {
  const std::string out = dir_.File("never.png");
  struct Case {
    std::string args;
    int rc;
    const char* message;
  } cases[] = {
      {"nothing.jpg '" + out + "'", 1, "Image not found nothing.jpg"},
      {"bad.jpg '" + out + "'", 1, "Image load error: bad.jpg"},
      {"huge.bmp '" + out + "'", 1, "Image load error: huge.bmp"},
      {"photo.jpg '" + out + "' --size 0x5", 1, "--size needs WIDTHxHEIGHT"},
      {"photo.jpg '" + out + "' --size", 1, "--size needs WIDTHxHEIGHT"},
      {"photo.jpg", 2, "usage: daxpack picture"},
      {"photo.jpg '" + dir_.File("no/such/dir/x.png") + "'", 1, "cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    int rc = -1;
    std::string text = Picture("'" + show_ + "' " + c.args, rc);
    EXPECT_EQ(rc, c.rc);
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    EXPECT_EQ(dax::test::ReadFileBytes(out), "");  // no placeholder written as the picture
  }
  int rc = -1;
  std::string text = RunCommand(std::string(DAXPACK_PATH) + " picture '" +
                                    dir_.File("none.dxshow") + "' photo.jpg '" + out + "'",
                                rc);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(text.find("cannot open show"), std::string::npos) << text;
}

}  // namespace
}  // namespace dax::image
