#include "container/ContainerFormat.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "container/CryptStream.h"
#include "container/InflateStream.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"
#include "ini/IniFile.h"

namespace dax::container {
namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kCopyStep = 256 * 1024;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int64_t ReadInt64At(TStream& s, int64_t position) {
  uint8_t b[8];
  s.Seek(position, TSeekOrigin::Begin);
  s.ReadBuffer(b, 8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return static_cast<int64_t>(v);
}

bool MagicAt(TStream& s, int64_t position) {
  char b[4];
  s.Seek(position, TSeekOrigin::Begin);
  s.ReadBuffer(b, 4);
  return std::memcmp(b, kTrailerMagic, 4) == 0;
}

void WriteInt64(TStream& s, int64_t value) {
  uint8_t b[8];
  auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  s.WriteBuffer(b, 8);
}

int64_t DeflateCopy(TStream& out, TStream& data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw EZDecompressionError("deflateInit2 failed");
  std::vector<uint8_t> in(kCopyStep), buf(kCopyStep);
  int64_t written = 0;
  try {
    bool atEnd = false;
    while (!atEnd) {
      size_t n = data.Read(in.data(), in.size());
      atEnd = n == 0;
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(n);
      int flush = atEnd ? Z_FINISH : Z_NO_FLUSH;
      do {
        z.next_out = buf.data();
        z.avail_out = static_cast<uInt>(buf.size());
        int rc = deflate(&z, flush);
        if (rc == Z_STREAM_ERROR) throw EZDecompressionError("deflate failed");
        size_t have = buf.size() - z.avail_out;
        out.WriteBuffer(buf.data(), have);
        written += static_cast<int64_t>(have);
      } while (z.avail_out == 0);
    }
  } catch (...) {
    deflateEnd(&z);
    throw;
  }
  deflateEnd(&z);
  return written;
}

int64_t PlainCopy(TStream& out, TStream& data, bool encipher, int64_t startPos) {
  std::vector<uint8_t> buf(kCopyStep);
  int64_t written = 0;
  for (;;) {
    size_t n = data.Read(buf.data(), buf.size());
    if (n == 0) break;
    // The cipher depends on the byte's position inside the entry.
    if (encipher) XorWithKey(buf.data(), n, startPos + written, kContainerKey);
    out.WriteBuffer(buf.data(), n);
    written += static_cast<int64_t>(n);
  }
  return written;
}
}  // namespace

const char* PackMethodName(TPackMethod method) {
  switch (method) {
    case TPackMethod::Stored:
      return "stored";
    case TPackMethod::Deflate:
      return "deflate";
    case TPackMethod::Xor:
      return "xor";
  }
  return "unknown";
}

std::optional<TPackMethod> ParsePackMethod(std::string_view name) {
  if (name == "stored") return TPackMethod::Stored;
  if (name == "deflate") return TPackMethod::Deflate;
  if (name == "xor") return TPackMethod::Xor;
  return std::nullopt;
}

std::string EncodeEntryName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (c == '[') {
      out += '<';
    } else if (c == ']') {
      out += '>';
    } else if (u < 32) {
      out += '#';
      out += kHexDigits[u >> 4];
      out += kHexDigits[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string DecodeEntryName(std::string_view sectionName) {
  std::string out;
  out.reserve(sectionName.size());
  for (size_t i = 0; i < sectionName.size(); ++i) {
    char c = sectionName[i];
    if (c == '<') {
      out += '[';
    } else if (c == '>') {
      out += ']';
    } else if (c == '#' && i + 2 < sectionName.size() && HexValue(sectionName[i + 1]) >= 0 &&
               HexValue(sectionName[i + 2]) >= 0 &&
               HexValue(sectionName[i + 1]) * 16 + HexValue(sectionName[i + 2]) < 32) {
      out += static_cast<char>(HexValue(sectionName[i + 1]) * 16 + HexValue(sectionName[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

TTrailerStatus ReadTrailer(TStream& file, TContainerTrailer& t) {
  int64_t size = file.Size();
  if (size < 12) return TTrailerStatus::NotContainer;
  if (MagicAt(file, size - 4)) {
    t.appended = false;
    t.end = size;
    t.base = 0;
  } else if (size >= 20 && MagicAt(file, size - 12)) {
    t.appended = true;
    t.end = size - 8;
    int64_t length = ReadInt64At(file, size - 8);
    if (length < 12 || length > t.end) return TTrailerStatus::Damaged;
    t.base = t.end - length;
  } else {
    return TTrailerStatus::NotContainer;
  }
  int64_t relative = ReadInt64At(file, t.end - 12);
  if (relative < 0 || relative > t.end - 12 - t.base) return TTrailerStatus::Damaged;
  t.directoryPos = t.base + relative;
  return TTrailerStatus::Ok;
}

TContainerWriter::TContainerWriter(TStream& out, bool appended) : out_(out), appended_(appended) {
  out_.Seek(0, TSeekOrigin::End);
}

std::string TContainerWriter::NameProblem(const std::string& name) {
  if (name.empty()) return "empty entry name";
  std::string encoded = EncodeEntryName(name);
  // The directory's header lines lose blanks at either end of a name.
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  if (blank(encoded.front()) || blank(encoded.back()))
    return "entry name begins or ends with a blank: \"" + name + "\"";
  if (SameText(encoded, kProtectionSection)) return "reserved entry name: \"" + name + "\"";
  // The directory is read as UTF-8: other bytes would come back as U+FFFD.
  if (ini::SanitizeUtf8(encoded) != encoded)
    return "entry name is not UTF-8 text: \"" + name + "\"";
  // "<", ">" and "#0A"-like text read back as other characters: such an entry would list and
  // extract under a name that is not its own.
  if (DecodeEntryName(encoded) != name)
    return "entry name does not survive the directory's encoding: \"" + name + "\"";
  return {};
}

void TContainerWriter::AddEntry(const std::string& name, TStream& data, TPackMethod method) {
  if (finished_) throw std::logic_error("container already finished");
  if (std::string problem = NameProblem(name); !problem.empty())
    throw std::invalid_argument(problem);
  // Sections of the same name merge in the directory, so names must differ in more than case.
  if (!folded_.insert(FoldUtf8(EncodeEntryName(name))).second)
    throw std::invalid_argument("duplicate entry name: \"" + name + "\"");
  TEntry entry{name, out_.Position(), 0, method};
  switch (method) {
    case TPackMethod::Stored:
      entry.size = PlainCopy(out_, data, false, 0);
      break;
    case TPackMethod::Xor:
      entry.size = PlainCopy(out_, data, true, 0);
      break;
    case TPackMethod::Deflate:
      entry.size = DeflateCopy(out_, data, deflateLevel_);
      break;
  }
  entries_.push_back(std::move(entry));
}

void TContainerWriter::Finish(bool allowModify, const std::string& version) {
  if (finished_) throw std::logic_error("container already finished");
  finished_ = true;
  std::string text = "\xEF\xBB\xBF";
  for (const TEntry& e : entries_) {
    text += "[" + EncodeEntryName(e.name) + "]\r\n";
    text += std::string(kKeyPosition) + "=" + FormatInt(e.position) + "\r\n";
    text += std::string(kKeySize) + "=" + FormatInt(e.size) + "\r\n";
    text += std::string(kKeyMethod) + "=" + FormatInt(static_cast<int>(e.method)) + "\r\n\r\n";
  }
  int64_t directoryPos = out_.Position();
  text += std::string("[") + kProtectionSection + "]\r\n";
  text += std::string(kKeyStrucPos) + "=" + FormatInt(directoryPos) + "\r\n";
  text += std::string(kKeyAllowModify) + "=" + (allowModify ? "1" : "0") + "\r\n";
  text += std::string(kKeyDaxVersion) + "=" + version + "\r\n";
  std::vector<uint8_t> packed =
      DeflateRaw(reinterpret_cast<const uint8_t*>(text.data()), text.size(), Z_BEST_COMPRESSION);
  out_.WriteBuffer(packed.data(), packed.size());
  // Base 0: the stored directory position is absolute.
  WriteInt64(out_, directoryPos);
  out_.WriteBuffer(kTrailerMagic, 4);
  if (appended_) WriteInt64(out_, out_.Position());
}

}  // namespace dax::container
