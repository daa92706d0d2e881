// Storage for document items. The parser cuts its items from blocks instead of making one
// heap allocation each; a block goes back to the system when its last item is freed, from
// whatever thread. Items made elsewhere come from the heap one by one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dax::ini {

// Used by TIniItem's operator new and delete.
void* AllocateIniItem(size_t size);
void FreeIniItem(void* p) noexcept;

// Hands out item storage from blocks; owned by one parse on one thread.
class TIniItemArena {
 public:
  TIniItemArena() = default;
  ~TIniItemArena();
  TIniItemArena(const TIniItemArena&) = delete;
  TIniItemArena& operator=(const TIniItemArena&) = delete;

  // How many bytes of items the parse expects to make. Large documents then take their
  // storage in 2 MiB regions backed by huge pages where the system offers them: one page
  // fault per region instead of one per 4 KiB. The rest comes in 64 KiB heap blocks.
  void Expect(size_t bytes) { expected_ = bytes; }

  // Storage for an item of `size` bytes, to be released by FreeIniItem.
  void* Allocate(size_t size);

  struct TBlock;  // a block's header; defined where blocks are made

 private:
  TBlock* NewBlock();

  TBlock* filling_ = nullptr;
  int64_t claims_ = 0;  // counted in filling_'s live count, not yet handed out
  size_t expected_ = 0;
};

}  // namespace dax::ini
