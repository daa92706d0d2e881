#include "show/DaxSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "ShowFixtures.h"
#include "foundation/Assert.h"
#include "foundation/Random.h"
#include "show/CustomTransition.h"
#include "show/EffectDescriptors.h"
#include "show/SlideOrder.h"

namespace dax::show {
namespace {

using test::Doc;
using test::Source;

// Slides 1..n with sync positions, each slide's effect object given as text.
std::string Show(const std::string& main, const std::string& effects,
                 const std::vector<std::pair<int, std::string>>& slides) {
  std::string text = "[Main]\n" + main + "object TheEffect:AnEffect\n" + effects + "end\n";
  text += "[Times]\nopt_slidescount=" + std::to_string(slides.size()) + "\n";
  for (size_t i = 0; i < slides.size(); ++i)
    text += "opt_synchpos" + std::to_string(i + 1) + "=" + std::to_string(slides[i].first) + "\n";
  for (size_t i = 0; i < slides.size(); ++i) {
    text += "[Slide" + std::to_string(i + 1) + "]\n";
    if (!slides[i].second.empty())
      text += "object TheEffect:AnEffect\n" + slides[i].second + "end\n";
  }
  return text;
}

std::string Flags(const TDaxEffect& e) {
  std::string s;
  for (bool f : e.flags) s += f ? '1' : '0';
  return s;
}

TEST(DaxSource, ScreenSaverProgramForcesItsOptions) {
  const std::string text = "[Main]\nopt_repeat=close\nopt_fcp=1\n[Times]\n";
  for (const char* program : {"/opt/show.scr", "C:\\Shows\\SHOW.SCR", "x.Scr"}) {
    SCOPED_TRACE(program);
    auto src = Source(text, program);
    EXPECT_TRUE(src->ScreenSaverMode());
    EXPECT_EQ(src->EndMode(), TEndMode::Repeat);
    ini::TIniFile* doc = src->Document();
    EXPECT_EQ(doc->ReadString("Main", "opt_repeat", ""), "repeat");
    EXPECT_EQ(doc->ReadString("Main", "opt_ssaver", ""), "1");
    EXPECT_EQ(doc->ReadString("Main", "opt_fcp", ""), "0");
    EXPECT_EQ(doc->ReadString("Main", "opt_hidecursor", ""), "1");
    EXPECT_EQ(doc->ReadString("Main", "opt_scr_full", ""), "1");
  }
  for (const char* program : {"/opt/daxviewer", "show.scr.bak", "scr"}) {
    SCOPED_TRACE(program);
    auto src = Source(text, program);
    EXPECT_FALSE(src->ScreenSaverMode());
    EXPECT_EQ(src->EndMode(), TEndMode::Close);
    EXPECT_EQ(src->Document()->ReadString("Main", "opt_ssaver", ""), "0");
  }
}

TEST(DaxSource, ShowOptionsTable) {
  struct {
    const char* main;
    TEndMode mode;
  } modes[] = {{"opt_repeat=CLOSE\n", TEndMode::Close},   {"opt_repeat=stop\n", TEndMode::Stop},
               {"opt_repeat=Repeat\n", TEndMode::Repeat}, {"opt_repeat=loop\n", TEndMode::Repeat},
               {"opt_repeat=\n", TEndMode::Repeat},       {"", TEndMode::Repeat}};
  for (const auto& c : modes) {
    SCOPED_TRACE(c.main);
    EXPECT_EQ(Source(std::string("[Main]\n") + c.main)->EndMode(), c.mode);
  }
  auto src = Source(
      "[main]\nopt_scr_hidercolor=16711680\nopt_scr_unsharpamount=0.25\n"
      "opt_pausewheninactive=0\nopt_scr_width=800\n[times]\nopt_slidescount=0\n");
  EXPECT_EQ(src->HiderColor().blue, 255);
  EXPECT_EQ(src->HiderColor().red, 0);
  EXPECT_FLOAT_EQ(src->UnsharpAmount(), 0.25f);
  EXPECT_FALSE(src->PauseWhenInactive());
  EXPECT_EQ(src->DesignWidth(), 800);
  EXPECT_EQ(src->DesignHeight(), 1080);
  EXPECT_NE(src->MainSection()->FindKey("opt_scr_height"), nullptr);  // looked up by adding

  // a design size that is no size falls back to the default, in the manager as well: it is
  // written into every slide-based transition
  struct {
    const char* main;
    int32_t width, height;
  } sizes[] = {{"opt_scr_width=-3\nopt_scr_height=0\n", 1920, 1080},
               {"opt_scr_width=abc\nopt_scr_height=-1080\n", 1920, 1080},
               {"opt_scr_width=0\nopt_scr_height=600\n", 1920, 600},
               {"opt_scr_width=640\n", 640, 1080}};
  for (const auto& c : sizes) {
    SCOPED_TRACE(c.main);
    auto sized = Source(std::string("[Main]\n") + c.main);
    EXPECT_EQ(sized->DesignWidth(), c.width);
    EXPECT_EQ(sized->DesignHeight(), c.height);
    EXPECT_EQ(sized->EffectManager()->FrameWidth(), c.width);
    EXPECT_EQ(sized->EffectManager()->FrameHeight(), c.height);
    TDAXEffectManager direct(sized->Document(), 0, -5);
    EXPECT_EQ(direct.FrameWidth(), c.width);
    EXPECT_EQ(direct.FrameHeight(), c.height);
  }

  auto bare = Source("");
  EXPECT_EQ(bare->SlideCount(), 0);
  EXPECT_EQ(bare->MainSection(), nullptr);
  EXPECT_TRUE(bare->PauseWhenInactive());
  EXPECT_EQ(bare->ShowDuration(), 0);
  EXPECT_EQ(bare->SlideAtTime(5000), -1);
  TSlideTransition none = bare->SlideTransition(0);  // reported, not thrown
  EXPECT_FALSE(none.effect);
  EXPECT_EQ(none.duration, 0);
  EXPECT_EQ(bare->NextSlideTime(100, false), 0);
}

TEST(DaxSource, TimelineFromTheDocument) {
  const std::string effects = " time=1000\n object d:dissolve\n  stdidx=2\n  checked=1\n end\n";
  const std::vector<std::pair<int, std::string>> slides = {{5000, ""}, {9000, ""}};
  for (bool close : {false, true}) {
    SCOPED_TRACE(close);
    auto src = Source(Show(close ? "opt_repeat=close\n" : "", effects, slides));
    const TSlideInfoList& list = src->SlideList();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].start, 0);
    EXPECT_EQ(list[0].end, 5000);
    EXPECT_EQ(list[0].transitionIn, 1000);
    EXPECT_EQ(list[0].endWithNext, 6000);
    EXPECT_EQ(list[1].start, 5000);
    EXPECT_EQ(list[1].end, 9000);
    EXPECT_EQ(list[1].nextTransition, close ? 0 : 1000);
    EXPECT_EQ(src->ShowDuration(), 9000);
    TSlideTiming w;
    EXPECT_EQ(src->SlideTiming(2, w), 1);
    EXPECT_EQ(w.start, 9000);
    EXPECT_EQ(src->SlideAtTime(5000), 0);
    EXPECT_EQ(src->TransitionDuration(2), close ? 0 : 1000);
  }
  // a transition longer than its slide is cut to the slide
  auto shortSlide =
      Source(Show("", " time=3000\n object d:dissolve\n  stdidx=2\n  checked=1\n end\n",
                  {{5000, ""}, {6000, ""}}));
  EXPECT_EQ(shortSlide->SlideList()[1].transitionIn, 1000);
  EXPECT_EQ(shortSlide->SlideList()[0].transitionIn, 3000);
}

TEST(DaxSource, DecreasingSyncPositionsFailTheOpen) {
  auto doc = Doc("[Times]\nopt_slidescount=3\nopt_synchpos1=5000\nopt_synchpos2=4000\n");
  std::string error;
  TRef<TDaxSource> src = TDaxSource::TryCreate(MakeRef<test::TNoFiles>(), doc, "p", error);
  EXPECT_FALSE(src);
  EXPECT_NE(error.find("Incorrect time"), std::string::npos);
  EXPECT_THROW(Source("[Times]\nopt_slidescount=2\nopt_synchpos1=10\nopt_synchpos2=x\n"),
               EAssertionFailed);  // a malformed position reads as 0
}

TEST(DaxSource, SlideTransitionsByKind) {
  const std::string effects =
      " time=1200\n"
      " object hh:hourhand\n  stdidx=4\n  action=01\n  direction=000100000\n"
      "  smoothline=0.05\n  offset=12.5\n end\n"
      " object off:dissolve\n  stdidx=2\n  checked=0\n end\n"
      " object push1:push\n  stdidx=9\n  direction=0100\n end\n"
      " object nogates:gates\n  stdidx=6\n  direction=00000000\n end\n"
      " object curl:curling\n  stdidx=11\n  action=11\n  direction=10000001\n"
      "  color=10,300,-4\n  usevolume=1\n end\n"
      " object fl:flip\n  stdidx=12\n  direction=001011\n  nonlinear_speed=1\n end\n"
      " object sw:swap\n  stdidx=13\n  direction=1111\n  angle=bad\n end\n"
      " object mo:mosaic\n  stdidx=8\n  cols=4\n  rows=3\n  appearence=2\n end\n";
  auto src = Source(Show("", effects,
                         {{5000, " ref=quick\n"},
                          {10000, " ref=off\n time=700\n"},
                          {15000, " ref=hh\n time=800\n"},
                          {20000, " ref=push1\n time=900\n"},
                          {25000, " ref=nogates\n time=900\n"},
                          {30000, " ref=curl\n time=900\n"},
                          {35000, " ref=fl\n time=900\n"},
                          {40000, " ref=sw\n"},
                          {45000, " ref=mo\n time=abc\n"}}));
  TSlideTransition t = src->SlideTransition(0);  // quick
  EXPECT_FALSE(t.effect);
  EXPECT_EQ(t.duration, 0);
  EXPECT_FALSE(src->SlideTransition(1).effect);  // unchecked dissolve

  t = src->SlideTransition(2);
  ASSERT_TRUE(t.effect);
  EXPECT_EQ(t.effect->type, kEffectHourhand);
  EXPECT_EQ(t.duration, 800);
  EXPECT_FLOAT_EQ(t.smoothness, 0.05f);  // the entry's "smoothline" as written, for the renderer
  EXPECT_DOUBLE_EQ(t.effect->Smoothness(), 0.001);  // 0.05 is stored as 0.001
  EXPECT_EQ(Flags(*t.effect), "01000100000");
  EXPECT_EQ(t.effect->variantCount, 1);
  EXPECT_FLOAT_EQ(t.effect->floatParams.at(0), 12.5f);

  t = src->SlideTransition(3);
  ASSERT_TRUE(t.effect);
  EXPECT_EQ(t.effect->type, kEffectPush);
  EXPECT_EQ(Flags(*t.effect), "1000");  // character 1 is the first direction

  EXPECT_FALSE(src->SlideTransition(4).effect);  // gates without a direction

  t = src->SlideTransition(5);
  ASSERT_TRUE(t.effect);
  EXPECT_EQ(t.effect->type, kEffectCurling);
  EXPECT_EQ(Flags(*t.effect), "111000000101");  // directions reversed, then usecolor, usevolume
  EXPECT_EQ(t.effect->variantCount, 4);
  EXPECT_EQ(t.effect->intParams, (std::vector<int32_t>{1, 10 | (255 << 8)}));  // clamped colour
  EXPECT_FLOAT_EQ(t.effect->floatParams.at(1), 0.125f);

  t = src->SlideTransition(6);
  ASSERT_TRUE(t.effect);
  EXPECT_EQ(t.effect->type, kEffectFlip);
  EXPECT_EQ(Flags(*t.effect), "001001");  // positions 1,0,2,3; spin_center off
  EXPECT_EQ(t.effect->variantCount, 1);

  t = src->SlideTransition(7);  // reference without its own time: the list's "time" text
  ASSERT_TRUE(t.effect);
  EXPECT_EQ(t.effect->type, kEffectSwap);
  EXPECT_EQ(t.duration, 1200);
  EXPECT_EQ(t.effect->floatParams, (std::vector<float>{4, 1, 60}));

  EXPECT_FALSE(src->SlideTransition(8).effect);            // malformed time: no usable duration
  EXPECT_EQ(src->SlideTransition(8 + 9 * 5).duration, 0);  // indices wrap around the slides
}

TEST(DaxSource, RandomPicksAlternateVariantsAndRepeatablePicksRepeat) {
  const std::string effects =
      " time=1000\n"
      " object g:gates\n  stdidx=6\n  key=checked\n  checked=1\n  direction=00100100\n end\n";
  auto src = Source(Show("", effects, {{5000, " ref=default\n"}, {9000, " ref=default\n"}}));
  ASSERT_EQ(src->PoolCount(), 1u);
  EXPECT_EQ(src->DefaultTransitionDuration(), 1000);
  Random().Seed(11);
  std::vector<std::string> seen;
  for (int k = 0; k < 8; ++k) {
    TSlideTransition t = src->SlideTransition(k);
    ASSERT_TRUE(t.effect);
    EXPECT_EQ(t.duration, 1000);
    seen.push_back(Flags(*t.effect));
  }
  for (size_t k = 0; k < seen.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(seen[k], k % 2 == 0 ? "00000100" : "00100000");
  }

  const std::string many =
      " time=1000\n"
      " object g:gates\n  stdidx=6\n  checked=1\n  direction=11110000\n end\n"
      " object h:hourhand\n  stdidx=4\n  checked=1\n  action=11\n  direction=111\n end\n"
      " object s:shapes\n  stdidx=5\n  checked=1\n  action=01\n  direction=111\n end\n"
      " object m:mosaic\n  stdidx=8\n  checked=1\n end\n";
  std::vector<std::pair<int, std::string>> slides;
  for (int i = 0; i < 12; ++i) slides.push_back({1000 * (i + 1), ""});
  auto a = Source(Show("", many, slides));
  a->SetRepeatableEffects(true);
  EXPECT_EQ(a->PoolCount(), 4u);
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    TSlideTransition first = a->SlideTransition(i);
    TSlideTransition again = a->SlideTransition(i);
    ASSERT_TRUE(first.effect && again.effect);
    EXPECT_EQ(first.effect->type, again.effect->type);
    EXPECT_EQ(Flags(*first.effect), Flags(*again.effect));
    EXPECT_EQ(first.effect->intParams, again.effect->intParams);
  }
}

TEST(DaxSource, PickedVariantsKeepOneActionAndOneDirection) {
  const std::string effects =
      " time=1000\n"
      " object h:hourhand\n  stdidx=4\n  checked=1\n  action=11\n  direction=101000001\n end\n";
  auto src = Source(Show("", effects, {{5000, ""}}));
  ASSERT_EQ(src->PoolCount(), 1u);
  EXPECT_EQ(src->PoolItem(0).variantCount, 6);
  const TDaxEffect& h = src->PoolItem(0);
  const char* expected[] = {"10100000000", "10001000000", "10000000001",
                            "01100000000", "01001000000", "01000000001"};
  for (int v = 0; v < 6; ++v) EXPECT_EQ(Flags(*h.WithVariant(v)), expected[v]);
  std::set<std::string> picked;
  Random().Seed(3);
  for (int k = 0; k < 200; ++k) picked.insert(Flags(*src->PickFromPool(0)));
  EXPECT_EQ(picked.size(), 6u);
}

TEST(DaxSource, MosaicSeeds) {
  const std::string effects = " time=1000\n object m:mosaic\n  stdidx=8\n  cols=5\n end\n";
  auto src = Source(Show("", effects, {{4000, " ref=m\n"}, {8000, " ref=m\n"}}));
  Random().Seed(5);
  TSlideTransition a = src->SlideTransition(1), b = src->SlideTransition(1);
  ASSERT_TRUE(a.effect && b.effect);
  ASSERT_EQ(a.effect->intParams.size(), 4u);
  EXPECT_EQ(a.effect->intParams[0], 5);
  EXPECT_NE(a.effect->intParams[3], b.effect->intParams[3]);
  EXPECT_LT(a.effect->intParams[3], 1 << 24);
  src->SetRepeatableEffects(true);
  EXPECT_EQ(src->SlideTransition(1).effect->intParams[3], 1);
  EXPECT_EQ(src->SlideTransition(1).effect->intParams[3], 1);
}

TEST(DaxSource, BuiltInDescriptorsTable) {
  struct {
    const char* kind;
    const char* keys;
    uint32_t type;  // 0: no transition
    const char* flags;
    std::vector<int32_t> ints;
    std::vector<float> floats;
    double smoothness;
    std::vector<const char*> picks;  // the flags of each single variant
  } cases[] = {
      {"shapes",
       "action=11\n direction=010\n",
       kEffectShapes,
       "11010",
       {50, 50},
       {},
       0.001,
       {"10010", "01010"}},
      {"shapes",
       "action=01\n direction=111\n centerx=20\n centery=x\n smoothline=0.4\n",
       kEffectShapes,
       "01111",
       {20, 50},
       {},
       0.4,
       {"01100", "01010", "01001"}},
      {"hourhand",
       "action=10\n direction=000000001\n",
       kEffectHourhand,
       "10000000001",
       {},
       {0},
       0.35,
       {"10000000001"}},
      {"page",
       "direction=00000011\n smoothline=0.2\n",
       kEffectPage,
       "00000011",
       {},
       {},
       0.2,
       {"00000010", "00000001"}},
      {"page", "direction=0\n", 0, "", {}, {}, 0, {}},
      {"slide", "direction=1000\n", kEffectSlide, "0100", {}, {}, 0.001, {"0100"}},
      // "appearence" is the authoring tool's spelling, and the only one read
      {"mosaic",
       "cols=4\n rows=3\n appearence=2\n",
       kEffectMosaic,
       "1",
       {4, 3, 2, 0},
       {},
       0.001,
       {"1"}},
      {"mosaic", "appearance=5\n", kEffectMosaic, "1", {1, 1, 0, 0}, {}, 0.001, {"1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + ": " + c.keys);
    auto src =
        Source(Show("", std::string(" time=1000\n object x:") + c.kind + "\n " + c.keys + " end\n",
                    {{4000, " ref=x\n time=500\n"}}));
    src->SetRepeatableEffects(true);  // the mosaic's seed is then the slide index, 0
    TSlideTransition t = src->SlideTransition(0);
    if (c.type == 0) {
      EXPECT_FALSE(t.effect);
      continue;
    }
    ASSERT_TRUE(t.effect);
    EXPECT_EQ(t.effect->type, c.type);
    EXPECT_EQ(t.duration, 500);
    EXPECT_EQ(Flags(*t.effect), c.flags);
    EXPECT_EQ(t.effect->intParams, c.ints);
    EXPECT_EQ(t.effect->floatParams, c.floats);
    EXPECT_DOUBLE_EQ(t.effect->Smoothness(), c.smoothness);
    ASSERT_EQ(t.effect->variantCount, static_cast<int32_t>(c.picks.size()));
    for (int32_t v = 0; v < t.effect->variantCount; ++v)
      EXPECT_EQ(Flags(*t.effect->WithVariant(v)), c.picks[static_cast<size_t>(v)]) << v;
  }
}

TEST(DaxSource, DefaultKindsTakeTheSmoothnessOfThePick) {
  const std::string effects =
      " time=1000\n"
      " object h:hourhand\n  stdidx=4\n  checked=1\n  action=10\n  direction=1\n"
      "  smoothline=0.5\n end\n";
  struct {
    const char* slide;
    double duration;
    float smoothness;
  } cases[] = {
      {" ref=default\n time=300\n smoothline=0.9\n", 1000, 0.5f},
      {" ref=defowntime\n time=300\n smoothline=0.9\n", 300, 0.5f},
      {" ref=defowntime\n", 1000, 0.5f},                    // the project's time, written into it
      {"", 1000, 0.5f},                                     // no entry: a reference to "default"
      {" ref=h\n time=300\n smoothline=0.9\n", 300, 0.9f},  // a kind of its own keeps its value
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slide);
    auto src = Source(Show("", effects, {{4000, c.slide}}));
    ASSERT_EQ(src->PoolCount(), 1u);
    TSlideTransition t = src->SlideTransition(0);
    ASSERT_TRUE(t.effect);
    EXPECT_EQ(t.effect->type, kEffectHourhand);
    EXPECT_EQ(t.duration, c.duration);
    EXPECT_FLOAT_EQ(t.smoothness, c.smoothness);
  }
}

TEST(DaxSource, PoolOrderIsTheBiasedShuffle) {
  // Eight built-in entries, pooled in project order.
  const std::string effects =
      " time=1000\n"
      " object a:dissolve\n  stdidx=2\n  checked=1\n end\n"
      " object b:gates\n  stdidx=6\n  checked=1\n  direction=1\n end\n"
      " object c:page\n  stdidx=7\n  checked=1\n  direction=1\n end\n"
      " object d:mosaic\n  stdidx=8\n  checked=1\n end\n"
      " object e:push\n  stdidx=9\n  checked=1\n  direction=1\n end\n"
      " object f:slide\n  stdidx=10\n  checked=1\n  direction=1\n end\n"
      " object g:flip\n  stdidx=12\n  checked=1\n  direction=1\n end\n"
      " object h:swap\n  stdidx=13\n  checked=1\n  direction=1\n end\n";
  constexpr int32_t n = 8;
  constexpr uint64_t kSeed = 20;
  // The partner of entry i is drawn from 0...n-1-i, not offset by i.
  Random().Seed(kSeed);
  std::vector<int32_t> expected(n), unbiased(n);
  std::iota(expected.begin(), expected.end(), 0);
  std::iota(unbiased.begin(), unbiased.end(), 0);
  for (int32_t i = 0; i + 1 < n; ++i) {
    const int32_t r = Random().Uniform(n - i);
    std::swap(expected[static_cast<size_t>(i)], expected[static_cast<size_t>(r)]);
    std::swap(unbiased[static_cast<size_t>(i)], unbiased[static_cast<size_t>(i + r)]);
  }
  ASSERT_NE(expected, unbiased);  // the seed tells the two rules apart

  Random().Seed(kSeed);
  auto src = Source(Show("", effects, {{4000, ""}}));
  ASSERT_EQ(src->PoolCount(), static_cast<size_t>(n));
  EXPECT_EQ(src->PoolOrder(), expected);
  src->SetRepeatableEffects(true);
  for (int32_t k = 0; k < n; ++k) {
    SCOPED_TRACE(k);
    TRef<TDaxEffect> picked = src->PickFromPool(k);
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->name, std::string(1, static_cast<char>('a' + expected[k])));
  }
}

// One custom definition with choices x choices variants, each naming the section "one" or a
// section of its own, and props user properties.
std::string CustomVariantsShow(int choices, int props, bool ownSections) {
  const std::string all(static_cast<size_t>(choices), '1');
  std::string effects = " time=1000\n object c:custom\n  key=a,b\n  a=" + all + "\n  b=" + all +
                        "\n  sectionfield=a,b\n  userprops=" + std::to_string(props) + "\n";
  for (int k = 1; k <= props; ++k) {
    const std::string n = std::to_string(k);
    effects += "  prop" + n + "=id:p" + n + "\n  p" + n + "=" + n + "\n";
  }
  std::string sections = ownSections ? "" : "[effect_one]\nobject Container:Root\n x=1\nend\n";
  for (int i = 0; i < choices; ++i) {
    for (int j = 0; j < choices; ++j) {
      std::string a(static_cast<size_t>(choices), '0'), b = a;
      a[static_cast<size_t>(i)] = b[static_cast<size_t>(j)] = '1';
      const std::string section = ownSections ? std::to_string(i) + "_" + std::to_string(j) : "one";
      effects += "  slide_" + a + "_" + b + "=" + section + "\n";
      if (ownSections) sections += "[effect_" + section + "]\n";
    }
  }
  return Show("", effects + " end\n", {{4000, ""}}) + sections;
}

TEST(DaxSource, VariantsNamingOneSectionShareOneCompletedCopy) {
  auto src = Source(CustomVariantsShow(16, 4096, false));
  const int sections = src->Document()->SectionCount();
  ASSERT_EQ(src->PoolCount(), 256u);
  std::set<const ini::TIniSection*> copies;
  for (size_t i = 0; i < src->PoolCount(); ++i) copies.insert(src->PoolItem(i).description.Get());
  ASSERT_EQ(copies.size(), 1u);
  const ini::TIniSection* copy = *copies.begin();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Name(), "effect_one");
  const ini::TIniObject* root = copy->FindObject("Container", "Root");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->ReadString("x", ""), "1");
  EXPECT_EQ(root->ReadString("p4096", ""), "4096");
  EXPECT_EQ(src->Document()->SectionCount(), sections);
  EXPECT_EQ(src->Document()->FindSection("effect_one")->FindKey("CoverMode"), nullptr);
}

TEST(DaxSource, CompletedCopiesOfThePoolAreBounded) {
  // 256 sections of their own, each completed with 1024 user properties (two keys each).
  constexpr int kProps = 1024;
  auto src = Source(CustomVariantsShow(16, kProps, true));
  const size_t pooled = src->PoolCount();
  EXPECT_GT(pooled, 0u);
  EXPECT_LT(pooled, 256u);
  EXPECT_LE(static_cast<int64_t>(pooled - 1) * 2 * kProps, kMaxPoolSectionItems);
  EXPECT_GE(static_cast<int64_t>(pooled + 1) * (2 * kProps + 8), kMaxPoolSectionItems);
  std::set<std::string> names;
  for (size_t i = 0; i < pooled; ++i) {
    const TDaxEffect& e = src->PoolItem(i);
    ASSERT_TRUE(e.description);
    names.insert(e.description->Name());
    EXPECT_EQ(e.description->FindObject("Container", "Root")->ReadString("p1024", ""), "1024");
  }
  EXPECT_EQ(names.size(), pooled);
}

TEST(DaxSource, PoolHoldsCheckedEntriesAndCustomSubEffects) {
  const std::string effects =
      " time=1000\n"
      " object q:dissolve\n  stdidx=2\n  key=checked\n  checked=1\n end\n"
      " object unused:gates\n  stdidx=6\n  key=checked\n  checked=0\n  direction=1\n end\n"
      " object fancy:custom\n  key=a\n  a=011\n  sectionfield=a\n"
      "  slide_010=one\n  slide_001=two\n end\n";
  std::string text = Show("", effects, {{4000, " ref=fancy\n a=001\n"}}) +
                     "[effect_one]\nobject Container:Root\nend\n[effect_two]\n";
  auto src = Source(text);
  ASSERT_EQ(src->PoolCount(), 3u);  // dissolve + two custom sub-effects
  std::vector<int32_t> order = src->PoolOrder();
  std::sort(order.begin(), order.end());
  EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2}));
  int custom = 0;
  for (size_t i = 0; i < src->PoolCount(); ++i) {
    const TDaxEffect& e = src->PoolItem(i);
    if (e.type != kEffectCustom) continue;
    ++custom;
    ASSERT_TRUE(e.description);
    EXPECT_EQ(e.description->ReadString("CoverMode", ""), "1");
    EXPECT_EQ(e.variantCount, 1);
  }
  EXPECT_EQ(custom, 2);
  // the reference's own option value picks its first enabled sub-effect
  TSlideTransition t = src->SlideTransition(0);
  ASSERT_TRUE(t.effect);
  EXPECT_EQ(t.effect->type, kEffectCustom);
  EXPECT_EQ(t.effect->description->Name(), "effect_two");

  // what the drawing side reads from a completed description
  TCustomSlideTransition slideTransition = ReadCustomSlideTransition(*t.effect->description);
  EXPECT_EQ(slideTransition.length, 2000);
  EXPECT_TRUE(slideTransition.coverMode);
  EXPECT_FALSE(slideTransition.transparentBackground);
  EXPECT_EQ(slideTransition.background, 0);
  EXPECT_DOUBLE_EQ(CustomSlideTime(100, 2100, 0.25), 600);
  EXPECT_DOUBLE_EQ(CustomSlideTime(100, 2100, 7), 2100);
}

TEST(DaxSource, EndActionsAndLaunchesTable) {
  struct {
    const char* slideKeys;
    bool manual;
    TSlideEndAction action;
  } cases[] = {
      {"Pers_EndAction=pause\n", false, TSlideEndAction::Pause},
      {"Pers_EndAction=Loop\n", false, TSlideEndAction::Loop},
      {"Pers_EndAction=\n", true, TSlideEndAction::Pause},
      {"Pers_EndAction=\n", false, TSlideEndAction::None},
      {"Pers_EndAction=stop\n", true, TSlideEndAction::None},
      {"", true, TSlideEndAction::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.slideKeys) + (c.manual ? " manual" : ""));
    std::string text = std::string("[Main]\n") + (c.manual ? "opt_manualshow=1\n" : "") +
                       "object TheEffect:AnEffect\n time=1000\n object d:dissolve\n  stdidx=2\n"
                       "  checked=1\n end\nend\n[Times]\nopt_slidescount=1\nopt_synchpos1=6000\n"
                       "[Slide1]\n" +
                       c.slideKeys;
    auto src = Source(text);
    EXPECT_EQ(src->SlideEndActionKind(0), c.action);
    double period = -1;
    EXPECT_EQ(src->SlideEndAction(0, period), c.action != TSlideEndAction::None);
    if (c.action == TSlideEndAction::Loop) {
      EXPECT_EQ(period, 6000 - 1000);
    }
    EXPECT_EQ(src->SlideEndActionKind(-1), TSlideEndAction::None);
  }
  auto src = Source(
      "[Times]\nopt_slidescount=3\n[Slide1]\nPers_RunApp=1\nRunAppFN=tool.sh\n"
      "[Slide2]\nPers_RunApp=1\n[Slide3]\nPers_RunApp=0\nRunAppFN=x\n");
  std::string fn;
  EXPECT_TRUE(src->SlideRunApp(0, fn));
  EXPECT_EQ(fn, "tool.sh");
  EXPECT_TRUE(src->SlideRunApp(3, fn));  // the next pass
  EXPECT_FALSE(src->SlideRunApp(1, fn));
  EXPECT_FALSE(src->SlideRunApp(2, fn));
  EXPECT_FALSE(src->SlideRunApp(-1, fn));
}

TEST(DaxSource, SlideIdsAndSections) {
  auto src = Source(
      "[Times]\nopt_slidescount=4\n[Slide1]\nslideid=intro\nPicture=a.jpg\n"
      "[Slide2]\nPicture=C:\\Shows\\pics\\Holiday.Beach.jpg\n[Slide3]\nPicture=media\\\n");
  const TSlideInfoList& list = src->SlideList();
  EXPECT_EQ(list[0].slideId, "intro");
  EXPECT_EQ(list[1].slideId, "Holiday.Beach");
  EXPECT_EQ(list[2].slideId, "media");
  EXPECT_EQ(list[3].slideId, "");
  EXPECT_EQ(SlideSection(*src->Document(), -1), nullptr);
  EXPECT_EQ(SlideSection(*src->Document(), 1)->Name(), "Slide2");

  auto doc =
      Doc("[Main]\nProjectFilePath=C:\\P\\Trip.dax\n[Times]\nopt_slidescount=2\n"
          "[Slide1]\n[Slide2]\n[Slide5]\n");
  EXPECT_EQ(SlideSection(*doc, 0)->Name(), "Slide1");
  EXPECT_EQ(SlideSection(*doc, 4)->Name(), "Slide5");  // the list grows with identity entries
  EXPECT_EQ(SlideSection(*doc, 3), nullptr);
  EXPECT_EQ(SlideOrderFor("c:\\p\\TRIP.DAX", 0)->Count(), 5);  // one list per project
}

TEST(DaxSource, SlideIdFromThePictureTable) {
  struct {
    const char* picture;
    const char* id;
  } cases[] = {
      {"a.jpg", "a"},
      {"C:\\Shows\\pics\\Holiday.Beach.jpg", "Holiday.Beach"},
      {"media\\", "media"},
      {"pics.2024\\photo", "photo"},         // a dot in a folder is no extension
      {"pics/holiday.jpg", "pics/holiday"},  // show names separate folders with "\" only
      {"\\", ""},
      {"", ""},
  };
  std::string text = "[Times]\nopt_slidescount=" + std::to_string(std::size(cases)) + "\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    text += "[Slide" + std::to_string(i + 1) + "]\nPicture=" + cases[i].picture + "\n";
  auto src = Source(text);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].picture);
    EXPECT_EQ(src->SlideList()[i].slideId, cases[i].id);
  }
}

TEST(SlideOrder, ShuffleByKeysSortsByRandomKeys) {
  Random().Seed(99);
  std::vector<TSlideOrderPair> pairs(200);
  for (int i = 0; i < 200; ++i) pairs[static_cast<size_t>(i)].slide = i;
  ShuffleByKeys(pairs.data(), pairs.size());
  std::set<int32_t> slides;
  bool moved = false;
  for (size_t i = 0; i < pairs.size(); ++i) {
    slides.insert(pairs[i].slide);
    moved = moved || pairs[i].slide != static_cast<int32_t>(i);
    EXPECT_GE(pairs[i].key, 0);
    EXPECT_LT(pairs[i].key, 1000000);
    if (i > 0) {
      EXPECT_LE(pairs[i - 1].key, pairs[i].key);
    }
  }
  EXPECT_EQ(slides.size(), 200u);
  EXPECT_TRUE(moved);
  ShuffleByKeys(pairs.data(), 0);  // nothing to do

  // a registered order, once shuffled, is the order slide sections are found in
  auto doc = Doc("[Main]\nProjectFilePath=shuffled.dax\n[Times]\nopt_slidescount=30\n");
  for (int i = 1; i <= 30; ++i) doc->AddSection("Slide" + std::to_string(i));
  TRef<TSlideRandomList> order = SlideOrderFor("shuffled.dax", 30);
  order->Shuffle();
  std::set<std::string> names;
  bool reordered = false;
  for (int i = 0; i < 30; ++i) {
    const std::string name = SlideSection(*doc, i)->Name();
    EXPECT_EQ(name, "Slide" + std::to_string(order->SlideAt(i) + 1));
    reordered = reordered || name != "Slide" + std::to_string(i + 1);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 30u);
  EXPECT_TRUE(reordered);
}

TEST(EffectDescriptors, ColourTextsTable) {
  struct {
    const char* text;
    bool ok;
    int r, g, b, a;
  } cases[] = {
      {"#FF8000", true, 255, 128, 0, 255},
      {"#ff8000,128", true, 255, 128, 0, 128},
      {"16711680", true, 0, 0, 255, 255},
      {"255, 300", true, 255, 0, 0, 255},
      {"1,2,3", true, 1, 2, 3, 255},
      {"300,-5,20,999", true, 255, 0, 20, 255},
      {"#FF80", false, 0, 0, 0, 0},
      {"red", false, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0},
      {"1,2,3,4,5", false, 0, 0, 0, 0},
      {"1,x,3", false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<TColorValue> v = ParseColorText(c.text);
    ASSERT_EQ(v.has_value(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(v->r, c.r);
    EXPECT_EQ(v->g, c.g);
    EXPECT_EQ(v->b, c.b);
    EXPECT_EQ(v->a, c.a);
  }
}

}  // namespace
}  // namespace dax::show
