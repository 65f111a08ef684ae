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
  // Row k, with the picture's one neighbour row standing for the missing one
  // above the top row or below the bottom row (height >= 2).
  const uint8_t* Src(int k) const { return At(k < 0 ? 1 : k >= Height ? Height - 2 : k); }
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

// The SIMD forms work on 16, 32 or 64 columns at once, every lane computing
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

// The wide forms walk down a strip of columns through a band of rows, so
// each mosaic row is loaded once per strip and its side mean (left and
// right) serves three output rows: as `side` for its own row and as half of
// `diag` for the rows above and below.
struct TWalk {
  const uint8_t* Up;    // row a-1 (or its stand-in)
  const uint8_t* Mid;   // row a
  const uint8_t* Next;  // row a+1; rows below it follow Step bytes apart
  const uint8_t* Last;  // row b (or its stand-in below the bottom row)
  ptrdiff_t Step;
  int Rows;  // b - a
  uint8_t* Out;  // output row a; rows below it follow OutStep bytes apart
  ptrdiff_t OutStep;
  const uint8_t* Cell;
  int First, Width;  // a, and the picture's width
  const uint8_t* Below(int i) const { return i + 1 < Rows ? Next + i * Step : Last; }
};

// Column x (0 or width-1) of rows a .. b-1, right after the strip beside it
// (its output is still at hand): EdgeColumn's rule with the row kinds
// resolved once.
void EdgeColumnOfBand(const TWalk& w, int x) {
  const int in = x == 0 ? 1 : x - 1;
  struct TSite {
    bool Green;
    uint8_t Own, Side, Vert;  // bytes of the pixel's own colour, of the colour beside it, of the colour above and below
  } sites[2];
  for (int i = 0; i < 2; ++i) {
    const uint8_t *own = w.Cell + ((w.First + i) & 1) * 2, *near = w.Cell + ((w.First + i + 1) & 1) * 2;
    const bool green = own[x & 1] == kG;
    sites[i] = {green, uint8_t(Byte(own[x & 1])), uint8_t(green ? Byte(own[in & 1]) : 1),
                uint8_t(Byte(green ? near[x & 1] : near[in & 1]))};
  }
  const uint8_t *up = w.Up, *mid = w.Mid;
  uint8_t* row = w.Out + 3 * x;
  for (int i = 0; i < w.Rows; ++i, row += w.OutStep) {
    const uint8_t* down = w.Below(i);
    const TSite& s = sites[i & 1];
    row[s.Own] = mid[x];
    if (s.Green) {
      row[s.Side] = mid[in];
      row[s.Vert] = Avg2(up[x], down[x]);
    } else {
      row[1] = uint8_t((mid[in] + up[x] + down[x] + 1) / 3);
      row[s.Vert] = Avg2(up[in], down[in]);
    }
    up = mid, mid = down;
  }
}

// One kind of row (the pattern gives two, alternating) in one strip: which
// lanes are green and which colour the row's other filter is.
struct TRowKind {
  bool GreenOdd;    // lanes at odd offsets from the strip's first column are green
  bool OtherIsRed;  // the row's non-green filter is red (the third colour is then blue)
};
inline TRowKind KindOf(const uint8_t* cell, int y, int x) {
  const uint8_t* own = cell + (y & 1) * 2;
  const int greenColumn = own[0] == kG ? 0 : 1;
  return TRowKind{((greenColumn ^ x) & 1) == 1, own[greenColumn ^ 1] == kR};
}

// Rolling state: samples, side means and left ^ right of the rows above and
// at the output row.
struct TRoll256 {
  __m256i UpC, UpSide, UpX, C, Side, X;
};

__attribute__((target("avx2"))) inline void StartAvx2(const uint8_t* row, __m256i& c, __m256i& side, __m256i& x) {
  const __m256i l = Load32(row - 1), r = Load32(row + 1);
  c = Load32(row), side = _mm256_avg_epu8(l, r), x = _mm256_xor_si256(l, r);
}

// Shuffles and blend masks of the 32-column step (see TSpreadMasks).
struct TAvx2Masks {
  __m256i Spread0, Spread1, Spread2, Take01, Take02, Take11, Take12, Take21, Take22;
};

// One output row of a 32-column strip from the row below (`below`).
template <bool OtherIsRed>
__attribute__((target("avx2"))) inline void StepAvx2(TRoll256& q, const uint8_t* below, __m256i green, const TAvx2Masks& t,
                                                      uint8_t* o) {
  const __m256i l = Load32(below - 1), r = Load32(below + 1), downC = Load32(below);
  const __m256i downSide = _mm256_avg_epu8(l, r), downX = _mm256_xor_si256(l, r);
  const __m256i vert = _mm256_avg_epu8(q.UpC, downC);
  const __m256i cross = Mean4Avx2(q.Side, vert, q.X, _mm256_xor_si256(q.UpC, downC));
  const __m256i diag = Mean4Avx2(q.UpSide, downSide, q.UpX, downX);
  const __m256i g = _mm256_blendv_epi8(cross, q.C, green), other = _mm256_blendv_epi8(q.C, q.Side, green),
                third = _mm256_blendv_epi8(diag, vert, green);
  const __m256i s0 = _mm256_shuffle_epi8(OtherIsRed ? third : other, t.Spread0);
  const __m256i s1 = _mm256_shuffle_epi8(g, t.Spread1);
  const __m256i s2 = _mm256_shuffle_epi8(OtherIsRed ? other : third, t.Spread2);
  const __m256i v0 = _mm256_blendv_epi8(_mm256_blendv_epi8(s0, s1, t.Take01), s2, t.Take02);
  const __m256i v1 = _mm256_blendv_epi8(_mm256_blendv_epi8(s0, s1, t.Take11), s2, t.Take12);
  const __m256i v2 = _mm256_blendv_epi8(_mm256_blendv_epi8(s0, s1, t.Take21), s2, t.Take22);
  // Each 128-bit half holds the 48 bytes of its 16 columns in three blocks.
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_permute2x128_si256(v0, v1, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), _mm256_permute2x128_si256(v2, v0, 0x30));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64), _mm256_permute2x128_si256(v1, v2, 0x31));
  q = {q.C, q.Side, q.X, downC, downSide, downX};
}

// The walk's rows, columns x .. x+31; the first row's other colour is red when FirstIsRed.
template <bool FirstIsRed>
__attribute__((target("avx2"))) void WalkAvx2(const TWalk& w, int x, bool firstGreenOdd) {
  const auto& m = kSpread;
  const TAvx2Masks t{Mask32(m.Spread[0]),  Mask32(m.Spread[1]),  Mask32(m.Spread[2]),
                     Mask32(m.Take[0][1]), Mask32(m.Take[0][2]), Mask32(m.Take[1][1]),
                     Mask32(m.Take[1][2]), Mask32(m.Take[2][1]), Mask32(m.Take[2][2])};
  const __m256i oddLanes = _mm256_set1_epi16(short(0xFF00)), evenLanes = _mm256_xor_si256(oddLanes, _mm256_set1_epi8(-1));
  const __m256i green0 = firstGreenOdd ? oddLanes : evenLanes, green1 = firstGreenOdd ? evenLanes : oddLanes;
  TRoll256 q;
  StartAvx2(w.Up + x, q.UpC, q.UpSide, q.UpX);
  StartAvx2(w.Mid + x, q.C, q.Side, q.X);
  uint8_t* row = w.Out;
  int i = 0;
  for (; i + 2 < w.Rows; i += 2, row += 2 * w.OutStep) {
    const uint8_t *below0 = w.Next + i * w.Step, *below1 = below0 + w.Step;
    StepAvx2<FirstIsRed>(q, below0 + x, green0, t, row + 3 * x);
    StepAvx2<!FirstIsRed>(q, below1 + x, green1, t, row + w.OutStep + 3 * x);
  }
  for (; i < w.Rows; ++i, row += w.OutStep) {
    const uint8_t* below = w.Below(i);
    if (i & 1) StepAvx2<!FirstIsRed>(q, below + x, green1, t, row + 3 * x);
    else StepAvx2<FirstIsRed>(q, below + x, green0, t, row + 3 * x);
  }
}

__attribute__((target("avx2"))) void StripAvx2(const TWalk& w, int x, TRowKind first) {
  if (first.OtherIsRed) WalkAvx2<true>(w, x, first.GreenOdd);
  else WalkAvx2<false>(w, x, first.GreenOdd);
}

// 64 columns at once. Output byte 64k + j is pixel (64k + j) / 3, channel
// (64k + j) mod 3. Two merges first: `pair` = side at green lanes, cross
// elsewhere; `third` = vert at green lanes, diag elsewhere. Each 64-byte output
// is then one two-source byte permute of (own samples, pair) with the third
// colour's bytes permuted in from `third` under a mask.
struct TStripTables {
  alignas(64) uint8_t Pair[2][2][3][64];  // [green odd][other is red][output]: 0-63 own sample of that lane, 64-127 `pair`
  alignas(64) uint8_t Third[3][64];       // lane of each byte
  uint64_t Take[2][3];                    // [other is red][output]: the third colour's bytes
};
constexpr TStripTables MakeStripTables() {
  TStripTables t{};
  for (int greenOdd = 0; greenOdd < 2; ++greenOdd)
    for (int otherIsRed = 0; otherIsRed < 2; ++otherIsRed)
      for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 64; ++j) {
          const int at = 64 * k + j, lane = at / 3, channel = at % 3;
          const bool green = (lane & 1) == greenOdd;
          const bool third = channel == (otherIsRed ? Byte(kB) : Byte(kR));
          t.Pair[greenOdd][otherIsRed][k][j] = uint8_t(third || (channel == Byte(kG)) == green ? lane : 64 + lane);
          t.Third[k][j] = uint8_t(lane);
          if (third && greenOdd == 0) t.Take[otherIsRed][k] |= uint64_t(1) << j;
        }
  return t;
}
constexpr TStripTables kStripTables = MakeStripTables();

#define STELLON_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))
STELLON_AVX512 inline __m512i Load64(const uint8_t* p) { return _mm512_loadu_si512(p); }
// 0x28: (a ^ b) & c; 0xA8: (a | b) & c.
STELLON_AVX512 inline __m512i Mean4Avx512(__m512i p, __m512i q, __m512i abx, __m512i cdx, __m512i one) {
  const __m512i pqOdd = _mm512_ternarylogic_epi32(p, q, one, 0x28);
  return _mm512_sub_epi8(_mm512_avg_epu8(p, q), _mm512_ternarylogic_epi32(abx, cdx, pqOdd, 0xA8));
}

struct TRoll512 {
  __m512i UpC, UpSide, UpX, C, Side, X;
};
struct TKind512 {
  __mmask64 Green, Take0, Take1, Take2;
  __m512i Pair0, Pair1, Pair2;
};

STELLON_AVX512 inline void StartAvx512(const uint8_t* row, __m512i& c, __m512i& side, __m512i& x) {
  const __m512i l = Load64(row - 1), r = Load64(row + 1);
  c = Load64(row), side = _mm512_avg_epu8(l, r), x = _mm512_xor_si512(l, r);
}

STELLON_AVX512 inline void StepAvx512(TRoll512& q, const uint8_t* below, const TKind512& k, __m512i third0, __m512i third1,
                                       __m512i third2, __m512i one, uint8_t* o) {
  const __m512i l = Load64(below - 1), r = Load64(below + 1), downC = Load64(below);
  const __m512i downSide = _mm512_avg_epu8(l, r), downX = _mm512_xor_si512(l, r);
  const __m512i vert = _mm512_avg_epu8(q.UpC, downC);
  const __m512i cross = Mean4Avx512(q.Side, vert, q.X, _mm512_xor_si512(q.UpC, downC), one);
  const __m512i diag = Mean4Avx512(q.UpSide, downSide, q.UpX, downX, one);
  const __m512i pair = _mm512_mask_blend_epi8(k.Green, cross, q.Side), third = _mm512_mask_blend_epi8(k.Green, diag, vert);
  _mm512_storeu_si512(o, _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(q.C, k.Pair0, pair), k.Take0, third0, third));
  _mm512_storeu_si512(o + 64, _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(q.C, k.Pair1, pair), k.Take1, third1, third));
  _mm512_storeu_si512(o + 128, _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(q.C, k.Pair2, pair), k.Take2, third2, third));
  q = {q.C, q.Side, q.X, downC, downSide, downX};
}

STELLON_AVX512 inline TKind512 Kind512(TRowKind k) {
  const auto& pair = kStripTables.Pair[k.GreenOdd][k.OtherIsRed];
  const uint64_t* take = kStripTables.Take[k.OtherIsRed];
  return TKind512{k.GreenOdd ? 0xAAAAAAAAAAAAAAAAull : 0x5555555555555555ull, take[0], take[1], take[2],
                  _mm512_load_si512(pair[0]), _mm512_load_si512(pair[1]), _mm512_load_si512(pair[2])};
}

STELLON_AVX512 void StripAvx512(const TWalk& w, int x, TRowKind first) {
  const __m512i one = _mm512_set1_epi8(1);
  const __m512i third0 = _mm512_load_si512(kStripTables.Third[0]), third1 = _mm512_load_si512(kStripTables.Third[1]),
                third2 = _mm512_load_si512(kStripTables.Third[2]);
  const TKind512 k0 = Kind512(first), k1 = Kind512({!first.GreenOdd, !first.OtherIsRed});
  TRoll512 q;
  StartAvx512(w.Up + x, q.UpC, q.UpSide, q.UpX);
  StartAvx512(w.Mid + x, q.C, q.Side, q.X);
  uint8_t* row = w.Out;
  int i = 0;
  for (; i + 2 < w.Rows; i += 2, row += 2 * w.OutStep) {
    const uint8_t *below0 = w.Next + i * w.Step, *below1 = below0 + w.Step;
    StepAvx512(q, below0 + x, k0, third0, third1, third2, one, row + 3 * x);
    StepAvx512(q, below1 + x, k1, third0, third1, third2, one, row + w.OutStep + 3 * x);
  }
  for (; i < w.Rows; ++i, row += w.OutStep) {
    const uint8_t* below = w.Below(i);
    StepAvx512(q, below + x, i & 1 ? k1 : k0, third0, third1, third2, one, row + 3 * x);
  }
}

// Columns 1 .. width-2 of rows a .. b-1 in strips of `columns`; the last strip
// overlaps the one before when the columns do not divide evenly.
template <typename Strip>
void Strips(const TMosaic& m, int a, int b, int columns, const TFastDIB& dst, Strip strip) {
  const TWalk w{m.Src(a - 1), m.At(a), m.Src(a + 1), m.Src(b), m.Step, b - a, dst.Pixels8(a), dst.RowSize, m.Cell, a, m.Width};
  int x = 1;
  for (; x + columns <= m.Width - 1; x += columns) {
    strip(w, x, KindOf(m.Cell, a, x));
    if (x == 1) EdgeColumnOfBand(w, 0);
  }
  if (x < m.Width - 1) strip(w, m.Width - 1 - columns, KindOf(m.Cell, a, m.Width - 1 - columns));
  EdgeColumnOfBand(w, m.Width - 1);
}
#endif

// What the vector forms leave of a row, columns x .. width-1 and the first
// column. The top and bottom rows went through the interior rule with their
// one neighbour row standing for both: that gives the same means of two (a
// value and its double average to the value), and only green at red and
// blue sites, a mean of three, is redone here.
void FinishAnyRow(const TRow& r, uint8_t* out, int x) {
  if (r.Up && r.Down) return FinishRow(r, out, x);
  const uint8_t* up = r.Up ? r.Up : r.Down;
  const uint8_t* down = r.Down ? r.Down : r.Up;
  FinishRow(TRow{up, r.Mid, down, r.Width, {r.Own[0], r.Own[1]}, {r.Near[0], r.Near[1]}}, out, x);
  const uint8_t* m = r.Mid;
  for (int k = r.Own[0] == kG ? 1 : 2; k < r.Width - 1; k += 2) out[3 * k + 1] = uint8_t((m[k - 1] + m[k + 1] + up[k] + 1) / 3);
  AnyPixel(r, 0, out);
  AnyPixel(r, r.Width - 1, out + 3 * (r.Width - 1));
}

// One row by the 16-column form (or none).
void Row(const TRow& r, uint8_t* out, TSimd simd) {
  const int width = r.Width;
  if (width < 3 || (!r.Up && !r.Down)) {
    for (int x = 0; x < width; ++x) AnyPixel(r, x, out + 3 * x);
    return;
  }
  int x = 1;
#if defined(__x86_64__)
  const bool evenIsGreen = r.Own[0] == kG;
  const bool otherIsRed = (evenIsGreen ? r.Own[1] : r.Own[0]) == kR;
  if (simd != TSimd::Plain)
    x = InnerRowSsse3(r.Up ? r.Up : r.Down, r.Mid, r.Down ? r.Down : r.Up, width, evenIsGreen, otherIsRed, out);
#else
  (void)simd;
#endif
  FinishAnyRow(r, out, x);
}

// Rows a .. b-1 by the strip forms (width - 2 >= 32, height >= 2).
void Band(const TMosaic& m, int a, int b, const TFastDIB& dst, TSimd simd) {
#if defined(__x86_64__)
  if (simd == TSimd::Avx512 && m.Width - 2 >= 64) Strips(m, a, b, 64, dst, StripAvx512);
  else Strips(m, a, b, 32, dst, StripAvx2);
#else
  (void)simd;
#endif
  // The strips did the first and last columns of the interior rows.
  for (int y : {0, m.Height - 1})
    if (y >= a && y < b) FinishAnyRow(m.Make(y), dst.Pixels8(y), m.Width - 1);
}

bool Overlap(const uint8_t* a, size_t aBytes, const uint8_t* b, size_t bBytes) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x < y + bBytes && y < x + aBytes;
}

// Rows per band of the strip forms (measured: fewer cost more in starting strips, more gain nothing).
constexpr int kBandRows = 64;

}  // namespace

void DemosaicBilinear(const uint8_t* raw, int width, int height, ptrdiff_t stride, TBayerPattern pattern,
                      TFastDIB& dst, TSimd simd) {
  if (!raw || width < 1 || height < 1 || !dst.Bits || dst.Bpp() != 24 || dst.Width() != width ||
      dst.AbsHeight != height)
    return;
  // Output rows a .. b-1 need mosaic rows a-1 to b, and the rows after them
  // later: before they would overwrite any of those, those are copied away
  // (in place, with the mosaic at the end of dst's pixels, only near the end).
  TMosaic m{raw, stride, 0, width, height, kCells[int(pattern)]};
  std::vector<uint8_t> copy;
  auto overwrites = [&](int a, int b) {
    if (!copy.empty()) return false;
    const uint8_t *o0 = dst.Pixels8(a), *o1 = dst.Pixels8(b - 1), *out = std::min(o0, o1);
    const uint8_t *m0 = m.At(std::max(a - 1, 0)), *m1 = m.At(height - 1), *from = std::min(m0, m1);
    return Overlap(out, size_t(std::max(o0, o1) - out) + 3 * size_t(width), from, size_t(std::max(m0, m1) - from) + size_t(width));
  };
#if defined(__x86_64__)
  const bool strips = simd >= TSimd::Avx2 && width - 2 >= 32 && height >= 2;
#else
  const bool strips = false;
#endif
  for (int y = 0; y < height;) {
    if (overwrites(y, y + 1)) {
      const int first = std::max(y - 1, 0);
      copy.resize(size_t(height - first) * size_t(width));
      for (int k = first; k < height; ++k) std::memcpy(&copy[size_t(k - first) * size_t(width)], m.At(k), size_t(width));
      m = TMosaic{copy.data(), width, first, width, height, m.Cell};
    }
    if (!strips) {
      Row(m.Make(y), dst.Pixels8(y), simd);
      ++y;
      continue;
    }
    int end = y + 1;
    while (end < height && end - y < kBandRows && !overwrites(y, end + 1)) ++end;
    Band(m, y, end, dst, simd);
    y = end;
  }
}
