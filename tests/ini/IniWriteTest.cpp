// Writers, byte decoding, round trips and the value-text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "LoadText.h"
#include "foundation/Exceptions.h"
#include "foundation/Stream.h"
#include "foundation/Strings.h"
#include "ini/IniFile.h"
#include "support/TempDir.h"

namespace dax::ini {
namespace {

// Section and object names, keys, comments, blank lines, non-ASCII text inside Windows-1252.
const char* const kDocumentLines[] = {
    "; show \xC3\xA9t\xC3\xA9 \xE2\x82\xAC",
    "top = 1",
    "",
    "[Main]",
    "opt_name=Caf\xC3\xA9 = \xC5\x93uvre;x",
    "path = C:\\new\\file.jpg",
    "[Slide1]",
    "object Pic:Picture",
    "  GUID={1}",
    "  object Inner",
    "  END",
    "end",
    "end",
    "[ main ]",
    "more=2",
};

std::string Join(const char* lineEnd) {
  std::string text;
  for (const char* line : kDocumentLines) text += std::string(line) + lineEnd;
  return text;
}

std::string ToUtf16Le(const std::string& utf8) {
  std::u16string wide = Utf8ToWide(utf8);
  std::string bytes = "\xFF\xFE";
  for (char16_t u : wide) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

std::string ToCp1252(const std::string& utf8) {
  std::string out;
  for (char16_t u : Utf8ToWide(utf8)) {
    if (u < 0x100) {
      out += static_cast<char>(u);
    } else if (u == 0x20AC) {
      out += '\x80';
    } else if (u == 0x153) {
      out += '\x9C';
    } else {
      ADD_FAILURE() << "not in the test's code page subset";
    }
  }
  return out;
}

TEST(IniWriteTest, WritesTheCanonicalForm) {
  auto file = Load(
      "  top =  1 \n\n[ Main ]junk\nk=v\nobject  A : T\n inner=x\n object :Only\n end\n"
      " object B\n end\nEND\n; c\n");
  EXPECT_EQ(file->SaveToBytes(),
            "\xEF\xBB\xBFtop=1\r\n\r\n[Main]\r\nk=v\r\nobject A:T\r\n  inner=x\r\n"
            "  object :Only\r\n  end\r\n  object B\r\n  end\r\nend\r\n; c\r\n");
  EXPECT_EQ(file->SaveToBytes(false).substr(0, 5), "top=1");
  // A name that holds ":" keeps it through a write and a read.
  auto colon = Load("object a::\nend\nobject b:c:\nend\n");
  EXPECT_EQ(colon->FirstObject()->Name(), "a:");
  EXPECT_EQ(colon->SaveToBytes(false), "object a::\r\nend\r\nobject b:c:\r\nend\r\n");
  auto added = MakeRef<TIniFile>();
  added->WriteString("", "r", "1");
  added->AddObject("O", "");
  added->WriteString("S", "k", "v");
  added->FindSection("s")->AddObject("P", "T");
  EXPECT_EQ(added->SaveToBytes(false),
            "r=1\r\nobject O\r\nend\r\n[S]\r\nk=v\r\nobject P:T\r\nend\r\n\r\n");
}

TEST(IniWriteTest, RoundTripsInEveryEncodingAndLineEnd) {
  const std::string expected = Load(Join("\r\n"))->SaveToBytes();
  ASSERT_NE(expected.find("[Slide1]\r\nobject Pic:Picture\r\n  GUID={1}\r\n"), std::string::npos);
  for (const char* lineEnd : {"\r\n", "\n", "\r", "\n\r"}) {
    std::string utf8 = Join(lineEnd);
    const std::pair<const char*, std::string> encodings[] = {
        {"utf-8", "\xEF\xBB\xBF" + utf8},
        {"utf-16", ToUtf16Le(utf8)},
        {"ansi", ToCp1252(utf8)},
    };
    for (const auto& [name, bytes] : encodings) {
      SCOPED_TRACE(std::string(name) + " " + (lineEnd[0] == '\r' ? "CR" : "LF") +
                   std::to_string(std::string(lineEnd).size()));
      auto file = MakeRef<TIniFile>();
      TMemoryStream stream(bytes);
      ASSERT_TRUE(file->LoadFromStream(stream));
      std::string written = file->SaveToBytes();
      EXPECT_EQ(written, expected);
      EXPECT_EQ(file->ReadString("main", "opt_name", ""), "Caf\xC3\xA9 = \xC5\x93uvre;x");
      EXPECT_EQ(file->ReadInteger("MAIN", "more", 0), 2);
      // Write -> parse -> write is stable.
      TMemoryStream again(written);
      ASSERT_TRUE(file->LoadFromStream(again));
      EXPECT_EQ(file->SaveToBytes(), written);
    }
  }
}

TEST(IniWriteTest, InvalidUtf8BecomesReplacementCharacters) {
  // F5 lead byte, a cut 3-byte sequence, a stray continuation byte.
  auto file = MakeRef<TIniFile>();
  file->LoadFromBytes(
      "\xEF\xBB\xBFk=a\xF5"
      "b\xE2\x82"
      "c\x80\r\nz=\xE2\x82");
  EXPECT_EQ(file->ReadString("", "k", ""),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD"
            "c\xEF\xBF\xBD");
  EXPECT_EQ(file->ReadString("", "z", ""), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToWide(file->ReadString("", "k", ""), TUtf8Errors::Throw).size(), 6u);
  const std::string bad = "\xEF\xBF\xBD";
  const struct {
    const char* name;
    std::string value;
    std::string read;
  } cases[] = {
      {"F6 lead", "a\xF6z", "a" + bad + "z"},
      // F7 would lead four bytes beyond U+10FFFF: each byte is replaced.
      {"F7 lead", "a\xF7\xBF\xBF\xBFz", "a" + bad + bad + bad + bad + "z"},
      {"cut 4-byte", "a\xF0\x9F\x98z", "a" + bad + "z"},
      {"cut 4-byte at the end", "a\xF0\x9F\x98", "a" + bad},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    file->LoadFromBytes("\xEF\xBB\xBFk=" + c.value);
    EXPECT_EQ(file->ReadString("", "k", ""), c.read);
  }
  // UTF-16 with an odd last byte: the byte is dropped.
  file->LoadFromBytes(std::string("\xFF\xFEk\0=\0\xE9\0!", 9));
  EXPECT_EQ(file->ReadString("", "k", ""), "\xC3\xA9");
  // A supplementary character in UTF-16 text becomes two 3-byte sequences; a look-up with
  // its usual 4-byte spelling still finds it.
  file->LoadFromBytes(
      std::string("\xFF\xFE\x3D\xD8\x00\xDE=\0"
                  "1\0",
                  10));
  EXPECT_EQ(file->ReadString("", "\xF0\x9F\x98\x80", ""), "1");
}

TEST(IniWriteTest, ValueTextKeepsBackslashesAndLineBreaks) {
  auto file = Load("[S]\npath=C:\\new\\table\\\nshort=\\n\n\nobject O\n  k=\\\\\nend\n");
  std::string value = file->SaveToValueText();
  EXPECT_EQ(value.find('\r'), std::string::npos);
  EXPECT_EQ(value.find('\n'), std::string::npos);
  EXPECT_TRUE(value.starts_with("[S]\\npath=C:\\\\new\\\\table\\\\\\nshort=\\\\n\\n\\n")) << value;
  // Stored as a value of another document and read back.
  auto outer = MakeRef<TIniFile>();
  outer->WriteString("Sound", "params", value);
  auto reread = Load(outer->SaveToBytes(false));
  auto inner = MakeRef<TIniFile>();
  ASSERT_TRUE(inner->LoadFromValueText(reread->ReadString("sound", "params", "")));
  EXPECT_EQ(inner->SaveToBytes(), file->SaveToBytes());
  EXPECT_EQ(inner->ReadString("s", "path", ""), "C:\\new\\table\\");
  EXPECT_EQ(inner->FindPath("s:o:k")->Value(), "\\\\");

  for (const char* bad : {"a=1\\", "a=\\x", "\\r"}) {
    SCOPED_TRACE(bad);
    auto broken = Load("x=1\n");
    EXPECT_FALSE(broken->LoadFromValueText(bad));
    EXPECT_EQ(broken->Count(), 0);
  }
}

// Delivers `data` but claims `claimed` bytes; refuses every write.
class TFailingStream : public TStream {
 public:
  TFailingStream(std::string data, int64_t claimed) : data_(std::move(data)), claimed_(claimed) {}
  size_t Read(void* buffer, size_t count) override {
    size_t n = std::min(count, data_.size() - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    if (origin == TSeekOrigin::Current && offset == 0) return static_cast<int64_t>(position_);
    throw EStreamError("no seeking");
  }
  int64_t Size() override { return claimed_; }
  size_t Write(const void*, size_t) override { throw EStreamWriteError("disk full"); }

 private:
  std::string data_;
  size_t position_ = 0;
  int64_t claimed_;
};

TEST(IniWriteTest, StreamFailuresLeaveAnEmptyDocument) {
  auto file = Load("a=1\n");
  TFailingStream shortStream("b=2\n", 10);
  EXPECT_FALSE(file->LoadFromStream(shortStream));
  EXPECT_EQ(file->Count(), 0);
  file->LoadFromText("a=1\n");
  TFailingStream huge("", TIniFile::kMaxStreamSize);
  EXPECT_FALSE(file->LoadFromStream(huge));
  EXPECT_EQ(file->Count(), 0);
  file->LoadFromText("a=1\n");
  TFailingStream full("", 0);
  EXPECT_FALSE(file->SaveToStream(full));
  EXPECT_FALSE(file->LoadFromFile("/nonexistent/dir/show.ini"));
}

TEST(IniWriteTest, SavesAndLoadsFiles) {
  test::TTempDir dir;
  std::string path = dir.File("doc.ini");
  test::WriteFileBytes(path, std::string(1000, 'x'));
  auto file = Load("[A]\nk=\xC3\xA9\n");
  ASSERT_TRUE(file->SaveToFile(path));
  EXPECT_EQ(test::ReadFileBytes(path), "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n");
  auto loaded = MakeRef<TIniFile>();
  ASSERT_TRUE(loaded->LoadFromFile(path));
  EXPECT_EQ(loaded->ReadString("a", "k", ""), "\xC3\xA9");
  // A document larger than one stream buffer.
  std::string big;
  for (int i = 0; i < 5000; ++i)
    big += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
  loaded->LoadFromText(big);
  ASSERT_TRUE(loaded->SaveToFile(path));
  auto reread = MakeRef<TIniFile>();
  ASSERT_TRUE(reread->LoadFromFile(path));
  EXPECT_EQ(reread->ReadString("", "KEY4999", ""), "value 4999");
  EXPECT_EQ(reread->Count(), 5000);
}

}  // namespace
}  // namespace dax::ini
