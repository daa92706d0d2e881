#include "foundation/Stream.h"

#include <gtest/gtest.h>

#include "foundation/Exceptions.h"
#include "support/TempDir.h"

namespace dax {
namespace {

TEST(Stream, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream s;
  s.WriteBuffer("hello world", 11);
  EXPECT_EQ(s.Size(), 11);
  s.SetPosition(6);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 5u);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(s.Read(buf, 8), 0u);
  s.Seek(-5, TSeekOrigin::End);
  EXPECT_THROW(s.ReadBuffer(buf, 6), EStreamReadError);
  EXPECT_THROW(s.Seek(-1, TSeekOrigin::Begin), EStreamError);
  s.SetSize(5);
  EXPECT_EQ(s.AsString(), "hello");
}

TEST(Stream, FileStreamRoundTripAndErrors) {
  test::TTempDir dir;
  std::string path = dir.File("a.bin");
  {
    TFileStream out(path, TFileMode::Create);
    out.WriteBuffer("0123456789", 10);
    out.SetSize(8);
  }
  TFileStream in(path, TFileMode::Read);
  EXPECT_EQ(in.Size(), 8);
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(in, 0), 8);
  EXPECT_EQ(copy.AsString(), "01234567");
  EXPECT_THROW(in.WriteBuffer("x", 1), EStreamWriteError);
  EXPECT_THROW(TFileStream(dir.File("missing"), TFileMode::Read), EStreamError);
  EXPECT_THROW(TFileStream(dir.Path(), TFileMode::Read), EStreamError);
  EXPECT_EQ(OpenFile(dir.File("missing"), TFileMode::Read), nullptr);
  EXPECT_NE(OpenFile(path, TFileMode::Read), nullptr);
}

}  // namespace
}  // namespace dax
