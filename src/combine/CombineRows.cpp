#include "combine/CombineRows.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace combine_detail {

int ChooseParts(int requested, int width, long long bytesPerRow) {
  if (width < 1) return 1;
  if (requested > 0) return std::min({requested, width, 64});
  // Below this a row is done in microseconds and waking a helper costs more
  // than it saves.
  constexpr long long kMinBytesPerRow = 64 * 1024;
  if (bytesPerRow < kMinBytesPerRow) return 1;
  const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
  return std::max(1, std::min({cores, width / 16, 16}));
}

void PartRange(int p, int parts, int width, int& begin, int& end) {
  begin = int((long long)width * p / parts);
  end = int((long long)width * (p + 1) / parts);
}

namespace {

// Helpers that compute their share of one row at a time. The caller publishes
// the row, bumps `Generation_` and computes part 0 itself; each helper computes
// its part and counts `Pending_` down; the caller waits for zero.
class TRowHelpers {
 public:
  TRowHelpers(int parts, int width, const std::function<void(int, int, int, int)>& work)
      : Parts_(parts), Width_(width), Work_(work) {
    for (int p = 1; p < parts; ++p) {
      try {
        Threads_.emplace_back([this, p] { Loop(p); });
      } catch (const std::system_error&) {
        break;  // no more threads: the caller computes the parts left over itself
      }
    }
  }
  ~TRowHelpers() {
    Stop_.store(true);
    Generation_.fetch_add(1);
    Generation_.notify_all();
    for (auto& t : Threads_) t.join();
  }

  void Row(int y) {
    Row_ = y;
    const int helpers = int(Threads_.size());
    Pending_.store(helpers);
    Generation_.fetch_add(1);
    Generation_.notify_all();
    RunPart(0, y);
    for (int p = helpers + 1; p < Parts_; ++p) RunPart(p, y);  // parts without a thread
    for (int left = Pending_.load(); left != 0; left = Pending_.load()) Pending_.wait(left);
  }

 private:
  void RunPart(int p, int y) {
    int b, e;
    PartRange(p, Parts_, Width_, b, e);
    if (b < e) Work_(p, y, b, e);
  }
  void Loop(int p) {
    unsigned seen = 0;
    for (;;) {
      Generation_.wait(seen);
      seen = Generation_.load();
      if (Stop_.load()) return;
      RunPart(p, Row_);
      if (Pending_.fetch_sub(1) == 1) Pending_.notify_one();
    }
  }

  const int Parts_;
  const int Width_;
  const std::function<void(int, int, int, int)>& Work_;
  std::vector<std::thread> Threads_;
  std::atomic<unsigned> Generation_{0};
  std::atomic<int> Pending_{0};
  std::atomic<bool> Stop_{false};
  int Row_ = 0;  // published before Generation_ is bumped
};

}  // namespace

bool RunRows(int width, int height, int parts, const TCombineCallbacks& callbacks,
             const std::function<void(int, int, int, int)>& work) {
  std::unique_ptr<TRowHelpers> helpers;
  if (parts > 1 && width > 0) helpers = std::make_unique<TRowHelpers>(parts, width, work);
  for (int y = 0; y < height; ++y) {
    if (callbacks.Cancelled && callbacks.Cancelled()) return false;
    if (width > 0) {
      if (helpers) helpers->Row(y);
      else work(0, y, 0, width);
    }
    if (callbacks.Progress) callbacks.Progress(y + 1);
  }
  return true;
}

std::unique_ptr<TFastDIB> NewResult(int width, int height) {
  auto image = std::make_unique<TFastDIB>();
  if (width < 1 || height < 1) return image;  // nothing to combine into: an empty picture
  image->SetSize(width, height, 24, 0);
  if (!image->Bits || image->Width() != width || image->AbsHeight != height) throw std::bad_alloc();
  return image;
}

}  // namespace combine_detail
