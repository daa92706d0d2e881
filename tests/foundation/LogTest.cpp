#include "foundation/Log.h"

#include <gtest/gtest.h>

#include "foundation/Clock.h"
#include "support/TempDir.h"

namespace dax {
namespace {

TEST(Log, FileHasBomCrLfBannersAndHelpers) {
  test::TTempDir dir;
  std::string path = dir.File("daxviewer.log");
  TLogSink sink;
  ASSERT_TRUE(sink.OpenFile(path));
  std::tm start{};
  start.tm_mday = 3;
  start.tm_mon = 1;
  start.tm_year = 126;
  start.tm_hour = 9;
  start.tm_min = 5;
  start.tm_sec = 7;
  sink.WriteStartBanner("/opt/show/daxviewer", start);
  sink.Write("Float " + TLogLine().Float(0.25).Text() + " " + TLogLine().Float(3).Text());
  TVirtualClock clock(1000);
  sink.SetTimes(true, &clock);
  clock.Advance(42);
  sink.Write(TLogLine("B ").Bool(true).Add(" ").Bool(false).Text());
  sink.SetTimes(false);
  sink.Write(TLogLine("L ").IntList({1, -2, 3}).Add(" R= ").Rect(0, 0, 640, 480).Text());
  sink.WriteStopBanner(start, 1500);
  sink.Close();

  std::string eq(64, '='), dash(64, '-');
  std::string expected = "\xEF\xBB\xBF\r\n" + eq + "\r\nProgram : /opt/show/daxviewer\r\n" +
                         "started : 03.02.2026 09:05:07\r\n" + eq + "\r\n" +
                         "Float 0.25 3\r\n"
                         "[42] B True False\r\n"
                         "L 1, -2, 3 R= (0, 0, 640, 480)\r\n"
                         "\r\n" + dash + "\r\nProgram stoped : 03.02.2026 09:05:07 (work time : 1500 ms)\r\n" +
                         dash + "\r\n";
  EXPECT_EQ(test::ReadFileBytes(path), expected);
}

TEST(Log, ThreadIdPrefixAndFileNames) {
  test::TTempDir dir;
  std::string path = dir.File("t.log");
  TLogSink sink;
  ASSERT_TRUE(sink.OpenFile(path));
  sink.SetPrefix("DAX ");
  sink.SetThreadIds(true);
  sink.Write("x");
  sink.Close();
  std::string text = test::ReadFileBytes(path);
  ASSERT_GE(text.size(), 3u + 4 + 2 + 4 + 1);
  EXPECT_EQ(text.substr(3, 5), "DAX #");
  size_t space = text.find(' ', 8);
  ASSERT_NE(space, std::string::npos);
  EXPECT_GE(space - 8, 4u);  // at least four hex digits
  for (size_t i = 8; i < space; ++i) EXPECT_TRUE(isxdigit(text[i]) && !islower(text[i]));
  EXPECT_EQ(text.substr(space), " x\r\n");

  EXPECT_EQ(LogFileNameFor("/usr/bin/daxviewer"), "/usr/bin/daxviewer.log");
  EXPECT_EQ(LogFileNameFor("/a.b/show.scr"), "/a.b/show.log");
  EXPECT_EQ(LogFileNameFor("/a.b/show"), "/a.b/show.log");
}

}  // namespace
}  // namespace dax
