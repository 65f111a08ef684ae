#include "sequence/FrameBlockPool.h"

#include <sys/mman.h>

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
};

struct TPool {
  std::mutex Lock;
  std::vector<TRegion> Regions;
  std::unordered_map<size_t, std::vector<void*>> Free;  // by rounded size
  size_t Live = 0;

  void* Take(size_t size) {
    auto it = Free.find(size);
    if (it != Free.end() && !it->second.empty()) {
      void* p = it->second.back();
      it->second.pop_back();
      return p;
    }
    if (Regions.empty() || Regions.back().Size - Regions.back().Used < size) {
      const size_t regionSize = size > kRegion ? size : kRegion;
      void* base = ::mmap(nullptr, regionSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (base == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
      (void)::madvise(base, regionSize, MADV_HUGEPAGE);  // a hint: refused where huge pages are off
#endif
      Regions.push_back(TRegion{static_cast<char*>(base), regionSize, 0});
    }
    TRegion& r = Regions.back();
    void* p = r.Base + r.Used;
    r.Used += size;
    return p;
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

size_t Rounded(size_t bytes) { return (bytes + kGrain - 1) / kGrain * kGrain; }

}  // namespace

void* AllocateFrameBlock(size_t bytes) {
  if (!kPoolEnabled || bytes < kSmallest) return ::operator new(bytes);
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
  void* p = pool.Take(Rounded(bytes));
  if (!p) throw std::bad_alloc();
  ++pool.Live;
  return p;
}

void FreeFrameBlock(void* block, size_t bytes) noexcept {
  if (!block) return;
  if (!kPoolEnabled || bytes < kSmallest) {
    ::operator delete(block);
    return;
  }
  TPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.Lock);
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
  for (const TRegion& r : pool.Regions) s.MappedBytes += r.Size;
  return s;
}
