// Storage for document items. The parser cuts its items from 64 KiB blocks instead of
// making one heap allocation each; a block goes back to the heap when its last item is
// freed, from whatever thread. Items made elsewhere come from the heap one by one.
#pragma once

#include <cstddef>

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

  // Storage for an item of `size` bytes, to be released by FreeIniItem.
  void* Allocate(size_t size);

  struct TBlock;  // a block's header; defined where blocks are made

 private:
  TBlock* filling_ = nullptr;
};

}  // namespace dax::ini
