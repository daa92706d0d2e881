// The container reader on arbitrary files: trailer, directory, entry windows, the three
// methods, and the show's name map on top. Nothing may crash, hang or leak.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "container/DaxUnpack.h"
#include "container/FileAccessor.h"
#include "container/InflateStream.h"
#include "container/MappedFileSource.h"
#include "ini/IniFile.h"

namespace {
using namespace dax;
using namespace dax::container;

void Drain(TStream& s) {
  char buf[4096];
  int64_t total = 0;
  for (;;) {
    size_t n = s.Read(buf, sizeof buf);
    if (n == 0) break;
    total += static_cast<int64_t>(n);
  }
  if (total != s.Size()) std::abort();
  // Every entry stream can go back to its start and read again.
  s.SetPosition(0);
  s.Read(buf, sizeof buf);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kLimited = [] {
    SetInflatedEntryLimit(8 << 20);
    return true;
  }();
  (void)kLimited;
  auto bytes = std::make_shared<std::string>(reinterpret_cast<const char*>(data), size);
  auto unpack = std::make_shared<TDaxUnpack>(
      "fuzz", [bytes] { return std::make_unique<TMemoryStream>(*bytes); });
  if (!unpack->Usable()) {
    if (unpack->ErrorText().empty() && unpack->Directory()) std::abort();
    return 0;
  }
  for (const TEntryInfo& entry : unpack->Entries()) {
    if (auto s = unpack->OpenEntry(entry.name)) Drain(*s);
  }
  auto source = MakeRef<TPackedFileSource>(unpack);
  auto accessor = MakeRef<TFileAccessor>(source);
  if (auto doc = accessor->OpenStream(kDocumentEntry)) {
    auto document = MakeRef<ini::TIniFile>();
    if (document->LoadFromStream(*doc)) {
      source->LoadMaps(*document);
      if (const ini::TIniSection* map = document->FindSection(kFileMapSection)) {
        for (int i = 0; i < map->Count() && i < 64; ++i) {
          const ini::TIniItem* item = map->Item(i);
          if (auto s = accessor->OpenStream(item->HasName() ? item->Name() : item->Value()))
            Drain(*s);
        }
      }
    }
  }
  return 0;
}
