// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Demosaic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

enum : uint8_t { kR = 0, kG = 1, kB = 2 };

// Filter colour of the 2x2 cell position (row parity * 2 + column parity).
constexpr uint8_t kCells[4][4] = {
    {kR, kG, kG, kB},  // RGGB
    {kG, kR, kB, kG},  // GRBG
    {kG, kB, kR, kG},  // GBRG
    {kB, kG, kG, kR},  // BGGR
};

// Byte of a colour in a blue-green-red pixel.
constexpr int Byte(uint8_t colour) { return 2 - colour; }

// One output row: the mosaic rows above, at and below it (null outside the
// picture) and the filter colours of even and odd columns.
struct TRow {
  const uint8_t* Up;
  const uint8_t* Mid;
  const uint8_t* Down;
  int Width;
  uint8_t Own[2];   // of this row
  uint8_t Near[2];  // of the rows above and below
};

// The mosaic's rows: row k at Rows + (k - First) * Step (First > 0 once the
// last rows have been copied away), with the pattern's cell.
struct TMosaic {
  const uint8_t* Rows;
  ptrdiff_t Step;
  int First;
  int Width, Height;
  const uint8_t* Cell;
  const uint8_t* At(int k) const { return Rows + ptrdiff_t(k - First) * Step; }
  TRow Make(int y) const {
    const uint8_t* own = Cell + (y & 1) * 2;
    const uint8_t* near = Cell + ((y + 1) & 1) * 2;
    return TRow{y > 0 ? At(y - 1) : nullptr, At(y), y + 1 < Height ? At(y + 1) : nullptr, Width, {own[0], own[1]}, {near[0], near[1]}};
  }
};

// Rounded mean of `count` samples (0 to 4) summing to `sum`; 0 for none.
inline unsigned Mean(unsigned sum, unsigned count) {
  switch (count) {
    case 0: return 0;
    case 1: return sum;
    case 2: return (sum + 1) >> 1;
    case 3: return (sum + 1) / 3;
    default: return (sum + 2) >> 2;
  }
}
inline uint8_t Avg2(unsigned a, unsigned b) { return uint8_t((a + b + 1) >> 1); }
inline uint8_t Avg4(unsigned a, unsigned b, unsigned c, unsigned d) { return uint8_t((a + b + c + d + 2) >> 2); }

// Any pixel, edges included: its own colour is its own sample; each other
// colour is the rounded mean of the samples of that colour among its eight
// neighbours inside the picture. Left and right neighbours have one colour,
// those above and below one, the diagonal ones one.
void AnyPixel(const TRow& r, int x, uint8_t* d) {
  unsigned side = 0, sides = 0, vert = 0, verts = 0, diag = 0, diags = 0;
  const bool left = x > 0, right = x + 1 < r.Width;
  if (left) side += r.Mid[x - 1], ++sides;
  if (right) side += r.Mid[x + 1], ++sides;
  for (const uint8_t* n : {r.Up, r.Down}) {
    if (!n) continue;
    vert += n[x], ++verts;
    if (left) diag += n[x - 1], ++diags;
    if (right) diag += n[x + 1], ++diags;
  }
  const uint8_t own = r.Own[x & 1];
  d[Byte(own)] = r.Mid[x];
  if (own == kG) {
    d[Byte(r.Own[(x + 1) & 1])] = uint8_t(Mean(side, sides));
    d[Byte(r.Near[x & 1])] = uint8_t(Mean(vert, verts));
  } else {  // green on the four sides, the third colour on the diagonals
    d[1] = uint8_t(Mean(side + vert, sides + verts));
    d[Byte(r.Near[(x + 1) & 1])] = uint8_t(Mean(diag, diags));
  }
}

// The first or last pixel (x = 0 or width-1) of a row with rows above and
// below, at least 2 wide: AnyPixel with its one horizontal neighbour.
inline void EdgeColumn(const TRow& r, int x, uint8_t* d) {
  const int in = x == 0 ? 1 : x - 1;
  const uint8_t own = r.Own[x & 1];
  d[Byte(own)] = r.Mid[x];
  if (own == kG) {
    d[Byte(r.Own[(x + 1) & 1])] = r.Mid[in];
    d[Byte(r.Near[x & 1])] = Avg2(r.Up[x], r.Down[x]);
  } else {
    d[1] = uint8_t((r.Mid[in] + r.Up[x] + r.Down[x] + 1) / 3);
    d[Byte(r.Near[(x + 1) & 1])] = Avg2(r.Up[in], r.Down[in]);
  }
}

// A green site of an interior row: `other` (the row's other colour) from the
// left and right, `third` from above and below.
template <bool OtherIsRed>
inline void GreenSite(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x, uint8_t* d) {
  const uint8_t side = Avg2(row[x - 1], row[x + 1]), vert = Avg2(up[x], down[x]);
  d[1] = row[x];
  d[OtherIsRed ? 2 : 0] = side;
  d[OtherIsRed ? 0 : 2] = vert;
}
// A red or blue site: green from the four sides, the third colour from the corners.
template <bool OtherIsRed>
inline void OtherSite(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x, uint8_t* d) {
  d[1] = Avg4(up[x], down[x], row[x - 1], row[x + 1]);
  d[OtherIsRed ? 2 : 0] = row[x];
  d[OtherIsRed ? 0 : 2] = Avg4(up[x - 1], up[x + 1], down[x - 1], down[x + 1]);
}

// Columns from `x` to width-2 of an interior row (x odd).
template <bool EvenIsGreen, bool OtherIsRed>
void InnerRow(const uint8_t* up, const uint8_t* row, const uint8_t* down, int width, uint8_t* out, int x) {
  for (; x + 1 < width - 1; x += 2) {
    if (EvenIsGreen) {
      OtherSite<OtherIsRed>(up, row, down, x, out + 3 * x);
      GreenSite<OtherIsRed>(up, row, down, x + 1, out + 3 * x + 3);
    } else {
      GreenSite<OtherIsRed>(up, row, down, x, out + 3 * x);
      OtherSite<OtherIsRed>(up, row, down, x + 1, out + 3 * x + 3);
    }
  }
  if (x < width - 1) {
    if (EvenIsGreen) OtherSite<OtherIsRed>(up, row, down, x, out + 3 * x);
    else GreenSite<OtherIsRed>(up, row, down, x, out + 3 * x);
  }
}

// An interior row after its SIMD columns: the plain rule from column x on,
// then the first and last columns.
inline void FinishRow(const TRow& r, uint8_t* out, int x) {
  const bool evenIsGreen = r.Own[0] == kG;
  const bool otherIsRed = (evenIsGreen ? r.Own[1] : r.Own[0]) == kR;
  if (evenIsGreen) {
    if (otherIsRed) InnerRow<true, true>(r.Up, r.Mid, r.Down, r.Width, out, x);
    else InnerRow<true, false>(r.Up, r.Mid, r.Down, r.Width, out, x);
  } else {
    if (otherIsRed) InnerRow<false, true>(r.Up, r.Mid, r.Down, r.Width, out, x);
    else InnerRow<false, false>(r.Up, r.Mid, r.Down, r.Width, out, x);
  }
  EdgeColumn(r, 0, out);
  EdgeColumn(r, r.Width - 1, out + 3 * (r.Width - 1));
}

#if defined(__x86_64__)
// Byte shuffles that interleave 16 blue, 16 green and 16 red bytes into 48
// bytes of blue-green-red triples: m[block][channel].
struct TInterleaveMasks {
  alignas(16) uint8_t m[3][3][16];
};
constexpr TInterleaveMasks MakeInterleaveMasks() {
  TInterleaveMasks t{};
  for (int block = 0; block < 3; ++block)
    for (int ch = 0; ch < 3; ++ch)
      for (int i = 0; i < 16; ++i) {
        const int j = block * 16 + i;
        t.m[block][ch][i] = j % 3 == ch ? uint8_t(j / 3) : uint8_t(0x80);
      }
  return t;
}
constexpr TInterleaveMasks kInterleave = MakeInterleaveMasks();

// The same with one shuffle per channel: output byte 16k + j (block k) is
// channel (j + k) mod 3, since 16 = 1 mod 3, so each channel can be shuffled
// once into the positions it fills in all three blocks (Spread), and block k
// picks, position by position, from the three shuffled channels (Take[k][c]
// marks where channel c is taken).
struct TSpreadMasks {
  alignas(16) uint8_t Spread[3][16];
  alignas(16) uint8_t Take[3][3][16];
};
constexpr TSpreadMasks MakeSpreadMasks() {
  TSpreadMasks t{};
  for (int ch = 0; ch < 3; ++ch)
    for (int j = 0; j < 16; ++j) t.Spread[ch][j] = uint8_t((16 * ((ch - j % 3 + 3) % 3) + j) / 3);
  for (int block = 0; block < 3; ++block)
    for (int ch = 0; ch < 3; ++ch)
      for (int j = 0; j < 16; ++j) t.Take[block][ch][j] = (j + block) % 3 == ch ? 0xFF : 0;
  return t;
}
constexpr TSpreadMasks kSpread = MakeSpreadMasks();

// The SIMD forms work on 16 or 32 columns at once, every lane computing
// every candidate: side = mean of left and right, vert = of above and below,
// cross = of those four, diag = of the four corners; then each lane keeps
// what its filter colour needs. Means of four are exact without widening:
// with P = avg(a, b) and Q = avg(c, d) (avg rounds up),
// (a + b + c + d + 2) >> 2 = avg(P, Q) - (((a ^ b) | (c ^ d)) & (P ^ Q) & 1).

// A block of 16 columns from x of an interior row; greenLanes marks the lanes on green sites.
__attribute__((target("ssse3"))) inline void BlockSsse3(const uint8_t* up, const uint8_t* row, const uint8_t* down,
                                                         int x, __m128i greenLanes, bool otherIsRed, uint8_t* out) {
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  const __m128i one = _mm_set1_epi8(1);
  auto mean4 = [one](__m128i p, __m128i q, __m128i abx, __m128i cdx) {
    return _mm_sub_epi8(_mm_avg_epu8(p, q), _mm_and_si128(_mm_and_si128(_mm_or_si128(abx, cdx), _mm_xor_si128(p, q)), one));
  };
  auto pick = [greenLanes](__m128i green, __m128i other) {
    return _mm_or_si128(_mm_and_si128(greenLanes, green), _mm_andnot_si128(greenLanes, other));
  };
  const __m128i c = load(row + x), l = load(row + x - 1), r = load(row + x + 1);
  const __m128i u = load(up + x), ul = load(up + x - 1), ur = load(up + x + 1);
  const __m128i d = load(down + x), dl = load(down + x - 1), dr = load(down + x + 1);
  const __m128i side = _mm_avg_epu8(l, r), vert = _mm_avg_epu8(u, d);
  const __m128i cross = mean4(side, vert, _mm_xor_si128(l, r), _mm_xor_si128(u, d));
  const __m128i p = _mm_avg_epu8(ul, ur), q = _mm_avg_epu8(dl, dr);
  const __m128i diag = mean4(p, q, _mm_xor_si128(ul, ur), _mm_xor_si128(dl, dr));
  const __m128i g = pick(c, cross), other = pick(side, c), third = pick(vert, diag);
  const __m128i red = otherIsRed ? other : third, blue = otherIsRed ? third : other;
  const auto* m = kInterleave.m;
  for (int block = 0; block < 3; ++block) {
    const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blue, load(m[block][0])), _mm_shuffle_epi8(g, load(m[block][1]))),
                                   _mm_shuffle_epi8(red, load(m[block][2])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x + 16 * block), v);
  }
}

// Columns 1 .. width-2 of an interior row when it is at least 18 wide; the
// last block overlaps the one before when the columns do not divide evenly.
// Returns the first column not done.
__attribute__((target("ssse3"))) int InnerRowSsse3(const uint8_t* up, const uint8_t* row, const uint8_t* down,
                                                   int width, bool evenIsGreen, bool otherIsRed, uint8_t* out) {
  if (width - 2 < 16) return 1;
  // Lane i is column x + i: with x odd, odd lanes are even columns.
  const __m128i oddLanes = _mm_set1_epi16(short(0xFF00));
  const __m128i greenFromOdd = evenIsGreen ? oddLanes : _mm_xor_si128(oddLanes, _mm_set1_epi8(-1));
  int x = 1;
  for (; x + 16 <= width - 1; x += 16) BlockSsse3(up, row, down, x, greenFromOdd, otherIsRed, out);
  if (x < width - 1) {
    const int last = width - 17;
    const __m128i lanes = last & 1 ? greenFromOdd : _mm_xor_si128(greenFromOdd, _mm_set1_epi8(-1));
    BlockSsse3(up, row, down, last, lanes, otherIsRed, out);
  }
  return width - 1;
}

__attribute__((target("avx2"))) inline __m256i Load32(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline __m256i Mean4Avx2(__m256i p, __m256i q, __m256i abx, __m256i cdx) {
  return _mm256_sub_epi8(_mm256_avg_epu8(p, q), _mm256_and_si256(_mm256_and_si256(_mm256_or_si256(abx, cdx), _mm256_xor_si256(p, q)),
                                                                 _mm256_set1_epi8(1)));
}
// The same shuffle in both 128-bit halves.
__attribute__((target("avx2"))) inline __m256i Mask32(const uint8_t* m16) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m16)));
}

__attribute__((target("avx2"))) inline void BlockAvx2(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x,
                                                       __m256i greenLanes, bool otherIsRed, uint8_t* out) {
  const __m256i c = Load32(row + x), l = Load32(row + x - 1), r = Load32(row + x + 1);
  const __m256i u = Load32(up + x), ul = Load32(up + x - 1), ur = Load32(up + x + 1);
  const __m256i d = Load32(down + x), dl = Load32(down + x - 1), dr = Load32(down + x + 1);
  const __m256i side = _mm256_avg_epu8(l, r), vert = _mm256_avg_epu8(u, d);
  const __m256i cross = Mean4Avx2(side, vert, _mm256_xor_si256(l, r), _mm256_xor_si256(u, d));
  const __m256i p = _mm256_avg_epu8(ul, ur), q = _mm256_avg_epu8(dl, dr);
  const __m256i diag = Mean4Avx2(p, q, _mm256_xor_si256(ul, ur), _mm256_xor_si256(dl, dr));
  // and/or rather than blendv: faster here.
  const __m256i g = _mm256_or_si256(_mm256_and_si256(greenLanes, c), _mm256_andnot_si256(greenLanes, cross));
  const __m256i other = _mm256_or_si256(_mm256_and_si256(greenLanes, side), _mm256_andnot_si256(greenLanes, c));
  const __m256i third = _mm256_or_si256(_mm256_and_si256(greenLanes, vert), _mm256_andnot_si256(greenLanes, diag));
  const __m256i red = otherIsRed ? other : third, blue = otherIsRed ? third : other;
  const __m256i s0 = _mm256_shuffle_epi8(blue, Mask32(kSpread.Spread[0]));
  const __m256i s1 = _mm256_shuffle_epi8(g, Mask32(kSpread.Spread[1]));
  const __m256i s2 = _mm256_shuffle_epi8(red, Mask32(kSpread.Spread[2]));
  __m256i v[3];
  for (int block = 0; block < 3; ++block)
    v[block] = _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(s0, Mask32(kSpread.Take[block][0])), _mm256_and_si256(s1, Mask32(kSpread.Take[block][1]))),
                               _mm256_and_si256(s2, Mask32(kSpread.Take[block][2])));
  // Each 128-bit half holds the 48 bytes of its 16 columns in three blocks.
  uint8_t* o = out + 3 * x;
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_permute2x128_si256(v[0], v[1], 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), _mm256_permute2x128_si256(v[2], v[0], 0x30));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64), _mm256_permute2x128_si256(v[1], v[2], 0x31));
}

__attribute__((target("avx2"))) inline int InnerRowAvx2(const uint8_t* up, const uint8_t* row, const uint8_t* down, int width,
                                                 bool evenIsGreen, bool otherIsRed, uint8_t* out) {
  if (width - 2 < 32) return InnerRowSsse3(up, row, down, width, evenIsGreen, otherIsRed, out);
  const __m256i oddLanes = _mm256_set1_epi16(short(0xFF00));
  const __m256i greenFromOdd = evenIsGreen ? oddLanes : _mm256_xor_si256(oddLanes, _mm256_set1_epi8(-1));
  int x = 1;
  for (; x + 32 <= width - 1; x += 32) BlockAvx2(up, row, down, x, greenFromOdd, otherIsRed, out);
  if (x < width - 1) {
    const int last = width - 33;
    const __m256i lanes = last & 1 ? greenFromOdd : _mm256_xor_si256(greenFromOdd, _mm256_set1_epi8(-1));
    BlockAvx2(up, row, down, last, lanes, otherIsRed, out);
  }
  return width - 1;
}

// 64 columns at once. As with 16 (64 = 1 mod 3), output byte 64k + j is
// channel (j + k) mod 3: one byte permute per channel spreads it over the
// positions it fills in the three 64-byte outputs, and each output takes its
// bytes from the three spread channels with two masked blends.
struct TSpread64 {
  alignas(64) uint8_t Spread[3][64];
  uint64_t Take[3][3];  // [output][channel]: the bytes taken from that channel
};
constexpr TSpread64 MakeSpread64() {
  TSpread64 t{};
  for (int ch = 0; ch < 3; ++ch)
    for (int j = 0; j < 64; ++j) t.Spread[ch][j] = uint8_t((64 * ((ch - j % 3 + 3) % 3) + j) / 3);
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 64; ++j) t.Take[k][(j + k) % 3] |= uint64_t(1) << j;
  return t;
}
constexpr TSpread64 kSpread64 = MakeSpread64();

#define STELLON_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))
STELLON_AVX512 inline __m512i Load64(const uint8_t* p) { return _mm512_loadu_si512(p); }
// 0x28: (a ^ b) & c; 0xA8: (a | b) & c.
STELLON_AVX512 inline __m512i Mean4Avx512(__m512i p, __m512i q, __m512i abx, __m512i cdx, __m512i one) {
  const __m512i pqOdd = _mm512_ternarylogic_epi32(p, q, one, 0x28);
  return _mm512_sub_epi8(_mm512_avg_epu8(p, q), _mm512_ternarylogic_epi32(abx, cdx, pqOdd, 0xA8));
}
STELLON_AVX512 inline __m512i Spread(int ch, __m512i v) {
  // (maskz form: the plain one trips GCC 12's uninitialised-value warning inside its own header)
  return _mm512_maskz_permutexvar_epi8(~__mmask64(0), _mm512_load_si512(kSpread64.Spread[ch]), v);
}

template <bool OtherIsRed>
STELLON_AVX512 inline void BlockAvx512(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x,
                                        __mmask64 greenLanes, uint8_t* out) {
  const __m512i one = _mm512_set1_epi8(1);
  const __m512i c = Load64(row + x), l = Load64(row + x - 1), r = Load64(row + x + 1);
  const __m512i u = Load64(up + x), ul = Load64(up + x - 1), ur = Load64(up + x + 1);
  const __m512i d = Load64(down + x), dl = Load64(down + x - 1), dr = Load64(down + x + 1);
  const __m512i side = _mm512_avg_epu8(l, r), vert = _mm512_avg_epu8(u, d);
  const __m512i cross = Mean4Avx512(side, vert, _mm512_xor_si512(l, r), _mm512_xor_si512(u, d), one);
  const __m512i p = _mm512_avg_epu8(ul, ur), q = _mm512_avg_epu8(dl, dr);
  const __m512i diag = Mean4Avx512(p, q, _mm512_xor_si512(ul, ur), _mm512_xor_si512(dl, dr), one);
  const __m512i g = _mm512_mask_blend_epi8(greenLanes, cross, c), other = _mm512_mask_blend_epi8(greenLanes, c, side),
                third = _mm512_mask_blend_epi8(greenLanes, diag, vert);
  const __m512i s0 = Spread(0, OtherIsRed ? third : other), s1 = Spread(1, g), s2 = Spread(2, OtherIsRed ? other : third);
  uint8_t* o = out + 3 * x;
  for (int k = 0; k < 3; ++k)
    _mm512_storeu_si512(o + 64 * k, _mm512_mask_blend_epi8(kSpread64.Take[k][2], _mm512_mask_blend_epi8(kSpread64.Take[k][1], s0, s1), s2));
}

template <bool OtherIsRed>
STELLON_AVX512 void BlocksAvx512(const uint8_t* up, const uint8_t* row, const uint8_t* down, int width, __mmask64 greenFromOdd,
                                 uint8_t* out) {
  int x = 1;
  for (; x + 64 <= width - 1; x += 64) BlockAvx512<OtherIsRed>(up, row, down, x, greenFromOdd, out);
  if (x < width - 1) {
    const int last = width - 65;
    BlockAvx512<OtherIsRed>(up, row, down, last, last & 1 ? greenFromOdd : __mmask64(~greenFromOdd), out);
  }
}

STELLON_AVX512 inline int InnerRowAvx512(const uint8_t* up, const uint8_t* row, const uint8_t* down, int width, bool evenIsGreen,
                                  bool otherIsRed, uint8_t* out) {
  if (width - 2 < 64) return InnerRowAvx2(up, row, down, width, evenIsGreen, otherIsRed, out);
  // Lane i is column x + i: with x odd, odd lanes are even columns.
  const __mmask64 oddLanes = 0xAAAAAAAAAAAAAAAAull;
  const __mmask64 greenFromOdd = evenIsGreen ? oddLanes : __mmask64(~oddLanes);
  if (otherIsRed) BlocksAvx512<true>(up, row, down, width, greenFromOdd, out);
  else BlocksAvx512<false>(up, row, down, width, greenFromOdd, out);
  return width - 1;
}

// Interior rows y0 .. y1-1, the whole loop in one function of each form.
__attribute__((target("avx2"))) void InteriorRowsAvx2(const TMosaic& m, int y0, int y1, const TFastDIB& dst) {
  for (int y = y0; y < y1; ++y) {
    const TRow r = m.Make(y);
    uint8_t* out = dst.Pixels8(y);
    const bool evenIsGreen = r.Own[0] == kG, otherIsRed = (evenIsGreen ? r.Own[1] : r.Own[0]) == kR;
    FinishRow(r, out, InnerRowAvx2(r.Up, r.Mid, r.Down, r.Width, evenIsGreen, otherIsRed, out));
  }
}
STELLON_AVX512 void InteriorRowsAvx512(const TMosaic& m, int y0, int y1, const TFastDIB& dst) {
  for (int y = y0; y < y1; ++y) {
    const TRow r = m.Make(y);
    uint8_t* out = dst.Pixels8(y);
    const bool evenIsGreen = r.Own[0] == kG, otherIsRed = (evenIsGreen ? r.Own[1] : r.Own[0]) == kR;
    FinishRow(r, out, InnerRowAvx512(r.Up, r.Mid, r.Down, r.Width, evenIsGreen, otherIsRed, out));
  }
}
#endif

void Row(const TRow& r, uint8_t* out, TSimd simd) {
  const int width = r.Width;
  if (width < 3 || (!r.Up && !r.Down)) {
    for (int x = 0; x < width; ++x) AnyPixel(r, x, out + 3 * x);
    return;
  }
  // The top and bottom rows go through the interior rule with their one
  // neighbour row standing for both: that gives the same means of two (a
  // value and its double average to the value), and only green at red and
  // blue sites, a mean of three, is redone below.
  const bool edge = !r.Up || !r.Down;
  const uint8_t* up = r.Up ? r.Up : r.Down;
  const uint8_t* down = r.Down ? r.Down : r.Up;
  const bool evenIsGreen = r.Own[0] == kG;
  const bool otherIsRed = (evenIsGreen ? r.Own[1] : r.Own[0]) == kR;
  int x = 1;
#if defined(__x86_64__)
  if (simd == TSimd::Avx512) x = InnerRowAvx512(up, r.Mid, down, width, evenIsGreen, otherIsRed, out);
  else if (simd == TSimd::Avx2) x = InnerRowAvx2(up, r.Mid, down, width, evenIsGreen, otherIsRed, out);
  else if (simd == TSimd::Ssse3) x = InnerRowSsse3(up, r.Mid, down, width, evenIsGreen, otherIsRed, out);
#endif
  if (!edge) return FinishRow(r, out, x);
  const TRow both{up, r.Mid, down, width, {r.Own[0], r.Own[1]}, {r.Near[0], r.Near[1]}};
  FinishRow(both, out, x);
  const uint8_t* m = r.Mid;
  for (int k = evenIsGreen ? 1 : 2; k < width - 1; k += 2) out[3 * k + 1] = uint8_t((m[k - 1] + m[k + 1] + up[k] + 1) / 3);
  AnyPixel(r, 0, out);
  AnyPixel(r, width - 1, out + 3 * (width - 1));
}

bool Overlap(const uint8_t* a, size_t aBytes, const uint8_t* b, size_t bBytes) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x < y + bBytes && y < x + aBytes;
}

}  // namespace

void DemosaicBilinear(const uint8_t* raw, int width, int height, ptrdiff_t stride, TBayerPattern pattern,
                      TFastDIB& dst, TSimd simd) {
  if (!raw || width < 1 || height < 1 || !dst.Bits || dst.Bpp() != 24 || dst.Width() != width ||
      dst.AbsHeight != height)
    return;
  // Output row y needs mosaic rows y-1 to y+1, and the rows after them
  // later: before row y would overwrite any of those, they are copied away
  // (in place, with the mosaic at the end of dst's pixels, only for the
  // last row).
  TMosaic m{raw, stride, 0, width, height, kCells[int(pattern)]};
  std::vector<uint8_t> copy;
  auto overwrites = [&](int y) {
    if (!copy.empty()) return false;
    const uint8_t *a = m.At(std::max(y - 1, 0)), *b = m.At(height - 1), *from = std::min(a, b);
    return Overlap(dst.Pixels8(y), 3 * size_t(width), from, size_t(std::max(a, b) - from) + size_t(width));
  };
  for (int y = 0; y < height;) {
    if (overwrites(y)) {
      const int first = std::max(y - 1, 0);
      copy.resize(size_t(height - first) * size_t(width));
      for (int k = first; k < height; ++k) std::memcpy(&copy[size_t(k - first) * size_t(width)], m.At(k), size_t(width));
      m = TMosaic{copy.data(), width, first, width, height, m.Cell};
    }
#if defined(__x86_64__)
    const bool rowsAtOnce = simd >= TSimd::Avx2;
#else
    const bool rowsAtOnce = false;
#endif
    if (y == 0 || y == height - 1 || width < 3 || !rowsAtOnce) {
      Row(m.Make(y), dst.Pixels8(y), simd);
      ++y;
      continue;
    }
    int end = y + 1;
    while (end < height - 1 && !overwrites(end)) ++end;
#if defined(__x86_64__)
    if (simd == TSimd::Avx512) InteriorRowsAvx512(m, y, end, dst);
    else InteriorRowsAvx2(m, y, end, dst);
#endif
    y = end;
  }
}
