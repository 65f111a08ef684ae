// SPDX-License-Identifier: GPL-3.0-or-later
#include "combine/CombineRows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace combine_detail {

int ChooseWorkers(int requested, int width, long long bytesPerRow) {
  if (requested > 0) return std::min(requested, 64);
  // Below this a row is done in microseconds and waking a helper costs more
  // than it saves.
  constexpr long long kMinBytesPerRow = 64 * 1024;
  if (width < 2 || bytesPerRow < kMinBytesPerRow) return 1;
  const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
  return std::clamp(cores, 1, 16);
}

namespace {

// Rows follow each other within microseconds, far sooner than a sleeping
// thread is woken: a worker that runs out of work polls for a while first.
constexpr auto kPollFor = std::chrono::microseconds(100);

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Polls until value != old or the time is up; then sleeps until it changes.
template <class T>
void AwaitChange(const std::atomic<T>& value, T old) {
  const auto until = std::chrono::steady_clock::now() + kPollFor;
  for (int i = 0;; ++i) {
    if (value.load(std::memory_order_acquire) != old) return;
    CpuRelax();
    if ((i & 63) == 63) {
      if (std::chrono::steady_clock::now() > until) break;
      std::this_thread::yield();  // let a thread that has work run on this core
    }
  }
  value.wait(old);
}

// Helper threads for one run. For each row the caller publishes a ticket
// word, (row number << 32) | next piece, wakes the helpers and takes pieces
// itself; everybody takes pieces with fetch_add on the ticket word, so a
// ticket always names the row it belongs to, and a helper waking late only
// draws piece numbers past the end. The caller goes on when every piece of
// the row is reported done.
class TRowWorkers {
 public:
  TRowWorkers(int workers, int width, int piece, const std::function<void(int, int, int, int)>& work)
      : Width_(width), Piece_(piece), Pieces_((width + piece - 1) / piece), Work_(work) {
    for (int w = 1; w < workers; ++w) {
      try {
        Threads_.emplace_back([this, w] { Loop(w); });
      } catch (const std::system_error&) {
        break;  // no more threads: fewer workers
      }
    }
  }
  ~TRowWorkers() {
    Stop_.store(true);
    Wake_.fetch_add(1);
    Wake_.notify_all();
    for (auto& t : Threads_) t.join();
  }

  void Row(int y) {
    Done_.store(0);
    Ticket_.store(uint64_t(uint32_t(y)) << 32);
    Wake_.fetch_add(1);
    Wake_.notify_all();
    TakePieces(0);
    for (int done = Done_.load(); done != Pieces_; done = Done_.load()) AwaitChange(Done_, done);
  }

 private:
  void TakePieces(int worker) {
    for (;;) {
      const uint64_t t = Ticket_.fetch_add(1);
      const uint32_t piece = uint32_t(t);
      if (piece >= uint32_t(Pieces_)) return;
      const int y = int(t >> 32);
      const int b = int(piece) * Piece_;
      Work_(worker, y, b, std::min(Width_, b + Piece_));
      if (Done_.fetch_add(1) + 1 == Pieces_) Done_.notify_one();
    }
  }
  void Loop(int worker) {
    unsigned seen = 0;
    for (;;) {
      AwaitChange(Wake_, seen);
      seen = Wake_.load();
      if (Stop_.load()) return;
      TakePieces(worker);
    }
  }

  const int Width_, Piece_, Pieces_;
  const std::function<void(int, int, int, int)>& Work_;
  std::vector<std::thread> Threads_;
  std::atomic<uint64_t> Ticket_{0x7FFFFFFF};  // no row published yet: a piece past the end
  std::atomic<int> Done_{0};
  std::atomic<unsigned> Wake_{0};
  std::atomic<bool> Stop_{false};
};

}  // namespace

bool RunRows(int width, int height, int workers, int piece, const TCombineCallbacks& callbacks,
             const std::function<void(int, int, int, int)>& work) {
  piece = std::max(1, piece);
  std::unique_ptr<TRowWorkers> helpers;
  if (workers > 1 && width > piece) helpers = std::make_unique<TRowWorkers>(workers, width, piece, work);
  for (int y = 0; y < height; ++y) {
    if (callbacks.Cancelled && callbacks.Cancelled()) return false;
    if (helpers) {
      helpers->Row(y);
    } else {
      for (int b = 0; b < width; b += piece) work(0, y, b, std::min(width, b + piece));
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
