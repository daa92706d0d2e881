#include "foundation/HashList.h"

#include <gtest/gtest.h>

namespace dax {
namespace {

TEST(HashList, FindAddRemoveWithFewBuckets) {
  THashList<int> list(3);  // few buckets, so chains hold several keys
  for (int i = 0; i < 50; ++i) list.FindOrAdd("K" + std::to_string(i)) = i;
  EXPECT_EQ(list.Count(), 50u);
  EXPECT_EQ(list.BucketCount(), 3u);
  ASSERT_NE(list.Find("K17"), nullptr);
  EXPECT_EQ(*list.Find("K17"), 17);
  EXPECT_EQ(list.Find("k17"), nullptr);  // exact keys
  EXPECT_TRUE(list.Remove("K17"));
  EXPECT_FALSE(list.Remove("K17"));
  EXPECT_EQ(list.Find("K17"), nullptr);
  int sum = 0;
  list.ForEach([&](std::string_view, int v) { sum += v; });
  EXPECT_EQ(sum, 49 * 50 / 2 - 17);
}

TEST(GrowList, CapacityStartsAtInitialAndDoubles) {
  TGrowList<int, 8> list;
  list.Add(1);
  EXPECT_EQ(list.Capacity(), 8u);
  for (int i = 0; i < 8; ++i) list.Add(i);
  EXPECT_EQ(list.Capacity(), 16u);
  list.Insert(0, 42);
  list.Delete(1);
  EXPECT_EQ(list[0], 42);
  EXPECT_EQ(list.Count(), 9u);
}

}  // namespace
}  // namespace dax
