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

int32_t KappaFactor = 3;

namespace {

constexpr int L = kKappaLanes;

struct TKappaScratch {
  size_t Stride = 0;            // bytes per frame in each plane: the part's width rounded up to whole chunks
  std::vector<uint8_t> Planes;  // blue, green, red planes of n rows of Stride bytes; padding stays 0
  std::vector<double> Norms;    // n x L
};

uint8_t RoundChannel(double sum, double count) {
  const double v = std::nearbyint(sum / count);  // default rounding: halves to even
  return v >= 255 ? uint8_t(255) : uint8_t(v);
}

void KappaRowPart(const TCombineFrames& frames, int y, int x0, int x1, double kappa, bool rejet,
                  TKappaScratch& s, uint8_t* dst) {
  const int n = int(frames.Blocks.size());
  const int len = x1 - x0;
  uint8_t* out = dst + size_t(x0) * 3;
  if (n == 0) {
    std::memset(out, 0, size_t(len) * 3);
    return;
  }
  const size_t stride = s.Stride;
  uint8_t* B = s.Planes.data();
  uint8_t* G = B + size_t(n) * stride;
  uint8_t* R = G + size_t(n) * stride;

  // Gather this row piece of every frame into one contiguous block, split
  // into blue, green and red planes.
  const size_t offset = (size_t(y) * size_t(frames.Width) + size_t(x0)) * 3;
  for (int f = 0; f < n; ++f)
    SplitPlanes(frames.Blocks[size_t(f)] + offset, len, B + size_t(f) * stride, G + size_t(f) * stride,
                R + size_t(f) * stride);

  double sb[L], sg[L], sr[L], k[L];
  for (int c0 = 0; c0 < len; c0 += L) {
    KappaChunk(n, B + c0, G + c0, R + c0, stride, kappa, s.Norms.data(), sb, sg, sr, k);
    const int cl = std::min(L, len - c0);
    for (int j = 0; j < cl; ++j) {
      double b = sb[j], g = sg[j], r = sr[j], count = k[j];
      if (count < 1) {
        if (rejet) {
          // Everything rejected: the plain mean of all contributions.
          long long tb = 0, tg = 0, tr = 0;
          for (int f = 0; f < n; ++f) {
            const size_t at = size_t(f) * stride + size_t(c0 + j);
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
      uint8_t* px = out + size_t(c0 + j) * 3;
      px[0] = RoundChannel(b, count);
      px[1] = RoundChannel(g, count);
      px[2] = RoundChannel(r, count);
    }
  }
}

}  // namespace

std::unique_ptr<TFastDIB> KappaSigmaCombineFrames(const TCombineFrames& frames, int32_t kappa, bool rejetKappa,
                                                  const TCombineCallbacks& callbacks, int threads) {
  const int W = frames.Width, H = frames.Height;
  auto result = NewResult(W, H);
  const size_t n = frames.Blocks.size();
  const long long rowBytes = (long long)n * std::max(W, 0) * 3;
  const int parts = ChooseParts(threads, W, rowBytes);
  // Sized here, so that nothing is allocated while helper threads run.
  auto scratch = std::vector<TKappaScratch>(size_t(parts));
  for (int p = 0; p < parts && n > 0; ++p) {
    int b, e;
    PartRange(p, parts, std::max(W, 0), b, e);
    TKappaScratch& s = scratch[size_t(p)];
    s.Stride = (size_t(std::max(e - b, 0)) + L - 1) / L * L;
    s.Planes.assign(3 * n * s.Stride, 0);
    s.Norms.assign(n * L, 0.0);
  }
  TFastDIB* image = result.get();
  const double k = double(kappa);
  const bool done = RunRows(W, H, parts, callbacks, [&](int p, int y, int x0, int x1) {
    KappaRowPart(frames, y, x0, x1, k, rejetKappa, scratch[size_t(p)], image->Scanlines[size_t(y)]);
  });
  if (!done) return nullptr;
  return result;
}
