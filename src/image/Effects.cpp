// SPDX-License-Identifier: GPL-3.0-or-later
// Point operations (lookup tables, saturation) and the diagonal smoothing.
#include "image/Effects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

uint8_t Clamp255(int64_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }
uint8_t Clamp255(int32_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Unpacking and repacking of 16-bit pixels with a picture's shifts; the low
// bits of each channel come back as zero, exactly as GetPixel reads them.
struct TWordCodec {
  uint8_t bshr, gshr, gshl, rshr, rshl;
  explicit TWordCodec(const TFastDIB& d) : bshr(d.BShr), gshr(d.GShr), gshl(d.GShl), rshr(d.RShr), rshl(d.RShl) {}
  uint8_t Blue(uint32_t w) const { return uint8_t(w << bshr); }
  uint8_t Green(uint32_t w) const { return uint8_t((w >> gshl) << gshr); }
  uint8_t Red(uint32_t w) const { return uint8_t((w >> rshl) << rshr); }
  uint16_t Pack(uint32_t r, uint32_t g, uint32_t b) const {
    return uint16_t(((r >> rshr) << rshl) | ((g >> gshr) << gshl) | (b >> bshr));
  }
};

// Builds the word table of a 16-bit picture from a per-pixel colour mapping
// f(red, green, blue, outRed, outGreen, outBlue).
template <class F>
std::unique_ptr<TLut16> WordTable(const TFastDIB& dib, F f) {
  auto lut = std::make_unique<TLut16>();
  const TWordCodec codec(dib);
  for (uint32_t w = 0; w < 65536; ++w) {
    uint8_t r, g, b;
    f(codec.Red(w), codec.Green(w), codec.Blue(w), r, g, b);
    (*lut)[w] = codec.Pack(r, g, b);
  }
  return lut;
}

void ApplyWordTable(TFastDIB& dib, const TLut16& lut) {
  const int w = dib.Width();
  for (int y = 0; y < dib.AbsHeight; ++y) {
    uint16_t* p = dib.Pixels16(y);
    for (int x = 0; x < w; ++x) p[x] = lut[p[x]];
  }
}

// Pixels of Step bytes, row by row; the bytes past the first three are left alone.
template <int Step, class F>
void MapRows(TFastDIB& dib, F f) {
  const int64_t rowBytes = int64_t(dib.Width()) * Step;
  for (int y = 0; y < dib.AbsHeight; ++y) {
    uint8_t* p = dib.Scanlines[size_t(y)];
    uint8_t* const end = p + rowBytes;
    for (; p != end; p += Step) {
      uint8_t r, g, b;
      f(p[2], p[1], p[0], r, g, b);
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  }
}

// Calls f(red, green, blue, outRed, outGreen, outBlue) for every pixel of a
// 24- or 32-bit picture, or every palette entry of a 1-, 4- or 8-bit one.
// Returns false for a depth it does not walk (16 bits and others).
template <class F>
bool ForEachColour(TFastDIB& dib, F f) {
  const int bpp = dib.Bpp();
  if (bpp == 1 || bpp == 4 || bpp == 8) {
    for (int i = 0; i < (1 << bpp); ++i) {
      TRGBQuad& q = dib.Colors[i];
      f(q.rgbRed, q.rgbGreen, q.rgbBlue, q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    return true;
  }
  if (bpp != 24 && bpp != 32) return false;
  if (!dib.Bits) return true;
  if (bpp == 24) MapRows<3>(dib, f);
  else MapRows<4>(dib, f);
  return true;
}

// Scale entries are at most 65535 and Grey entries at least -65535: the sums
// stay well inside 32 bits.
inline void Saturate(const TSatTable& t, uint8_t r, uint8_t g, uint8_t b, uint8_t& outR, uint8_t& outG,
                     uint8_t& outB) {
  const int32_t grey = t.Grey[r + g + b];
  outR = Clamp255(int32_t(t.Scale[r]) + grey);
  outG = Clamp255(int32_t(t.Scale[g]) + grey);
  outB = Clamp255(int32_t(t.Scale[b]) + grey);
}

}  // namespace

// --- Table makers ------------------------------------------------------------

void ContrastTable(int amount, TLut& lut) {
  const int64_t a = amount;
  for (int v = 0; v < 256; ++v) {
    // Integer division truncates toward zero, as the contrast formula wants.
    const int64_t r = v < 127 ? v - (128 - v) * a / 256 : v + std::abs(v - 128) * a / 256;
    lut[size_t(v)] = Clamp255(r);
  }
}

void LightnessTable(int amount, TLut& lut) {
  const int64_t a = amount;
  for (int64_t v = 0; v < 256; ++v)
    lut[size_t(v)] = Clamp255(a >= 0 ? v + (255 - v) * a / 256 : v - v * (-a) / 256);
}

void AdditionTable(int amount, TLut& lut) {
  const int64_t k = std::min<int64_t>(std::abs(int64_t(amount)), 255);
  for (int64_t v = 0; v < 256; ++v) lut[size_t(v)] = Clamp255(amount >= 0 ? v + k : v - k);
}

void GammaTable(double gamma, TLut& lut) {
  lut[0] = 0;
  for (int v = 1; v < 256; ++v) {
    const long double e = std::log(static_cast<long double>(v) / 255.0L) / static_cast<long double>(gamma);
    long double r = 255.0L * std::exp(e);
    // 1 to any power is 1 (also for a zero gamma, where the quotient is 0/0);
    // other non-numbers clamp to black.
    if (v == 255) r = 255.0L;
    if (!(r >= 0.0L)) r = 0.0L;
    if (r > 255.0L) r = 255.0L;
    lut[size_t(v)] = uint8_t(std::llrint(r));  // to nearest, halves to even
  }
}

// --- Merging -------------------------------------------------------------------

void MergeLUTs(std::span<const TLut> luts, TLut& result) {
  TLut merged;
  for (int v = 0; v < 256; ++v) merged[size_t(v)] = uint8_t(v);
  if (!luts.empty()) merged = luts[0];
  for (size_t i = 1; i < luts.size(); ++i)
    for (auto& e : merged) e = luts[i][e];
  result = merged;
}

void MergeLUTs(std::initializer_list<TLut> luts, TLut& result) {
  MergeLUTs(std::span<const TLut>(luts.begin(), luts.size()), result);
}

void MergeLUTs16(std::span<const TLut16> luts, TLut16& result) {
  auto merged = std::make_unique<TLut16>();
  for (uint32_t w = 0; w < 65536; ++w) (*merged)[w] = uint16_t(w);
  if (!luts.empty()) *merged = luts[0];
  for (size_t i = 1; i < luts.size(); ++i)
    for (auto& e : *merged) e = luts[i][e];
  result = *merged;
}

// --- Applying tables -------------------------------------------------------------

void ApplyLUT(TFastDIB& dib, const TLut& red, const TLut& green, const TLut& blue) {
  auto map = [&](uint8_t r, uint8_t g, uint8_t b, uint8_t& outR, uint8_t& outG, uint8_t& outB) {
    outR = red[r];
    outG = green[g];
    outB = blue[b];
  };
  if (dib.Bpp() == 16) {
    if (dib.Bits) ApplyWordTable(dib, *WordTable(dib, map));
    return;
  }
  ForEachColour(dib, map);
}

void SaturationTable(int amount, TSatTable& table) {
  const uint32_t s = uint32_t(amount);
  for (uint32_t k = 0; k < 256; ++k) {
    table.Scale[k] = uint16_t(((k + 1) * s) >> 8);
    const int32_t grey = int32_t(k) - int32_t(table.Scale[k]);
    table.Grey[3 * k] = table.Grey[3 * k + 1] = table.Grey[3 * k + 2] = grey;
  }
}

void ApplySaturation(TFastDIB& dib, const TSatTable& table) {
  auto sat = [&](uint8_t r, uint8_t g, uint8_t b, uint8_t& outR, uint8_t& outG, uint8_t& outB) {
    Saturate(table, r, g, b, outR, outG, outB);
  };
  if (dib.Bpp() == 16) {
    if (dib.Bits) ApplyWordTable(dib, *WordTable(dib, sat));
    return;
  }
  ForEachColour(dib, sat);
}

void ApplySaturationLUT(TFastDIB& dib, const TSatTable& table, const TLut& red, const TLut& green,
                        const TLut& blue) {
  if (dib.Bpp() == 16) {
    if (!dib.Bits) return;
    // Saturation first, then the channel tables, each repacked to 16 bits.
    auto words = std::make_unique<std::array<TLut16, 2>>();
    (*words)[0] = *WordTable(dib, [&](uint8_t r, uint8_t g, uint8_t b, uint8_t& oR, uint8_t& oG, uint8_t& oB) {
      Saturate(table, r, g, b, oR, oG, oB);
    });
    (*words)[1] = *WordTable(dib, [&](uint8_t r, uint8_t g, uint8_t b, uint8_t& oR, uint8_t& oG, uint8_t& oB) {
      oR = red[r];
      oG = green[g];
      oB = blue[b];
    });
    auto merged = std::make_unique<TLut16>();
    MergeLUTs16(*words, *merged);
    ApplyWordTable(dib, *merged);
    return;
  }
  ForEachColour(dib, [&](uint8_t r, uint8_t g, uint8_t b, uint8_t& outR, uint8_t& outG, uint8_t& outB) {
    uint8_t sr, sg, sb;
    Saturate(table, r, g, b, sr, sg, sb);
    outR = red[sr];
    outG = green[sg];
    outB = blue[sb];
  });
}

// --- Diagonal smoothing ------------------------------------------------------------

namespace {

// Pixels [from, to) of one row. When a corner row is the row itself (first
// and last rows), pixels to the left have already been replaced when read.
template <int Step, int Channels>
void BlurPlain(uint8_t* row, const uint8_t* r1, const uint8_t* r2, int w, int d, int from, int to) {
  for (int x = from; x < to; ++x) {
    const int x1 = std::max(x - d, 0) * Step, x2 = std::min(x + d, w - 1) * Step;
    uint8_t* p = row + x * Step;
    for (int c = 0; c < Channels; ++c) p[c] = uint8_t((r1[x1 + c] + r1[x2 + c] + r2[x1 + c] + r2[x2 + c]) >> 2);
  }
}

// The unclamped middle of a row whose corner rows are other rows: every
// byte is the mean of four bytes that this pass does not write.
void BlurMiddle(uint8_t* __restrict out, const uint8_t* __restrict a, const uint8_t* __restrict b,
                const uint8_t* __restrict c, const uint8_t* __restrict e, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = uint8_t((a[i] + b[i] + c[i] + e[i]) >> 2);
}

// In place, top row first and left to right: the corners above (and, in the
// first row, to the left) have already been replaced when they are read.
template <int Step, int Channels>
void BlurBytes(TFastDIB& dib, int d) {
  const int w = dib.Width(), h = dib.AbsHeight;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = dib.Scanlines[size_t(y)];
    const uint8_t* r1 = dib.Scanlines[size_t(std::max(y - d, 0))];
    const uint8_t* r2 = dib.Scanlines[size_t(std::min(y + d, h - 1))];
    if (Step == Channels && r1 != row && r2 != row && w > 2 * d) {
      BlurPlain<Step, Channels>(row, r1, r2, w, d, 0, d);
      BlurMiddle(row + d * Step, r1, r1 + 2 * d * Step, r2, r2 + 2 * d * Step, size_t(w - 2 * d) * Step);
      BlurPlain<Step, Channels>(row, r1, r2, w, d, w - d, w);
    } else {
      BlurPlain<Step, Channels>(row, r1, r2, w, d, 0, w);
    }
  }
}

void BlurWords(TFastDIB& dib, int d) {
  uint32_t masks[3];
  std::memcpy(masks, dib.Colors, sizeof masks);
  const int w = dib.Width(), h = dib.AbsHeight;
  for (int y = 0; y < h; ++y) {
    uint16_t* row = dib.Pixels16(y);
    const uint16_t* r1 = dib.Pixels16(std::max(y - d, 0));
    const uint16_t* r2 = dib.Pixels16(std::min(y + d, h - 1));
    for (int x = 0; x < w; ++x) {
      const int x1 = std::max(x - d, 0), x2 = std::min(x + d, w - 1);
      const uint32_t a = r1[x1], b = r1[x2], c = r2[x1], e = r2[x2];
      uint32_t out = 0;
      for (uint32_t m : masks) out |= (((a & m) + (b & m) + (c & m) + (e & m)) >> 2) & m;
      row[x] = uint16_t(out);
    }
  }
}

}  // namespace

void DiagonalBlur(TFastDIB& dib, int amount) {
  if (!dib.Bits || dib.Width() < 1 || dib.AbsHeight < 1) return;
  // Beyond the picture's larger side every corner is clamped the same way.
  const int64_t dist = std::min<int64_t>(std::abs(int64_t(amount)), std::max(dib.Width(), dib.AbsHeight));
  const int d = int(dist);
  if (d == 0) return;
  switch (dib.Bpp()) {
    case 8: BlurBytes<1, 1>(dib, d); break;
    case 16: BlurWords(dib, d); break;
    case 24: BlurBytes<3, 3>(dib, d); break;
    case 32: BlurBytes<4, 3>(dib, d); break;
    default: break;
  }
}
