// SPDX-License-Identifier: GPL-3.0-or-later
#include "framing/Surface.h"

#include <algorithm>
#include <cmath>
#include <exception>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "framing/Frame.h"
#include "sequence/Sequence.h"

namespace {

// Template sides at the coarsest level are at least this many pixels.
constexpr int32_t kCoarsestSide = 16;
constexpr int32_t kMaxLevels = 5;
// A candidate position counts when at least this part of the template overlaps the picture.
constexpr double kMinOverlap = 0.5;
// Candidates kept from the coarsest level of the whole window, refined each to the full size.
constexpr int kCandidates = 3;
// The small search: a grid of this many positions either side of the last
// place, at this level (or the coarsest, when there are fewer levels).
constexpr int32_t kNearRadius = 4;
constexpr int32_t kNearLevel = 2;
// A peak of the small search at least this good is taken as it is.
constexpr double kExcellentPeak = 0.9;
// The score of a place whose pixels were not converted: it never wins.
constexpr double kNotHeld = -3;
// Steps a climb may take at one level.
constexpr int kClimbSteps = 8;

// The vertex of the parabola through (-1, a), (0, b), (1, c), within -0.5..0.5.
double ParabolaPeak(double a, double b, double c) {
  const double d = a - 2 * b + c;
  if (!(d < 0)) return 0;
  return std::clamp(0.5 * (a - c) / d, -0.5, 0.5);
}

// Exact sums over a row: template x picture, picture squared, picture.
struct TRowSums {
  int64_t Ti = 0, Ii = 0, I = 0;
};

// Rows are summed in pieces of at most this many pixels, so that no 32-bit
// lane can overflow (each adds at most 2 * 765 * 765 per step).
constexpr int32_t kChunk = 2048;

void RowSumsPlain(const int16_t* t, const int16_t* p, int32_t n, TRowSums& s) {
  for (int32_t c = 0; c < n; ++c) {
    s.Ti += int32_t(t[c]) * p[c];
    s.Ii += int32_t(p[c]) * p[c];
    s.I += p[c];
  }
}

#if defined(__SSE2__)
int64_t Lanes(__m128i v) {
  alignas(16) int32_t a[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(a), v);
  return int64_t(a[0]) + a[1] + a[2] + a[3];
}

void RowSumsSse2(const int16_t* t, const int16_t* p, int32_t n, TRowSums& s) {
  for (int32_t start = 0; start < n; start += kChunk) {
    const int32_t end = std::min(n, start + kChunk);
    const __m128i ones = _mm_set1_epi16(1);
    __m128i ti = _mm_setzero_si128(), ii = ti, i1 = ti;
    int32_t c = start;
    for (; c + 8 <= end; c += 8) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + c));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + c));
      ti = _mm_add_epi32(ti, _mm_madd_epi16(a, b));
      ii = _mm_add_epi32(ii, _mm_madd_epi16(b, b));
      i1 = _mm_add_epi32(i1, _mm_madd_epi16(b, ones));
    }
    s.Ti += Lanes(ti);
    s.Ii += Lanes(ii);
    s.I += Lanes(i1);
    RowSumsPlain(t + c, p + c, end - c, s);
  }
}

__attribute__((target("avx2"))) __m128i Fold(__m256i v) {
  return _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

__attribute__((target("avx2"))) void RowSumsAvx2(const int16_t* t, const int16_t* p, int32_t n, TRowSums& s) {
  for (int32_t start = 0; start < n; start += kChunk) {
    const int32_t end = std::min(n, start + kChunk);
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i ti = _mm256_setzero_si256(), ii = ti, i1 = ti;
    int32_t c = start;
    for (; c + 16 <= end; c += 16) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + c));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + c));
      ti = _mm256_add_epi32(ti, _mm256_madd_epi16(a, b));
      ii = _mm256_add_epi32(ii, _mm256_madd_epi16(b, b));
      i1 = _mm256_add_epi32(i1, _mm256_madd_epi16(b, ones));
    }
    s.Ti += Lanes(Fold(ti));
    s.Ii += Lanes(Fold(ii));
    s.I += Lanes(Fold(i1));
    RowSumsPlain(t + c, p + c, end - c, s);
  }
}

// The sums are exact integers: every variant gives the same.
using TRowSumsFn = void (*)(const int16_t*, const int16_t*, int32_t, TRowSums&);
TRowSumsFn PickRowSums() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? RowSumsAvx2 : RowSumsSse2;
}
const TRowSumsFn RowSums = PickRowSums();
#else
const auto RowSums = RowSumsPlain;
#endif

// One row of 24-bit pixels to grey (blue + green + red).
void GreyRowPlain(const uint8_t* p, int32_t w, int16_t* o) {
  for (int32_t x = 0; x < w; ++x, p += 3) o[x] = int16_t(p[0] + p[1] + p[2]);
}

#if defined(__SSE2__)
// Sixteen pixels at a time: each colour gathered from the three vectors of
// the 48 bytes by byte shuffles, then widened and added.
__attribute__((target("ssse3"))) __m128i Gather(__m128i v0, __m128i v1, __m128i v2, __m128i m0, __m128i m1,
                                                 __m128i m2) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, m0), _mm_shuffle_epi8(v1, m1)), _mm_shuffle_epi8(v2, m2));
}

__attribute__((target("ssse3"))) void GreyRowSsse3(const uint8_t* p, int32_t w, int16_t* o) {
  constexpr int8_t z = -128;  // a shuffle index that gives 0
  const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, z, z, z, z, z, z, z, z, z, z);
  const __m128i b1 = _mm_setr_epi8(z, z, z, z, z, z, 2, 5, 8, 11, 14, z, z, z, z, z);
  const __m128i b2 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 1, 4, 7, 10, 13);
  const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i g1 = _mm_setr_epi8(z, z, z, z, z, 0, 3, 6, 9, 12, 15, z, z, z, z, z);
  const __m128i g2 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 2, 5, 8, 11, 14);
  const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i r1 = _mm_setr_epi8(z, z, z, z, z, 1, 4, 7, 10, 13, z, z, z, z, z, z);
  const __m128i r2 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, 0, 3, 6, 9, 12, 15);
  const __m128i zero = _mm_setzero_si128();
  int32_t x = 0;
  for (; x + 16 <= w; x += 16, p += 48) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i b = Gather(v0, v1, v2, b0, b1, b2), g = Gather(v0, v1, v2, g0, g1, g2);
    const __m128i r = Gather(v0, v1, v2, r0, r1, r2);
    const __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(g, zero)),
                                     _mm_unpacklo_epi8(r, zero));
    const __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(g, zero)),
                                     _mm_unpackhi_epi8(r, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x + 8), hi);
  }
  GreyRowPlain(p, w - x, o + x);
}

using TGreyRowFn = void (*)(const uint8_t*, int32_t, int16_t*);
TGreyRowFn PickGreyRow() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") ? GreyRowSsse3 : GreyRowPlain;
}
const TGreyRowFn GreyRow24 = PickGreyRow();
#else
const auto GreyRow24 = GreyRowPlain;
#endif

// n * a - b * c, exactly, as a double.
double Cross(int64_t n, int64_t a, int64_t b, int64_t c) {
  return double(static_cast<__int128>(n) * a - static_cast<__int128>(b) * c);
}

#if defined(__SSE2__)
// The fixed-point bilinear mix of CaptureFramePixelsAt, sixteen bytes at a
// time with the very same integer arithmetic (16-bit products, 32-bit sums).
class TLerp {
 public:
  TLerp(int32_t wx, int32_t wy)
      : Wx0_(_mm_set1_epi16(int16_t(256 - wx))), Wx1_(_mm_set1_epi16(int16_t(wx))),
        Wy0_(_mm_set1_epi16(int16_t(256 - wy))), Wy1_(_mm_set1_epi16(int16_t(wy))) {}
  // out[k] from a[k], a[k + 3] (row above) and b[k], b[k + 3] (row below), k < 16.
  void Sixteen(const uint8_t* a, const uint8_t* b, uint8_t* out) const {
    const __m128i zero = _mm_setzero_si128();
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i va3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 3));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i vb3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 3));
    const __m128i lo = Eight(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(va3, zero), _mm_unpacklo_epi8(vb, zero),
                             _mm_unpacklo_epi8(vb3, zero));
    const __m128i hi = Eight(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(va3, zero), _mm_unpackhi_epi8(vb, zero),
                             _mm_unpackhi_epi8(vb3, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(lo, hi));
  }

 private:
  __m128i Eight(__m128i a, __m128i a3, __m128i b, __m128i b3) const {
    // Each row's mix is at most 255 * 256: it fits 16 unsigned bits.
    const __m128i top = _mm_add_epi16(_mm_mullo_epi16(a, Wx0_), _mm_mullo_epi16(a3, Wx1_));
    const __m128i bottom = _mm_add_epi16(_mm_mullo_epi16(b, Wx0_), _mm_mullo_epi16(b3, Wx1_));
    const __m128i tl = _mm_mullo_epi16(top, Wy0_), th = _mm_mulhi_epu16(top, Wy0_);
    const __m128i bl = _mm_mullo_epi16(bottom, Wy1_), bh = _mm_mulhi_epu16(bottom, Wy1_);
    const __m128i half = _mm_set1_epi32(32768);
    const __m128i lo = _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(tl, th), _mm_unpacklo_epi16(bl, bh)), half);
    const __m128i hi = _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(tl, th), _mm_unpackhi_epi16(bl, bh)), half);
    return _mm_packs_epi32(_mm_srli_epi32(lo, 16), _mm_srli_epi32(hi, 16));
  }
  __m128i Wx0_, Wx1_, Wy0_, Wy1_;
};
#endif

}  // namespace

void GreyPlane(const TFastDIB& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1, TGreyPlane& out) {
  const int32_t iw = image.Width(), ih = image.AbsHeight;
  out.Width = iw;
  out.Height = ih;
  x0 = std::clamp(x0, 0, iw), x1 = std::clamp(x1, x0, iw);
  y0 = std::clamp(y0, 0, ih), y1 = std::clamp(y1, y0, ih);
  out.X0 = x0, out.Y0 = y0, out.W = x1 - x0, out.H = y1 - y0;
  out.Pixels.resize(size_t(out.W) * size_t(out.H));
  const int32_t w = out.W;
  for (int32_t y = y0; y < y1; ++y) {
    int16_t* o = &out.Pixels[size_t(y - y0) * size_t(w)];
    if (image.Bpp() == 24) {
      const uint8_t* p = reinterpret_cast<const uint8_t*>(image.Pixels24(y) + x0);
      GreyRow24(p, w, o);
    } else if (image.Bpp() == 32) {
      const TColorBGRA* p = image.Pixels32(y) + x0;
      for (int32_t x = 0; x < w; ++x) o[x] = int16_t(p[x].b + p[x].g + p[x].r);
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const TColorBGR c = image.GetPixel(y, x0 + x);
        o[x] = int16_t(c.b + c.g + c.r);
      }
    }
  }
}

void HalvePlane(const TGreyPlane& in, TGreyPlane& out) {
  out.Width = in.Width / 2;
  out.Height = in.Height / 2;
  const int32_t x0 = (in.X0 + 1) / 2, y0 = (in.Y0 + 1) / 2;
  const int32_t x1 = std::max(x0, std::min((in.X0 + in.W) / 2, out.Width));
  const int32_t y1 = std::max(y0, std::min((in.Y0 + in.H) / 2, out.Height));
  out.X0 = x0, out.Y0 = y0, out.W = x1 - x0, out.H = y1 - y0;
  out.Pixels.resize(size_t(out.W) * size_t(out.H));
  if (out.W == 0) return;
  for (int32_t y = y0; y < y1; ++y) {
    const int16_t* a = in.Row(2 * y, 2 * x0);
    const int16_t* b = a + in.W;
    int16_t* o = &out.Pixels[size_t(y - y0) * size_t(out.W)];
    int32_t x = 0;
#if defined(__SSE2__)
    // Eight at a time: column pairs summed by a multiply-add with ones.
    const __m128i ones = _mm_set1_epi16(1), two = _mm_set1_epi32(2);
    for (; x + 8 <= out.W; x += 8) {
      const __m128i v0 = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x)));
      const __m128i v1 = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x + 8)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x + 8)));
      const __m128i s0 = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(v0, ones), two), 2);
      const __m128i s1 = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(v1, ones), two), 2);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x), _mm_packs_epi32(s0, s1));
    }
#endif
    for (; x < out.W; ++x) o[x] = int16_t((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
  }
}

bool TSurfaceTracker::SetTemplate(const TFastDIB& reference, const TRect& region) {
  Template_.clear();
  Blank_ = false;
  WideSearches_ = 0;
  if (region.Right < region.Left || region.Bottom < region.Top || !RectInsideImage(region, reference)) return false;
  int32_t levels = 1;
  while (levels < kMaxLevels && (std::min(region.Width(), region.Height()) >> levels) >= kCoarsestSide) ++levels;
  const int32_t align = 1 << (levels - 1);
  std::vector<TGreyPlane> pyramid(static_cast<size_t>(levels));
  GreyPlane(reference, region.Left & ~(align - 1), region.Top & ~(align - 1), region.Left + region.Width() + align,
            region.Top + region.Height() + align, pyramid[0]);
  for (int32_t l = 1; l < levels; ++l) HalvePlane(pyramid[size_t(l - 1)], pyramid[size_t(l)]);
  for (int32_t l = 0; l < levels; ++l) {
    const TGreyPlane& p = pyramid[size_t(l)];
    TTemplateLevel t;
    const int32_t x = region.Left >> l, y = region.Top >> l;
    const int32_t w = std::min(region.Width() >> l, p.Width - x);
    const int32_t h = std::min(region.Height() >> l, p.Height - y);
    t.Plane.Width = t.Plane.W = w;
    t.Plane.Height = t.Plane.H = h;
    t.Plane.Pixels.resize(size_t(w) * size_t(h));
    for (int32_t r = 0; r < h; ++r) std::copy_n(p.Row(y + r, x), size_t(w), &t.Plane.Pixels[size_t(r) * size_t(w)]);
    for (int16_t v : t.Plane.Pixels) t.Sum += v, t.SumSq += int32_t(v) * v;
    const int64_t n = int64_t(w) * h;
    t.Norm = std::sqrt(Cross(n, t.SumSq, t.Sum, t.Sum));
    Template_.push_back(std::move(t));
  }
  // Less than a hundredth of a grey level of spread: nothing to find.
  const double n0 = double(Template_[0].Plane.Pixels.size());
  Blank_ = Template_[0].Norm < 0.01 * n0;
  return true;
}

// Normalised cross-correlation of the template of `level` placed with its
// top-left corner at (x, y) of the picture's level; over the overlapping part
// when the template reaches beyond the picture; -2 when too little overlaps;
// kNotHeld when the overlap is not in the part of the picture held.
double TSurfaceTracker::Score(int32_t level, int32_t x, int32_t y) const {
  const TTemplateLevel& t = Template_[size_t(level)];
  const TGreyPlane& img = Image_[size_t(level)];
  const int32_t tw = t.Plane.W, th = t.Plane.H;
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min(x + tw, img.Width), y1 = std::min(y + th, img.Height);
  if (x1 <= x0 || y1 <= y0) return -2;
  const int32_t ow = x1 - x0, oh = y1 - y0;
  const int64_t n = int64_t(ow) * oh;
  if (double(n) < kMinOverlap * tw * th) return -2;
  if (!img.Holds(x0, y0, ow, oh)) return kNotHeld;
  TRowSums s;
  int64_t st = t.Sum, stt = t.SumSq;
  if (ow == tw && oh == th) {
    for (int32_t r = 0; r < th; ++r) RowSums(&t.Plane.Pixels[size_t(r) * size_t(tw)], img.Row(y + r, x), tw, s);
  } else {
    st = stt = 0;
    for (int32_t r = y0; r < y1; ++r) {
      const int16_t* tp = &t.Plane.Pixels[size_t(r - y) * size_t(tw) + size_t(x0 - x)];
      RowSums(tp, img.Row(r, x0), ow, s);
      for (int32_t c = 0; c < ow; ++c) st += tp[c], stt += int32_t(tp[c]) * tp[c];
    }
  }
  const double vt = Cross(n, stt, st, st), vi = Cross(n, s.Ii, s.I, s.I);
  // A flat picture there (spread below a thousandth of a grey level): no match.
  if (vi <= 1e-6 * double(n) * double(n) || vt <= 1e-6 * double(n) * double(n)) return 0;
  return Cross(n, s.Ti, st, s.I) / std::sqrt(vt * vi);
}

double TSurfaceTracker::CachedScore(int32_t level, int32_t x, int32_t y) {
  if (CacheLevel_ != level) Cache_.clear(), CacheLevel_ = level;
  const int64_t key = (int64_t(x) << 32) ^ uint32_t(y);
  for (const auto& [k, v] : Cache_)
    if (k == key) return v;
  const double v = Score(level, x, y);
  Cache_.push_back({key, v});
  if (v == kNotHeld) ReachedEdge_ = true;
  return v;
}

// From `from`, climbs to the neighbour that scores best until none scores
// higher than where it stands.
TSurfaceTracker::TPos TSurfaceTracker::Climb(int32_t level, TPos c) {
  c.S = CachedScore(level, c.X, c.Y);
  for (int step = 0; step < kClimbSteps; ++step) {
    TPos next = c;
    for (int32_t dy = -1; dy <= 1; ++dy)
      for (int32_t dx = -1; dx <= 1; ++dx) {
        if (dx == 0 && dy == 0) continue;
        const double v = CachedScore(level, c.X + dx, c.Y + dy);
        if (v > next.S) next = {c.X + dx, c.Y + dy, v};
      }
    if (next.X == c.X && next.Y == c.Y) break;
    c = next;
  }
  return c;
}

TSurfaceMatch TSurfaceTracker::Search(const TFastDIB& image, int32_t centreX, int32_t centreY, int32_t level,
                                      int32_t rx, int32_t ry, int32_t candidates, bool subPixel) {
  TSurfaceMatch m;
  // The grey pyramid of the part searched: the grid, the template beyond it,
  // and room for the climbs, aligned so that every level halves exactly.
  const int32_t cx = centreX >> level, cy = centreY >> level;
  const TGreyPlane& t0 = Template_[0].Plane;
  const int32_t room = 2;
  const int32_t ax0 = (cx - rx - room) << level, ay0 = (cy - ry - room) << level;
  const int32_t ax1 = ((cx + rx + room + 1) << level) + t0.W + (1 << level);
  const int32_t ay1 = ((cy + ry + room + 1) << level) + t0.H + (1 << level);
  Image_.resize(size_t(level) + 1);
  GreyPlane(image, ax0, ay0, ax1, ay1, Image_[0]);
  for (int32_t l = 1; l <= level; ++l) HalvePlane(Image_[size_t(l - 1)], Image_[size_t(l)]);
  CacheLevel_ = -1;
  ReachedEdge_ = false;

  // The grid, then its best few local maxima.
  const int32_t sw = 2 * rx + 1, sh = 2 * ry + 1;
  std::vector<double> map(size_t(sw) * size_t(sh), -2);
  for (int32_t j = 0; j < sh; ++j)
    for (int32_t i = 0; i < sw; ++i) map[size_t(j) * size_t(sw) + size_t(i)] = Score(level, cx + i - rx, cy + j - ry);
  std::vector<TPos> cands;
  for (int32_t j = 0; j < sh; ++j)
    for (int32_t i = 0; i < sw; ++i) {
      const double v = map[size_t(j) * size_t(sw) + size_t(i)];
      if (v <= -2) continue;  // too little overlap, or not held
      bool peak = true;
      for (int32_t b = -1; b <= 1 && peak; ++b)
        for (int32_t a = -1; a <= 1 && peak; ++a) {
          if ((a == 0 && b == 0) || i + a < 0 || j + b < 0 || i + a >= sw || j + b >= sh) continue;
          peak = map[size_t(j + b) * size_t(sw) + size_t(i + a)] <= v;
        }
      if (peak) cands.push_back({cx + i - rx, cy + j - ry, v});
    }
  std::sort(cands.begin(), cands.end(), [](const TPos& a, const TPos& b) { return a.S > b.S; });
  if (cands.size() > size_t(candidates)) cands.resize(size_t(candidates));

  // Each candidate is refined down to the level above the full size (climbing
  // from the doubled position, within a pixel or two of the peak); only the
  // best one is refined at full size, where a score costs the most.
  TPos best;
  for (TPos c : cands) {
    if (level > 0) c = Climb(level, c);
    for (int32_t l = level - 1; l >= 1; --l) c = Climb(l, {2 * c.X, 2 * c.Y});
    if (c.S > best.S) best = c;
  }
  if (best.S <= -2) return m;
  const TPos p = Climb(0, level > 0 ? TPos{2 * best.X, 2 * best.Y} : best);
  if (p.S <= -2) return m;
  m.Found = true;
  m.Peak = p.S;
  m.X = p.X;
  m.Y = p.Y;
  m.Inside = p.X >= 0 && p.Y >= 0 && p.X + t0.W <= image.Width() && p.Y + t0.H <= image.AbsHeight;
  if (subPixel && m.Inside) {
    m.X += ParabolaPeak(CachedScore(0, p.X - 1, p.Y), p.S, CachedScore(0, p.X + 1, p.Y));
    m.Y += ParabolaPeak(CachedScore(0, p.X, p.Y - 1), p.S, CachedScore(0, p.X, p.Y + 1));
  }
  return m;
}

TSurfaceMatch TSurfaceTracker::Find(const TFastDIB& image, int32_t centreX, int32_t centreY, bool subPixel) {
  if (Template_.empty() || Blank_) return {};
  const int32_t top = Levels() - 1;
  // The small search counts only when no climb ran into the edge of the part
  // converted: then its peak is a true local maximum.
  const TSurfaceMatch near = Search(image, centreX, centreY, std::min(kNearLevel, top), kNearRadius, kNearRadius, 1, subPixel);
  if (near.Found && !ReachedEdge_ && near.Peak >= kExcellentPeak) return near;
  ++WideSearches_;
  const int32_t rx = std::max(1, (image.Width() / 4) >> top), ry = std::max(1, (image.AbsHeight / 4) >> top);
  const TSurfaceMatch wide = Search(image, centreX, centreY, top, rx, ry, kCandidates, subPixel);
  return wide.Found && (!near.Found || wide.Peak >= near.Peak) ? wide : near;
}

bool CaptureFramePixelsAt(const TRect& rect, double dx, double dy, const TFastDIB& image, TAviList& record) {
  const int32_t w = rect.Width(), h = rect.Height();
  const int32_t iw = image.Width(), ih = image.AbsHeight;
  const int32_t ox = dx < 0 ? -1 : 0, oy = dy < 0 ? -1 : 0;
  const double fx = dx - ox, fy = dy - oy;
  const bool rows = image.Bpp() == 24 && rect.Left + ox >= 0 && rect.Top + oy >= 0 && rect.Right + ox + 1 < iw &&
                    rect.Bottom + oy + 1 < ih && w > 0 && h > 0;
  if ((dx != 0 || dy != 0) && rows) {
    // Every neighbour inside the picture: straight from the rows, in fixed
    // point; every byte of the block is written here, none copied first.
    record.FramePixelsRect = rect;
    record.FramePixels.resize(FramePixelsBytes(rect));
    record.FramePixels.back() = 0;
    uint8_t* out = record.FramePixels.data();
    const int32_t wx = int32_t(std::lround(fx * 256)), wy = int32_t(std::lround(fy * 256));
#if defined(__SSE2__)
    const TLerp lerp(wx, wy);
#endif
    for (int32_t r = 0; r < h; ++r) {
      const uint8_t* a = reinterpret_cast<const uint8_t*>(image.Pixels24(rect.Top + r + oy) + rect.Left + ox);
      const uint8_t* b = reinterpret_cast<const uint8_t*>(image.Pixels24(rect.Top + r + oy + 1) + rect.Left + ox);
      int32_t k = 0;
#if defined(__SSE2__)
      for (; k + 16 <= 3 * w; k += 16, out += 16) lerp.Sixteen(a + k, b + k, out);
#endif
      for (; k < 3 * w; ++k) {
        const int32_t top = a[k] * (256 - wx) + a[k + 3] * wx, bottom = b[k] * (256 - wx) + b[k + 3] * wx;
        *out++ = uint8_t((top * (256 - wy) + bottom * wy + 32768) >> 16);
      }
    }
    return true;
  }
  if (!CaptureFramePixels(rect, image, record)) return false;
  if (dx == 0 && dy == 0) return true;
  uint8_t* out = record.FramePixels.data();
  auto px = [&](int32_t y, int32_t x) {
    y = std::clamp(y, 0, ih - 1);
    x = std::clamp(x, 0, iw - 1);
    if (image.Bpp() == 32) {
      const TColorBGRA& p = image.Pixels32(y)[x];
      return TColorBGR{p.b, p.g, p.r};
    }
    return image.GetPixel(y, x);
  };
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c, out += 3) {
      const int32_t x = rect.Left + c + ox, y = rect.Top + r + oy;
      const TColorBGR a = px(y, x), b = px(y, x + 1), cc = px(y + 1, x), d = px(y + 1, x + 1);
      auto mix = [&](uint8_t va, uint8_t vb, uint8_t vc, uint8_t vd) {
        const double v = (1 - fy) * ((1 - fx) * va + fx * vb) + fy * ((1 - fx) * vc + fx * vd);
        return uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0));
      };
      out[0] = mix(a.b, b.b, cc.b, d.b);
      out[1] = mix(a.g, b.g, cc.g, d.g);
      out[2] = mix(a.r, b.r, cc.r, d.r);
    }
  return true;
}

TSurfaceResult TrackSurface(TSequence& sequence, const TSurfaceOptions& options, const TAutoFrameHooks& hooks) {
  TSurfaceResult result;
  const int32_t count = sequence.ImageList.Count();
  if (options.Reference < 0 || options.Reference >= count) {
    result.Error = "reference image " + std::to_string(options.Reference + 1) + " is not in the sequence (1 to " +
                   std::to_string(count) + ")";
    return result;
  }
  TFastDIB image;
  TSurfaceTracker tracker;
  if (!sequence.ReadImage(options.Reference, image).ok()) {
    result.Error = "reference image " + std::to_string(options.Reference + 1) + " cannot be read";
    return result;
  }
  const TRect& region = options.Region;
  if (!tracker.SetTemplate(image, region)) {
    result.Error = "region (" + std::to_string(region.Left) + "," + std::to_string(region.Top) + ") - (" +
                   std::to_string(region.Right) + "," + std::to_string(region.Bottom) + ") is not inside reference image " +
                   std::to_string(options.Reference + 1) + " (" + std::to_string(image.Width()) + "x" +
                   std::to_string(image.AbsHeight) + ")";
    return result;
  }
  sequence.FrameSizeSet = true;
  sequence.FrameWidth = region.Right - region.Left;
  sequence.FrameHeight = region.Bottom - region.Top;
  // Every frame has the region's size: when neither the memory budget nor
  // the disk can keep a copy for every image, the run stops before making any.
  TRect each{0, 0, sequence.FrameWidth, sequence.FrameHeight};
  AddMargin(each, options.bordure);
  if (const TStatus room = CheckFrameBlockRoom(uint64_t(count), FramePixelsBytes(each)); !room) {
    result.NoRoom = room.Message();
    return result;
  }
  result.Matches.assign(size_t(count), {});

  auto one = [&](int32_t index, int32_t& cx, int32_t& cy) {
    TFrameProblem problem{index, TFrameProblemKind::NotFound};
    bool failed = true;
    if (index == options.Reference || sequence.ReadImage(index, image).ok()) {
      TSurfaceMatch m;
      if (index == options.Reference && !tracker.Blank())
        m = {true, true, double(region.Left), double(region.Top), 1.0};
      else
        m = tracker.Find(image, cx, cy, options.SubPixel);
      result.Matches[size_t(index)] = m;
      problem.Kind = TFrameProblemKind::PoorMatch;
      if (m.Found && m.Peak >= options.MinPeak) {
        const int32_t x = int32_t(std::lround(m.X)), y = int32_t(std::lround(m.Y));
        cx = x, cy = y;  // the next image is searched round here
        problem.Kind = TFrameProblemKind::OutOfLimit;
        TRect rect{x, y, x + sequence.FrameWidth, y + sequence.FrameHeight};
        TRect frame = rect;
        AddMargin(frame, options.bordure);
        if (m.Inside && MakeFrame(sequence, index, rect, image, options.bordure) == TFrameResult::Accepted) {
          failed = false;
          if (options.SubPixel) CaptureFramePixelsAt(frame, m.X - x, m.Y - y, image, *sequence.Record(index));
        } else {
          sequence.Record(index)->ObjectRect = rect;
        }
      }
    }
    if (failed) {
      result.Problems.push_back(problem);
      if (hooks.Problem) hooks.Problem(problem);
    } else if (hooks.Framed) {
      hooks.Framed(index);
    }
    ++result.Done;
    if (hooks.Progress) hooks.Progress(result.Done);
  };
  // The reference image first (it is re-read by the loop when it is not the
  // picture in hand), then onwards, then backwards, each following the drift.
  int32_t cx = region.Left, cy = region.Top;
  for (int32_t i = options.Reference; i < count && !result.Cancelled; ++i) {
    if (hooks.Cancelled && hooks.Cancelled()) result.Cancelled = true;
    else one(i, cx, cy);
  }
  cx = region.Left, cy = region.Top;
  for (int32_t i = options.Reference - 1; i >= 0 && !result.Cancelled; --i) {
    if (hooks.Cancelled && hooks.Cancelled()) result.Cancelled = true;
    else one(i, cx, cy);
  }
  result.WideSearches = tracker.WideSearches();
  std::sort(result.Problems.begin(), result.Problems.end(),
            [](const TFrameProblem& a, const TFrameProblem& b) { return a.Index < b.Index; });
  return result;
}
