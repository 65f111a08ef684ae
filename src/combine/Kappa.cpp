// SPDX-License-Identifier: GPL-3.0-or-later
// Kappa-sigma combination: per pixel, the contributions whose colour norm lies
// further than kappa x spread from the mean norm are rejected and the accepted
// colours averaged, each channel rounded half to even (10 and 11 give 10, 11
// and 12 give 12). All rejected: a black dot, or with rejet_kappa the mean of
// every contribution. The spread is sqrt(sum of squared deviations) / n, not
// the standard deviation, and the mean is summed relative to the first norm so
// that equal norms give a spread of exactly 0 and are all accepted.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "combine/Combine.h"
#include "combine/CombineRows.h"
#include "combine/KappaKernel.h"

using namespace combine_detail;

namespace {

constexpr int L = kKappaLanes;

struct TKappaScratch {
  std::vector<uint8_t> Planes;  // blue, green, red planes of n rows of L bytes
  std::vector<double> Norms;    // n x L
};

uint8_t RoundChannel(double sum, double count) {
  const double v = std::nearbyint(sum / count);  // default rounding: halves to even
  return v >= 255 ? uint8_t(255) : uint8_t(v);
}

// Columns [x0, x1) of row y, at most L of them, into dst (the result row).
void KappaPiece(const TCombineFrames& frames, int y, int x0, int x1, double kappa, bool rejet, TKappaScratch& s,
                uint8_t* dst, float* full) {
  const int n = int(frames.Blocks.size());
  const int len = x1 - x0;
  uint8_t* out = dst + size_t(x0) * 3;
  if (n == 0) {
    std::memset(out, 0, size_t(len) * 3);
    return;
  }
  uint8_t* B = s.Planes.data();
  uint8_t* G = B + size_t(n) * L;
  uint8_t* R = G + size_t(n) * L;

  // Gather this piece of the row of every frame into one contiguous block,
  // split into blue, green and red planes.
  const size_t offset = (size_t(y) * size_t(frames.Width) + size_t(x0)) * 3;
  const size_t rowBytes = size_t(frames.Width) * 3;
  const bool prefetch = y + 1 < frames.Height;
  for (int f = 0; f < n; ++f) {
    const uint8_t* src = frames.Blocks[size_t(f)] + offset;
    // The same piece of the next row, wanted when this row is done: frames
    // lie far apart, so the processor cannot guess it.
    if (prefetch)
      for (size_t b = 0; b < size_t(len) * 3; b += 64) __builtin_prefetch(src + rowBytes + b);
    SplitPlanes(src, len, B + size_t(f) * L, G + size_t(f) * L, R + size_t(f) * L);
  }
  if (len < L) {
    // Lanes past the end of the row: zeros, computed and thrown away.
    for (int f = 0; f < n; ++f)
      for (uint8_t* plane : {B, G, R}) std::memset(plane + size_t(f) * L + len, 0, size_t(L - len));
  }

  double sb[L], sg[L], sr[L], k[L];
  KappaChunk(n, B, G, R, L, kappa, s.Norms.data(), sb, sg, sr, k);
  for (int j = 0; j < len; ++j) {
    double b = sb[j], g = sg[j], r = sr[j], count = k[j];
    if (count < 1) {
      if (rejet) {
        // Everything rejected: the plain mean of all contributions.
        long long tb = 0, tg = 0, tr = 0;
        for (int f = 0; f < n; ++f) {
          const size_t at = size_t(f) * L + size_t(j);
          tb += B[at];
          tg += G[at];
          tr += R[at];
        }
        b = double(tb), g = double(tg), r = double(tr);
        count = n;
      } else {
        count = 1;  // the sums are 0: a black dot
      }
    }
    uint8_t* px = out + size_t(j) * 3;
    px[0] = RoundChannel(b, count);
    px[1] = RoundChannel(g, count);
    px[2] = RoundChannel(r, count);
    if (full) {
      float* f = full + (size_t(y) * size_t(frames.Width) + size_t(x0 + j)) * 3;
      f[0] = float(b / count);
      f[1] = float(g / count);
      f[2] = float(r / count);
    }
  }
}

}  // namespace

std::unique_ptr<TFastDIB> KappaSigmaCombineFrames(const TCombineFrames& frames, int32_t kappa, bool rejetKappa,
                                                  const TCombineCallbacks& callbacks, int threads,
                                                  TFullDepthImage* full) {
  const int W = std::max(frames.Width, 0), H = std::max(frames.Height, 0);
  auto result = NewResult(W, H);
  if (full) full->Resize(W, H);
  float* fullData = full ? full->Bgr.data() : nullptr;
  const size_t n = frames.Blocks.size();
  const int workers = ChooseWorkers(threads, W, (long long)n * W * 3);
  // Sized here, so that nothing is allocated while helper threads run.
  auto scratch = std::vector<TKappaScratch>(size_t(workers));
  for (TKappaScratch& s : scratch) {
    s.Planes.assign(3 * n * L, 0);
    s.Norms.assign(n * L, 0.0);
  }
  TFastDIB* image = result.get();
  const double k = double(kappa);
  const bool done = RunRows(W, H, workers, L, callbacks, [&](int w, int y, int x0, int x1) {
    KappaPiece(frames, y, x0, x1, k, rejetKappa, scratch[size_t(w)], image->Scanlines[size_t(y)], fullData);
  });
  if (!done) return nullptr;
  return result;
}
