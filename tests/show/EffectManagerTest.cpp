#include "show/EffectManager.h"

#include <gtest/gtest.h>

#include "ShowFixtures.h"
#include "foundation/Assert.h"

namespace dax::show {
namespace {

using test::Doc;

constexpr std::string_view kProject = R"([Main]
object TheEffect:AnEffect
  time=1500
  object hh:hourhand
    stdidx=4
    key=checked
    checked=1
    action=11
    time=777
  end
  object fancy:custom
    stdidx=20
    key=a,b
    a=01
    b=110
    sectionfield=a,b
    slide_01_010=fancy4
    slide_01_100=fancy1
  end
  object plain:custom
    stdidx=21
    checked=1
    sectionfield=checked
  end
end
[Times]
opt_slidescount=5
[Slide1]
object TheEffect:AnEffect
  ref=hh
end
[Slide2]
[Slide3]
object TheEffect:AnEffect
  ref=quick
end
[Slide4]
object TheEffect:AnEffect
  ref=defowntime
end
[effect_fancy4]
object Container:Root
  x=1
end
)";

TEST(EffectManager, MissingProjectListIsAddedAndOnlyBuiltInsCount) {
  auto doc = Doc("[Times]\nopt_slidescount=1\n[Slide1]\n");
  TDAXEffectManager m(doc.Get(), 0, 0);
  EXPECT_EQ(m.FrameWidth(), 1920);
  EXPECT_EQ(m.FrameHeight(), 1080);
  ini::TIniObject* list = m.ProjectList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Type(), "AnEffect");
  EXPECT_EQ(doc->ReadString("Main", "TheEffect", "?"), "AnEffect");  // the object, in Main
  EXPECT_EQ(m.ProjectDefaultTimeText(), "2000");
  EXPECT_EQ(m.ProjectEntryCount(), 3);
  EXPECT_EQ(m.ProjectEntry(0)->Name(), "default");
  EXPECT_EQ(m.ProjectEntry(2)->Name(), "quick");
  EXPECT_EQ(m.ProjectEntry(3), nullptr);
  EXPECT_EQ(m.ProjectEntry(2)->Value("caption"), "quick");
  EXPECT_FALSE(m.AnyEnabled());
  // a slide without "TheEffect" is a reference to "default": no enabled entry, so 0
  EXPECT_EQ(m.SlideDuration(0), 0);
  EXPECT_EQ(m.SlideEntry(0)->Name(), "default");
  EXPECT_NE(doc->FindSection("Slide1")->FindObject("TheEffect", "AnEffect"), nullptr);
}

TEST(EffectManager, NoDocumentIsAnAssertionFailure) {
  try {
    TDAXEffectManager m(nullptr, 1, 1);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("There is no IniFile for EffectRuller"),
              std::string::npos);
  }
}

TEST(EffectManager, ReferencesResolveNamesKindsValuesAndDurations) {
  auto doc = Doc(kProject);
  TDAXEffectManager m(doc.Get(), 600, 800);
  EXPECT_EQ(m.ProjectEntryCount(), 6);  // three definitions, three built-ins
  EXPECT_TRUE(m.AnyEnabled());

  TEffectProp* hh = m.SlideEntry(0);
  ASSERT_NE(hh, nullptr);
  EXPECT_TRUE(hh->IsReference());
  EXPECT_EQ(hh->Name(), "hh");
  EXPECT_EQ(hh->KindName(), "hourhand");
  EXPECT_EQ(hh->KindIndex(), kKindHourhand);
  EXPECT_EQ(hh->Value("action"), "11");  // from the definition
  EXPECT_EQ(hh->Value("time"), "1500");  // the definition's time is the project list's
  EXPECT_EQ(hh->Duration(), 0);          // a reference without its own time
  EXPECT_EQ(m.EntryByName("HH")->Duration(), 1500);
  EXPECT_EQ(m.EntryByName("fancy")->Duration(), 1500);  // one project, one definition time

  TEffectProp* byDefault = m.SlideEntry(1);  // the section had no entry
  EXPECT_EQ(byDefault->KindName(), "default");
  EXPECT_EQ(byDefault->KindIndex(), kKindDefault);
  EXPECT_EQ(byDefault->Duration(), 1500);

  TEffectProp* quick = m.SlideEntry(2);
  EXPECT_EQ(quick->KindIndex(), kKindQuick);
  EXPECT_EQ(quick->Duration(), 0);
  EXPECT_EQ(quick->Value("time"), "1500");

  TEffectProp* own = m.SlideEntry(3);
  EXPECT_EQ(own->Object()->FindKey("time"), nullptr);
  EXPECT_EQ(own->Duration(), 1500);
  EXPECT_EQ(own->Object()->ReadString("time", ""), "1500");  // written into the reference

  EXPECT_EQ(m.SlideEntry(4), nullptr);  // no section
  EXPECT_EQ(m.SlideEntry(-1), nullptr);
  EXPECT_EQ(m.SlideEntry(5), nullptr);
  EXPECT_EQ(m.SlideDuration(4), 0);
}

TEST(EffectManager, CheckedStatesTable) {
  struct {
    const char* keys;
    const char* a;
    const char* b;
    int32_t state;
  } cases[] = {
      {"a,b", "1", "11", kCheckedFully},  {"a,b", "10", "1", kCheckedPartly},
      {"a,b", "01", "1", kCheckedPartly}, {"a,b", "0", "1", kCheckedOff},
      {"a,b", "", "1", kCheckedOff},      {"a,b", "x1", "11", kCheckedPartly},
      {"a,b", "10", "0", kCheckedOff},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.keys) + " " + c.a + " " + c.b);
    std::string text =
        "[Main]\nobject TheEffect:AnEffect\n object e:gates\n  key=" + std::string(c.keys) +
        "\n  a=" + c.a + "\n  b=" + c.b + "\n end\nend\n";
    auto doc = Doc(text);
    TDAXEffectManager m(doc.Get(), 1, 1);
    EXPECT_EQ(m.EntryByName("e")->CheckedState(), c.state);
  }
  auto doc =
      Doc("[Main]\nobject TheEffect:AnEffect\n object on:gates\n  checked=1\n end\n"
          " object off:gates\n  checked=yes\n end\nend\n");
  TDAXEffectManager m(doc.Get(), 1, 1);
  EXPECT_EQ(m.EntryByName("on")->CheckedState(), kCheckedFully);  // no key list: "checked"
  EXPECT_EQ(m.EntryByName("off")->CheckedState(), kCheckedOff);
}

TEST(EffectManager, CustomVariantsDigitsAndKeys) {
  auto doc = Doc(kProject);
  TDAXEffectManager m(doc.Get(), 600, 800);
  TEffectProp* fancy = m.EntryByName("fancy");
  EXPECT_EQ(fancy->OptionList(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(fancy->VariantCount(), 6);
  EXPECT_FALSE(fancy->VariantEnabled(0));  // "a" starts with "0"
  EXPECT_TRUE(fancy->VariantEnabled(4));
  EXPECT_TRUE(fancy->VariantEnabled(3));
  EXPECT_FALSE(fancy->VariantEnabled(5));
  EXPECT_FALSE(fancy->VariantEnabled(6));
  ASSERT_NE(fancy->VariantKey(4), nullptr);
  EXPECT_EQ(fancy->VariantKey(4)->Name(), "slide_01_010");
  EXPECT_EQ(fancy->VariantKey(5), nullptr);  // no such item
  EXPECT_NE(fancy->VariantSection(4, false), nullptr);
  EXPECT_EQ(fancy->VariantSection(3, false), nullptr);  // "effect_fancy1" is absent
  EXPECT_TRUE(fancy->VariantUsable(4));

  TEffectProp* plain = m.EntryByName("plain");  // "sectionfield" = "checked"
  EXPECT_TRUE(plain->OptionList().empty());
  EXPECT_EQ(plain->VariantCount(), 1);
  EXPECT_TRUE(plain->VariantEnabled(0));
  ASSERT_NE(plain->VariantKey(0), nullptr);
  EXPECT_EQ(plain->VariantKey(0)->Value(), "plain");  // "slide_1" added
  EXPECT_EQ(plain->VariantKey(1), nullptr);

  EXPECT_EQ(m.EntryByName("hh")->VariantCount(), 0);
  EXPECT_FALSE(m.EntryByName("hh")->VariantEnabled(0));
}

TEST(EffectManager, VariantCountSaturatesAndStaysBounded) {
  std::string text =
      "[Main]\nobject TheEffect:AnEffect\n object big:custom\n  checked=1\n"
      "  sectionfield=";
  std::string options, values;
  for (int k = 0; k < 12; ++k) {
    text += (k ? ",o" : "o") + std::to_string(k);
    values += "  o" + std::to_string(k) + "=" + std::string(100000, '0') + "\n";
  }
  text += "\n" + values + " end\nend\n";
  auto doc = Doc(text);
  TDAXEffectManager m(doc.Get(), 1, 1);
  TEffectProp* big = m.EntryByName("big");
  EXPECT_EQ(big->VariantCount(), INT64_MAX);  // 100000^12 does not fit
  EXPECT_FALSE(big->VariantEnabled(INT64_MAX - 1));
}

TEST(EffectManager, SlideSectionsAreDetachedCopies) {
  auto doc =
      Doc(std::string(kProject) + "[extra]\n");  // any later section, to check none is appended
  TDAXEffectManager m(doc.Get(), 600, 800);
  TEffectProp* fancy = m.EntryByName("fancy");
  ini::TIniObject* def = fancy->Object();
  def->WriteString("userprops", "3");
  def->WriteString("prop1", "id:speed;type:int");
  def->WriteString("prop2", "id:a;type:bits");  // excluded: an option key
  def->WriteString("prop3", "");
  def->WriteString("speed", "42");
  def->WriteString("bstyle", "3");
  def->WriteString("bcolor1", "255");
  const int sections = doc->SectionCount();
  for (int k = 0; k < 3; ++k) {
    TRef<ini::TIniSection> s = fancy->VariantSlideSection(4);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Name(), "effect_fancy4");
    ini::TIniObject* root = s->FindObject("Container", "Root");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->ReadString("x", ""), "1");
    EXPECT_EQ(root->ReadString("prop1", ""), "id:speed;type:int");
    EXPECT_EQ(root->ReadString("speed", ""), "42");
    EXPECT_EQ(root->FindKey("prop2"), nullptr);
    EXPECT_EQ(s->ReadString("bstyle", ""), "3");
    EXPECT_EQ(s->ReadString("bcolor1", ""), "255");
    EXPECT_EQ(s->ReadString("bcolor2", ""), "0");
    EXPECT_EQ(s->ReadString("bcolorStyle", ""), "1");
    EXPECT_EQ(s->ReadString("CustomEffBg", ""), "0");
    EXPECT_EQ(s->ReadString("TransparentBg", ""), "0");
    EXPECT_EQ(s->ReadString("CoverMode", ""), "1");
    EXPECT_EQ(s->ReadString("opt_scr_width", ""), "800");
    EXPECT_EQ(s->ReadString("opt_scr_height", ""), "600");
  }
  // the document's own section is unchanged and the document did not grow
  EXPECT_EQ(doc->SectionCount(), sections);
  EXPECT_EQ(doc->FindSection("effect_fancy4")->FindKey("CoverMode"), nullptr);
  // a missing variant section gives an empty completed copy, still without touching the doc
  TRef<ini::TIniSection> missing = fancy->VariantSlideSection(3);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->ReadString("CoverMode", ""), "1");
  EXPECT_EQ(doc->SectionCount(), sections);
}

TEST(EffectManager, ReferenceChainsInTheProjectListEnd) {
  auto doc =
      Doc("[Main]\nobject TheEffect:AnEffect\n time=900\n object loop:AnEffect\n  ref=loop\n end\n"
          " object quick:AnEffect\n  ref=quick\n end\nend\n"
          "[Times]\nopt_slidescount=2\n[Slide1]\nobject TheEffect:AnEffect\n ref=loop\nend\n"
          "[Slide2]\nobject TheEffect:AnEffect\n ref=quick\nend\n");
  TDAXEffectManager m(doc.Get(), 1, 1);
  TEffectProp* loop = m.SlideEntry(0);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->KindName(), "loop");
  EXPECT_EQ(loop->KindIndex(), kKindDissolve);  // names nothing usable
  EXPECT_EQ(loop->Value("time"), "900");        // falls back to the project list
  EXPECT_EQ(m.SlideEntry(1)->KindIndex(), kKindQuick);
  EXPECT_EQ(m.ProjectEntryCount(), 4);  // "quick" is an object of the list now
  EXPECT_EQ(m.ProjectEntry(0)->Name(), "loop");
}

}  // namespace
}  // namespace dax::show
