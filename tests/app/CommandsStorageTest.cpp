#include "app/CommandsStorage.h"

#include <gtest/gtest.h>

#include <optional>

namespace dax::app {
namespace {

TEST(CommandLineTokens, QuotesAndBlanks) {
  struct TCase {
    const char* line;
    std::vector<std::string> tokens;
  } cases[] = {
      {"", {}},
      {"  a\tb\r\nc  ", {"a", "b", "c"}},
      {"\"C:\\Program Files\\x.dxshow\" -slide 3", {"C:\\Program Files\\x.dxshow", "-slide", "3"}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"\" x", {"", "x"}},
      {"\"unterminated quote", {"unterminated quote"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(TokenizeCommandLine(c.line), c.tokens);
  }
}

TEST(CommandsStorage, SwitchesCollectTheirValues) {
  auto commands =
      TCommandsStorage::FromCommandLine("show.dxshow extra -slide 4 -filelog -icc sRGB x -Log");
  EXPECT_EQ(commands.FirstPlainArgument(), "show.dxshow");
  EXPECT_EQ(commands.GetSwitchValue("", 1), "extra");
  EXPECT_EQ(commands.GetSwitchValue("slide"), "4");
  EXPECT_EQ(commands.GetSwitchValue("SLIDE"), "4");  // the asked name is lower-cased
  EXPECT_TRUE(commands.HasSwitch("filelog"));
  EXPECT_FALSE(commands.GetSwitchValue("filelog").has_value());
  EXPECT_EQ(commands.GetSwitchValue("icc", 1), "x");
  EXPECT_FALSE(commands.GetSwitchValue("icc", 2).has_value());
  // Stored names are matched exactly, so a switch written in capitals is never found.
  EXPECT_FALSE(commands.HasSwitch("log"));
  EXPECT_EQ(commands.RawArguments().size(), 9u);
  EXPECT_TRUE(commands.HasRawArgument("-Log"));
}

TEST(CommandsStorage, ArgumentsAreTakenAsGiven) {
  auto commands = TCommandsStorage::FromArguments({"my \"show\".dxshow", "-time", "10", "/s"});
  EXPECT_EQ(commands.FirstPlainArgument(), "my \"show\".dxshow");
  EXPECT_EQ(commands.GetSwitchValue("time", 1), "/s");
  EXPECT_TRUE(commands.HasRawArgument("/s"));
}

TEST(CommandsStorage, ScreenSaverArgumentsAreNoShowName) {
  struct TCase {
    std::vector<std::string> args;
    std::optional<std::string> show;
  } cases[] = {
      {{"/s"}, std::nullopt},
      {{"/p", "1234"}, std::nullopt},
      {{"/P:1234"}, std::nullopt},
      {{"/c"}, std::nullopt},
      {{"/c:99", "show.dxshow"}, "show.dxshow"},
      {{"/p", "named.dxshow"}, "named.dxshow"},
      {{"/s", "-slide", "2"}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(TCommandsStorage::FromArguments(c.args).FirstPlainArgument(), c.show);
  }
}

TEST(CommandsStorage, RepeatedSwitchAppends) {
  auto commands = TCommandsStorage::FromCommandLine("-slide 2 -time 5 -slide 7");
  EXPECT_EQ(commands.ValueCount("slide"), 2u);
  EXPECT_EQ(commands.GetSwitchValue("slide", 1), "7");
}

TEST(StartPosition, Table) {
  struct TCase {
    const char* line;
    int64_t position;
    bool isTime;
  } cases[] = {
      {"", 0, false},
      {"-slide 1", 0, false},
      {"-slide 5", 4, false},
      {"-slide 0", 0, false},
      {"-slide -3", 0, false},
      {"-slide abc", 0, false},
      {"-slide 2x", 0, false},
      {"-slide 99999999999", 0, false},
      {"-time 1", 0, true},
      {"-time 2500", 2499, true},
      {"-time 0", 0, true},
      {"-time junk", 0, true},
      {"-slide 3 -time 900", 2, false},
      // A "slide" value, even a bad one, keeps "time" out; a bare "-slide" has no value.
      {"-slide junk -time 900", 0, false},
      {"-slide -time 900", 899, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TStartPosition start = GetStartPosition(TCommandsStorage::FromCommandLine(c.line));
    EXPECT_EQ(start.position, c.position);
    EXPECT_EQ(start.isTime, c.isTime);
  }
}

}  // namespace
}  // namespace dax::app
