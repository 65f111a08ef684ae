// SPDX-License-Identifier: GPL-3.0-or-later
#include "framing/Enhance.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kDistance = 2;  // the smoothing distance of the complex mode

TLut MakeDetectionLut() {
  TLut lightness, contrast, addition, gamma, merged;
  LightnessTable(0, lightness);
  ContrastTable(256, contrast);
  AdditionTable(0, addition);
  GammaTable(1.2, gamma);
  MergeLUTs({lightness, contrast, addition, gamma}, merged);
  return merged;
}

// The detection table applied to two bytes at once: entry (a | b << 8) holds
// lut[a] | lut[b] << 8 (128 KB, built once), which halves the look-ups of
// the mapping, the costliest step of the complex mode. ZeroUpTo is the
// largest v such that every value 0..v maps to 0 (the contrast sends the
// whole dark half of the range to black), -1 when 0 itself does not.
struct TPairLut {
  std::vector<uint16_t> Entries;
  int ZeroUpTo = -1;
  explicit TPairLut(const TLut& lut) : Entries(65536) {
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b) Entries[size_t(a | b << 8)] = uint16_t(lut[size_t(a)] | lut[size_t(b)] << 8);
    while (ZeroUpTo < 255 && lut[size_t(ZeroUpTo + 1)] == 0) ++ZeroUpTo;
  }
};

inline void MapBytes(const uint8_t* src, uint8_t* dst, size_t n, const uint16_t* table) {
  for (size_t i = 0; i < n; i += 8) {
    uint16_t v[4];
    std::memcpy(v, src + i, 8);
    for (uint16_t& e : v) e = table[e];
    std::memcpy(dst + i, v, 8);
  }
}

// Bytes [Lo, Hi) of a work row that may be non-zero; every byte outside is 0.
struct TExtent {
  int Lo = 0;
  int Hi = 0;
  bool Empty() const { return Lo >= Hi; }
};

// The bytes of a row from its first to its last non-zero one.
TExtent NonZeroBytes(const uint8_t* row, int n) {
  int lo = 0, hi = n;
  while (lo < n && row[lo] == 0) ++lo;
  while (hi > lo && row[hi - 1] == 0) --hi;
  return {lo, hi};
}

// Source row through the table into work row; a 32-bit pixel's fourth byte is
// copied as it is (the table leaves it alone). Blocks of 16 bytes that all
// map to 0 (the dark sky round a planet, as a rule) are written as zeros
// without looking them up. Returns the bytes that may be non-zero.
TExtent MapRow(const uint8_t* src, uint8_t* dst, int width, int pixelBytes, const TLut& lut, const TPairLut& pairs) {
  const int n = width * pixelBytes;
  if (pixelBytes != 3) {
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
      dst[0] = lut[src[0]];
      dst[1] = lut[src[1]];
      dst[2] = lut[src[2]];
      dst[3] = src[3];
    }
    return {0, n};
  }
  const uint16_t* table = pairs.Entries.data();
  int i = 0;
  TExtent e{n, 0};
#if defined(__SSE2__)
  if (pairs.ZeroUpTo >= 0) {
    // (byte xor 0x80) > (limit xor 0x80) in signed form is byte > limit.
    const __m128i bias = _mm_set1_epi8(char(0x80));
    const __m128i limit = _mm_set1_epi8(char(uint8_t(pairs.ZeroUpTo) ^ 0x80));
    for (; i + 16 <= n; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      if (_mm_movemask_epi8(_mm_cmpgt_epi8(_mm_xor_si128(v, bias), limit)) == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_setzero_si128());
      } else {
        MapBytes(src + i, dst + i, 16, table);
        e.Lo = std::min(e.Lo, i);
        e.Hi = i + 16;
      }
    }
  }
#endif
  if (i < n) {
    const int blocks = (n - i) / 8 * 8;
    MapBytes(src + i, dst + i, size_t(blocks), table);
    for (int k = i + blocks; k < n; ++k) dst[k] = lut[src[k]];
    e.Lo = std::min(e.Lo, i);
    e.Hi = n;
  }
  return e;
}

// One pixel of the smoothing: the mean of the four corners at distance 2,
// clamped to the picture, three colour bytes.
template <int Step>
inline void BlurPixel(uint8_t* out, const uint8_t* r1, const uint8_t* r2, int x, int width) {
  const int x1 = std::max(x - kDistance, 0) * Step, x2 = std::min(x + kDistance, width - 1) * Step;
  uint8_t* p = out + x * Step;
  for (int c = 0; c < 3; ++c) p[c] = uint8_t((r1[x1 + c] + r1[x2 + c] + r2[x1 + c] + r2[x2 + c]) >> 2);
}

// Pixels [xa, xb) of a row whose corner rows are other rows (2 <= y <=
// height - 3): a pure function of them, so the inner bytes can be done in
// blocks.
void BlurRowApart24(uint8_t* out, const uint8_t* r1, const uint8_t* r2, int width, int xa, int xb) {
  // Pixels whose corners are clamped to the picture's sides, one by one.
  const int innerA = std::max(xa, kDistance), innerB = std::min(xb, width - kDistance);
  if (innerA >= innerB) {
    for (int x = xa; x < xb; ++x) BlurPixel<3>(out, r1, r2, x, width);
    return;
  }
  for (int x = xa; x < innerA; ++x) BlurPixel<3>(out, r1, r2, x, width);
  // Inner pixels: byte i takes bytes i - 6 and i + 6 of both rows.
  int i = 3 * innerA;
  const int end = 3 * innerB;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= end; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + i - 6));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + i + 6));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r2 + i - 6));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r2 + i + 6));
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                      _mm_add_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero))),
        2);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                      _mm_add_epi16(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero))),
        2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < end; ++i) out[i] = uint8_t((r1[i - 6] + r1[i + 6] + r2[i - 6] + r2[i + 6]) >> 2);
  for (int x = innerB; x < xb; ++x) BlurPixel<3>(out, r1, r2, x, width);
}

// Any row, in place and left to right, exactly as the image library smooths:
// near the top and bottom a row is one of its own corner rows, and its pixels
// to the left are then read already replaced.
template <int Step>
void BlurRowInPlace(TFastDIB& work, int y) {
  const int w = work.Width(), h = work.AbsHeight;
  uint8_t* row = work.Scanlines[size_t(y)];
  const uint8_t* r1 = work.Scanlines[size_t(std::max(y - kDistance, 0))];
  const uint8_t* r2 = work.Scanlines[size_t(std::min(y + kDistance, h - 1))];
  for (int x = 0; x < w; ++x) BlurPixel<Step>(row, r1, r2, x, w);
}

}  // namespace

const TLut& DetectionLut() {
  static const TLut lut = MakeDetectionLut();
  return lut;
}

namespace {
const TPairLut& DetectionPairLut() {
  static const TPairLut pairs(DetectionLut());
  return pairs;
}
}  // namespace

void EnhanceAndBlur(const TFastDIB& image, TFastDIB& work) {
  const int bpp = image.Bpp();
  const int w = image.Width(), h = image.AbsHeight;
  if ((bpp != 24 && bpp != 32) || !image.Bits || w < 1 || h < 1) {
    work.CopyFrom(image);
    const TLut& lut = DetectionLut();
    ApplyLUT(work, lut, lut, lut);
    DiagonalBlur(work, kDistance);
    return;
  }
  work.SetSize(w, h, bpp, image.BitFormat);
  if (work.Width() != w || work.AbsHeight != h || !work.Bits) return;  // no memory: an empty picture
  const TLut& lut = DetectionLut();
  const TPairLut& pairs = DetectionPairLut();
  const int ps = bpp / 8;
  const int n = w * ps;
  // Where each work row may be non-zero: an output byte reads the bytes up to
  // two pixels (6 bytes) either side in its two corner rows, so where both
  // are zero round it the output is zero and needs no work.
  std::vector<TExtent> extent(static_cast<size_t>(h));
  int mapped = 0;  // rows [0, mapped) of work hold mapped pixels
  for (int y = 0; y < h; ++y) {
    for (const int need = std::min(y + kDistance, h - 1); mapped <= need; ++mapped)
      extent[size_t(mapped)] =
          MapRow(image.Scanlines[size_t(mapped)], work.Scanlines[size_t(mapped)], w, ps, lut, pairs);
    if (y < kDistance || y + kDistance > h - 1) {
      // Top and bottom rows read themselves: the library's order exactly.
      if (ps == 3) BlurRowInPlace<3>(work, y);
      else BlurRowInPlace<4>(work, y);
      extent[size_t(y)] = NonZeroBytes(work.Scanlines[size_t(y)], n);
      continue;
    }
    uint8_t* out = work.Scanlines[size_t(y)];
    const uint8_t* r1 = work.Scanlines[size_t(y - kDistance)];
    const uint8_t* r2 = work.Scanlines[size_t(y + kDistance)];
    if (ps != 3) {
      for (int x = 0; x < w; ++x) BlurPixel<4>(out, r1, r2, x, w);
      extent[size_t(y)] = {0, n};
      continue;
    }
    const TExtent& e1 = extent[size_t(y - kDistance)];
    const TExtent& e2 = extent[size_t(y + kDistance)];
    int xa = 0, xb = 0;  // pixels that may come out non-zero
    if (!e1.Empty() || !e2.Empty()) {
      const int lo = std::min(e1.Empty() ? n : e1.Lo, e2.Empty() ? n : e2.Lo);
      const int hi = std::max(e1.Empty() ? 0 : e1.Hi, e2.Empty() ? 0 : e2.Hi);
      xa = std::max(0, lo - 6) / 3;
      xb = std::min(w, (hi + 6 + 2) / 3);
    }
    std::memset(out, 0, size_t(3 * xa));
    if (xb > xa) BlurRowApart24(out, r1, r2, w, xa, xb);
    std::memset(out + 3 * std::max(xb, xa), 0, size_t(n - 3 * std::max(xb, xa)));
    // The smoothing's truncation lets faint values die out: keep the row's
    // true non-zero bytes, or the ranges would only ever grow down the picture.
    const TExtent inner = NonZeroBytes(out + 3 * xa, 3 * std::max(xb - xa, 0));
    extent[size_t(y)] = {3 * xa + inner.Lo, 3 * xa + inner.Hi};
  }
}
