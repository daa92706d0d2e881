// Typed readings of values, their written forms, and split lists.
#include "ini/IniValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "ini/IniFile.h"

namespace dax::ini {
namespace {

TEST(IniValueTest, Integers) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"42", 42},
      {" +7", 7},
      {"\t\b -12", -12},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"12ab", std::nullopt},
      {"12 ", std::nullopt},
      {"0x10", std::nullopt},
      {"1,000", std::nullopt},
      {"++1", std::nullopt},
      {"007", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIniInteger(c.text), c.value);
  }
}

TEST(IniValueTest, Int64Range) {
  EXPECT_EQ(ParseIniInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(ParseIniInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseIniInt64("9223372036854775808"), std::nullopt);
  EXPECT_EQ(ParseIniInt64("20000000000000000000"), std::nullopt);
  EXPECT_EQ(ParseIniInt64("4294967296"), 4294967296LL);
}

TEST(IniValueTest, Floats) {
  const struct {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"0.5", 0.5},
      {" -1.25", -1.25},
      {"25E-2", 0.25},
      {"25e+2", 2500},
      {".", 0},
      {".5", 0.5},
      {"3.", 3},
      {"1e-400", 0},
      {"0e999999999999", 0},
      {"0,5", std::nullopt},
      {"25E", std::nullopt},
      {"25E-", std::nullopt},
      {"1.2.3", std::nullopt},
      {"", std::nullopt},
      {"1e999", std::nullopt},
      {"1e308", 1e308},
      {"9e308", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1 ", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIniFloat(c.text), c.value);
  }
}

TEST(IniValueTest, BoolsAndWrittenForms) {
  EXPECT_EQ(ParseIniBool("1"), true);
  EXPECT_EQ(ParseIniBool("0"), false);
  for (const char* other : {"true", "yes", "01", "", " 1", "False"}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(ParseIniBool(other), std::nullopt);
  }
  EXPECT_EQ(FormatIniFloat(0.5), "0.5");
  EXPECT_EQ(FormatIniFloat(3), "3");
  EXPECT_EQ(FormatIniFloat(-2.25), "-2.25");
  EXPECT_EQ(FormatIniInteger(-15), "-15");
  auto file = MakeRef<TIniFile>();
  TIniItem* item = file->FindOrAddKey("k");
  item->SetFloat(0.1);
  EXPECT_EQ(item->Value(), "0.1");
  EXPECT_EQ(item->AsFloat(9), 0.1);
  item->SetBool(false);
  EXPECT_EQ(item->Value(), "0");
  item->SetInt64(-5000000000LL);
  EXPECT_EQ(item->AsInt64(0), -5000000000LL);
  EXPECT_EQ(item->AsInteger(7), 7);
  EXPECT_EQ(AsInteger(nullptr, 3), 3);
  EXPECT_EQ(AsFloat(nullptr, 1.5), 1.5);
}

TEST(IniValueTest, SplitAndValueIndex) {
  TCommaList empty("", ',');
  EXPECT_EQ(empty.Count(), 0);
  TCommaList one("abc", ',');
  EXPECT_EQ(one.Count(), 1);
  EXPECT_EQ(one.Field(0), "abc");
  TCommaList list("1, 2.5,,x ", ',');
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Field(1), " 2.5");
  EXPECT_EQ(list.AsInteger(0, -1), 1);
  EXPECT_EQ(list.AsFloat(1, -1), 2.5);
  EXPECT_EQ(list.Field(2), "");
  EXPECT_EQ(list.AsInteger(2, -1), -1);
  EXPECT_EQ(list.AsString(3), "x ");
  EXPECT_EQ(list.AsInteger(9, -1), -1);
  EXPECT_EQ(TCommaList(",", ',').Count(), 2);

  auto file = MakeRef<TIniFile>();
  file->LoadFromText("mode=Stretch\n");
  const TIniItem* mode = file->FindKey("mode");
  EXPECT_EQ(mode->ValueIndex({"fit", "stretch"}, -1, true), 1);
  EXPECT_EQ(mode->ValueIndex({"fit", "stretch"}, -1, false), -1);
  EXPECT_EQ(mode->Split().Count(), 1);
}

}  // namespace
}  // namespace dax::ini
