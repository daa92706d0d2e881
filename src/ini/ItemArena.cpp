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
// Just before every item lies a pointer to its block, null for items from the heap. Heap
// items keep the heap's 16-byte alignment; items in blocks need only their own (8).
constexpr size_t kLink = sizeof(void*);
constexpr size_t kHeapPrefix = 16;
constexpr size_t kBlockAlign = 8;

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
  size_t need = (size + kLink + kBlockAlign - 1) & ~(kBlockAlign - 1);
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
  return p + kLink;
}

void* AllocateIniItem(size_t size) {
  char* p = static_cast<char*>(std::malloc(size + kHeapPrefix));
  if (!p) throw std::bad_alloc();
  *reinterpret_cast<TBlock**>(p + kHeapPrefix - kLink) = nullptr;
  return p + kHeapPrefix;
}

void FreeIniItem(void* item) noexcept {
  if (!item) return;
  char* p = static_cast<char*>(item);
  TBlock* block = *reinterpret_cast<TBlock**>(p - kLink);
  if (block)
    ReleaseBlock(block);
  else
    std::free(p - kHeapPrefix);
}

}  // namespace dax::ini
