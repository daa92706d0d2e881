// Readers on several threads: entry streams of one container and the decoded-image cache.
#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
}  // namespace dax::container
