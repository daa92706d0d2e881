#include "foundation/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dax {
namespace {

TEST(Numbers, FormatFloatDropsTrailingZeros) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0.5, "0.5"},  {3, "3"},         {-2.25, "-2.25"}, {0, "0"},
      {-0.0, "0"},   {0.1, "0.1"},     {1e-17, "0"},     {123456789.125, "123456789.125"},
      {1.0 / 3, "0.3333333333333333"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatFloat(c.value), c.text);
  }
}

TEST(Numbers, RoundHalfEven) {
  struct Case {
    double value;
    int64_t rounded;
  } cases[] = {{0.5, 0},  {1.5, 2},   {2.5, 2},   {-0.5, 0}, {-1.5, -2},
               {-2.5, -2}, {2.4, 2},  {2.6, 3},   {-2.6, -3}, {7, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(RoundHalfEven(c.value), c.rounded);
  }
}

TEST(Numbers, ParseIsWholeTextAndLocaleFree) {
  EXPECT_EQ(ParseInt64("-42"), -42);
  EXPECT_EQ(ParseInt64("+7"), 7);
  EXPECT_EQ(ParseInt64("9223372036854775807"), INT64_MAX);
  EXPECT_FALSE(ParseInt64("9223372036854775808"));
  EXPECT_FALSE(ParseInt64("12a"));
  EXPECT_FALSE(ParseInt64(""));
  EXPECT_FALSE(ParseInt64("+"));
  EXPECT_EQ(ParseDouble("2.5"), 2.5);
  EXPECT_FALSE(ParseDouble("2,5"));
  EXPECT_EQ(FormatInt(-2147483648LL), "-2147483648");
}

}  // namespace
}  // namespace dax
