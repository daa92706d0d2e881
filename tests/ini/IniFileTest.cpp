#include "LoadText.h"
#include "ini/IniFile.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace dax::ini {
namespace {

TEST(IniFileTest, ReadsSectionsKeysAndObjects) {
  auto file = Load(
      "top=1\r\n[Main]\r\nopt_a = x=y;z \r\n[Slide1]\r\nobject Pic:Picture\r\n  GUID=1\r\n"
      "  object Inner\r\n  end\r\nend\r\n");
  EXPECT_EQ(file->ReadString("", "top", "?"), "1");
  EXPECT_EQ(file->ReadString("main", "OPT_A", "?"), "x=y;z");
  ASSERT_EQ(file->SectionCount(), 2);
  const TIniSection* slide = file->FindSection("slide1");
  ASSERT_NE(slide, nullptr);
  const TIniObject* pic = slide->FindObject("pic", "picture");
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->ReadInteger("guid", 0), 1);
  EXPECT_NE(pic->FindObject("Inner"), nullptr);
  EXPECT_EQ(file->FindPath("Slide1:Pic:GUID")->Value(), "1");
}

}  // namespace
}  // namespace dax::ini

namespace dax::ini {
namespace {

TEST(IniFileTest, ItemsOutliveTheirDocument) {
  // Small documents take their items from heap blocks, large ones from whole regions.
  for (int lines : {3000, 40000}) {
    SCOPED_TRACE(lines);
    std::string text = "[S]\n";
    for (int i = 0; i < lines; ++i)
      text += "k" + std::to_string(i) + "=value number " + std::to_string(i) + "\n";
    auto file = MakeRef<TIniFile>();
    file->LoadFromText(text);
    TIniSection* s = file->FindSection("s");
    TRef<TIniItem> early = s->Extract(0);
    TRef<TIniItem> late = s->Extract(s->Count() - 1);
    TRef<TIniItem> section = file->Extract(0);
    file.Reset();
    EXPECT_EQ(early->Value(), "value number 0");
    EXPECT_EQ(static_cast<TIniSection*>(section.Get())->ReadString("k1500", ""),
              "value number 1500");
    section.Reset();
    // Released on another thread than the one that parsed.
    std::thread([&late] { late.Reset(); }).join();
    EXPECT_EQ(early->Value(), "value number 0");
  }
}

TEST(IniFileTest, ReloadsFromItsOwnContent) {
  // The text handed to a load may lie in an item the load frees.
  auto file = Load("a=[S]\r\nb=[T]\r\n");
  file->LoadFromText(file->FindKey("a")->Value());
  EXPECT_NE(file->FindSection("s"), nullptr);
  file->AddSection("")->WriteString("x", "y=z");
  file->LoadFromBytes(file->FindKey("x")->Value());
  EXPECT_EQ(file->SectionCount(), 0);
  EXPECT_EQ(file->ReadString("", "y", ""), "z");
  // The same for a document stored as value text inside itself.
  file->WriteString("", "inner", Load("[Stored]\r\nkey=a longer value\r\n")->SaveToValueText());
  ASSERT_TRUE(file->LoadFromValueText(file->FindKey("inner")->Value()));
  EXPECT_EQ(file->ReadString("stored", "key", ""), "a longer value");
  EXPECT_EQ(file->FindKey("inner"), nullptr);
}

TEST(IniFileTest, AssignsFromItsOwnDescendants) {
  // The source lies in the tree the assignment clears.
  const char* const text = "r=1\n[S]\nk=v\nobject O:T\n  n=2\nend\n[U]\nx=y\n";
  auto file = Load(text);
  file->Assign(*file->FindSection("S"));
  EXPECT_EQ(file->SaveToBytes(false), "k=v\r\nobject O:T\r\n  n=2\r\nend\r\n");
  EXPECT_EQ(file->SectionCount(), 0);
  EXPECT_EQ(file->FindObject("o")->ReadInteger("n", 0), 2);

  file = Load(text);
  file->Assign(static_cast<const TTextWriter&>(*file->FindSection("s")->FirstObject()));
  EXPECT_EQ(file->SaveToBytes(false), "n=2\r\n");
  EXPECT_EQ(file->ReadInteger("", "n", 0), 2);
}

}  // namespace
}  // namespace dax::ini
