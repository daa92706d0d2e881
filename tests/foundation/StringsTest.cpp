#include "foundation/Strings.h"

#include <gtest/gtest.h>

#include "foundation/Exceptions.h"

namespace dax {
namespace {

TEST(Strings, WideToUtf8EncodesEachUnitOnItsOwn) {
  struct Case {
    std::u16string wide;
    std::string utf8;
  } cases[] = {
      {u"", ""},
      {u"A", "A"},
      {u"\u00E9", "\xC3\xA9"},
      {u"\u20AC", "\xE2\x82\xAC"},
      // U+1F600 as a surrogate pair: two three-byte sequences, not one four-byte one.
      {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},
      {std::u16string(1, char16_t(0xDC00)), "\xED\xB0\x80"},  // lone low surrogate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
  }
}

TEST(Strings, Utf8ToWideDecodesAndReplacesInvalidBytes) {
  struct Case {
    std::string utf8;
    std::u16string wide;
  } cases[] = {
      {"abc", u"abc"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},          // four bytes give a surrogate pair
      {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},  // our own encoding reads back
      {"a\x80z", u"a\uFFFDz"},                      // stray continuation byte
      {"\xC3", u"\uFFFD"},                          // cut at the end
      {"\xE2\x82z", u"\uFFFDz"},                    // cut by an ASCII byte
      {"\xC3\xC3\xA9", u"\uFFFD\u00E9"},            // continuation >= 0xC0
      {"\xF5\x80", u"\uFFFD\uFFFD"},                // lead F5 is refused
      {"\xFF", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
  }
}

TEST(Strings, Utf8ToWideThrowsWhenAsked) {
  EXPECT_THROW(Utf8ToWide("a\x80", TUtf8Errors::Throw), EConvertError);
  EXPECT_EQ(Utf8ToWide("\xEF\xBF\xBD", TUtf8Errors::Throw), u"\uFFFD");
  try {
    Utf8ToWide("\xC3", TUtf8Errors::Throw);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid UTF8 Char");
  }
}

TEST(Strings, CaseInsensitiveComparisonFoldsNonAscii) {
  struct Case {
    std::string a, b;
    bool same;
  } cases[] = {
      {"Slide1", "SLIDE1", true},
      {"\xC3\x84pfel", "\xC3\xA4PFEL", true},          // Äpfel / äPFEL
      {"\xCE\xA3\xCE\xB9", "\xCF\x83\xCE\xB9", true},  // Σι / σι
      {"\xCF\x82", "\xCF\x83", true},                  // final sigma folds to sigma
      {"\xD0\x96", "\xD0\xB6", true},                  // Ж / ж
      {"\xE1\xBA\x9E", "\xC3\x9F", true},              // ẞ folds simply to ß
      {"\xC3\x9F", "ss", false},                       // no full folding
      {"abc", "abd", false},
      {"ab", "abc", false},
      {"a\x80", "a\x81", false},                               // junk never matches other junk
      {"\xED\xA0\xBD\xED\xB8\x80", "\xF0\x9F\x98\x80", true},  // U+1F600 spelt both ways
      {"\xF0\x90\x90\x80", "\xED\xA0\x81\xED\xB0\xA8", true},  // Deseret capital / small
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(SameText(c.a, c.b), c.same);
    if (c.same) {
      EXPECT_EQ(FoldUtf8(c.a), FoldUtf8(c.b));
    }
  }
  EXPECT_LT(CompareText("apple", "BANANA"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
}

TEST(Strings, Cp1252ConvertsTheHighHalf) {
  EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x93q\x94"), "\xE2\x80\x9Cq\xE2\x80\x9D");
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");  // unassigned: the C1 control
  EXPECT_EQ(Cp1252ToUtf8("\xFF"), "\xC3\xBF");
}

TEST(Strings, TrimBlanksDropsControlBytesAtBothEnds) {
  EXPECT_EQ(TrimBlanks(" \t\x01"
                       "a b\r\n"),
            "a b");
  EXPECT_EQ(TrimBlanks("\t \n"), "");
  EXPECT_EQ(TrimBlanks("\xC3\xA9"), "\xC3\xA9");  // bytes >= 0x80 are text
}

}  // namespace
}  // namespace dax
