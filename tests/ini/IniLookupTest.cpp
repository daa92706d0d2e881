// Name tables, the insertion rules and path resolution.
#include <gtest/gtest.h>

#include <string>

#include "LoadText.h"
#include "foundation/Strings.h"
#include "ini/IniFile.h"

namespace dax::ini {
namespace {

TEST(IniLookupTest, HashIsTheDocumentedOneOverFoldedBytes) {
  EXPECT_EQ(IniNameHash("main"), 2051782326u);
  EXPECT_EQ(IniNameHash("MAIN"), 2051782326u);
  EXPECT_EQ(IniNameHash("Opt_Repeat"), 3921416950u);
  EXPECT_EQ(IniNameHash("STRASSE"), IniNameHash("strasse"));
  EXPECT_EQ(IniNameHash("Stra\xC3\x9F"
                        "e"),
            2920595115u);                          // ß folds to itself
  EXPECT_EQ(IniNameHash("\xC7\x84"), 465396049u);  // U+01C4 folds to U+01C6
  EXPECT_EQ(IniNameHash(""), 0u);
}

TEST(IniLookupTest, CaseInsensitiveLastOccurrenceWins) {
  auto file =
      Load("[S]\nKey=1\n\xC3\x84pfel=a\nkey=2\n\xC3\xA4PFEL=b\n\xC3\x89t\xC3\xA9=c\n\xCE\xA3=d\n");
  const TIniSection* s = file->FindSection("s");
  const struct {
    const char* name;
    const char* value;
  } cases[] = {
      {"KEY", "2"},
      {"key", "2"},
      {"\xC3\xA4pfel", "b"},       // äpfel
      {"\xC3\x84PFEL", "b"},       // ÄPFEL
      {"\xC3\xA9T\xC3\x89", "c"},  // éTÉ
      {"\xCF\x83", "d"},           // σ for Σ
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TIniItem* item = s->FindKey(c.name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Value(), c.value);
  }
  EXPECT_EQ(s->FindKey("missing"), nullptr);
  EXPECT_EQ(s->FindKey(""), nullptr);
  EXPECT_EQ(file->FindSection("nope"), nullptr);
  EXPECT_EQ(file->FindSection(""), file.Get());
}

TEST(IniLookupTest, LookupsAgreeWithAndWithoutTables) {
  // Many names force the table to grow; every name must still be found, with and without it.
  auto file = MakeRef<TIniFile>();
  TIniSection* s = file->AddSection("Big");
  for (int i = 0; i < 1000; ++i) s->AddItem("Name" + std::to_string(i % 700), std::to_string(i));
  ASSERT_TRUE(s->HasTable());
  auto standalone = MakeRef<TIniSection>("Big");
  TIniSection* plain = standalone.Get();
  for (int i = 0; i < 1000; ++i)
    plain->AddItem("Name" + std::to_string(i % 700), std::to_string(i));
  ASSERT_FALSE(plain->HasTable());
  for (int i = 0; i < 700; ++i) {
    std::string name = "NAME" + std::to_string(i);
    std::string expected = std::to_string(i < 300 ? i + 700 : i);
    ASSERT_EQ(s->FindKey(name)->Value(), expected) << name;
    ASSERT_EQ(s->FindIndexed("name", i)->Value(), expected) << name;
    ASSERT_EQ(plain->FindKey(name)->Value(), expected) << name;
  }
  EXPECT_EQ(s->FindIndexed("name", 700), nullptr);
  EXPECT_EQ(s->FindIndexed("nam", 70), nullptr);
}

TEST(IniLookupTest, BuildTablesOnATreeMadeByHand) {
  // Lists made on their own have no table; BuildTables fills every one, and later
  // insertions anywhere keep the later of two equal names winning.
  auto section = MakeRef<TIniSection>("S");
  section->AddItem("k", "first");
  section->AddItem("", "; comment");
  auto object = MakeRef<TIniObject>("O", "T");
  object->AddItem("n", "1");
  object->AddItem("N", "2");
  TIniObject* o = object.Get();
  ASSERT_EQ(section->Add(std::move(object)), 2);
  auto file = MakeRef<TIniFile>();
  TIniSection* s = section.Get();
  ASSERT_EQ(file->Add(std::move(section)), 0);
  ASSERT_FALSE(s->HasTable());
  ASSERT_FALSE(o->HasTable());
  file->BuildTables();
  ASSERT_TRUE(file->HasTable());
  ASSERT_TRUE(s->HasTable());
  ASSERT_TRUE(o->HasTable());
  EXPECT_EQ(file->FindPath("s:o:n")->Value(), "2");

  ASSERT_TRUE(o->Insert(0, MakeRef<TIniItem>("n", "0")));
  EXPECT_EQ(o->FindKey("N")->Value(), "2");
  ASSERT_TRUE(s->Insert(0, MakeRef<TIniItem>("K", "before")));
  EXPECT_EQ(s->FindKey("k")->Value(), "first");
  ASSERT_TRUE(s->Insert(s->Count(), MakeRef<TIniItem>("k", "last")));
  ASSERT_TRUE(s->Insert(2, MakeRef<TIniItem>("k", "middle")));
  EXPECT_EQ(s->FindKey("k")->Value(), "last");
  s->Delete(s->Count() - 1);
  EXPECT_EQ(s->FindKey("k")->Value(), "middle");
  s->Delete(2);
  EXPECT_EQ(s->FindKey("k")->Value(), "first");
  EXPECT_EQ(s->FindObject("o"), o);
}

TEST(IniLookupTest, FindIndexedComparesDigitsExactly) {
  auto file = Load("[S]\nSlide1=a\nslide01=b\nSLIDE10=c\nx-3=d\n");
  const TIniSection* s = file->FindSection("S");
  EXPECT_EQ(s->FindIndexed("slide", 1)->Value(), "a");
  EXPECT_EQ(s->FindIndexed("Slide", 10)->Value(), "c");
  EXPECT_EQ(s->FindIndexed("x", -3)->Value(), "d");
  EXPECT_EQ(s->FindIndexed("slide", 2), nullptr);
}

TEST(IniLookupTest, FindByClass) {
  auto file = Load("Main=rootkey\n[Main]\nobject Main:T\nend\nMain=key\n");
  EXPECT_EQ(file->FindKey("main")->Kind(), TIniItemKind::Section);
  EXPECT_EQ(file->FindSection("main")->Kind(), TIniItemKind::Section);
  const TIniSection* s = file->FindSection("main");
  EXPECT_EQ(s->FindKey("main")->Value(), "key");
  EXPECT_EQ(s->Find("main", TIniItemKind::Object)->Kind(), TIniItemKind::Object);
  EXPECT_EQ(s->Find("main", TIniItemKind::List)->Kind(), TIniItemKind::Object);
  EXPECT_EQ(s->FindObject("main", "t")->Name(), "Main");
  EXPECT_EQ(s->FindObject("main", "u"), nullptr);
}

TEST(IniLookupTest, FindOrAddKeyUsesTheInsertionPoint) {
  auto file = Load("[S]\na=1\n; comment\n\n");
  TIniSection* s = file->FindSection("S");
  ASSERT_EQ(s->InsertionPoint(), 1);
  TIniItem* b = s->FindOrAddKey("b");
  EXPECT_EQ(b->Index(), 1);
  EXPECT_EQ(s->InsertionPoint(), 2);
  EXPECT_EQ(s->FindOrAddKey("A")->Value(), "1");
  s->WriteString("c", "3");
  EXPECT_EQ(file->SaveToBytes(false), "[S]\r\na=1\r\nb=\r\nc=3\r\n; comment\r\n\r\n");
  // An object of the same name is not a key.
  auto objects = Load("object k\nend\n");
  TIniItem* k = objects->FindOrAddKey("k");
  EXPECT_EQ(k->Kind(), TIniItemKind::Item);
  EXPECT_EQ(objects->Count(), 2);
}

TEST(IniLookupTest, InsertionKeepsIndexesObjectsAndSections) {
  auto file = MakeRef<TIniFile>();
  file->WriteString("B", "k", "1");
  file->WriteInteger("A", "n", 5);
  ASSERT_EQ(file->SectionCount(), 2);
  auto early = MakeRef<TIniSection>("First");
  TIniSection* first = early.Get();
  ASSERT_TRUE(file->Insert(0, std::move(early)));
  ASSERT_EQ(file->SectionCount(), 3);
  EXPECT_EQ(file->Section(0), first);
  EXPECT_EQ(first->SectionIndex(), 0);
  EXPECT_EQ(file->Section(2)->SectionIndex(), 2);
  EXPECT_EQ(file->Section(2)->Index(), 2);

  TIniSection* b = file->FindSection("b");
  TIniObject* o2 = b->AddObject("o2", "T");
  TIniObject* o1 = b->AddObject("o1", "T");
  b->AddItem("", "trailing");
  EXPECT_EQ(o2->Index() + 1, o1->Index());
  TIniObject* o3 = b->AddObject("o3", "");
  EXPECT_EQ(o3->Index(), o1->Index() + 1);
  EXPECT_EQ(b->FirstObject(), o2);
  EXPECT_EQ(b->NextObject(o2), o1);
  EXPECT_EQ(b->NextObject(o1), o3);

  // Moving o1 into o2 takes it out of b.
  EXPECT_EQ(o2->Add(TRef<TIniItem>::Share(o1)), 0);
  EXPECT_EQ(o1->Owner(), o2);
  EXPECT_EQ(b->NextObject(o2), o3);
  EXPECT_EQ(o3->ObjectIndex(), 1);
  EXPECT_EQ(b->FindObject("o1"), nullptr);
  // A list cannot go into itself or below itself.
  EXPECT_EQ(o1->Add(TRef<TIniItem>::Share(o2)), -1);
  EXPECT_EQ(o2->Add(TRef<TIniItem>::Share(o2)), -1);
  EXPECT_FALSE(b->Insert(99, MakeRef<TIniItem>("x", "y")));

  TRef<TIniItem> taken = b->Extract(o3->Index());
  EXPECT_EQ(taken->Owner(), nullptr);
  EXPECT_EQ(b->ObjectCount(), 1);
  EXPECT_EQ(b->FindObject("o3"), nullptr);
}

TEST(IniLookupTest, RenamingRefilesTheItem) {
  auto file = Load("[S]\nold=1\nother=2\n");
  TIniSection* s = file->FindSection("s");
  s->FindKey("old")->SetName("New");
  EXPECT_EQ(s->FindKey("old"), nullptr);
  EXPECT_EQ(s->FindKey("NEW")->Value(), "1");
  s->FindKey("other")->SetName("new");
  EXPECT_EQ(s->FindKey("new")->Value(), "2");
  s->Item(1)->SetName("");
  EXPECT_EQ(s->FindKey("new")->Value(), "1");
  EXPECT_EQ(s->InsertionPoint(), 1);
}

TEST(IniLookupTest, ResolvePath) {
  auto file = Load("top=t\n[S]\nobject A\n k=1\n object B\n  k=2\n end\nend\nobject C\nend\n");
  EXPECT_EQ(file->ResolvePath("S:a:b:K")->Value(), "2");
  EXPECT_EQ(file->ResolvePath("s::k")->Value(), "1");
  EXPECT_EQ(file->ResolvePath(":top")->Value(), "t");
  EXPECT_EQ(file->ResolvePath("top")->Value(), "t");
  EXPECT_EQ(file->ResolvePath("S:C:"), file->FindPath("s:c:"));
  EXPECT_EQ(file->ResolvePath("S:"), file->FindSection("S"));
  EXPECT_EQ(file->FindPath("S:X:y"), nullptr);
  std::string before = file->SaveToBytes();
  EXPECT_EQ(file->FindPath("New:Obj:key"), nullptr);
  EXPECT_EQ(file->SaveToBytes(), before);  // finding never adds

  TIniItem* added = file->ResolvePath("New:Obj::key");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->Kind(), TIniItemKind::Item);
  const TIniSection* created = file->FindSection("new");
  ASSERT_NE(created, nullptr);
  const TIniObject* obj = created->FindObject("obj");
  ASSERT_NE(obj, nullptr);
  ASSERT_NE(obj->FirstObject(), nullptr);
  EXPECT_EQ(obj->FirstObject()->Name(), "");
  EXPECT_EQ(file->FindPath("new:obj::key"), added);
}

TEST(IniLookupTest, CloneAndAssignCopyTheTree) {
  auto file = Load("r=1\n[S]\nobject A:T\n k=v\nend\n");
  TRef<TIniItem> clone = file->Clone();
  ASSERT_EQ(clone->Kind(), TIniItemKind::File);
  auto* copy = static_cast<TIniFile*>(clone.Get());
  EXPECT_EQ(copy->SaveToBytes(), file->SaveToBytes());
  EXPECT_EQ(copy->FindPath("S:a:k")->Value(), "v");
  EXPECT_EQ(copy->SectionCount(), 1);

  auto assigned = MakeRef<TIniFile>();
  assigned->Assign(*static_cast<TTextWriter*>(file->FindSection("S")->FirstObject()));
  EXPECT_EQ(assigned->ReadString("", "k", ""), "v");
  auto viaText = MakeRef<TIniFile>();
  TRef<TIniItem> lone = MakeRef<TIniItem>("x", "1");
  viaText->Assign(static_cast<const TTextWriter&>(*lone));
  EXPECT_EQ(viaText->ReadInteger("", "x", 0), 1);
}

}  // namespace
}  // namespace dax::ini
