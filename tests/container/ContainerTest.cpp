#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "ContainerFixture.h"
#include "container/ContainerFormat.h"
#include "container/DaxUnpack.h"
#include "container/InflateStream.h"
#include "support/TempDir.h"

namespace dax::container {
namespace {
using namespace dax::container::test;
using dax::test::TTempDir;

TEST(EntryNameTest, EncodingTable) {
  struct Case {
    std::string name, encoded;
  } cases[] = {
      {"pics\\a.jpg", "pics\\a.jpg"},
      {"a]b", "a>b"},
      {"[x]", "<x>"},
      {"tab\there", "tab#09here"},
      {std::string("nl\ncr\r\x1f", 7), "nl#0Acr#0D#1F"},
      {"#41 stays", "#41 stays"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeEntryName(c.name), c.encoded);
    EXPECT_EQ(DecodeEntryName(c.encoded), c.name);
  }
}

TEST(ContainerReaderTest, EveryMethodReadsBackAndEncodedNamesAreFound) {
  const std::string big = SampleBytes(200000, 5);
  std::vector<TTestEntry> entries = {
      {"Project.dax", "[Main]\r\nDaxVersion=5.0\r\n", TPackMethod::Stored},
      {"pics\\stored.bin", big, TPackMethod::Stored},
      {"pics\\deflated.bin", big, TPackMethod::Deflate},
      {"pics\\xor.bin", big, TPackMethod::Xor},
      {"odd]name\twith tab", "odd", TPackMethod::Xor},
      {"empty", "", TPackMethod::Deflate},
  };
  for (bool appended : {false, true}) {
    SCOPED_TRACE(appended);
    std::string prefix = appended ? std::string(
                                        "\x7f"
                                        "ELF fake executable")
                                  : std::string();
    auto unpack = OpenBytes(WriteContainer(entries, appended, prefix));
    ASSERT_TRUE(unpack->Usable()) << unpack->ErrorText();
    EXPECT_EQ(unpack->Version(), "5.0");
    EXPECT_EQ(unpack->Trailer().appended, appended);
    EXPECT_EQ(unpack->Entries().size(), entries.size());
    for (const TTestEntry& e : entries) {
      SCOPED_TRACE(e.name);
      auto s = unpack->OpenEntry(e.name);
      ASSERT_TRUE(s);
      EXPECT_EQ(s->Size(), static_cast<int64_t>(e.bytes.size()));
      EXPECT_EQ(ReadAll(*s), e.bytes);
    }
    // Names are found in any letter case.
    EXPECT_TRUE(unpack->OpenEntry("PICS\\XOR.BIN"));
    EXPECT_FALSE(unpack->OpenEntry("missing"));
    EXPECT_FALSE(unpack->OpenEntry(""));
    EXPECT_FALSE(unpack->OpenEntry(kProtectionSection));
  }
}

TEST(ContainerReaderTest, XorEntryReadFromPositionFiveUsesTheKeyFromItsSixthCharacter) {
  // Enciphered here byte by byte from the key text, not by the writer's code.
  const std::string key = "7E31C0A94B2D58F6A0C3B19E4D7285F0";
  const std::string plain = "The quick brown fox jumps over the lazy dog, twice over.";
  std::string cipher = plain;
  for (size_t i = 0; i < cipher.size(); ++i) cipher[i] ^= key[i % key.size()];
  const std::string lead = "LEAD";  // the entry does not start at the file's start
  auto unpack = OpenBytes(HandContainer(
      lead + cipher, "[x]\r\n_ps=4\r\n_sz=" + std::to_string(cipher.size()) + "\r\n_pm=2\r\n"));
  ASSERT_TRUE(unpack->Usable());
  auto whole = unpack->OpenEntry("x");
  ASSERT_TRUE(whole);
  EXPECT_EQ(ReadAll(*whole), plain);
  auto s = unpack->OpenEntry("X");
  ASSERT_TRUE(s);
  s->SetPosition(5);
  std::string bytewise;
  char c;
  while (s->Read(&c, 1) == 1) bytewise += c;
  EXPECT_EQ(bytewise, plain.substr(5));
}

TEST(ContainerReaderTest, AShowPathThatIsNoRegularFileFailsAtOnce) {
  TTempDir dir;
  const std::string fifo = dir.File("show.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir.Path()}) {
    SCOPED_TRACE(path);
    auto opened = std::async(std::launch::async, [&] {
      TDaxUnpack unpack(path);
      return unpack.Usable() ? std::string("usable") : unpack.ErrorText();
    });
    if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // Let the blocked open go, so that the test ends.
      int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      opened.wait();
      if (fd >= 0) ::close(fd);
      ADD_FAILURE() << "the open blocked";
      continue;
    }
    EXPECT_EQ(opened.get(), kErrorFileNotFound);
  }
}

TEST(ContainerReaderTest, DeflatedEntrySeeksBackwards) {
  const std::string data = SampleBytes(100000, 2);
  auto unpack = OpenBytes(WriteContainer({{"d", data, TPackMethod::Deflate}}));
  auto s = unpack->OpenEntry("d");
  ASSERT_TRUE(s);
  EXPECT_EQ(ReadAll(*s), data);
  s->SetPosition(10);
  char buf[20];
  ASSERT_EQ(s->Read(buf, 20), 20u);
  EXPECT_EQ(std::string(buf, 20), data.substr(10, 20));
}

TEST(ContainerReaderTest, TrailerAndDirectoryVariants) {
  const std::string good = WriteContainer({{"a", "AAAA"}});
  const std::string dir = "[a]\r\n_ps=0\r\n_sz=4\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    bool usable;
    std::string error;
  } cases[] = {
      {"separate file", good, true, ""},
      {"no trailer", "just some bytes of a file", false, ""},
      {"too short", ".dne", false, ""},
      {"empty", "", false, ""},
      {"appended, L larger than the file",
       "AAAA" + Deflated(dir) + Int64Bytes(4) + ".dne" + Int64Bytes(1 << 30), false,
       kErrorFileDamaged},
      {"appended, L too small", "AAAA" + Deflated(dir) + Int64Bytes(4) + ".dne" + Int64Bytes(3),
       false, kErrorFileDamaged},
      {"appended, negative L", "AAAA" + Deflated(dir) + Int64Bytes(4) + ".dne" + Int64Bytes(-5),
       false, kErrorFileDamaged},
      {"directory position past the end", HandContainer("AAAA", dir, 1 << 20), false,
       kErrorFileDamaged},
      {"negative directory position", HandContainer("AAAA", dir, -1 & 0x7fffffffffffffff), false,
       kErrorFileDamaged},
      {"directory is not deflate data",
       "AAAA" + std::string("\xff\xfe\xfd", 3) + Int64Bytes(4) + ".dne", false, kErrorFileDamaged},
      {"directory cut short", "AAAA" + Deflated(dir).substr(0, 5) + Int64Bytes(4) + ".dne", false,
       kErrorFileDamaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto unpack = OpenBytes(c.bytes);
    EXPECT_EQ(unpack->Usable(), c.usable);
    EXPECT_EQ(unpack->ErrorText(), c.error);
  }
  TDaxUnpack missing("/nonexistent/show.dxshow");
  EXPECT_FALSE(missing.Usable());
  EXPECT_EQ(missing.ErrorText(), kErrorFileNotFound);
}

TEST(ContainerReaderTest, BadEntriesOpenNothing) {
  const std::string data = "0123456789";
  const std::string dir =
      "[ok]\r\n_ps=2\r\n_sz=3\r\n"
      "[past end]\r\n_ps=8\r\n_sz=100\r\n"
      "[negative pos]\r\n_ps=-4\r\n_sz=2\r\n"
      "[negative size]\r\n_ps=0\r\n_sz=-2\r\n"
      "[huge]\r\n_ps=9223372036854775800\r\n_sz=9223372036854775800\r\n"
      "[no size]\r\n_ps=0\r\n"
      "[no pos]\r\n_sz=1\r\n"
      "[bad method]\r\n_ps=0\r\n_sz=1\r\n_pm=7\r\n"
      "[not deflate]\r\n_ps=0\r\n_sz=10\r\n_pm=1\r\n"
      "[text pos]\r\n_ps=abc\r\n_sz=1\r\n";
  auto unpack = OpenBytes(HandContainer(data, dir));
  ASSERT_TRUE(unpack->Usable());
  auto ok = unpack->OpenEntry("ok");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ReadAll(*ok), "234");
  for (const char* name : {"past end", "negative pos", "negative size", "huge", "no size", "no pos",
                           "bad method", "not deflate", "text pos"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(unpack->OpenEntry(name));
  }
}

TEST(ContainerReaderTest, DecompressionBombOpensNothing) {
  const std::string bomb(4 << 20, '\0');
  auto unpack = OpenBytes(WriteContainer({{"bomb", bomb, TPackMethod::Deflate}}));
  int64_t saved = InflatedEntryLimit();
  SetInflatedEntryLimit(1 << 20);
  EXPECT_FALSE(unpack->OpenEntry("bomb"));
  SetInflatedEntryLimit(saved);
  EXPECT_TRUE(unpack->OpenEntry("bomb"));
}

// A directory whose strucpos says where the directory was when the container was written.
std::string Protected(const std::string& data, int64_t strucPos, bool allowModify,
                      const std::string& entries) {
  std::string dir = entries + "[$protection$]\r\nstrucpos=" + std::to_string(strucPos) +
                    "\r\nallowmodify=" + (allowModify ? "1" : "0") + "\r\ndaxversion=7.1\r\n";
  return HandContainer(data, dir);
}

TEST(ContainerReaderTest, ModifiedContainers) {
  // Eight bytes were put in front of the entry after writing: its _ps is 8 short.
  const std::string data = "PREFIX!!hello";
  const std::string entries = "[e]\r\n_ps=0\r\n_sz=5\r\n";
  const int64_t dirPos = static_cast<int64_t>(data.size());
  struct Case {
    const char* what;
    int64_t strucPos;
    bool allowModify;
    std::string error;
    std::string entry;
  } cases[] = {
      {"unchanged", dirPos, false, "", "PREFI"},
      {"shifted, not allowed", dirPos - 8, false, kErrorFileModified, ""},
      {"shifted, allowed", dirPos - 8, true, "", "hello"},
      {"beyond the directory", dirPos + 1, true, kErrorFileDamaged, ""},
      // The same low 32 bits: a text compare of the low half would take this as unchanged.
      {"differs above 32 bits", dirPos + (int64_t{1} << 32), false, kErrorFileModified, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto unpack = OpenBytes(Protected(data, c.strucPos, c.allowModify, entries));
    EXPECT_EQ(unpack->ErrorText(), c.error);
    EXPECT_EQ(unpack->Usable(), c.error.empty());
    if (!unpack->Usable()) continue;
    EXPECT_EQ(unpack->Version(), "7.1");
    auto s = unpack->OpenEntry("e");
    ASSERT_TRUE(s);
    EXPECT_EQ(ReadAll(*s), c.entry);
  }
  auto notNumber = OpenBytes(
      HandContainer(data, entries + "[$protection$]\r\nstrucpos=12x\r\nallowmodify=1\r\n"));
  EXPECT_EQ(notNumber->ErrorText(), kErrorFileDamaged);
}

TEST(ContainerWriterTest, RefusesNamesTheDirectoryCannotHold) {
  TMemoryStream out;
  TContainerWriter writer(out, false);
  TMemoryStream data(std::string("x"));
  writer.AddEntry("Pics\\A.jpg", data, TPackMethod::Stored);
  // "<", ">" and "#0A" would read back as "[", "]" and a line feed.
  for (const char* name : {"pics\\a.JPG", "", " lead", "trail ", "$Protection$", "a<b", "x>",
                           "c#0Ad", "#1F", "caf\xE9.jpg"}) {
    SCOPED_TRACE(name);
    TMemoryStream d(std::string("y"));
    EXPECT_THROW(writer.AddEntry(name, d, TPackMethod::Stored), std::invalid_argument);
  }
}

}  // namespace
}  // namespace dax::container
