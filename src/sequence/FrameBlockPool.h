// Memory for the records' frame pixel copies.
//
// Framing a long video keeps one block of some hundred kilobytes per image.
// Taken one by one from the general allocator, each block is a fresh small
// mapping whose pages are faulted in 4 KB at a time, which costs more than
// finding the object. Blocks are therefore carved from large regions that ask
// the system for huge pages. A freed block is reused for the next block of the
// same size; when no block is live any more (the sequence closed, every frame
// suppressed) the regions go back to the system, so memory follows the open
// sequence. Small requests, and every request in sanitizer builds (so that
// overruns are still caught), use the general allocator. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

void* AllocateFrameBlock(size_t bytes);
void FreeFrameBlock(void* block, size_t bytes) noexcept;

struct TFrameBlockPoolStats {
  bool Enabled = false;      // false in sanitizer builds: every block comes from the general allocator
  size_t LiveBlocks = 0;     // pooled blocks handed out and not yet freed
  size_t Regions = 0;        // regions currently mapped
  size_t MappedBytes = 0;    // their total size
};
TFrameBlockPoolStats FrameBlockPoolStats();

template <class T>
struct TFrameBlockAllocator {
  using value_type = T;
  TFrameBlockAllocator() = default;
  template <class U>
  TFrameBlockAllocator(const TFrameBlockAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n > size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateFrameBlock(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreeFrameBlock(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const TFrameBlockAllocator<U>&) const noexcept { return true; }
};

// The byte block of one frame copy.
using TFramePixels = std::vector<uint8_t, TFrameBlockAllocator<uint8_t>>;
