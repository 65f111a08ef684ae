// SPDX-License-Identifier: GPL-3.0-or-later
// The per-pixel loops of the ranking and of the alignment, written so that the
// compiler vectorises them (integer arithmetic, no reductions in floating
// point); built with AVX2 clones where the processor has it.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "lucky/LuckyKernels.h"

// Not under ThreadSanitizer: the clone chooser runs before the sanitizer's run time is ready.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define LUCKY_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LUCKY_CLONES
#endif

namespace lucky_detail {

// ColorLightness of n pixels: (max + min) / 2, an odd sum to the even neighbour.
LUCKY_CLONES
void LightnessRow(const uint8_t* __restrict bgr, int n, uint8_t* __restrict out) {
  for (int i = 0; i < n; ++i) {
    const int b = bgr[3 * i], g = bgr[3 * i + 1], r = bgr[3 * i + 2];
    const int mx = std::max(std::max(b, g), r), mn = std::min(std::min(b, g), r);
    const int sum = mx + mn, half = sum >> 1;
    out[i] = uint8_t(half + ((sum & 1) & (half & 1)));
  }
}

// Sum and sum of squares of a row (exact: n <= 32767 gives at most 2.1e9).
LUCKY_CLONES
void RowMoments(const uint8_t* __restrict l, int n, uint64_t& sum, uint64_t& sum2) {
  uint32_t s = 0, s2 = 0;
  for (int i = 0; i < n; ++i) {
    s += l[i];
    s2 += uint32_t(l[i]) * l[i];
  }
  sum += s;
  sum2 += s2;
}

// Sobel energy (gx^2 + gy^2) of the inner pixels of row b, rows a and c
// above and below; pieces of at most 512 pixels keep the 32-bit sums exact.
LUCKY_CLONES
uint64_t SobelRow(const uint8_t* __restrict a, const uint8_t* __restrict b, const uint8_t* __restrict c, int w) {
  uint64_t total = 0;
  for (int x0 = 1; x0 < w - 1; x0 += 512) {
    const int x1 = std::min(w - 1, x0 + 512);
    uint32_t e = 0;
    for (int x = x0; x < x1; ++x) {
      const int gx = (a[x + 1] - a[x - 1]) + 2 * (b[x + 1] - b[x - 1]) + (c[x + 1] - c[x - 1]);
      const int gy = (c[x - 1] - a[x - 1]) + 2 * (c[x] - a[x]) + (c[x + 1] - a[x + 1]);
      e += uint32_t(gx * gx + gy * gy);
    }
    total += e;
  }
  return total;
}

// Bilinear blend of two source rows, weights in 1/256ths, every byte.
LUCKY_CLONES
void BlendRows(const uint8_t* __restrict r0, const uint8_t* __restrict r1, int n, int w00, int w10, int w01, int w11,
               uint8_t* __restrict out) {
  // r0/r1 hold the row starting at the pixel left of each output pixel; the
  // right neighbour is 3 bytes on.
  for (int i = 0; i < n; ++i) {
    const int v = w00 * r0[i] + w10 * r0[i + 3] + w01 * r1[i] + w11 * r1[i + 3];
    out[i] = uint8_t((v + 32768) >> 16);
  }
}

}  // namespace lucky_detail
