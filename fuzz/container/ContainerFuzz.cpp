// The container reader on arbitrary input, in three modes chosen by the first byte:
//   0: the input is the container file itself (trailer, directory, entry windows);
//   1: the input describes entries (names, methods, bytes) and a show document, written with
//      the real writer: every entry must read back as written, moved containers included;
//   2: the input is entry data and a directory text, deflated here, so that any directory
//      reaches the entry code.
// On top: the three methods, the show's name map and orientations. Nothing may crash, hang
// or leak.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "container/ContainerFormat.h"
#include "container/DaxUnpack.h"
#include "container/FileAccessor.h"
#include "container/InflateStream.h"
#include "container/MappedFileSource.h"
#include "ini/IniFile.h"

namespace {
using namespace dax;
using namespace dax::container;

class TInput {
 public:
  TInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  size_t Length16() { return Byte() | (size_t{Byte()} << 8); }
  std::string Bytes(size_t n) {
    n = std::min(n, size_ - std::min(pos_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }
  std::string Rest() { return Bytes(size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string ReadAll(TStream& s) {
  std::string out;
  char buf[4096];
  for (;;) {
    size_t n = s.Read(buf, sizeof buf);
    if (n == 0) break;
    out.append(buf, n);
  }
  return out;
}

void Drain(TStream& s) {
  if (static_cast<int64_t>(ReadAll(s).size()) != s.Size()) std::abort();
  // Every entry stream can go back to its start and read again.
  s.SetPosition(0);
  char buf[64];
  s.Read(buf, sizeof buf);
}

std::string Int64Bytes(int64_t v) {
  std::string s(8, '\0');
  for (int i = 0; i < 8; ++i) s[i] = static_cast<char>(static_cast<uint64_t>(v) >> (8 * i));
  return s;
}

struct TWritten {
  std::string name, bytes;
};

// Mode 1: entries through the writer. expectReadable: the reader must open the result and
// give back every entry as written.
std::string WriteEntries(TInput& in, std::vector<TWritten>& written, bool& expectReadable) {
  uint8_t flags = in.Byte();
  bool appended = flags & 1, allowModify = flags & 2, moved = flags & 4;
  TMemoryStream out(std::string(appended ? "\x7f"
                                           "ELF player"
                                         : ""));
  TContainerWriter writer(out, appended);
  auto add = [&](const std::string& name, const std::string& bytes, uint8_t method) {
    TMemoryStream data(bytes);
    try {
      writer.AddEntry(name, data, static_cast<TPackMethod>(method % 3));
      written.push_back({name, bytes});
    } catch (const std::invalid_argument&) {
    }
  };
  add(kDocumentEntry, in.Bytes(in.Length16()), flags >> 4);
  for (int i = 0; i < 64 && !in.Empty(); ++i) {
    std::string name = in.Bytes(in.Byte());
    uint8_t method = in.Byte();
    add(name, in.Bytes(in.Length16()), method);
  }
  writer.Finish(allowModify, "fuzz");
  std::string bytes = out.AsString();
  // Bytes put in front of an appended show move it; only allowmodify lets it open then.
  if (moved) bytes.insert(0, "MOVED!!!");
  expectReadable = !moved || (appended && allowModify);
  return bytes;
}

// Mode 2: entry data and a directory text of the input's choosing.
std::string HandContainer(TInput& in) {
  std::string data = in.Bytes(in.Length16());
  std::string directory = in.Rest();
  std::vector<uint8_t> packed =
      DeflateRaw(reinterpret_cast<const uint8_t*>(directory.data()), directory.size());
  return data + std::string(packed.begin(), packed.end()) +
         Int64Bytes(static_cast<int64_t>(data.size())) + ".dne";
}

void ReadShow(const std::shared_ptr<TDaxUnpack>& unpack) {
  for (const TEntryInfo& entry : unpack->Entries()) {
    if (auto s = unpack->OpenEntry(entry.name)) Drain(*s);
  }
  auto source = MakeRef<TPackedFileSource>(unpack);
  auto accessor = MakeRef<TFileAccessor>(source);
  auto doc = accessor->OpenStream(kDocumentEntry);
  if (!doc) return;
  std::string bytes = ReadAll(*doc);
  auto document = MakeRef<ini::TIniFile>();
  document->LoadFromBytes(bytes);
  source->LoadMaps(*document, bytes);
  for (const std::string& line : FileMapLines(bytes)) {
    std::optional<std::pair<std::string, std::string>> pair = SplitFileMapLine(line);
    if (!pair) continue;
    if (auto s = accessor->OpenStream(pair->first)) Drain(*s);
    accessor->Orientation(pair->first);
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kLimited = [] {
    SetInflatedEntryLimit(8 << 20);
    return true;
  }();
  (void)kLimited;
  TInput in(data, size);
  const uint8_t mode = in.Byte() % 3;
  std::vector<TWritten> written;
  bool expectReadable = false;
  auto bytes = std::make_shared<std::string>(mode == 1   ? WriteEntries(in, written, expectReadable)
                                             : mode == 2 ? HandContainer(in)
                                                         : in.Rest());
  auto unpack = std::make_shared<TDaxUnpack>(
      "fuzz", [bytes] { return std::make_unique<TMemoryStream>(*bytes); });
  if (!unpack->Usable()) {
    if (expectReadable) std::abort();
    if (unpack->ErrorText().empty() && unpack->Directory()) std::abort();
    return 0;
  }
  if (expectReadable) {
    // What the writer wrote is what the reader reads.
    if (unpack->Entries().size() != written.size()) std::abort();
    for (const TWritten& w : written) {
      std::unique_ptr<TStream> s = unpack->OpenEntry(w.name);
      if (!s || ReadAll(*s) != w.bytes) std::abort();
    }
  }
  ReadShow(unpack);
  return 0;
}
