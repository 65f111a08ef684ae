// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/FrameBlockPool.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolEnabled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolEnabled = false;
#else
constexpr bool kPoolEnabled = true;
#endif
#else
constexpr bool kPoolEnabled = true;
#endif

constexpr size_t kSmallest = size_t(64) << 10;  // smaller blocks: general allocator
constexpr size_t kRegion = size_t(64) << 20;    // usual region size
constexpr size_t kGrain = 64;                   // block sizes and alignment

struct TRegion {
  char* Base;
  size_t Size;
  size_t Used;
  bool File;
};

size_t Rounded(size_t bytes) { return (bytes + kGrain - 1) / kGrain * kGrain; }

std::string DefaultFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// An unlinked file of `size` bytes in `folder`, its blocks reserved on the
// disk, mapped shared; null when the folder cannot give that room.
void* MapTemporaryFile(const std::string& folder, size_t size) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = folder + "/stellon-frames-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    ::unlink(name.c_str());
  }
  void* base = MAP_FAILED;
  if (::posix_fallocate(fd, 0, off_t(size)) == 0)
    base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  return base == MAP_FAILED ? nullptr : base;
}

struct TPool {
  std::mutex Lock;
  std::vector<TRegion> Regions;
  std::unordered_map<size_t, std::vector<void*>> Free;  // by rounded size
  size_t Live = 0;
  size_t Budget = DefaultFrameBlockBudget();
  std::string Folder = DefaultFolder();
  size_t HeapBytes = 0;  // live blocks of the general allocator, counted in the budget

  size_t MemoryBytes() const {
    size_t n = HeapBytes;
    for (const TRegion& r : Regions) n += r.File ? 0 : r.Size;
    return n;
  }
  bool OverBudget(size_t more) const { return Budget != 0 && MemoryBytes() + more > Budget; }

  void* Take(size_t size, bool fileOnly) {
    auto it = Free.find(size);
    if (it != Free.end() && !it->second.empty()) {
      void* p = it->second.back();
      it->second.pop_back();
      return p;
    }
    TRegion* last = nullptr;
    for (auto r = Regions.rbegin(); r != Regions.rend(); ++r)
      if (!fileOnly || r->File) {
        last = &*r;
        break;
      }
    if (!last || last->Size - last->Used < size) {
      const size_t regionSize = size > kRegion ? size : kRegion;
      const bool file = fileOnly || OverBudget(regionSize);
      void* base = nullptr;
      if (file) {
        base = MapTemporaryFile(Folder, regionSize);
      } else {
        base = ::mmap(nullptr, regionSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) base = nullptr;
#ifdef MADV_HUGEPAGE
        if (base) (void)::madvise(base, regionSize, MADV_HUGEPAGE);  // a hint: refused where huge pages are off
#endif
      }
      if (!base) return nullptr;
      // A full file region leaves the process's memory: its pages stay in the
      // file (the page cache writes them back) and come back when read.
      if (file && last && last->File) (void)::madvise(last->Base, last->Size, MADV_DONTNEED);
      Regions.push_back(TRegion{static_cast<char*>(base), regionSize, 0, file});
      last = &Regions.back();
    }
    void* p = last->Base + last->Used;
    last->Used += size;
    return p;
  }

  bool InFileRegion(const void* p) const {
    for (const TRegion& r : Regions)
      if (r.File && p >= r.Base && p < r.Base + r.Size) return true;
    return false;
  }

  // Everything handed out came back: give the regions back to the system.
  void ReleaseAll() {
    for (const TRegion& r : Regions) ::munmap(r.Base, r.Size);
    Regions.clear();
    Free.clear();
  }
};

TPool& Pool() {
  static TPool* pool = new TPool;  // never destroyed: blocks may be freed during exit
  return *pool;
}

// Blocks the pool's regions do not serve (small ones, and all of them in
// sanitizer builds, so that overruns are caught) come from the general
// allocator while the budget holds, and from the file past it.
bool FromHeap(size_t bytes) { return bytes < kSmallest || !kPoolEnabled; }

}  // namespace

void* AllocateFrameBlock(size_t bytes) {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  const bool heap = FromHeap(bytes);
  if (heap && !pool.OverBudget(bytes)) {
    void* p = ::operator new(bytes);
    pool.HeapBytes += bytes;
    return p;
  }
  void* p = pool.Take(Rounded(bytes), heap);
  if (!p) throw std::bad_alloc();
  ++pool.Live;
  return p;
}

void FreeFrameBlock(void* block, size_t bytes) noexcept {
  if (!block) return;
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  if (FromHeap(bytes) && !pool.InFileRegion(block)) {
    pool.HeapBytes -= bytes;
    ::operator delete(block);
    return;
  }
  --pool.Live;
  if (pool.Live == 0) {
    pool.ReleaseAll();
    return;
  }
  try {
    pool.Free[Rounded(bytes)].push_back(block);
  } catch (...) {
    // No room to remember it: the block stays unused until the regions go.
  }
}

TFrameBlockPoolStats FrameBlockPoolStats() {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  TFrameBlockPoolStats s;
  s.Enabled = kPoolEnabled;
  s.LiveBlocks = pool.Live;
  s.Regions = pool.Regions.size();
  for (const TRegion& r : pool.Regions) {
    s.MappedBytes += r.Size;
    if (r.File) s.FileBytes += r.Size;
  }
  return s;
}

size_t DefaultFrameBlockBudget() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return size_t(1) << 30;
  return size_t(pages) / 2 * size_t(pageSize);
}

void SetFrameBlockBudget(size_t bytes) {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  pool.Budget = bytes;
}

size_t FrameBlockBudget() {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  return pool.Budget;
}

void SetFrameBlockFolder(const std::string& folder) {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  pool.Folder = folder.empty() ? DefaultFolder() : folder;
}

TStatus CheckFrameBlockRoom(uint64_t count, size_t bytesEach) {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  if (pool.Budget == 0 || count == 0) return TStatus::Ok();
  const uint64_t each = Rounded(bytesEach);
  if (count > UINT64_MAX / each) return TStatus::Fail("too many frame copies to keep");
  const uint64_t need = count * each;
  // Room already mapped: the rest of the budget and what is left in the regions.
  uint64_t room = pool.Budget > pool.MemoryBytes() ? pool.Budget - pool.MemoryBytes() : 0;
  for (const TRegion& r : pool.Regions) room += (r.Size - r.Used) / each * each;
  if (need <= room) return TStatus::Ok();
  struct statvfs fs {};
  uint64_t disk = 0;
  if (::statvfs(pool.Folder.c_str(), &fs) == 0) disk = uint64_t(fs.f_bavail) * fs.f_frsize;
  // Each file region is whole: allow one region of slack.
  if (need - room + kRegion <= disk) return TStatus::Ok();
  auto mb = [](uint64_t b) { return std::to_string((b + (1 << 20) - 1) >> 20) + " MB"; };
  return TStatus::Fail("Not enough room for the frame copies: " + std::to_string(count) + " frames of " +
                       std::to_string(bytesEach) + " bytes need " + mb(need) + "; the memory budget leaves " + mb(room) +
                       " and the temporary folder " + pool.Folder + " has " + mb(disk) + " free.");
}
