#include "framing/Detect.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/Convert.h"
#include "image/Effects.h"
#include "sequence/Sequence.h"

namespace {

// Lightness from s = max + min of a pixel's three bytes: s / 2 with an exact
// half going to the even neighbour. Same value as ColorLightness.
constexpr int LightnessOfSum(int s) {
  const int half = s >> 1;
  return half + ((s & 1) & (half & 1));
}

struct TLightnessBySum {
  std::array<uint8_t, 511> L{};
  constexpr TLightnessBySum() {
    for (int s = 0; s <= 510; ++s) L[size_t(s)] = uint8_t(LightnessOfSum(s));
  }
};
constexpr TLightnessBySum kLightness;

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
  TLut lightness, contrast, addition, gamma, merged;
  LightnessTable(0, lightness);
  ContrastTable(256, contrast);
  AdditionTable(0, addition);
  GammaTable(1.2, gamma);
  MergeLUTs({lightness, contrast, addition, gamma}, merged);
  ApplyLUT(image, merged, merged, merged);
}

bool AutoTolerance(const TFastDIB& image, int32_t& threshold, bool complexMode) {
  threshold = 0;
  TFastDIB holder;
  const TFastDIB& img = Readable(image, holder);
  const int w = img.Width(), h = img.AbsHeight;
  const int64_t n = int64_t(w) * h;
  if (n <= 0 || !img.Bits) return false;
  const int ps = img.Bpp() / 8;
  int64_t sum = 0;
  int maximum = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = img.Pixels8(y);
    uint32_t rowSum = 0;  // at most 255 * 32767 per row: fits
    int rowMax = 0;
    for (int x = 0; x < w; ++x, p += ps) {
      const int l = kLightness.L[size_t(SumOf(p))];
      rowSum += uint32_t(l);
      rowMax = std::max(rowMax, l);
    }
    sum += rowSum;
    maximum = std::max(maximum, rowMax);
  }
  const int64_t mean = sum / n;
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

bool DetectObject(const TFastDIB& image, TRect& rect, int32_t& tolerance, bool complexMode, bool autoTolerance) {
  if (!complexMode) {
    // Simple mode reads the pixels only, so the image itself can be scanned.
    if (autoTolerance) AutoTolerance(image, tolerance, false);
    return ScanForObject(image, tolerance, rect);
  }
  TFastDIB work;
  work.CopyFrom(image);
  if (work.Bpp() != 24 && work.Bpp() != 32) {
    TFastDIB converted;
    converted.SetSize(image.Width(), image.AbsHeight, 24, 0);
    ConvertTo24(converted, image);
    work = std::move(converted);
  }
  EnhanceForDetection(work);
  DiagonalBlur(work, 2);
  if (autoTolerance) AutoTolerance(work, tolerance, true);
  return ScanForObject(work, tolerance, rect);
}

bool DetectObject(const TFastDIB& image, TRect& rect, TSequence& sequence, const TParamglob& params) {
  return DetectObject(image, rect, sequence.Tolerance, params.calcul_complexe, params.tolerance_automatique);
}
