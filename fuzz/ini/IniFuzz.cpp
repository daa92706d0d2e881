// Arbitrary bytes as a document: never crash, and what we write reads back to the same text
// (also through the value-text form).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/Strings.h"
#include "ini/IniFile.h"

namespace {

uint32_t ReferenceHash(std::string_view name) {
  uint32_t h = 0;
  for (unsigned char c : dax::FoldUtf8(name)) {
    h += c;
    h -= (h << 13) | (h >> 19);
  }
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dax::ini;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  auto file = dax::MakeRef<TIniFile>();
  file->LoadFromBytes(bytes);
  std::string first = file->SaveToBytes();

  auto again = dax::MakeRef<TIniFile>();
  again->LoadFromBytes(first);
  if (again->SaveToBytes() != first) std::abort();

  auto fromValue = dax::MakeRef<TIniFile>();
  if (!fromValue->LoadFromValueText(file->SaveToValueText())) std::abort();
  if (fromValue->SaveToBytes() != first) std::abort();

  // Every name is found again, and the table hash is the documented one.
  for (int i = 0; i < file->Count(); ++i) {
    const TIniItem* item = file->Item(i);
    if (!item->HasName()) continue;
    if (item->NameHash() != ReferenceHash(item->Name())) std::abort();
    const TIniItem* found = file->FindKey(item->Name());
    if (!found || !SameIniName(found->Name(), item->Name()) || found->Index() < item->Index())
      std::abort();
  }
  // Raw bytes as value text may fail, but must never crash.
  fromValue->LoadFromValueText(bytes);
  return 0;
}
