#include "app/CommandList.h"

#include <gtest/gtest.h>

#include "AppFakes.h"

namespace dax::app {
namespace {

TEST(IsCommandAllowed, Table) {
  struct TCase {
    const char* part;
    bool allowed;
  } cases[] = {
      {"notepad.exe readme.txt", true},
      {"\"C:\\Program Files\\Viewer\\viewer.exe\" a b", true},
      {"C:\\Windows\\regedit.exe", false},
      {"\"C:\\Program Files\\x\\REGEDIT.EXE\"", false},
      {"cmd /c dir", false},
      {"CMD.exe", false},
      {"@del x", false},
      {"\"start\" http://x", false},
      {"dir > out.txt", false},
      {"format", false},
      {"formatter.exe", true},
      {"/bin/bash -c x", false},
      {"/usr/bin/sudo ls", false},
      {"rm -rf /", false},
      {"mkfs.ext4 /dev/sda", false},
      {"env X=1 prog", false},
      {"nohup prog", false},
      {"prog a | tee", false},
      {"prog ; reboot", false},
      {"prog `id`", false},
      {"prog $(id)", false},
      {"gimp picture.png", true},
      {"", true},
      // A quoted program followed directly by text: the launched program decides.
      {"\"rm\"-rf x", false},
      {"\"sh\"-c \"touch /tmp/x\"", false},
      {"\"/usr/bin/RM.exe\"-rf x", false},
      {"\"C:\\Tools\\Regedit\"-s x.reg", false},
      {"\"viewer\"-x file", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    EXPECT_EQ(IsCommandAllowed(c.part), c.allowed);
  }
}

TEST(CommandList, SplitsAtCommasOutsideQuotes) {
  EXPECT_EQ(SplitCommandList(" a.exe x , \"b,c.exe\" y "),
            (std::vector<std::string>{"a.exe x", "\"b,c.exe\" y"}));
  // A comma in the parameters of a quoted program still splits.
  EXPECT_EQ(SplitCommandList("\"prog.exe\" a,b"),
            (std::vector<std::string>{"\"prog.exe\" a", "b"}));
  EXPECT_EQ(SplitCommandList("single"), (std::vector<std::string>{"single"}));
}

TEST(CommandList, ProgramAndParameters) {
  auto quoted = SplitCommandPart("\"my prog.exe\" \"a b\" c");
  EXPECT_EQ(quoted.program, "my prog.exe");
  EXPECT_EQ(quoted.parameters, "\"a b\" c");
  auto plain = SplitCommandPart("prog.exe   -x");
  EXPECT_EQ(plain.program, "prog.exe");
  EXPECT_EQ(plain.parameters, "-x");
}

struct CommandListRun : ::testing::Test {
  test::TFakeLauncher launcher;
  test::TFakeMessages messages;
  test::TFakeWindow window;
  TLaunchContext context{launcher, messages, &window};
};

TEST_F(CommandListRun, ProhibitedPartStopsTheWholeList) {
  EXPECT_FALSE(RunCommandList("viewer.exe a, C:\\Windows\\regedit.exe", "/opt/show", context));
  EXPECT_TRUE(launcher.launches.empty());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].caption, "");
  EXPECT_EQ(messages.messages[0].text,
            "Command line contains prohibited command and will not be performed.");
}

TEST_F(CommandListRun, QuotedProgramJoinedToItsParametersIsChecked) {
  EXPECT_FALSE(RunCommandList("viewer, \"sh\"-c \"touch /tmp/x\"", "/opt/show", context));
  EXPECT_TRUE(launcher.launches.empty());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, kProhibitedCommandText);
}

TEST_F(CommandListRun, LaunchesEachPartWithArgumentVector) {
  EXPECT_TRUE(RunCommandList("\"sub\\my viewer\" \"a b\" c, other", "/opt/show", context));
  ASSERT_EQ(launcher.launches.size(), 2u);
  EXPECT_EQ(launcher.launches[0].program, "sub/my viewer");
  EXPECT_EQ(launcher.launches[0].args, (std::vector<std::string>{"a b", "c"}));
  EXPECT_EQ(launcher.launches[0].folder, "/opt/show");
  EXPECT_EQ(launcher.launches[1].program, "other");
  EXPECT_TRUE(launcher.launches[1].args.empty());
}

TEST_F(CommandListRun, NotFoundWithoutParametersRetriesInDefaultFolder) {
  launcher.results = {platform::kLaunchFileNotFound, platform::kLaunchPathNotFound,
                      platform::kLaunchFileNotFound};
  window.topMost = true;
  EXPECT_FALSE(RunCommandList("tools\\run.sh", "/opt/show", context));
  ASSERT_EQ(launcher.launches.size(), 3u);
  EXPECT_EQ(launcher.launches[1].program, "run.sh");
  EXPECT_EQ(launcher.launches[2].program, "/opt/show/tools/run.sh");
  EXPECT_TRUE(window.topMost);  // made top-most again after the failure
}

TEST_F(CommandListRun, TopMostWindowStepsBackForASuccessfulLaunch) {
  window.topMost = true;
  EXPECT_TRUE(RunCommandList("prog", "/opt", context));
  EXPECT_FALSE(window.topMost);
}

}  // namespace
}  // namespace dax::app
