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
  off_t Offset;  // in the temporary file, for file regions
};

// The copies written into the file since its pages last left the process:
// framing writes each new copy through its mapping, so past this much the
// file regions' pages are dropped and resident memory stays near the budget.
constexpr size_t kFileWindow = size_t(64) << 20;

size_t Rounded(size_t bytes) { return (bytes + kGrain - 1) / kGrain * kGrain; }

std::string DefaultFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// The unlinked file past the budget: one per pool, grown by a region at a
// time, each region mapped shared at its own offset.
int OpenTemporaryFile(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = folder + "/stellon-frames-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    ::unlink(name.c_str());
  }
  return fd;
}

size_t PageSize() {
  static const size_t page = [] {
    const long p = ::sysconf(_SC_PAGESIZE);
    return p > 0 ? size_t(p) : size_t(4096);
  }();
  return page;
}

// Takes the pages of [p, p + bytes) of a file region out of the process: the
// bytes stay in the file (and in the page cache while there is room) and come
// back on the next access. Harmless to pages other threads are using: theirs
// fault in again.
void DropPages(const void* p, size_t bytes) {
  const uintptr_t page = PageSize();
  const uintptr_t b = reinterpret_cast<uintptr_t>(p) / page * page;
  const uintptr_t e = (reinterpret_cast<uintptr_t>(p) + bytes + page - 1) / page * page;
  (void)::madvise(reinterpret_cast<void*>(b), e - b, MADV_DONTNEED);
}

struct TPool {
  std::mutex Lock;
  std::vector<TRegion> Regions;
  std::unordered_map<size_t, std::vector<void*>> Free;  // by rounded size
  size_t Live = 0;
  size_t Budget = DefaultFrameBlockBudget();
  std::string Folder = DefaultFolder();
  size_t HeapBytes = 0;  // live blocks of the general allocator, counted in the budget
  int FileFd = -1;       // the temporary file, once the budget was passed
  off_t FileSize = 0;
  size_t FileWritten = 0;  // bytes handed out in file regions since the last drop

  // A new region of `size` bytes at the end of the temporary file; null when
  // the folder cannot give that room.
  void* MapFileRegion(size_t size, off_t& offset) {
    if (FileFd < 0) FileFd = OpenTemporaryFile(Folder);
    if (FileFd < 0) return nullptr;
    if (::posix_fallocate(FileFd, FileSize, off_t(size)) != 0) return nullptr;
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, FileFd, FileSize);
    if (base == MAP_FAILED) return nullptr;
    offset = FileSize;
    FileSize += off_t(size);
    return base;
  }

  void DropFilePages() {
    for (const TRegion& r : Regions)
      if (r.File) DropPages(r.Base, r.Used);
    FileWritten = 0;
  }

  const TRegion* RegionOf(const void* p) const {
    for (const TRegion& r : Regions)
      if (p >= r.Base && p < r.Base + r.Size) return &r;
    return nullptr;
  }

  size_t MemoryBytes() const {
    size_t n = HeapBytes;
    for (const TRegion& r : Regions) n += r.File ? 0 : r.Size;
    return n;
  }
  bool OverBudget(size_t more) const { return Budget != 0 && MemoryBytes() + more > Budget; }

  void* Take(size_t size, bool fileOnly) {
    void* p = TakeBlock(size, fileOnly);
    if (p && RegionOf(p) && RegionOf(p)->File) {
      FileWritten += size;
      if (FileWritten > kFileWindow) DropFilePages();
    }
    return p;
  }

  void* TakeBlock(size_t size, bool fileOnly) {
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
      size_t regionSize = size > kRegion ? size : kRegion;
      bool file = fileOnly;
      if (!file && OverBudget(regionSize)) {
        // A smaller region when what is left of the budget still holds the block.
        const size_t used = MemoryBytes();
        const size_t left = (Budget > used ? Budget - used : 0) / PageSize() * PageSize();
        if (left >= size) regionSize = left;
        else file = true;
      }
      void* base = nullptr;
      off_t offset = 0;
      if (file) {
        base = MapFileRegion(regionSize, offset);
      } else {
        base = ::mmap(nullptr, regionSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) base = nullptr;
#ifdef MADV_HUGEPAGE
        if (base) (void)::madvise(base, regionSize, MADV_HUGEPAGE);  // a hint: refused where huge pages are off
#endif
      }
      if (!base) return nullptr;
      Regions.push_back(TRegion{static_cast<char*>(base), regionSize, 0, file, offset});
      last = &Regions.back();
    }
    void* p = last->Base + last->Used;
    last->Used += size;
    return p;
  }

  bool InFileRegion(const void* p) const {
    const TRegion* r = RegionOf(p);
    return r && r->File;
  }

  // Everything handed out came back: give the regions back to the system.
  void ReleaseAll() {
    for (const TRegion& r : Regions) ::munmap(r.Base, r.Size);
    Regions.clear();
    Free.clear();
    if (FileFd >= 0) ::close(FileFd);
    FileFd = -1;
    FileSize = 0;
    FileWritten = 0;
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

bool FrameBlockInFile(const void* block) {
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  return pool.InFileRegion(block);
}

void ReadFrameBlock(const void* block, size_t offset, void* out, size_t bytes) {
  int fd = -1;
  off_t at = 0;
  {
    TPool& pool = Pool();
    std::lock_guard<std::mutex> guard(pool.Lock);
    if (const TRegion* r = pool.RegionOf(block); r && r->File) {
      fd = pool.FileFd;
      at = r->Offset + off_t(static_cast<const char*>(block) - r->Base) + off_t(offset);
    }
  }
  // The file outlives every block in it, so it stays open while this reads.
  char* to = static_cast<char*>(out);
  while (fd >= 0 && bytes > 0) {
    const ssize_t n = ::pread(fd, to, bytes, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // cannot happen to a file whose room was reserved: the mapping reads the rest
    to += n;
    at += n;
    offset += size_t(n);
    bytes -= size_t(n);
  }
  if (bytes > 0) std::memcpy(to, static_cast<const char*>(block) + offset, bytes);
}

void ReleaseFrameBlockPages(const void* block, size_t bytes) noexcept {
  if (!block || bytes == 0) return;
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  if (pool.InFileRegion(block)) DropPages(block, bytes);
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
