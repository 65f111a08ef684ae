// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/SerSourceRows.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// The scaling as integer arithmetic every form shares: with the sample
// clamped to m = 2^D - 1 and moved to the top of 16 bits (x = v << (16 - D)),
// ((x * (255 * 256 + 2^(16 - D))) >> 16) + 128) >> 8 equals
// (v * 255 + m / 2) / m for every v <= m and every D from 9 to 16 (checked
// over all values). It needs only 16-bit lanes: a multiply keeping the high
// half, an add, a shift.
uint32_t Multiplier(int depth) { return 255u * 256u + (1u << (16 - depth)); }

inline uint8_t ScaleOne(const uint8_t* p, TDeepSamples f, uint32_t mul) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  if (f.Swap) v = uint16_t(v << 8 | v >> 8);
  const uint32_t maxValue = (1u << f.Depth) - 1;
  const uint32_t x = (v > maxValue ? maxValue : v) << (16 - f.Depth);
  return uint8_t(((x * mul >> 16) + 128) >> 8);
}

void ScaleDeepPlain(const uint8_t* in, size_t n, TDeepSamples f, uint8_t* out) {
  const uint32_t mul = Multiplier(f.Depth);
  for (size_t i = 0; i < n; ++i) out[i] = ScaleOne(in + 2 * i, f, mul);
}

void ScaleDeepGreyPlain(const uint8_t* in, size_t n, TDeepSamples f, uint8_t* out) {
  const uint32_t mul = Multiplier(f.Depth);
  for (size_t i = 0; i < n; ++i, out += 3) out[0] = out[1] = out[2] = ScaleOne(in + 2 * i, f, mul);
}

void ExpandGreyPlain(const uint8_t* in, size_t n, uint8_t* out) {
  size_t i = 0;
  for (; i + 4 <= n; i += 4, out += 12) {
    // Four pixels as three 32-bit words: a a a b | b b c c | c d d d.
    const uint32_t a = in[i], b = in[i + 1], c = in[i + 2], e = in[i + 3];
    const uint32_t w0 = a | a << 8 | a << 16 | b << 24, w1 = b | b << 8 | c << 16 | c << 24,
                   w2 = c | e << 8 | e << 16 | e << 24;
    std::memcpy(out, &w0, 4);
    std::memcpy(out + 4, &w1, 4);
    std::memcpy(out + 8, &w2, 4);
  }
  for (; i < n; ++i, out += 3) out[0] = out[1] = out[2] = in[i];
}

#if defined(__x86_64__)
// Byte i of a group of 16 grey values repeated three times: 48 bytes in three blocks.
#define STELLON_GREY_MASKS                                                                   \
  const __m128i m0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);          \
  const __m128i m1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);        \
  const __m128i m2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)

__attribute__((target("ssse3"))) inline void StoreGrey16(__m128i g, __m128i m0, __m128i m1, __m128i m2, uint8_t* out) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(g, m0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_shuffle_epi8(g, m1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_shuffle_epi8(g, m2));
}

// Eight 16-bit samples to eight values in the low bytes of 16-bit lanes.
__attribute__((target("ssse3"))) inline __m128i Scale8Ssse3(__m128i v, bool swap, __m128i swapMask, __m128i maxValue,
                                                             __m128i shift, __m128i mul, __m128i half) {
  if (swap) v = _mm_shuffle_epi8(v, swapMask);
  v = _mm_sub_epi16(v, _mm_subs_epu16(v, maxValue));  // min(v, maxValue)
  v = _mm_mulhi_epu16(_mm_sll_epi16(v, shift), mul);
  return _mm_srli_epi16(_mm_add_epi16(v, half), 8);
}

template <bool Grey>
__attribute__((target("ssse3"))) void ScaleDeepSsse3(const uint8_t* in, size_t n, TDeepSamples f, uint8_t* out) {
  const __m128i swapMask = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  const __m128i maxValue = _mm_set1_epi16(short((1 << f.Depth) - 1));
  const __m128i shift = _mm_cvtsi32_si128(16 - f.Depth);
  const __m128i mul = _mm_set1_epi16(short(Multiplier(f.Depth))), half = _mm_set1_epi16(128);
  STELLON_GREY_MASKS;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i + 16));
    const __m128i g = _mm_packus_epi16(Scale8Ssse3(a, f.Swap, swapMask, maxValue, shift, mul, half),
                                       Scale8Ssse3(b, f.Swap, swapMask, maxValue, shift, mul, half));
    if (Grey) StoreGrey16(g, m0, m1, m2, out + 3 * i);
    else _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), g);
  }
  if (Grey) ScaleDeepGreyPlain(in + 2 * i, n - i, f, out + 3 * i);
  else ScaleDeepPlain(in + 2 * i, n - i, f, out + i);
}

__attribute__((target("ssse3"))) void ExpandGreySsse3(const uint8_t* in, size_t n, uint8_t* out) {
  STELLON_GREY_MASKS;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) StoreGrey16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), m0, m1, m2, out + 3 * i);
  ExpandGreyPlain(in + i, n - i, out + 3 * i);
}

// 32 grey values (two groups of 16, one per 128-bit half) to 96 bytes.
__attribute__((target("avx2"))) inline void StoreGrey32(__m256i g, __m256i m0, __m256i m1, __m256i m2, uint8_t* out) {
  const __m256i x0 = _mm256_shuffle_epi8(g, m0), x1 = _mm256_shuffle_epi8(g, m1), x2 = _mm256_shuffle_epi8(g, m2);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(x0, x1, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), _mm256_permute2x128_si256(x2, x0, 0x30));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm256_permute2x128_si256(x1, x2, 0x31));
}

#define STELLON_GREY_MASKS_256                              \
  STELLON_GREY_MASKS;                                       \
  const __m256i w0 = _mm256_broadcastsi128_si256(m0);       \
  const __m256i w1 = _mm256_broadcastsi128_si256(m1);       \
  const __m256i w2 = _mm256_broadcastsi128_si256(m2)

__attribute__((target("avx2"))) inline __m256i Scale16Avx2(__m256i v, bool swap, __m256i swapMask, __m256i maxValue,
                                                            __m128i shift, __m256i mul, __m256i half) {
  if (swap) v = _mm256_shuffle_epi8(v, swapMask);
  v = _mm256_min_epu16(v, maxValue);
  v = _mm256_mulhi_epu16(_mm256_sll_epi16(v, shift), mul);
  return _mm256_srli_epi16(_mm256_add_epi16(v, half), 8);
}

template <bool Grey>
__attribute__((target("avx2"))) void ScaleDeepAvx2(const uint8_t* in, size_t n, TDeepSamples f, uint8_t* out) {
  const __m256i swapMask = _mm256_broadcastsi128_si256(_mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
  const __m256i maxValue = _mm256_set1_epi16(short((1 << f.Depth) - 1));
  const __m128i shift = _mm_cvtsi32_si128(16 - f.Depth);
  const __m256i mul = _mm256_set1_epi16(short(Multiplier(f.Depth))), half = _mm256_set1_epi16(128);
  STELLON_GREY_MASKS_256;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i + 32));
    // packus works within 128-bit halves: samples 0-7, 16-23 | 8-15, 24-31; put them back in order.
    const __m256i g = _mm256_permute4x64_epi64(_mm256_packus_epi16(Scale16Avx2(a, f.Swap, swapMask, maxValue, shift, mul, half),
                                                                   Scale16Avx2(b, f.Swap, swapMask, maxValue, shift, mul, half)),
                                               0xD8);
    if (Grey) StoreGrey32(g, w0, w1, w2, out + 3 * i);
    else _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), g);
  }
  ScaleDeepSsse3<Grey>(in + 2 * i, n - i, f, out + (Grey ? 3 : 1) * i);
}

__attribute__((target("avx2"))) void ExpandGreyAvx2(const uint8_t* in, size_t n, uint8_t* out) {
  STELLON_GREY_MASKS_256;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) StoreGrey32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i)), w0, w1, w2, out + 3 * i);
  ExpandGreySsse3(in + i, n - i, out + 3 * i);
}

#define STELLON_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// Byte j of three 64-byte outputs is grey value (64k + j) / 3.
struct TGreyPermutes {
  alignas(64) uint8_t m[3][64];
};
constexpr TGreyPermutes MakeGreyPermutes() {
  TGreyPermutes t{};
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 64; ++j) t.m[k][j] = uint8_t((64 * k + j) / 3);
  return t;
}
constexpr TGreyPermutes kGrey = MakeGreyPermutes();

STELLON_AVX512 inline void StoreGrey64(__m512i g, uint8_t* out) {
  // (maskz forms: the plain ones trip GCC 12's uninitialised-value warning inside its own header)
  for (int k = 0; k < 3; ++k)
    _mm512_storeu_si512(out + 64 * k, _mm512_maskz_permutexvar_epi8(~__mmask64(0), _mm512_load_si512(kGrey.m[k]), g));
}

STELLON_AVX512 inline __m512i Scale32Avx512(__m512i v, bool swap, __m512i swapMask, __m512i maxValue, __m128i shift,
                                             __m512i mul, __m512i half) {
  if (swap) v = _mm512_shuffle_epi8(v, swapMask);
  v = _mm512_min_epu16(v, maxValue);
  return _mm512_add_epi16(_mm512_mulhi_epu16(_mm512_sll_epi16(v, shift), mul), half);
}

template <bool Grey>
STELLON_AVX512 void ScaleDeepAvx512(const uint8_t* in, size_t n, TDeepSamples f, uint8_t* out) {
  const __m512i swapMask = _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
  const __m512i maxValue = _mm512_set1_epi16(short((1 << f.Depth) - 1));
  const __m128i shift = _mm_cvtsi32_si128(16 - f.Depth);
  const __m512i mul = _mm512_set1_epi16(short(Multiplier(f.Depth))), half = _mm512_set1_epi16(128);
  alignas(64) uint8_t high[64];  // the high byte of each 16-bit lane of two vectors
  for (int j = 0; j < 64; ++j) high[j] = uint8_t(2 * j + 1);
  const __m512i highBytes = _mm512_load_si512(high);
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m512i a = _mm512_loadu_si512(in + 2 * i), b = _mm512_loadu_si512(in + 2 * i + 64);
    const __m512i g = _mm512_permutex2var_epi8(Scale32Avx512(a, f.Swap, swapMask, maxValue, shift, mul, half), highBytes,
                                               Scale32Avx512(b, f.Swap, swapMask, maxValue, shift, mul, half));
    if (Grey) StoreGrey64(g, out + 3 * i);
    else _mm512_storeu_si512(out + i, g);
  }
  ScaleDeepAvx2<Grey>(in + 2 * i, n - i, f, out + (Grey ? 3 : 1) * i);
}

STELLON_AVX512 void ExpandGreyAvx512(const uint8_t* in, size_t n, uint8_t* out) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) StoreGrey64(_mm512_loadu_si512(in + i), out + 3 * i);
  ExpandGreyAvx2(in + i, n - i, out + 3 * i);
}
#endif

}  // namespace

void ScaleDeep(const uint8_t* in, size_t n, TDeepSamples format, uint8_t* out, TSimd simd) {
#if defined(__x86_64__)
  if (simd == TSimd::Avx512) return ScaleDeepAvx512<false>(in, n, format, out);
  if (simd == TSimd::Avx2) return ScaleDeepAvx2<false>(in, n, format, out);
  if (simd == TSimd::Ssse3) return ScaleDeepSsse3<false>(in, n, format, out);
#endif
  ScaleDeepPlain(in, n, format, out);
}

void ScaleDeepGrey(const uint8_t* in, size_t n, TDeepSamples format, uint8_t* out, TSimd simd) {
#if defined(__x86_64__)
  if (simd == TSimd::Avx512) return ScaleDeepAvx512<true>(in, n, format, out);
  if (simd == TSimd::Avx2) return ScaleDeepAvx2<true>(in, n, format, out);
  if (simd == TSimd::Ssse3) return ScaleDeepSsse3<true>(in, n, format, out);
#endif
  ScaleDeepGreyPlain(in, n, format, out);
}

void ExpandGrey(const uint8_t* in, size_t n, uint8_t* out, TSimd simd) {
#if defined(__x86_64__)
  if (simd == TSimd::Avx512) return ExpandGreyAvx512(in, n, out);
  if (simd == TSimd::Avx2) return ExpandGreyAvx2(in, n, out);
  if (simd == TSimd::Ssse3) return ExpandGreySsse3(in, n, out);
#endif
  ExpandGreyPlain(in, n, out);
}
