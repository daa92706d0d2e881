#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ShowFixtures.h"
#include "show/SlideOrder.h"

namespace dax::show {
namespace {

// The slide loader asks for transitions while the engine and the soundtrack read the
// timeline and the slide sections.
TEST(ShowThreads, TransitionsPicksAndSectionsFromSeveralThreads) {
  std::string text =
      "[Main]\nProjectFilePath=C:\\threads.dax\nobject TheEffect:AnEffect\n time=500\n"
      " object g:gates\n  stdidx=6\n  checked=1\n  direction=11110000\n end\n"
      " object m:mosaic\n  stdidx=8\n  checked=1\n end\n"
      " object c:custom\n  checked=1\n  sectionfield=checked\n end\nend\n"
      "[effect_c]\n[Times]\nopt_slidescount=40\n";
  for (int i = 1; i <= 40; ++i) {
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * 1000) + "\n";
  }
  for (int i = 1; i <= 40; ++i) {
    text += "[Slide" + std::to_string(i) + "]\nobject TheEffect:AnEffect\n ref=" +
            (i % 3 == 0   ? "m"
             : i % 3 == 1 ? "default"
                          : "c") +
            "\nend\n";
  }
  auto src = test::Source(text);
  ASSERT_EQ(src->PoolCount(), 3u);
  std::atomic<int> missing{0};
  std::vector<std::thread> threads;
  for (int k = 0; k < 2; ++k) {
    threads.emplace_back([&] {
      for (int round = 0; round < 50; ++round)
        for (int i = 0; i < 40; ++i)
          if (!src->SlideTransition(i).effect) ++missing;
    });
  }
  threads.emplace_back([&] {
    for (int k = 0; k < 2000; ++k) src->PickFromPool(k);
  });
  threads.emplace_back([&] {
    for (int k = 0; k < 2000; ++k) {
      src->SlideAtTime(k * 37.5);
      src->NextSlideTime(k * 20.0, k % 2 == 0);
      if (!SlideSection(*src->Document(), k % 40)) ++missing;
      SlideSection(*src->Document(), 40 + k % 100);  // grows the registered list
      SlideOrderFor("other" + std::to_string(k % 7), 3);
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(missing.load(), 0);
  EXPECT_EQ(SlideOrderFor("C:\\THREADS.dax", 0)->Count(), 140);
}

}  // namespace
}  // namespace dax::show
