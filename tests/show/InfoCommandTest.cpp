#include <gtest/gtest.h>

#include <string>

#include "ShowFixtures.h"
#include "container/ShowPacker.h"
#include "foundation/Random.h"
#include "show/ShowInfo.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

namespace dax::show {
namespace {

constexpr char kProject[] =
    "[Main]\r\nDaxVersion=5.6\r\nopt_scr_width=1280\r\nopt_scr_height=720\r\n"
    "opt_repeat=stop\r\nobject TheEffect:AnEffect\r\n  time=800\r\n"
    "  object g:gates\r\n    stdidx=6\r\n    key=checked\r\n    checked=1\r\n"
    "    direction=11000000\r\n  end\r\nend\r\n"
    "[Times]\r\nopt_slidescount=3\r\nopt_synchpos1=4000\r\nopt_synchpos2=7000\r\n"
    "opt_synchpos3=7000\r\n"
    "[Slide1]\r\nslideid=first \"one\"\r\nPers_EndAction=pause\r\n"
    "[Slide2]\r\nPers_RunApp=1\r\nRunAppFN=notes.txt\r\n"
    "object TheEffect:AnEffect\r\n  ref=quick\r\nend\r\n"
    "[Slide3]\r\nobject TheEffect:AnEffect\r\n  ref=g\r\n  time=300\r\nend\r\n";

using dax::test::RunCommand;

class InfoCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    project_ = dir_.File("Project.dax");
    dax::test::WriteFileBytes(project_, kProject);
    std::string error;
    auto input = container::CollectPackInput(project_, error);
    ASSERT_TRUE(input) << error;
    show_ = dir_.File("small.dxshow");
    ASSERT_EQ(container::WritePackedShow(*input, {}, show_), "");
  }
  dax::test::TTempDir dir_;
  std::string project_, show_;
};

TEST_F(InfoCommand, JsonOfAPackedShowIsTheTimelineAndStable) {
  int rc = -1;
  const std::string json = RunCommand(std::string(DAXPACK_PATH) + " info --json " + show_, rc);
  EXPECT_EQ(rc, 0);
  auto src = test::Source(kProject, show_);
  EXPECT_EQ(json, FormatShowJson(DescribeShow(*src)));
  const char* expected[] = {
      R"({"version": "5.6", "designWidth": 1280, "designHeight": 720, "endMode": "stop", )"
      R"("slideCount": 3, "duration": 7000, "screenSaver": false, )",
      R"({"index": 1, "slideId": "first \"one\"", "start": 0, "end": 4000, )"
      R"("transitionIn": 800, "endWithNext": 4000, "transition": {"kind": "gates", "type": 4, )"
      R"("duration": 800, )",
      R"("endAction": "pause", "runApp": ""})",
      R"({"index": 2, "slideId": "", "start": 4000, "end": 7000, "transitionIn": 0, )"
      R"("endWithNext": 7300, "transition": null, "endAction": "none", "runApp": "notes.txt"})",
      R"({"index": 3, "slideId": "", "start": 7000, "end": 7000, "transitionIn": 0, )"
      R"("endWithNext": 7000, "transition": {"kind": "gates", "type": 4, "duration": 300, )",
  };
  for (const char* part : expected) EXPECT_NE(json.find(part), std::string::npos) << part;
  // repeatable effects: the same text on every run
  EXPECT_EQ(RunCommand(std::string(DAXPACK_PATH) + " info --json " + show_, rc), json);

  const std::string fromProject =
      RunCommand(std::string(DAXPACK_PATH) + " info --json " + project_, rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(fromProject, json);
  const std::string text = RunCommand(std::string(DAXPACK_PATH) + " info " + show_, rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(text.find("End mode:       stop"), std::string::npos);
}

TEST_F(InfoCommand, PoolOrderIsTheSameOnEveryRun) {
  // Three pooled kinds under slides that all take a random pick: the pool's order decides
  // which slide gets which kind.
  const std::string project = dir_.File("Pool.dax");
  const std::string text =
      "[Main]\nobject TheEffect:AnEffect\n time=500\n"
      " object d:dissolve\n  stdidx=2\n  checked=1\n end\n"
      " object g:gates\n  stdidx=6\n  checked=1\n  direction=11\n end\n"
      " object p:push\n  stdidx=9\n  checked=1\n  direction=1111\n end\nend\n"
      "[Times]\nopt_slidescount=6\nopt_synchpos1=1000\nopt_synchpos2=2000\n"
      "opt_synchpos3=3000\nopt_synchpos4=4000\nopt_synchpos5=5000\nopt_synchpos6=6000\n"
      "[Slide1]\n[Slide2]\n[Slide3]\n[Slide4]\n[Slide5]\n[Slide6]\n";
  dax::test::WriteFileBytes(project, text);
  int rc = -1;
  const std::string command = std::string(DAXPACK_PATH) + " info --json " + project;
  const std::string json = RunCommand(command, rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(json.find("\"poolSize\": 3"), std::string::npos);
  for (const char* kind : {"\"dissolve\"", "\"gates\"", "\"push\""})
    EXPECT_NE(json.find(kind), std::string::npos) << kind;
  EXPECT_EQ(RunCommand(command, rc), json);
  // what the command seeds the random service with is what decides the order
  Random().Seed(kShowInfoRandomSeed);
  auto src = test::Source(text, project);
  EXPECT_EQ(json, FormatShowJson(DescribeShow(*src)));
}

TEST_F(InfoCommand, ReportsThePlayersErrors) {
  int rc = 0;
  std::string out =
      RunCommand(std::string(DAXPACK_PATH) + " info " + dir_.File("none.dxshow") + " 2>&1", rc);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("Slideshow File not Found"), std::string::npos);

  const std::string bad = dir_.File("bad.dax");
  dax::test::WriteFileBytes(bad, "[Times]\nopt_slidescount=2\nopt_synchpos1=9\nopt_synchpos2=3\n");
  out = RunCommand(std::string(DAXPACK_PATH) + " info --json " + bad + " 2>&1", rc);
  EXPECT_EQ(rc, 1);
  const size_t at = out.find("Incorrect time");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(out.find("Incorrect time", at + 1), std::string::npos) << out;  // said once
  EXPECT_NE(out.find("\"" + bad + "\""), std::string::npos);
  EXPECT_EQ(out.find('{'), std::string::npos);

  out = RunCommand(std::string(DAXPACK_PATH) + " info --json 2>&1", rc);
  EXPECT_EQ(rc, 2);
}

}  // namespace
}  // namespace dax::show
