// Containers built in memory for the tests: through the real writer, or by hand with any
// directory text, trailer and prefix a test needs.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "container/ContainerFormat.h"
#include "container/DaxUnpack.h"
#include "container/ImageCache.h"
#include "container/InflateStream.h"
#include "foundation/Stream.h"

namespace dax::container::test {

struct TTestEntry {
  std::string name;
  std::string bytes;
  TPackMethod method = TPackMethod::Stored;
};

inline std::string Int64Bytes(int64_t v) {
  std::string s(8, '\0');
  for (int i = 0; i < 8; ++i) s[i] = static_cast<char>(static_cast<uint64_t>(v) >> (8 * i));
  return s;
}

inline std::string Deflated(const std::string& text) {
  std::vector<uint8_t> d = DeflateRaw(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return std::string(d.begin(), d.end());
}

// prefix + entries through TContainerWriter.
inline std::string WriteContainer(const std::vector<TTestEntry>& entries, bool appended = false,
                                  const std::string& prefix = {}, bool allowModify = false,
                                  const std::string& version = "5.0") {
  TMemoryStream out(prefix);
  TContainerWriter writer(out, appended);
  for (const TTestEntry& e : entries) {
    TMemoryStream data(e.bytes);
    writer.AddEntry(e.name, data, e.method);
  }
  writer.Finish(allowModify, version);
  return out.AsString();
}

// data + the deflated directory text + the trailer; directoryRel is what the trailer says
// (default: the real position).
inline std::string HandContainer(const std::string& data, const std::string& directoryText,
                                 int64_t directoryRel = -1) {
  std::string out = data + Deflated(directoryText);
  out += Int64Bytes(directoryRel >= 0 ? directoryRel : static_cast<int64_t>(data.size()));
  out += ".dne";
  return out;
}

inline std::unique_ptr<TDaxUnpack> OpenBytes(const std::string& bytes) {
  return std::make_unique<TDaxUnpack>("memory",
                                      [bytes] { return std::make_unique<TMemoryStream>(bytes); });
}

inline std::string ReadAll(TStream& s) {
  std::string out;
  char buf[4096];
  for (;;) {
    size_t n = s.Read(buf, sizeof buf);
    if (n == 0) break;
    out.append(buf, n);
  }
  return out;
}

// Bytes that compress a little but not to nothing.
inline std::string SampleBytes(size_t size, uint32_t seed = 1) {
  std::string s(size, '\0');
  uint32_t x = seed;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = static_cast<char>((x >> 24) % 16 + 'a');
  }
  return s;
}

// A decoder stand-in: "IMG:" followed by text decodes to a store holding that text.
class TTextImage : public TRefObject {
 public:
  explicit TTextImage(std::string text) : text(std::move(text)) {}
  std::string text;
};

inline std::atomic<int> gDecodes{0};

inline TRef<TRefObject> DecodeTextImage(TStream& stream, const TImageDecodeRequest&) {
  std::string bytes = ReadAll(stream);
  if (bytes.rfind("IMG:", 0) != 0) return nullptr;
  ++gDecodes;
  return MakeRef<TTextImage>(bytes.substr(4));
}

}  // namespace dax::container::test
