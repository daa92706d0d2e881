#include <gtest/gtest.h>

#include <atomic>

#include "ContainerFixture.h"
#include "container/CryptStream.h"
#include "container/InflateStream.h"
#include "container/PartialStream.h"
#include "foundation/Assert.h"
#include "foundation/Exceptions.h"

namespace dax::container {
namespace {
using namespace dax::container::test;

// Counts the reads that reach the inner stream (one per system call for a file).
class TCountingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  size_t Read(void* buffer, size_t count) override {
    ++reads;
    return TMemoryStream::Read(buffer, count);
  }
  int reads = 0;
};

std::atomic<int> gHookCalls{0};
void CountingHook() {
  ++gHookCalls;
}

TEST(PartialStreamTest, WindowPositionsAndErrors) {
  auto inner = std::make_unique<TMemoryStream>(std::string("0123456789"));
  EXPECT_THROW(TPartialStream(inner.get(), false, 4, 7), EStreamError);
  try {
    TPartialStream(inner.get(), false, 11, 0);
    FAIL();
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), "Insufficient Source Size");
  }
  TPartialStream s(inner.get(), false, 2, 5);
  EXPECT_EQ(s.Size(), 5);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(ReadAll(s), "23456");
  EXPECT_EQ(s.Seek(0, TSeekOrigin::End), 5);  // the end itself is a valid position
  s.SetPosition(1);
  char c;
  ASSERT_EQ(s.Read(&c, 1), 1u);
  EXPECT_EQ(c, '3');
  EXPECT_THROW(s.SetPosition(6), EStreamError);
  EXPECT_THROW(s.SetPosition(-1), EStreamError);
  try {
    s.SetSize(3);
    FAIL();
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), "Stream Cannot be resized");
  }
}

TEST(PartialStreamTest, HookedReadsAreBufferedAndCallTheHookEvery256Bytes) {
  const std::string data = SampleBytes(300000);
  auto inner = std::make_unique<TCountingStream>(data);
  TCountingStream* counter = inner.get();
  TPartialStream s(std::move(inner), 1000, 200000);
  s.SetProgressHook(&CountingHook, 32768);
  EXPECT_EQ(s.Chunk(), 256u);
  gHookCalls = 0;
  // Small reads, as a picture decoder makes them.
  std::string got;
  char buf[100];
  for (;;) {
    size_t n = s.Read(buf, sizeof buf);
    if (n == 0) break;
    got.append(buf, n);
  }
  EXPECT_EQ(got, data.substr(1000, 200000));
  EXPECT_LE(counter->reads, 5);  // 64 KiB windows, not one call per 256 bytes
  EXPECT_GE(gHookCalls.load(), 200000 / 256);

  // One big read still runs the hook as often as 256-byte chunks would.
  s.SetPosition(0);
  gHookCalls = 0;
  std::string big(200000, '\0');
  EXPECT_EQ(s.Read(big.data(), big.size()), big.size());
  EXPECT_EQ(big, data.substr(1000, 200000));
  EXPECT_GE(gHookCalls.load(), 200000 / 256);
}

TEST(PartialStreamTest, SeeksInsideAndOutsideTheBufferReadTheRightBytes) {
  const std::string data = SampleBytes(200000, 7);
  TPartialStream s(std::make_unique<TMemoryStream>(data), 5, 199990);
  s.SetProgressHook(&CountingHook, 256);
  for (int64_t at : {0, 70000, 69990, 10, 199980, 65536, 65535}) {
    SCOPED_TRACE(at);
    s.SetPosition(at);
    char buf[10];
    size_t n = s.Read(buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), data.substr(5 + at, n));
  }
}

TEST(PartialStreamTest, CopyIntoTheWindowStopsAtItsEnd) {
  TMemoryStream target(std::string(20, '.'));
  TPartialStream window(&target, false, 5, 10);
  window.SetProgressHook(&CountingHook, 256);
  TMemoryStream source(std::string("abcdefgh"));
  EXPECT_EQ(window.CopyFromSource(source, 0), 8);
  EXPECT_EQ(target.AsString(), ".....abcdefgh.......");
  TMemoryStream more(std::string("XYZ"));
  EXPECT_THROW(window.CopyFromSource(more, 3), EStreamWriteError);  // only 2 bytes of room
}

TEST(CryptStreamTest, CipherDependsOnlyOnThePosition) {
  const std::string key = kContainerKey;
  const std::string plain = SampleBytes(1000, 3);
  std::string cipher = plain;
  XorWithKey(reinterpret_cast<uint8_t*>(cipher.data()), cipher.size(), 0, key);
  // Byte 5 is XORed with the key's sixth character.
  EXPECT_EQ(static_cast<char>(cipher[5] ^ key[5]), plain[5]);

  TCryptStream whole(std::make_unique<TMemoryStream>(cipher), key);
  EXPECT_EQ(ReadAll(whole), plain);

  TCryptStream bytes(std::make_unique<TMemoryStream>(cipher), key);
  std::string oneByOne;
  char c;
  while (bytes.Read(&c, 1) == 1) oneByOne += c;
  EXPECT_EQ(oneByOne, plain);

  TCryptStream fromFive(std::make_unique<TMemoryStream>(cipher), key);
  fromFive.SetPosition(5);
  char buf[40];
  ASSERT_EQ(fromFive.Read(buf, 40), 40u);
  EXPECT_EQ(std::string(buf, 40), plain.substr(5, 40));

  // Writing enciphers with the same rule.
  TMemoryStream* sink = new TMemoryStream;
  TCryptStream writer(sink, true, key);
  writer.WriteBuffer(plain.data(), plain.size());
  EXPECT_EQ(sink->AsString(), cipher);
}

TEST(CryptStreamTest, EmptyKeyIsAnAssertion) {
  EXPECT_THROW(TCryptStream(std::make_unique<TMemoryStream>(), ""), EAssertionFailed);
}

TEST(InflateStreamTest, SeekRules) {
  const std::string plain = SampleBytes(50000, 9);
  TMemoryStream source(Deflated(plain) + "TAIL");
  TInflateStream z(source, 50000);
  EXPECT_EQ(z.Size(), 50000);
  char buf[100];
  ASSERT_EQ(z.Read(buf, 100), 100u);
  EXPECT_EQ(z.Seek(100, TSeekOrigin::Begin), 100);      // same position: nothing happens
  EXPECT_EQ(z.Seek(20000, TSeekOrigin::Begin), 20000);  // forwards: read and discard
  ASSERT_EQ(z.Read(buf, 100), 100u);
  EXPECT_EQ(std::string(buf, 100), plain.substr(20000, 100));
  try {
    z.Seek(10, TSeekOrigin::Begin);
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_STREQ(e.what(), "Invalid ZStream operation!");
  }
  EXPECT_EQ(z.Seek(0, TSeekOrigin::Begin), 0);  // restart
  EXPECT_EQ(ReadAll(z), plain);
  // The source is left just after the deflate data.
  EXPECT_EQ(ReadAll(source), "TAIL");
  EXPECT_THROW(z.Seek(60000, TSeekOrigin::Begin), EStreamReadError);
  EXPECT_THROW(z.Write("x", 1), EZDecompressionError);
  EXPECT_THROW(z.SetSize(1), EZDecompressionError);
}

TEST(InflateStreamTest, BadDataRaisesZlibsMessage) {
  TMemoryStream source(std::string("\xff\xff\xff\xff", 4));
  TInflateStream z(source);
  char buf[16];
  try {
    z.Read(buf, sizeof buf);
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_STRNE(e.what(), "");
  }
}

TEST(InflateStreamTest, InflateToMemoryCapsTheSize) {
  const std::string plain(1 << 20, 'z');  // a small bomb: 1 MiB from about 1 KiB
  const std::string packed = Deflated(plain);
  {
    TMemoryStream source(packed);
    auto out = InflateToMemory(source, 1 << 20);
    EXPECT_EQ(out->Size(), 1 << 20);  // exactly the cap is fine
  }
  TMemoryStream source(packed);
  EXPECT_THROW(InflateToMemory(source, (1 << 20) - 1), EInflateLimitExceeded);
  TMemoryStream cut(packed.substr(0, packed.size() / 2));
  EXPECT_THROW(InflateToMemory(cut, 1 << 22), EZDecompressionError);
}

}  // namespace
}  // namespace dax::container
