// The line tokenizer and the tree builder.
#include "ini/IniParser.h"

#include <gtest/gtest.h>

#include <string>

#include "LoadText.h"
#include "ini/IniFile.h"

namespace dax::ini {
namespace {

struct TLineCase {
  const char* line;
  TIniLineKind kind;
  const char* name;
  const char* value;
};

TEST(IniParserTest, ClassifiesLines) {
  const TLineCase cases[] = {
      {"", TIniLineKind::Text, "", ""},
      {" \t\x01 ", TIniLineKind::Text, "", ""},
      {"; note = 1 ", TIniLineKind::Text, "", "; note = 1"},
      {"=value", TIniLineKind::Text, "", "=value"},
      {"key = a=b;c ", TIniLineKind::Key, "key", "a=b;c"},
      {"  key\t=\t ", TIniLineKind::Key, "key", ""},
      {"two words=x", TIniLineKind::Key, "two words", "x"},
      {"[ Main ] trailing", TIniLineKind::Section, "Main", ""},
      {"[]", TIniLineKind::Section, "", ""},
      {"[  ", TIniLineKind::Text, "", "["},
      {"[open", TIniLineKind::Text, "", "[open"},
      {"object Pic:Picture", TIniLineKind::Object, "Pic", "Picture"},
      {"OBJECT  a:b : Type x ", TIniLineKind::Object, "a:b", "Type x"},
      {"object NoType", TIniLineKind::Object, "NoType", ""},
      {"object", TIniLineKind::Object, "", ""},
      {"object:T", TIniLineKind::Object, "", "T"},
      {"object \t ", TIniLineKind::Object, "", ""},
      {"objects=1", TIniLineKind::Key, "objects", "1"},
      {"object_x", TIniLineKind::Text, "", "object_x"},
      {"object = 5", TIniLineKind::Key, "object", "5"},
      {"End", TIniLineKind::End, "", "End"},
      {"eNd of it", TIniLineKind::End, "", "eNd of it"},
      {"end=1", TIniLineKind::Key, "end", "1"},
      {"ending", TIniLineKind::Text, "", "ending"},
      {"just text ", TIniLineKind::Text, "", "just text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TIniParserParams params(c.line);
    EXPECT_EQ(ReadIniLine(params), c.kind);
    EXPECT_EQ(params.Name(), c.name);
    EXPECT_EQ(params.Value(), c.value);
    EXPECT_TRUE(params.AtEnd());
  }
}

TEST(IniParserTest, LineEndsCountOnce) {
  struct {
    const char* text;
    int lines;
    TIniLineEnd first;
  } cases[] = {
      {"a\r\nb", 2, TIniLineEnd::CrLf}, {"a\n\rb", 2, TIniLineEnd::LfCr},
      {"a\rb", 2, TIniLineEnd::Cr},     {"a\nb", 2, TIniLineEnd::Lf},
      {"a\n\nb", 3, TIniLineEnd::Lf},   {"a\r\n\r\nb\r\n", 3, TIniLineEnd::CrLf},
      {"a", 1, TIniLineEnd::None},      {"a\r\r", 2, TIniLineEnd::Cr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TIniParserParams params(c.text);
    int lines = 0;
    TIniLineEnd first = TIniLineEnd::None;
    while (!params.AtEnd()) {
      ReadIniLine(params);
      if (lines++ == 0) first = params.lineEnd;
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(first, c.first);
  }
}

TEST(IniParserTest, RepeatedSectionsMergeAndDuplicateKeysStay) {
  auto file = Load("[Main]\na=1\n[Other]\nx=0\n[MAIN]\na=2\nb=3\n");
  ASSERT_EQ(file->SectionCount(), 2);
  const TIniSection* main = file->FindSection("main");
  ASSERT_EQ(main->Count(), 3);
  EXPECT_EQ(main->ReadString("A", ""), "2");
  EXPECT_EQ(main->Item(0)->Value(), "1");
  EXPECT_EQ(main->ReadInteger("b", 0), 3);
}

TEST(IniParserTest, BuildsNestedObjects) {
  auto file =
      Load("root=r\n[S]\nobject A:T1\n k=1\n object B\n  k=2\n end\n k=3\nend\nEND\nobject C\n");
  EXPECT_EQ(file->ReadString("", "root", ""), "r");
  const TIniSection* s = file->FindSection("s");
  ASSERT_EQ(s->ObjectCount(), 2);
  const TIniObject* a = s->FirstObject();
  EXPECT_EQ(a->Name(), "A");
  EXPECT_EQ(a->Type(), "T1");
  EXPECT_EQ(a->ReadString("k", ""), "3");
  EXPECT_EQ(a->FindObject("b")->ReadString("k", ""), "2");
  // An end with nothing open is text; an unclosed object runs to the end.
  EXPECT_EQ(s->Item(1)->Value(), "end");
  EXPECT_FALSE(s->Item(1)->HasName());
  EXPECT_EQ(s->NextObject(a)->Name(), "C");
  EXPECT_EQ(s->NextObject(s->NextObject(a)), nullptr);
}

TEST(IniParserTest, SectionHeaderClosesOpenObjects) {
  auto file = Load("[A]\nobject O\nobject P\nk=1\n[B]\nkey=2\n");
  const TIniSection* b = file->FindSection("B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->ReadString("key", ""), "2");
  EXPECT_EQ(file->FindSection("A")->FindKey("key"), nullptr);
  EXPECT_EQ(file->FindPath("A:O:P:k")->Value(), "1");
}

TEST(IniParserTest, DeepNestingIsCappedAndStable) {
  std::string text = "[S]\n";
  const int depth = TIniFile::kMaxObjectDepth + 50;
  for (int i = 0; i < depth; ++i) text += "object o:t\n";
  text += "k=deep\n";
  for (int i = 0; i < depth; ++i) text += "end\n";
  text += "after=1\n";
  auto file = Load(text);
  const TIniList* list = file->FindSection("S");
  int levels = 0;
  while (const TIniObject* next = list->FirstObject()) {
    list = next;
    ++levels;
  }
  EXPECT_EQ(levels, TIniFile::kMaxObjectDepth);
  // The deeper headers and their ends are text lines in the deepest object.
  EXPECT_EQ(list->Count(), 50 + 1 + 50);
  EXPECT_EQ(list->Item(0)->Value(), "object o:t");
  EXPECT_EQ(list->ReadString("k", ""), "deep");
  EXPECT_EQ(file->ReadString("S", "after", ""), "1");
  std::string written = file->SaveToBytes();
  EXPECT_EQ(Load(written.substr(3))->SaveToBytes(), written);
}

}  // namespace
}  // namespace dax::ini
