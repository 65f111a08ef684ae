// SPDX-License-Identifier: GPL-3.0-or-later
// The portable forms, and the choice between them and the AVX2 forms. Only
// IEEE additions, subtractions, multiplications, divisions and square roots
// are used, each correctly rounded at any vector width, and nothing is fused
// (no FMA), so every form gives the same bits.
#include "combine/KappaKernel.h"

#include <atomic>
#include <cmath>

namespace combine_detail {

namespace {
constexpr int L = kKappaLanes;
std::atomic<bool> gPortable{false};

bool UseAvx2() { return !gPortable.load(std::memory_order_relaxed) && KappaAvx2Available(); }
}  // namespace

void SetKappaKernel(TKappaKernel kernel) { gPortable.store(kernel == TKappaKernel::Portable); }
bool KappaKernelVectorised() { return UseAvx2(); }

namespace {
void KappaChunkPortable(int n, const uint8_t* __restrict B, const uint8_t* __restrict G, const uint8_t* __restrict R,
                size_t stride, double kappa, double* __restrict norms, double* __restrict sumB,
                double* __restrict sumG, double* __restrict sumR, double* __restrict accepted) {
  const double dn = double(n);
  double first[L], sum[L], mean[L], sq[L], limit[L];

  // Norms, and their sum relative to the first one.
  for (int j = 0; j < L; ++j) {
    const int b = B[j], g = G[j], r = R[j];
    const double v = std::sqrt(double(r * r + g * g + b * b));
    norms[j] = v;
    first[j] = v;
    sum[j] = 0;
  }
  for (int f = 1; f < n; ++f) {
    const uint8_t* bf = B + size_t(f) * stride;
    const uint8_t* gf = G + size_t(f) * stride;
    const uint8_t* rf = R + size_t(f) * stride;
    double* nf = norms + size_t(f) * L;
    for (int j = 0; j < L; ++j) {
      const int b = bf[j], g = gf[j], r = rf[j];
      const double v = std::sqrt(double(r * r + g * g + b * b));
      nf[j] = v;
      sum[j] += v - first[j];
    }
  }
  for (int j = 0; j < L; ++j) {
    mean[j] = first[j] + sum[j] / dn;
    sq[j] = 0;
  }

  // Spread: square root of the sum of squared deviations, then divided by n.
  for (int f = 0; f < n; ++f) {
    const double* nf = norms + size_t(f) * L;
    for (int j = 0; j < L; ++j) {
      const double d = nf[j] - mean[j];
      sq[j] += d * d;
    }
  }
  for (int j = 0; j < L; ++j) {
    limit[j] = kappa * (std::sqrt(sq[j]) / dn);
    sumB[j] = sumG[j] = sumR[j] = accepted[j] = 0;
  }

  // Accept within kappa x spread (a contribution exactly at the limit is accepted).
  for (int f = 0; f < n; ++f) {
    const uint8_t* bf = B + size_t(f) * stride;
    const uint8_t* gf = G + size_t(f) * stride;
    const uint8_t* rf = R + size_t(f) * stride;
    const double* nf = norms + size_t(f) * L;
    for (int j = 0; j < L; ++j) {
      const bool ok = std::fabs(mean[j] - nf[j]) <= limit[j];
      sumB[j] += ok ? double(bf[j]) : 0.0;
      sumG[j] += ok ? double(gf[j]) : 0.0;
      sumR[j] += ok ? double(rf[j]) : 0.0;
      accepted[j] += ok ? 1.0 : 0.0;
    }
  }
}

void SplitPlanesPortable(const uint8_t* __restrict src, int len, uint8_t* __restrict B, uint8_t* __restrict G,
                         uint8_t* __restrict R) {
  for (int j = 0; j < len; ++j) {
    B[j] = src[3 * j];
    G[j] = src[3 * j + 1];
    R[j] = src[3 * j + 2];
  }
}
}  // namespace

void KappaChunk(int n, const uint8_t* B, const uint8_t* G, const uint8_t* R, size_t stride, double kappa,
                double* norms, double* sumB, double* sumG, double* sumR, double* accepted) {
  // The AVX2 form keeps channel sums in 32 bits: 255 x n must fit.
  if (n < (1 << 23) && UseAvx2()) KappaChunkAvx2(n, B, G, R, stride, kappa, norms, sumB, sumG, sumR, accepted);
  else KappaChunkPortable(n, B, G, R, stride, kappa, norms, sumB, sumG, sumR, accepted);
}

void SplitPlanes(const uint8_t* src, int len, uint8_t* B, uint8_t* G, uint8_t* R) {
  if (UseAvx2()) SplitPlanesAvx2(src, len, B, G, R);
  else SplitPlanesPortable(src, len, B, G, R);
}

}  // namespace combine_detail
