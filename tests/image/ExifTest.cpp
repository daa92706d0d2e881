#include "image/Exif.h"

#include <gtest/gtest.h>

#include "ImageFixtures.h"

namespace dax::image {
namespace {

TEST(Exif, ReadsOrientationTextsAndCommentInBothByteOrders) {
  for (bool big : {false, true}) {
    for (int orientation : {1, 3, 6, 8}) {
      SCOPED_TRACE(testing::Message() << (big ? "MM " : "II ") << orientation);
      test::TBytes block = test::MakeExifBlock(big, orientation, "Harbour at dusk",
                                               "2024:05:01 18:30:00", "caf\xc3\xa9");
      TExifInfo info;
      ASSERT_TRUE(ParseExifBlock(block.data(), block.size(), info));
      EXPECT_EQ(info.orientation, orientation);
      EXPECT_EQ(info.description, "Harbour at dusk");
      EXPECT_EQ(info.dateTime, "2024:05:01 18:30:00");
      EXPECT_EQ(info.comment, "caf\xc3\xa9");
    }
  }
}

TEST(Exif, ReadsFromAJpegWithIptcAndCommentFallback) {
  // IPTC: caption (2:120) and two keywords (2:25) in a Photoshop resource block.
  test::TBytes iptc;
  auto dataset = [&](int number, const std::string& text) {
    iptc.insert(iptc.end(),
                {0x1C, 2, static_cast<uint8_t>(number), 0, static_cast<uint8_t>(text.size())});
    iptc.insert(iptc.end(), text.begin(), text.end());
  };
  dataset(120, "A caption");
  dataset(25, "sea");
  dataset(25, "boats");
  test::TBytes app13 = {'P',  'h',
                        'o',  't',
                        'o',  's',
                        'h',  'o',
                        'p',  ' ',
                        '3',  '.',
                        '0',  0,
                        '8',  'B',
                        'I',  'M',
                        0x04, 0x04,
                        0,    0,
                        0,    0,
                        0,    static_cast<uint8_t>(iptc.size())};
  app13.insert(app13.end(), iptc.begin(), iptc.end());
  if (iptc.size() % 2) app13.push_back(0);
  test::TJpegSpec spec;
  test::TBytes exif =
      test::ExifApp1(test::MakeExifBlock(false, 6, "Desc", "2020:01:01 00:00:00", ""));
  spec.markers = {{0xE1, exif}, {0xED, app13}, {0xFE, test::TBytes{'h', 'i'}}};
  test::TBytes jpeg = test::MakeJpeg(test::RampBitmap(8, 8), spec);
  TMemoryStream stream(jpeg);
  TExifInfo info = ReadPictureMetadata(stream);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(info.orientation, 6);
  EXPECT_EQ(info.description, "Desc");
  EXPECT_EQ(info.comment, "hi");  // no EXIF user comment: the JPEG comment
  EXPECT_EQ(info.iptc[120], std::vector<std::string>{"A caption"});
  EXPECT_EQ(info.iptc[25], (std::vector<std::string>{"sea", "boats"}));
}

TEST(Exif, HostileOffsetsAndCountsAreIgnored) {
  test::TBytes block = test::MakeExifBlock(false, 3, "abc", "def", "ghi");
  // Every single-byte corruption and cut of the block parses without reading outside it.
  for (size_t i = 0; i < block.size(); ++i) {
    for (uint8_t v : {0x00, 0x7F, 0xFF}) {
      test::TBytes b = block;
      b[i] = v;
      TExifInfo info;
      ParseExifBlock(b.data(), b.size(), info);
      ParseExifBlock(b.data(), i, info);
    }
  }
  TExifInfo info;
  const uint8_t selfLoop[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x69, 0x87, 4,
                              0,   1,   0,  0, 0, 8, 0, 0, 0, 0, 0,    0,    0};
  EXPECT_TRUE(ParseExifBlock(selfLoop, sizeof selfLoop, info));
}

}  // namespace
}  // namespace dax::image
