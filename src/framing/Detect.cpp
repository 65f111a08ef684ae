// SPDX-License-Identifier: GPL-3.0-or-later
#include "framing/Detect.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framing/Enhance.h"
#include "image/Convert.h"
#include "sequence/Sequence.h"

namespace {

// Lightness from s = max + min of a pixel's three bytes: s / 2 with an exact
// half going to the even neighbour. Same value as ColorLightness.
constexpr int LightnessOfSum(int s) {
  const int half = s >> 1;
  return half + ((s & 1) & (half & 1));
}


inline int SumOf(const uint8_t* p) {
  const int b = p[0], g = p[1], r = p[2];
  return std::max(std::max(b, g), r) + std::min(std::min(b, g), r);
}

// A picture the detection can walk directly: 24 or 32 bits. Anything else is
// converted to 24 bits into `holder`.
const TFastDIB& Readable(const TFastDIB& image, TFastDIB& holder) {
  if (image.Bpp() == 24 || image.Bpp() == 32) return image;
  holder.SetSize(image.Width(), image.AbsHeight, 24, 0);
  ConvertTo24(holder, image);
  return holder;
}

// The row scanner. Lightness is monotone in s = max + min, so "lightness >
// tolerance" is "s >= SMin". Runs of dark background are skipped 16 pixels at
// a time: when no colour byte of a chunk exceeds Quick, no pixel of it can be
// bright (2 * max < SMin).
class TRowScanner {
 public:
  TRowScanner(int width, int pixelBytes, int sMin) : W_(width), Ps_(pixelBytes), SMin_(sMin) {
    Skip_ = sMin >= 1;
    const int quick = Skip_ ? (sMin - 1) / 2 : 0;
#if defined(__SSE2__)
    // Bytes are compared as (byte xor 0x80) > (quick xor 0x80) in signed form.
    QuickV_ = _mm_set1_epi8(char(uint8_t(quick) ^ 0x80));
    Bias_ = _mm_set1_epi8(char(0x80));
    // For 32-bit pixels the fourth byte is no colour: mask it out.
    Mask_ = Ps_ == 4 ? _mm_set1_epi32(0x00FFFFFF) : _mm_set1_epi32(-1);
#endif
    Quick_ = quick;
  }

  bool Bright(const uint8_t* row, int x) const { return SumOf(row + ptrdiff_t(x) * Ps_) >= SMin_; }

  // First bright column of the row, or -1.
  int FirstBright(const uint8_t* row) const {
    int x = 0;
    if (Skip_) {
      for (; x + kChunk <= W_; x += kChunk) {
        if (ChunkDark(row + ptrdiff_t(x) * Ps_)) continue;
        for (int k = 0; k < kChunk; ++k)
          if (Bright(row, x + k)) return x + k;
      }
    }
    for (; x < W_; ++x)
      if (Bright(row, x)) return x;
    return -1;
  }

  // Last bright column in [lo, hi], or -1.
  int LastBright(const uint8_t* row, int lo, int hi) const {
    int x = hi;
    if (Skip_) {
      for (; x - kChunk + 1 >= lo; x -= kChunk) {
        if (ChunkDark(row + ptrdiff_t(x - kChunk + 1) * Ps_)) continue;
        for (int k = 0; k < kChunk; ++k)
          if (Bright(row, x - k)) return x - k;
      }
    }
    for (; x >= lo; --x)
      if (Bright(row, x)) return x;
    return -1;
  }

 private:
  static constexpr int kChunk = 16;

  bool ChunkDark(const uint8_t* p) const {
#if defined(__SSE2__)
    // 16 pixels are 48 bytes (24-bit) or 64 bytes (32-bit).
    __m128i m = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), Mask_);
    const int blocks = Ps_;  // 16 * Ps_ bytes = Ps_ blocks of 16
    for (int i = 1; i < blocks; ++i)
      m = _mm_max_epu8(m, _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), Mask_));
    const __m128i over = _mm_cmpgt_epi8(_mm_xor_si128(m, Bias_), QuickV_);
    return _mm_movemask_epi8(over) == 0;
#else
    int m = 0;
    for (int i = 0; i < kChunk; ++i) {
      const uint8_t* q = p + ptrdiff_t(i) * Ps_;
      m = std::max({m, int(q[0]), int(q[1]), int(q[2])});
    }
    return m <= Quick_;
#endif
  }

  int W_;
  int Ps_;
  int SMin_;
  bool Skip_ = false;
  int Quick_ = 0;
#if defined(__SSE2__)
  __m128i QuickV_, Bias_, Mask_;
#endif
};

}  // namespace

void EnhanceForDetection(TFastDIB& image) {
  const TLut& lut = DetectionLut();
  ApplyLUT(image, lut, lut, lut);
}

namespace {
// Sum of the lightness values and largest max + min over the rows of a 24-
// (Step 3) or 32-bit (Step 4) picture. Lightness is s / 2 rounded half to
// even, that is (s >> 1) plus one when s ends in binary 11; it grows with s,
// so the largest lightness is that of the largest s.
//
// 16 pixels at a time: the bytewise maximum and minimum of the vectors at
// offsets 0, 1 and 2 hold, at every byte where a pixel starts, that pixel's
// max and min of blue, green and red; the other bytes are masked out (they
// then count as s = 0, which adds nothing and never wins the maximum).
template <int Step>
void LightnessSums(const TFastDIB& img, int64_t& sum, int& maxSum) {
  const int w = img.Width();
  int x0 = 0;  // pixels done in blocks, per row
#if defined(__SSE2__)
  alignas(16) uint8_t maskBytes[Step][16];
  for (int k = 0; k < Step; ++k)
    for (int i = 0; i < 16; ++i) maskBytes[k][i] = (16 * k + i) % Step == 0 ? 0xFF : 0;
  __m128i masks[Step];
  for (int k = 0; k < Step; ++k) masks[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(maskBytes[k]));
  const __m128i zero = _mm_setzero_si128(), three = _mm_set1_epi16(3);
  __m128i maxv = zero;
  // A block reads two bytes past its 16 pixels: it needs a 17th pixel.
  const int blocks = w >= 17 ? (w - 1) / 16 : 0;
  x0 = 16 * blocks;
#endif
  for (int y = 0; y < img.AbsHeight; ++y) {
    const uint8_t* row = img.Pixels8(y);
#if defined(__SSE2__)
    __m128i acc32 = zero;
    for (int b = 0; b < blocks;) {
      // Each 16-bit lane gains at most 2 * 255 * Step per block: 32 blocks fit.
      __m128i acc16 = zero;
      for (const int end = std::min(blocks, b + 32); b < end; ++b) {
        const uint8_t* p = row + ptrdiff_t(b) * 16 * Step;
        for (int k = 0; k < Step; ++k, p += 16) {
          const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
          const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
          const __m128i mx = _mm_and_si128(_mm_max_epu8(_mm_max_epu8(v0, v1), v2), masks[k]);
          const __m128i mn = _mm_and_si128(_mm_min_epu8(_mm_min_epu8(v0, v1), v2), masks[k]);
          const __m128i sLo = _mm_add_epi16(_mm_unpacklo_epi8(mx, zero), _mm_unpacklo_epi8(mn, zero));
          const __m128i sHi = _mm_add_epi16(_mm_unpackhi_epi8(mx, zero), _mm_unpackhi_epi8(mn, zero));
          maxv = _mm_max_epi16(maxv, _mm_max_epi16(sLo, sHi));
          const __m128i lLo = _mm_sub_epi16(_mm_srli_epi16(sLo, 1), _mm_cmpeq_epi16(_mm_and_si128(sLo, three), three));
          const __m128i lHi = _mm_sub_epi16(_mm_srli_epi16(sHi, 1), _mm_cmpeq_epi16(_mm_and_si128(sHi, three), three));
          acc16 = _mm_add_epi16(acc16, _mm_add_epi16(lLo, lHi));
        }
      }
      acc32 = _mm_add_epi32(acc32, _mm_add_epi32(_mm_unpacklo_epi16(acc16, zero), _mm_unpackhi_epi16(acc16, zero)));
    }
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc32);
    sum += int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
#endif
    const uint8_t* p = row + ptrdiff_t(x0) * Step;
    for (int x = x0; x < w; ++x, p += Step) {
      const int s = SumOf(p);
      sum += (s >> 1) + ((s & 3) == 3);
      maxSum = std::max(maxSum, s);
    }
  }
#if defined(__SSE2__)
  alignas(16) int16_t m[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(m), maxv);
  for (int16_t v : m) maxSum = std::max(maxSum, int(v));
#endif
}
}  // namespace

bool LightnessTotals(const TFastDIB& image, int64_t& sum, int32_t& maximum) {
  sum = 0;
  maximum = 0;
  TFastDIB holder;
  const TFastDIB& img = Readable(image, holder);
  if (int64_t(img.Width()) * img.AbsHeight <= 0 || !img.Bits) return false;
  int maxSum = 0;
  if (img.Bpp() == 24) LightnessSums<3>(img, sum, maxSum);
  else LightnessSums<4>(img, sum, maxSum);
  maximum = LightnessOfSum(maxSum);
  return true;
}

bool AutoTolerance(const TFastDIB& image, int32_t& threshold, bool complexMode) {
  threshold = 0;
  int64_t sum = 0;
  int32_t maximum = 0;
  if (!LightnessTotals(image, sum, maximum)) return false;
  const int64_t mean = sum / (int64_t(image.Width()) * image.AbsHeight);
  threshold = complexMode ? int32_t((maximum + mean) / 2) : int32_t((4 * mean + maximum) / 5);
  return true;
}

bool ScanForObject(const TFastDIB& image, int32_t tolerance, TRect& rect) {
  TFastDIB holder;
  const TFastDIB& img = Readable(image, holder);
  const int w = img.Width(), h = img.AbsHeight;
  if (w <= 0 || h <= 0 || !img.Bits) return false;

  // Smallest max + min whose lightness exceeds the tolerance.
  int sMin = 0;
  if (tolerance >= 255) return false;  // no lightness is above 255: nothing is bright
  if (tolerance >= 0)
    while (LightnessOfSum(sMin) <= tolerance) ++sMin;

  const TRowScanner scan(w, img.Bpp() / 8, sMin);
  int left = w, right = 0, top = 0, bottom = h;
  bool started = false, bottomFound = false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = img.Pixels8(y);
    const int first = scan.FirstBright(row);
    const bool rowBright = first >= 0;
    if (rowBright) {
      // Leftmost run start: the column before it.
      left = std::min(left, first > 0 ? first - 1 : 0);
      // Rightmost bright-to-dark step: the dark column after the last bright
      // pixel, unless that run reaches the last column; then the step before
      // that run counts.
      int last = scan.LastBright(row, first, w - 1);
      if (last == w - 1) {
        int dark = w - 1;
        while (dark >= first && scan.Bright(row, dark)) --dark;
        last = dark > first ? scan.LastBright(row, first, dark) : -1;
      }
      if (last >= 0) right = std::max(right, last + 1);
    }
    if (!rowBright && started && !bottomFound) {
      bottom = y;
      bottomFound = true;
    }
    if (!rowBright && !started) top = y;
    if (rowBright && !started) started = true;
  }
  if (!(started && bottomFound && left != w && right != 0)) return false;
  rect = TRect{left, top, right, bottom};
  return true;
}

bool DetectObject(const TFastDIB& image, TRect& rect, int32_t& tolerance, const TDetectOptions& options,
                  TDetectScratch* scratch) {
  const bool complexMode = options.ComplexMode, autoTolerance = options.AutoTolerance;
  if (!complexMode) {
    // Simple mode reads the pixels only, so the image itself can be scanned.
    if (autoTolerance) AutoTolerance(image, tolerance, false);
    return ScanForObject(image, tolerance, rect);
  }
  TDetectScratch local;
  TFastDIB& work = (scratch ? *scratch : local).Work;
  EnhanceAndBlur(image, work);
  if (autoTolerance) AutoTolerance(work, tolerance, true);
  return ScanForObject(work, tolerance, rect);
}

bool DetectObject(const TFastDIB& image, TRect& rect, TSequence& sequence, const TDetectOptions& options,
                  TDetectScratch* scratch) {
  return DetectObject(image, rect, sequence.Tolerance, options, scratch);
}
