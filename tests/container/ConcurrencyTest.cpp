// Readers on several threads: entry streams of one container and the decoded-image cache.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <latch>
#include <thread>
#include <vector>

#include "ContainerFixture.h"
#include "container/FileAccessor.h"
#include "container/ImageCache.h"
#include "container/MappedFileSource.h"
#include "support/TempDir.h"

namespace dax::container {
namespace {
using namespace dax::container::test;
using dax::test::TTempDir;
using dax::test::WriteFileBytes;

TEST(ConcurrencyTest, EntriesReadInParallelAndPicturesDecodeOnce) {
  TTempDir dir;
  std::vector<TTestEntry> entries;
  for (int i = 0; i < 6; ++i) {
    entries.push_back(
        {"e" + std::to_string(i), SampleBytes(150000, i + 1), static_cast<TPackMethod>(i % 3)});
  }
  entries.push_back({"pic.img", "IMG:shared", TPackMethod::Xor});
  WriteFileBytes(dir.File("s.dxshow"), WriteContainer(entries));
  auto unpack = std::make_shared<TDaxUnpack>(dir.File("s.dxshow"));
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TPackedFileSource>(unpack));
  ClearImageDecoders();
  RegisterImageDecoder(&DecodeTextImage);
  gDecodes = 0;

  constexpr int kThreads = 6;
  std::latch allHold(kThreads);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round) {
        const TTestEntry& e = entries[static_cast<size_t>((t + round) % 6)];
        auto s = accessor->OpenStream(e.name);
        if (!s || ReadAll(*s) != e.bytes) ++mismatches;
      }
      TDaxImage image = accessor->OpenImage("PIC.IMG");
      if (!image.StoreAs<TTextImage>() || image.StoreAs<TTextImage>()->text != "shared")
        ++mismatches;
      allHold.arrive_and_wait();  // the cached handle lives while any image holds it
    });
  }
  for (auto& t : threads) t.join();
  ClearImageDecoders();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(gDecodes.load(), 1);
}

TEST(ConcurrencyTest, AnEntryBeingOpenedDoesNotHoldUpOtherOpensOnTheSource) {
  const std::string bytes =
      WriteContainer({{"big", SampleBytes(300000, 7), TPackMethod::Deflate}, {"small", "S"}});
  // The container's own open is call 1, the slow entry's handle call 2: it waits until the
  // other open on the same source is done (or gives up after a while).
  std::atomic<int> calls{0};
  std::latch slowStarted(1);
  std::promise<void> otherDone;
  std::shared_future<void> otherDoneFuture = otherDone.get_future().share();
  std::atomic<bool> waitedInVain{false};
  auto unpack = std::make_shared<TDaxUnpack>("memory", [&]() -> std::unique_ptr<TStream> {
    if (++calls == 2) {
      slowStarted.count_down();
      if (otherDoneFuture.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        waitedInVain = true;
    }
    return std::make_unique<TMemoryStream>(bytes);
  });
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TPackedFileSource>(unpack));
  std::thread slow([&] {
    auto s = accessor->OpenStream("big");
    EXPECT_TRUE(s);
  });
  slowStarted.wait();
  auto s = accessor->OpenStream("small");
  otherDone.set_value();
  slow.join();
  ASSERT_TRUE(s);
  EXPECT_EQ(ReadAll(*s), "S");
  EXPECT_FALSE(waitedInVain.load());
}

}  // namespace
}  // namespace dax::container
