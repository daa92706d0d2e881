#include "ini/ItemArena.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

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

constexpr size_t kBlockSize = 64 * 1024;         // stays below the heap's mmap threshold
constexpr size_t kRegionSize = 2 * 1024 * 1024;  // one huge page
constexpr int64_t kClaimBatch = 64;
// Just before every item lies a pointer to its block, null for items from the heap. Heap
// items keep the heap's 16-byte alignment; items in blocks need only their own (8).
constexpr size_t kLink = sizeof(void*);
constexpr size_t kHeapPrefix = 16;
constexpr size_t kBlockAlign = 8;

}  // namespace

struct alignas(16) TIniItemArena::TBlock {
  // Items in the block, plus the filler's unused claims while it is being filled.
  std::atomic<int64_t> live;
  size_t used;
  size_t size;
  bool mapped;  // a region of its own, else from the heap
};

namespace {

using TBlock = TIniItemArena::TBlock;

void ReleaseBlock(TBlock* block, int64_t claims = 1) noexcept {
  if (block->live.fetch_sub(claims, std::memory_order_acq_rel) == claims) {
    bool mapped = block->mapped;
    size_t size = block->size;
    block->~TBlock();
    if (mapped)
      munmap(block, size);
    else
      std::free(block);
  }
}

// A region of kRegionSize bytes aligned to its size, so that the kernel can back it with
// one huge page; null when the mapping fails.
void* MapRegion() {
  void* raw =
      mmap(nullptr, 2 * kRegionSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto start = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = (start + kRegionSize - 1) & ~(uintptr_t{kRegionSize} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  uintptr_t tail = aligned + kRegionSize;
  if (start + 2 * kRegionSize > tail)
    munmap(reinterpret_cast<void*>(tail), start + 2 * kRegionSize - tail);
  void* region = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(region, kRegionSize, MADV_HUGEPAGE);  // only a hint; 4 KiB pages work as well
#endif
  return region;
}

}  // namespace

TIniItemArena::~TIniItemArena() {
  if (filling_) ReleaseBlock(filling_, claims_ + 1);
}

void* TIniItemArena::Allocate(size_t size) {
  size_t need = (size + kLink + kBlockAlign - 1) & ~(kBlockAlign - 1);
  if (!kUseBlocks || need > kBlockSize / 4) return AllocateIniItem(size);
  if (!filling_ || filling_->used + need > filling_->size) {
    TBlock* fresh = NewBlock();
    if (filling_) ReleaseBlock(filling_, claims_ + 1);
    filling_ = fresh;
    claims_ = 0;
  }
  if (claims_ == 0) {
    // Claimed ahead in batches, so that the count never falls below the items handed out.
    filling_->live.fetch_add(kClaimBatch, std::memory_order_relaxed);
    claims_ = kClaimBatch;
  }
  --claims_;
  char* p = reinterpret_cast<char*>(filling_) + filling_->used;
  filling_->used += need;
  *reinterpret_cast<TBlock**>(p) = filling_;
  return p + kLink;
}

TBlock* TIniItemArena::NewBlock() {
  void* p = nullptr;
  size_t size = kBlockSize;
  bool mapped = false;
  if (expected_ >= kRegionSize && (p = MapRegion())) {
    size = kRegionSize;
    mapped = true;
  } else {
    p = std::malloc(kBlockSize);
    if (!p) throw std::bad_alloc();
  }
  expected_ = expected_ > size ? expected_ - size : 0;
  auto* block = new (p) TBlock;
  block->live.store(1, std::memory_order_relaxed);
  block->used = sizeof(TBlock);
  block->size = size;
  block->mapped = mapped;
  return block;
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
