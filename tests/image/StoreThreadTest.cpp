#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ImageFixtures.h"
#include "image/ImageLoader.h"
#include "image/StandardLoaders.h"

namespace dax::image {
namespace {

// A slide loader thread decodes levels while others read them: one decode per level, every
// reader gets the same cached bitmap.
TEST(StoreThreads, ConcurrentLevelRequestsShareOneDecode) {
  RegisterStandardImageLoaders();
  TImage image = OpenImage(
      std::make_unique<TMemoryStream>(test::MakeJpeg(test::RampBitmap(256, 160))), "a.jpg");
  ASSERT_TRUE(image);
  constexpr int kThreads = 4;
  std::vector<std::vector<const TBitmap*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round)
        for (int level = 0; level < 6; ++level)
          seen[t].push_back(image.Store()->GetMipLevel((level + t) % 6).get());
    });
  }
  for (std::thread& th : threads) th.join();
  for (int level = 0; level < 6; ++level) {
    const TBitmap* first = image.Store()->GetMipLevel(level).get();
    for (int t = 0; t < kThreads; ++t)
      for (size_t i = 0; i < seen[t].size(); ++i)
        if (static_cast<int>((i % 6 + t) % 6) == level) {
          EXPECT_EQ(seen[t][i], first);
        }
  }
}

}  // namespace
}  // namespace dax::image
