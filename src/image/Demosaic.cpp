// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Demosaic.h"

#include <array>

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

inline void Put(TColorBGR& px, uint8_t colour, uint8_t v) {
  if (colour == kR) px.r = v;
  else if (colour == kG) px.g = v;
  else px.b = v;
}

// Any pixel, edges included: every colour is the rounded mean of the samples
// of that colour in the 3x3 window that lie inside the picture. Inside the
// picture this is exactly the bilinear rule.
void EdgePixel(const uint8_t* raw, int w, int h, ptrdiff_t stride, const uint8_t* cell, int y, int x, TColorBGR& px) {
  unsigned sum[3] = {0, 0, 0}, count[3] = {0, 0, 0};
  const uint8_t own = cell[(y & 1) * 2 + (x & 1)];
  for (int dy = -1; dy <= 1; ++dy) {
    const int yy = y + dy;
    if (yy < 0 || yy >= h) continue;
    for (int dx = -1; dx <= 1; ++dx) {
      const int xx = x + dx;
      if (xx < 0 || xx >= w) continue;
      const uint8_t c = cell[(yy & 1) * 2 + (xx & 1)];
      if (c == own && (dx || dy)) continue;  // a pixel's own colour is its own sample
      sum[c] += raw[yy * stride + xx];
      ++count[c];
    }
  }
  for (uint8_t c = 0; c < 3; ++c)
    Put(px, c, count[c] ? uint8_t((sum[c] + count[c] / 2) / count[c]) : 0);
}

inline uint8_t Avg2(unsigned a, unsigned b) { return uint8_t((a + b + 1) >> 1); }
inline uint8_t Avg4(unsigned a, unsigned b, unsigned c, unsigned d) { return uint8_t((a + b + c + d + 2) >> 2); }

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


#if defined(__x86_64__)
// Byte shuffles that interleave 16 blue, 16 green and 16 red bytes into 48
// bytes of blue-green-red triples: kInterleave[block][channel].
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

__attribute__((target("ssse3"))) inline __m128i Mean4(__m128i a, __m128i b, __m128i c, __m128i d) {
  const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
  const __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                                   _mm_add_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero)));
  const __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                                   _mm_add_epi16(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero)));
  return _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(lo, two), 2), _mm_srli_epi16(_mm_add_epi16(hi, two), 2));
}

__attribute__((target("ssse3"))) inline __m128i Pick(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Columns 1 .. 16n of an interior row, 16 at a time, exactly as the scalar
// rule; returns the first column not done.
__attribute__((target("ssse3"))) int InnerRowSsse3(const uint8_t* up, const uint8_t* row, const uint8_t* down,
                                                   int width, bool evenIsGreen, bool otherIsRed, uint8_t* out) {
  // Lane i is column 1 + 16k + i: odd columns in even lanes.
  const __m128i oddColumns = _mm_set1_epi16(0x00FF);
  const __m128i greenLanes = evenIsGreen ? _mm_xor_si128(oddColumns, _mm_set1_epi8(-1)) : oddColumns;
  const auto* masks = kInterleave.m;
  int x = 1;
  for (; x + 16 <= width - 1; x += 16) {
    auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const __m128i c = load(row + x), l = load(row + x - 1), r = load(row + x + 1);
    const __m128i u = load(up + x), ul = load(up + x - 1), ur = load(up + x + 1);
    const __m128i d = load(down + x), dl = load(down + x - 1), dr = load(down + x + 1);
    const __m128i side = _mm_avg_epu8(l, r), vert = _mm_avg_epu8(u, d);
    const __m128i cross = Mean4(u, d, l, r), diag = Mean4(ul, ur, dl, dr);
    const __m128i g = Pick(greenLanes, c, cross);
    const __m128i other = Pick(greenLanes, side, c);
    const __m128i third = Pick(greenLanes, vert, diag);
    const __m128i red = otherIsRed ? other : third, blue = otherIsRed ? third : other;
    uint8_t* o = out + 3 * x;
    for (int block = 0; block < 3; ++block) {
      const __m128i v = _mm_or_si128(
          _mm_or_si128(_mm_shuffle_epi8(blue, _mm_load_si128(reinterpret_cast<const __m128i*>(masks[block][0]))),
                       _mm_shuffle_epi8(g, _mm_load_si128(reinterpret_cast<const __m128i*>(masks[block][1])))),
          _mm_shuffle_epi8(red, _mm_load_si128(reinterpret_cast<const __m128i*>(masks[block][2]))));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * block), v);
    }
  }
  return x;
}
#endif

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

}  // namespace

void DemosaicBilinear(const uint8_t* raw, int width, int height, ptrdiff_t stride, TBayerPattern pattern,
                      TFastDIB& dst) {
  if (!raw || width < 1 || height < 1 || !dst.Bits || dst.Bpp() != 24 || dst.Width() != width ||
      dst.AbsHeight != height)
    return;
  const uint8_t* cell = kCells[int(pattern)];
  for (int y = 0; y < height; ++y) {
    TColorBGR* out = dst.Pixels24(y);
    if (y == 0 || y == height - 1 || width < 3) {
      for (int x = 0; x < width; ++x) EdgePixel(raw, width, height, stride, cell, y, x, out[x]);
      continue;
    }
    const uint8_t* row = raw + y * stride;
    const uint8_t* up = row - stride;
    const uint8_t* down = row + stride;
    const uint8_t* rowCell = cell + (y & 1) * 2;
    const bool evenIsGreen = rowCell[0] == kG;
    const bool otherIsRed = (evenIsGreen ? rowCell[1] : rowCell[0]) == kR;
    EdgePixel(raw, width, height, stride, cell, y, 0, out[0]);
    auto* bytes = reinterpret_cast<uint8_t*>(out);
    int x = 1;
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) x = InnerRowSsse3(up, row, down, width, evenIsGreen, otherIsRed, bytes);
#endif
    if (evenIsGreen) {
      if (otherIsRed) InnerRow<true, true>(up, row, down, width, bytes, x);
      else InnerRow<true, false>(up, row, down, width, bytes, x);
    } else {
      if (otherIsRed) InnerRow<false, true>(up, row, down, width, bytes, x);
      else InnerRow<false, false>(up, row, down, width, bytes, x);
    }
    EdgePixel(raw, width, height, stride, cell, y, width - 1, out[width - 1]);
  }
}
