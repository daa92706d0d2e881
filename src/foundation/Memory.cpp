#include "foundation/Memory.h"

#include <malloc.h>

#include <mutex>

namespace dax {

namespace {
// Free memory at the top of the heap beyond this goes back to the kernel.
constexpr int kKeptBytes = 64 << 20;
// Blocks from this size get mappings of their own (the largest value the allocator takes),
// so that a decoded picture's memory is reused too.
constexpr int kOwnMappingBytes = 32 << 20;
}  // namespace

void KeepFreedMemory() {
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_TRIM_THRESHOLD, kKeptBytes);
    mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
  });
}

}  // namespace dax
