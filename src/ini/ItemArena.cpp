#include "ini/ItemArena.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace dax::ini {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUseBlocks = false;  // the sanitizer should see every item on its own
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUseBlocks = false;
#else
constexpr bool kUseBlocks = true;
#endif
#else
constexpr bool kUseBlocks = true;
#endif

constexpr size_t kBlockSize = 64 * 1024;  // stays below the heap's mmap threshold
constexpr size_t kPrefix = 16;            // the owning block, keeping 16-byte alignment

}  // namespace

struct alignas(16) TIniItemArena::TBlock {
  std::atomic<int64_t> live;  // items in the block, plus one while it is being filled
  size_t used;
};

namespace {

using TBlock = TIniItemArena::TBlock;

void ReleaseBlock(TBlock* block) noexcept {
  if (block->live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block->~TBlock();
    std::free(block);
  }
}

}  // namespace

TIniItemArena::~TIniItemArena() {
  if (filling_) ReleaseBlock(filling_);
}

void* TIniItemArena::Allocate(size_t size) {
  size_t need = (size + kPrefix + 15) & ~size_t{15};
  if (!kUseBlocks || need > kBlockSize / 4) return AllocateIniItem(size);
  if (!filling_ || filling_->used + need > kBlockSize) {
    void* p = std::malloc(kBlockSize);
    if (!p) throw std::bad_alloc();
    auto* fresh = new (p) TBlock;
    fresh->live.store(1, std::memory_order_relaxed);
    fresh->used = sizeof(TBlock);
    if (filling_) ReleaseBlock(filling_);
    filling_ = fresh;
  }
  char* p = reinterpret_cast<char*>(filling_) + filling_->used;
  filling_->used += need;
  filling_->live.fetch_add(1, std::memory_order_relaxed);
  *reinterpret_cast<TBlock**>(p) = filling_;
  return p + kPrefix;
}

void* AllocateIniItem(size_t size) {
  char* p = static_cast<char*>(std::malloc(size + kPrefix));
  if (!p) throw std::bad_alloc();
  *reinterpret_cast<TBlock**>(p) = nullptr;
  return p + kPrefix;
}

void FreeIniItem(void* item) noexcept {
  if (!item) return;
  char* p = static_cast<char*>(item) - kPrefix;
  TBlock* block = *reinterpret_cast<TBlock**>(p);
  if (block)
    ReleaseBlock(block);
  else
    std::free(p);
}

}  // namespace dax::ini
