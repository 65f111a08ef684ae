// SPDX-License-Identifier: GPL-3.0-or-later
// Mean combination: per pixel and channel, the sum of the contributions
// divided by their number, truncated (10 and 11 give 10).
//
// A piece of a row is summed straight from each frame's row into 16-bit
// counters, eight frames at a time, which 256 frames cannot overflow
// (256 x 255 = 65280), then folded into 64-bit totals: the sums are exact
// integers whatever the order. The frames' rows are read once each, so they
// are not copied first.
#include <algorithm>
#include <cstring>
#include <vector>

#include "combine/Combine.h"
#include "combine/CombineRows.h"

using namespace combine_detail;

namespace {

constexpr int kFramesPerGroup = 256;

// Not under ThreadSanitizer: the clone chooser runs while the program is being
// loaded, before the sanitizer's run time is ready for its instrumented code.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define MEAN_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define MEAN_CLONES
#endif

MEAN_CLONES
void AddBytes(uint16_t* __restrict acc, const uint8_t* __restrict src, size_t len) {
  for (size_t j = 0; j < len; ++j) acc[j] = uint16_t(acc[j] + src[j]);
}

// Eight frames per pass over the counters.
MEAN_CLONES
void AddBytes8(uint16_t* __restrict acc, const uint8_t* const* src, size_t len) {
  const uint8_t* __restrict s0 = src[0];
  const uint8_t* __restrict s1 = src[1];
  const uint8_t* __restrict s2 = src[2];
  const uint8_t* __restrict s3 = src[3];
  const uint8_t* __restrict s4 = src[4];
  const uint8_t* __restrict s5 = src[5];
  const uint8_t* __restrict s6 = src[6];
  const uint8_t* __restrict s7 = src[7];
  for (size_t j = 0; j < len; ++j)
    acc[j] = uint16_t(acc[j] + (((uint16_t(s0[j]) + s1[j]) + (uint16_t(s2[j]) + s3[j])) +
                                ((uint16_t(s4[j]) + s5[j]) + (uint16_t(s6[j]) + s7[j]))));
}

struct TMeanScratch {
  std::vector<uint16_t> Acc;    // per byte of the piece: sum over one group of frames
  std::vector<uint64_t> Total;  // per byte of the piece: sum over all frames
};

// Columns [x0, x1) of row y into dst (the result row).
void MeanPiece(const TCombineFrames& frames, int y, int x0, int x1, TMeanScratch& s, uint8_t* dst, float* full) {
  const int n = int(frames.Blocks.size());
  const size_t len = size_t(x1 - x0) * 3;
  uint8_t* out = dst + size_t(x0) * 3;
  if (n == 0) {
    std::memset(out, 0, len);  // nothing takes part: black
    return;
  }
  const size_t offset = (size_t(y) * size_t(frames.Width) + size_t(x0)) * 3;
  uint16_t* acc = s.Acc.data();
  uint64_t* total = s.Total.data();
  std::fill(total, total + len, uint64_t(0));
  for (int g = 0; g < n; g += kFramesPerGroup) {
    const int gEnd = std::min(n, g + kFramesPerGroup);
    std::fill(acc, acc + len, uint16_t(0));
    const uint8_t* src[8];
    int f = g;
    for (; f < gEnd; ++f) {
      src[f & 7] = frames.Blocks[size_t(f)] + offset;
      if ((f & 7) == 7) AddBytes8(acc, src, len);
    }
    for (int left = f & ~7; left < gEnd; ++left) AddBytes(acc, src[left & 7], len);  // the last 1 to 7
    for (size_t j = 0; j < len; ++j) total[j] += acc[j];
  }
  const uint64_t count = uint64_t(n);
  for (size_t j = 0; j < len; ++j) out[j] = uint8_t(total[j] / count);
  if (full) {
    float* f = full + (size_t(y) * size_t(frames.Width) + size_t(x0)) * 3;
    for (size_t j = 0; j < len; ++j) f[j] = float(double(total[j]) / double(count));
  }
}

}  // namespace

std::unique_ptr<TFastDIB> MeanCombineFrames(const TCombineFrames& frames, const TCombineCallbacks& callbacks,
                                            int threads, TFullDepthImage* full) {
  const int W = std::max(frames.Width, 0), H = std::max(frames.Height, 0);
  auto result = NewResult(W, H);
  if (full) full->Resize(W, H);  // black where nothing takes part
  float* fullData = full ? full->Bgr.data() : nullptr;
  const size_t n = frames.Blocks.size();
  const int workers = ChooseWorkers(threads, W, (long long)n * W * 3);
  // One piece per worker and row (at least 16 pixels): long runs per frame
  // read fastest.
  const int piece = std::max(16, (W + workers - 1) / workers);
  // Sized here, so that nothing is allocated while helper threads run.
  auto scratch = std::vector<TMeanScratch>(size_t(workers));
  for (TMeanScratch& s : scratch) {
    s.Acc.resize(size_t(piece) * 3);
    s.Total.resize(size_t(piece) * 3);
  }
  TFastDIB* image = result.get();
  const bool done = RunRows(W, H, workers, piece, callbacks, [&](int w, int y, int x0, int x1) {
    MeanPiece(frames, y, x0, x1, scratch[size_t(w)], image->Scanlines[size_t(y)], fullData);
  });
  if (!done) return nullptr;
  return result;
}
