// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX2 forms of the kappa-sigma routines (see KappaKernel.h). Eight lanes
// at a time: colours as 32-bit integers, norms and their sums as doubles in
// the same order of operations as the portable form, so the bits agree.
#include "combine/KappaKernel.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#include <array>

#define STELLON_AVX2 __attribute__((target("avx2")))

namespace combine_detail {

namespace {
constexpr int L = kKappaLanes;
constexpr int G8 = L / 8;  // groups of 8 lanes
static_assert(L % 8 == 0);

// pshufb masks that pick channel c of 16 interleaved pixels out of each of
// the three 16-byte thirds of the 48 bytes.
struct TSplitMasks {
  alignas(16) int8_t M[3][3][16];  // [channel][third][byte]
};
constexpr TSplitMasks MakeSplitMasks() {
  TSplitMasks m{};
  for (int c = 0; c < 3; ++c)
    for (int t = 0; t < 3; ++t)
      for (int k = 0; k < 16; ++k) {
        const int at = 3 * k + c - 16 * t;
        m.M[c][t][k] = at >= 0 && at < 16 ? int8_t(at) : int8_t(-128);
      }
  return m;
}
constexpr TSplitMasks kSplit = MakeSplitMasks();

STELLON_AVX2 inline __m256i Load8(const uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Squared norm r^2 + g^2 + b^2 of 8 lanes, as two vectors of 4 doubles.
STELLON_AVX2 inline void Norms8(__m256i b, __m256i g, __m256i r, __m256d& lo, __m256d& hi) {
  const __m256i q = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(r, r), _mm256_mullo_epi32(g, g)),
                                     _mm256_mullo_epi32(b, b));
  lo = _mm256_sqrt_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(q)));
  hi = _mm256_sqrt_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(q, 1)));
}
}  // namespace

bool KappaAvx2Available() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

STELLON_AVX2
void KappaChunkAvx2(int n, const uint8_t* B, const uint8_t* G, const uint8_t* R, size_t stride, double kappa,
                    double* norms, double* sumB, double* sumG, double* sumR, double* accepted) {
  const __m256d dn = _mm256_set1_pd(double(n));
  __m256d first[2 * G8], sum[2 * G8], mean[2 * G8], limit[2 * G8];

  // Norms, and their sum relative to the first one (frame 0 gives the first).
  for (int g8 = 0; g8 < G8; ++g8) {
    __m256d lo, hi;
    Norms8(Load8(B + 8 * g8), Load8(G + 8 * g8), Load8(R + 8 * g8), lo, hi);
    _mm256_storeu_pd(norms + 8 * g8, lo);
    _mm256_storeu_pd(norms + 8 * g8 + 4, hi);
    first[2 * g8] = lo, first[2 * g8 + 1] = hi;
    sum[2 * g8] = sum[2 * g8 + 1] = _mm256_setzero_pd();
  }
  for (int f = 1; f < n; ++f) {
    const size_t o = size_t(f) * stride;
    double* nf = norms + size_t(f) * L;
    for (int g8 = 0; g8 < G8; ++g8) {
      __m256d lo, hi;
      Norms8(Load8(B + o + 8 * g8), Load8(G + o + 8 * g8), Load8(R + o + 8 * g8), lo, hi);
      _mm256_storeu_pd(nf + 8 * g8, lo);
      _mm256_storeu_pd(nf + 8 * g8 + 4, hi);
      sum[2 * g8] = _mm256_add_pd(sum[2 * g8], _mm256_sub_pd(lo, first[2 * g8]));
      sum[2 * g8 + 1] = _mm256_add_pd(sum[2 * g8 + 1], _mm256_sub_pd(hi, first[2 * g8 + 1]));
    }
  }
  for (int v = 0; v < 2 * G8; ++v) mean[v] = _mm256_add_pd(first[v], _mm256_div_pd(sum[v], dn));

  // Spread: sqrt(sum of squared deviations) / n, times kappa.
  {
    __m256d sq[2 * G8];
    for (int v = 0; v < 2 * G8; ++v) sq[v] = _mm256_setzero_pd();
    for (int f = 0; f < n; ++f) {
      const double* nf = norms + size_t(f) * L;
      for (int v = 0; v < 2 * G8; ++v) {
        const __m256d d = _mm256_sub_pd(_mm256_loadu_pd(nf + 4 * v), mean[v]);
        sq[v] = _mm256_add_pd(sq[v], _mm256_mul_pd(d, d));
      }
    }
    const __m256d k = _mm256_set1_pd(kappa);
    for (int v = 0; v < 2 * G8; ++v) limit[v] = _mm256_mul_pd(k, _mm256_div_pd(_mm256_sqrt_pd(sq[v]), dn));
  }

  // Accepted colours: |m - norm| <= kappa x s, summed as integers.
  const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll));
  __m256i sb[G8], sg[G8], sr[G8], cnt[G8];
  for (int g8 = 0; g8 < G8; ++g8) sb[g8] = sg[g8] = sr[g8] = cnt[g8] = _mm256_setzero_si256();
  for (int f = 0; f < n; ++f) {
    const size_t o = size_t(f) * stride;
    const double* nf = norms + size_t(f) * L;
    for (int g8 = 0; g8 < G8; ++g8) {
      const __m256d d0 = _mm256_and_pd(_mm256_sub_pd(mean[2 * g8], _mm256_loadu_pd(nf + 8 * g8)), absMask);
      const __m256d d1 = _mm256_and_pd(_mm256_sub_pd(mean[2 * g8 + 1], _mm256_loadu_pd(nf + 8 * g8 + 4)), absMask);
      const __m256d ok0 = _mm256_cmp_pd(d0, limit[2 * g8], _CMP_LE_OQ);
      const __m256d ok1 = _mm256_cmp_pd(d1, limit[2 * g8 + 1], _CMP_LE_OQ);
      // Two masks of 4 x 64 bits to one of 8 x 32 bits, lanes in order.
      const __m256 packed = _mm256_shuffle_ps(_mm256_castpd_ps(ok0), _mm256_castpd_ps(ok1), _MM_SHUFFLE(2, 0, 2, 0));
      const __m256i ok = _mm256_permute4x64_epi64(_mm256_castps_si256(packed), _MM_SHUFFLE(3, 1, 2, 0));
      sb[g8] = _mm256_add_epi32(sb[g8], _mm256_and_si256(ok, Load8(B + o + 8 * g8)));
      sg[g8] = _mm256_add_epi32(sg[g8], _mm256_and_si256(ok, Load8(G + o + 8 * g8)));
      sr[g8] = _mm256_add_epi32(sr[g8], _mm256_and_si256(ok, Load8(R + o + 8 * g8)));
      cnt[g8] = _mm256_sub_epi32(cnt[g8], ok);  // a true lane is -1
    }
  }
  for (int g8 = 0; g8 < G8; ++g8) {
    _mm256_storeu_pd(sumB + 8 * g8, _mm256_cvtepi32_pd(_mm256_castsi256_si128(sb[g8])));
    _mm256_storeu_pd(sumB + 8 * g8 + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(sb[g8], 1)));
    _mm256_storeu_pd(sumG + 8 * g8, _mm256_cvtepi32_pd(_mm256_castsi256_si128(sg[g8])));
    _mm256_storeu_pd(sumG + 8 * g8 + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(sg[g8], 1)));
    _mm256_storeu_pd(sumR + 8 * g8, _mm256_cvtepi32_pd(_mm256_castsi256_si128(sr[g8])));
    _mm256_storeu_pd(sumR + 8 * g8 + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(sr[g8], 1)));
    _mm256_storeu_pd(accepted + 8 * g8, _mm256_cvtepi32_pd(_mm256_castsi256_si128(cnt[g8])));
    _mm256_storeu_pd(accepted + 8 * g8 + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(cnt[g8], 1)));
  }
}

STELLON_AVX2
void SplitPlanesAvx2(const uint8_t* src, int len, uint8_t* B, uint8_t* G, uint8_t* R) {
  int j = 0;
  const __m128i* m = reinterpret_cast<const __m128i*>(&kSplit.M[0][0][0]);
  for (; j + 16 <= len; j += 16) {
    const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * j));
    const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * j + 16));
    const __m128i a2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * j + 32));
    uint8_t* out[3] = {B + j, G + j, R + j};
    for (int c = 0; c < 3; ++c) {
      const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a0, _mm_load_si128(m + 3 * c)),
                                                  _mm_shuffle_epi8(a1, _mm_load_si128(m + 3 * c + 1))),
                                     _mm_shuffle_epi8(a2, _mm_load_si128(m + 3 * c + 2)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out[c]), v);
    }
  }
  for (; j < len; ++j) {
    B[j] = src[3 * j];
    G[j] = src[3 * j + 1];
    R[j] = src[3 * j + 2];
  }
}

}  // namespace combine_detail

#else  // not x86-64: the portable forms only

namespace combine_detail {
bool KappaAvx2Available() { return false; }
void KappaChunkAvx2(int, const uint8_t*, const uint8_t*, const uint8_t*, size_t, double, double*, double*, double*,
                    double*, double*) {}
void SplitPlanesAvx2(const uint8_t*, int, uint8_t*, uint8_t*, uint8_t*) {}
}  // namespace combine_detail

#endif
