// UTF-8 decoding and folding on arbitrary bytes: never crash, and our own encoding reads back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/Strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string wide = dax::Utf8ToWide(bytes);
  if (dax::Utf8ToWide(dax::WideToUtf8(wide)) != wide) std::abort();
  std::string folded = dax::FoldUtf8(bytes);
  if (!dax::SameText(folded, bytes)) std::abort();
  if (dax::FoldUtf8(folded) != folded) std::abort();
  return 0;
}
