// SPDX-License-Identifier: GPL-3.0-or-later
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
//
// Long captures: past a memory budget (by default half of the physical
// memory), new regions are carved from an unlinked temporary file mapped into
// memory, so tens of thousands of frame copies fit with bounded memory. The
// pool keeps the file's pages out of the process: after every 64 MB of new
// copies the pages of the file regions are dropped (their bytes stay in the
// file and come back when touched). Readers that go through many copies read
// them with ReadFrameBlock, which takes file copies from the file without
// mapping their pages in, or let the pages of a copy go when done with it
// (ReleaseFrameBlockPages); either way resident memory stays near the budget.
// A job checks first (CheckFrameBlockRoom) that memory and the temporary
// folder together can hold its copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "base/Status.h"

void* AllocateFrameBlock(size_t bytes);
void FreeFrameBlock(void* block, size_t bytes) noexcept;

struct TFrameBlockPoolStats {
  bool Enabled = false;      // false in sanitizer builds: blocks within the budget come from the general allocator
  size_t LiveBlocks = 0;     // pooled blocks handed out and not yet freed
  size_t Regions = 0;        // regions currently mapped
  size_t MappedBytes = 0;    // their total size
  size_t FileBytes = 0;      // of which mapped from the temporary file
};
TFrameBlockPoolStats FrameBlockPoolStats();

// Whether `block` (from AllocateFrameBlock) lives in the temporary file.
bool FrameBlockInFile(const void* block);
// Copies bytes [offset, offset + bytes) of `block` into `out`: from the file
// when the block lives there, so that its pages stay out of the process;
// otherwise from memory. Thread-safe; the block must stay live meanwhile.
void ReadFrameBlock(const void* block, size_t offset, void* out, size_t bytes);
// A reader done with `bytes` bytes of `block`: when it lives in the file, its
// pages leave the process (the bytes stay). Thread-safe; other copies sharing
// a page only fault it in again.
void ReleaseFrameBlockPages(const void* block, size_t bytes) noexcept;

// Bytes of memory the frame copies may take before they continue in the
// temporary file; 0 turns the budget off (everything in memory). Applies to
// regions mapped from then on. The pool is one per process: the application
// sets it from its settings when a job that makes copies starts.
void SetFrameBlockBudget(size_t bytes);
size_t FrameBlockBudget();
size_t DefaultFrameBlockBudget();  // half of the physical memory
// Folder of the temporary file: $TMPDIR, else /tmp, unless set here.
void SetFrameBlockFolder(const std::string& folder);

// Whether `count` more blocks of `bytesEach` bytes fit in what is left of the
// budget plus the free space of the temporary folder. With the budget off
// there is no limit to check. The failure says how much is needed and where.
TStatus CheckFrameBlockRoom(uint64_t count, size_t bytesEach);

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
