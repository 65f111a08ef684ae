// SPDX-License-Identifier: GPL-3.0-or-later
// Picture buffer, conversion, demosaicing, colours, effects, resizing: known values or a reference in the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "image/Convert.h"
#include "image/Demosaic.h"
#include "image/Simd.h"
#include "image/Effects.h"
#include "image/HSLUtils.h"
#include "image/Resample.h"

namespace {

enum TTable { Contrast, Lightness, Addition, Gamma };

TLut Table(TTable kind, double amount) {
  TLut t;
  t.fill(77);  // every entry must be written
  switch (kind) {
    case Contrast: ContrastTable(int(amount), t); break;
    case Lightness: LightnessTable(int(amount), t); break;
    case Addition: AdditionTable(int(amount), t); break;
    case Gamma: GammaTable(amount, t); break;
  }
  return t;
}

void Fill(TFastDIB& d, uint32_t seed) {
  for (uint32_t i = 0; i < d.Size(); ++i) d.Bits[i] = uint8_t((seed = seed * 1103515245u + 12345u) >> 23);
}

// Every byte of pixel (x, y) holds a value unique to the pixel (below 200).
TFastDIB Numbered(int w, int h, int bpp) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::memset(d.Scanlines[size_t(y)] + x * (bpp / 8), (y * w + x) % 200, size_t(bpp / 8));
  return d;
}

int Value(const TFastDIB& d, int x, int y, int channel = 0) { return d.Scanlines[size_t(y)][x * (d.Bpp() / 8) + channel]; }

}  // namespace

TEST(FastDIB, LayoutFollowsDepthAndWidth) {
  const struct { int W, Bpp, Fmt, RowSize, Gap; uint32_t Masks[3]; } rows[] = {
      {1, 24, 0, 4, 1, {}},  {5, 8, 0, 8, 3, {}},  {3, 1, 0, 4, 4, {}}, {7, 4, 0, 4, 1, {}},
      {3, 16, 555, 8, 2, {0x7C00, 0x03E0, 0x001F}}, {3, 16, 565, 8, 2, {0xF800, 0x07E0, 0x001F}},
      {4, 32, 888, 16, 0, {0xFF0000, 0x00FF00, 0x0000FF}}};
  for (const auto& r : rows) {
    TFastDIB d;
    d.SetSize(r.W, 2, r.Bpp, r.Fmt);
    EXPECT_EQ(std::tuple(d.RowSize, d.Gap, d.Size(), d.Info.Header.biHeight, d.Scanlines.size()),
              std::tuple(r.RowSize, r.Gap, uint32_t(r.RowSize * 2), -2, size_t(2))) << r.Bpp << " " << r.W;
    EXPECT_TRUE(d.Scanlines[1] == d.Bits + r.RowSize && (r.Bpp < 16 || std::memcmp(d.Colors, r.Masks, 12) == 0)) << r.Bpp;
  }
}

// SetSize keeps the pixels only when nothing changes; absurd sizes give no buffer.
TEST(FastDIB, SetSizeKeepsPixelsOnlyWhenNothingChanges) {
  const struct { int W, H, Bpp, Fmt; bool Kept; } steps[] = {
      {4, 4, 24, 0, false}, {4, -4, 24, 0, true}, {8, 4, 24, 0, false}, {8, 5, 24, 0, false}, {8, 5, 32, 0, false},
      {8, 5, 16, 555, false}, {8, 5, 16, 565, false}, {8, 5, 16, 565, true}};
  TFastDIB d;
  for (const auto& s : steps) {
    d.SetPixel(1, 2, TFastDIB::MakeColor(0x80, 0x40, 0x20));
    d.SetSize(s.W, s.H, s.Bpp, s.Fmt);
    EXPECT_EQ(std::tuple(d.Width(), d.AbsHeight, d.GetPixel(1, 2) == TFastDIB::MakeColor(0x80, 0x40, 0x20)),
              std::tuple(s.W, std::abs(s.H), s.Kept)) << s.W << "x" << s.H << " " << s.Bpp;
  }
  for (int side : {40000, 30000}) {  // a side over the limit, then too many pixels
    d.SetSize(side, side == 40000 ? 10 : 30000, 24, 0);
    EXPECT_TRUE(!d.Bits && d.AbsHeight == 0 && d.Scanlines.empty()) << side;
  }
}

// 16-bit pixels keep the top bits of each channel; 32-bit ones leave their fourth byte alone.
TEST(FastDIB, PixelsOfEveryDepth) {
  const struct { int Bpp, Fmt; TColorBGR In; uint32_t Stored; TColorBGR Out; } rows[] = {
      {16, 555, {255, 255, 255}, 0x7FFF, {248, 248, 248}}, {16, 555, {0x21, 0x43, 0x87}, 0x4104, {0x20, 0x40, 0x80}},
      {16, 565, {255, 255, 255}, 0xFFFF, {248, 252, 248}}, {32, 888, {1, 2, 3}, 0x4D030201, {1, 2, 3}}};
  for (const auto& r : rows) {
    TFastDIB d;
    d.SetSize(2, 1, r.Bpp, r.Fmt);
    std::memset(d.Bits, 0x4D, d.Size());
    d.SetPixel(0, 1, r.In);
    uint32_t stored = 0;
    std::memcpy(&stored, d.Bits + r.Bpp / 8, size_t(r.Bpp / 8));
    EXPECT_EQ(std::tuple(stored, d.GetPixel(0, 1)), std::tuple(r.Stored, r.Out)) << r.Fmt;
  }
}

TEST(FastDIB, PenDrawsOutlinesAndDottedLines) {
  TFastDIB d;
  d.SetSize(10, 10, 24, 0);
  const TColorBGR white{255, 255, 255}, black{}, grey{9, 9, 9};
  d.SetPen(TPenStyle::Solid, 1, white);
  d.MoveTo(2, 3);
  for (auto [x, y] : {std::pair{7, 3}, {7, 8}, {2, 8}, {2, 3}}) d.LineTo(x, y);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool edge = ((y == 3 || y == 8) && x >= 2 && x <= 7) || ((x == 2 || x == 7) && y >= 3 && y <= 8);
      EXPECT_EQ(d.GetPixel(y, x), edge ? white : black) << x << "," << y;
    }
  for (int x = 0; x < 10; ++x) d.SetPixel(0, x, grey);
  d.SetPen(TPenStyle::Dot, 1, black);
  d.MoveTo(-3, 0);
  d.LineTo(20, 0);  // from outside to outside: the pattern starts at x = -3, three black, three white
  for (int x = 0; x < 10; ++x) EXPECT_EQ(d.GetPixel(0, x), (x >= 3 && x <= 5) || x >= 9 ? black : white) << x;
}

// Every depth against a reference read of the source; the destination's padding stays.
TEST(ConvertTo24, EveryDepthMatchesAReference) {
  const struct { int W, H, Bpp, Fmt; } rows[] = {{10, 3, 1, 0}, {3, 2, 4, 0}, {5, 2, 8, 0}, {256, 256, 16, 555},
                                                {256, 256, 16, 565}, {3, 2, 24, 0}, {3, 2, 32, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Bpp * 1000 + r.Fmt);
    TFastDIB src, dst;
    src.SetSize(r.W, r.H, r.Bpp, r.Fmt);
    Fill(src, uint32_t(r.Bpp));
    for (int i = 0; i < 256 && r.Bpp <= 8; ++i) src.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(i * 2), uint8_t(255 - i), 0};
    dst.SetSize(r.W, r.H, 24, 0);
    std::memset(dst.Bits, 0xEE, dst.Size());
    ConvertTo24(dst, src);
    for (int y = 0; y < r.H; ++y) {
      for (int x = 0; x < r.W; ++x) {
        TColorBGR want = src.GetPixel(y, x);
        if (r.Bpp <= 8) {
          const int bit = x * r.Bpp, index = (src.Pixels8(y)[bit / 8] >> (8 - r.Bpp - bit % 8)) & ((1 << r.Bpp) - 1);
          want = {src.Colors[index].rgbBlue, src.Colors[index].rgbGreen, src.Colors[index].rgbRed};
        }
        ASSERT_EQ(dst.GetPixel(y, x), want) << x << "," << y;
      }
      for (int i = 3 * r.W; i < dst.RowSize && r.Bpp != 24; ++i) ASSERT_EQ(dst.Pixels8(y)[i], 0xEE);  // 24 bits: one block copy
    }
  }
  // A destination of the wrong size or depth, or an empty source: nothing happens.
  TFastDIB src, empty, to[3];
  src.SetSize(4, 4, 8, 0);
  for (auto [i, w, h, bpp] : {std::tuple{0, 4, 3, 24}, {1, 4, 4, 32}, {2, 1, 1, 24}}) {
    to[i].SetSize(w, h, bpp, 0);
    std::memset(to[i].Bits, 0x5A, to[i].Size());
    ConvertTo24(to[i], i == 2 ? empty : src);
    EXPECT_EQ(to[i].Bits[0], 0x5A) << i;
  }
}

// Each colour is the pixel's own sample or the rounded mean of that colour in the 3 x 3 around it;
// widths reach the vector paths and their tails, in every instruction-set form this processor runs.
TEST(Demosaic, EveryPatternAndSizeMatchesTheDefinition) {
  constexpr int kCells[4][4] = {{2, 1, 1, 0}, {1, 2, 0, 1}, {1, 0, 2, 1}, {0, 1, 1, 2}};  // channel (b, g, r)
  for (TSimd simd : SimdLevels())
  for (int p = 0; p < 4; ++p)
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {2, 5}, {5, 3}, {36, 5}, {37, 6}, {50, 4}, {131, 3}, {130, 67}}) {
      SCOPED_TRACE(std::to_string(p) + ": " + std::to_string(w) + "x" + std::to_string(h) + " form " + std::to_string(int(simd)));
      const int stride = w + 3;
      std::vector<uint8_t> raw(size_t(stride * h));
      for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(i * 37 + i / 7 + 5);
      TFastDIB out;
      out.SetSize(w, h, 24, 0);
      std::memset(out.Bits, 0xEE, out.Size());  // the row padding must stay
      DemosaicBilinear(raw.data(), w, h, stride, TBayerPattern(p), out, simd);
      auto colour = [&](int y, int x) { return kCells[p][(y & 1) * 2 + (x & 1)]; };
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          int sum[3] = {}, n[3] = {};
          for (int yy = std::max(y - 1, 0); yy <= std::min(y + 1, h - 1); ++yy)
            for (int xx = std::max(x - 1, 0); xx <= std::min(x + 1, w - 1); ++xx)
              if (colour(yy, xx) != colour(y, x) || (yy == y && xx == x))
                sum[colour(yy, xx)] += raw[size_t(yy * stride + xx)], ++n[colour(yy, xx)];
          const uint8_t* got = out.Pixels8(y) + 3 * x;
          for (int c = 0; c < 3; ++c) ASSERT_EQ(got[c], n[c] ? (sum[c] + n[c] / 2) / n[c] : 0) << x << "," << y << " " << c;
          for (int i = 3 * w; x == 0 && i < out.RowSize; ++i) ASSERT_EQ(out.Pixels8(y)[i], 0xEE) << "padding of row " << y;
        }
    }
  TFastDIB wrong;
  wrong.SetSize(4, 4, 32, 0);
  const std::vector<uint8_t> raw(16, 200);
  DemosaicBilinear(raw.data(), 4, 4, 4, TBayerPattern::RGGB, wrong);
  EXPECT_EQ(wrong.Bits[0], 0);
}

// (max + min) / 2 of the channels in any order, an exact half to the even neighbour.
TEST(ColorLightness, HalvesGoToEvenInAnyChannelOrder) {
  ASSERT_EQ(std::fegetround(), FE_TONEAREST);
  for (int mx = 0; mx < 256; ++mx)
    for (int mn = 0; mn <= mx; ++mn) {
      const int want = int(std::nearbyint((mx + mn) / 2.0)), mid = (mx + mn) / 2;
      const uint8_t a = uint8_t(mx), b = uint8_t(mn), c = uint8_t(mid);
      for (const TColorBGR& p : {TColorBGR{a, b, c}, {b, a, c}, {c, b, a}, {b, c, a}})
        ASSERT_EQ(ColorLightness(p), want) << mx << "," << mn;
    }
}

// The combination's reference (and the kappa-sigma tests') builds on these.
TEST(ColorUtilities, NormMeanAndSpread) {
  EXPECT_DOUBLE_EQ(ColorNorm(TColorBGR{4, 0, 3}), 5);
  EXPECT_DOUBLE_EQ(ColorNorm(TColorBGR{255, 255, 255}), std::sqrt(3.0 * 255 * 255));
  const double v[] = {1, 1, 3, 3};
  EXPECT_DOUBLE_EQ(MeanOf(v, 4), 2);
  EXPECT_DOUBLE_EQ(SpreadOf(v, 4), 0.5);  // sqrt(4) / 4, not sqrt(4 / 4)
  for (int n : {1, 0, -1}) EXPECT_EQ(SpreadOf(v, n) + MeanOf(v, n), n == 1 ? 1 : 0) << n;
  for (double x : {0.1, 1.0 / 3, 441.67295593006372, 123456.789}) {
    const double same[7] = {x, x, x, x, x, x, x};
    for (int n = 1; n <= 7; ++n) EXPECT_EQ(std::pair(MeanOf(same, n), SpreadOf(same, n)), std::pair(x, 0.0)) << n;  // exactly
  }
}

// Entries known by hand (At: value -> entry, value -1: every entry; none: the identity).
TEST(Effects, TableMakers) {
  const struct { TTable Kind; double Amount; std::vector<std::pair<int, int>> At; } rows[] = {
      {Contrast, 0, {}}, {Lightness, 0, {}}, {Addition, 0, {}}, {Gamma, 1.0, {}},
      {Contrast, 256, {{0, 0}, {64, 0}, {126, 124}, {127, 128}, {128, 128}, {200, 255}}},  // 127 takes the upper formula
      {Contrast, -100, {{10, 56}, {200, 172}}},  // quotients truncate toward zero: 10 + 46, 200 - 28
      {Contrast, -1, {{0, 0}, {255, 255}}}, {Contrast, -256, {{0, 128}}},
      {Lightness, 256, {{-1, 255}}}, {Lightness, -256, {{-1, 0}}}, {Lightness, 100, {{0, 99}}},
      {Lightness, -100, {{255, 156}}}, {Lightness, INT32_MIN, {{200, 0}}},
      {Addition, 300, {{-1, 255}}}, {Addition, -10, {{5, 0}, {15, 5}}}, {Addition, INT32_MIN, {{255, 0}}},
      {Gamma, 2.0, {{0, 0}, {64, 128}, {255, 255}}},  // 127.75 rounds up
      {Gamma, 0.5, {{128, 64}}}, {Gamma, 0.0, {{254, 0}, {255, 255}}}, {Gamma, -1.0, {{1, 255}}}};
  for (const auto& r : rows) {
    const TLut t = Table(r.Kind, r.Amount);
    for (int v = 0; v < 256 && r.At.empty(); ++v) ASSERT_EQ(t[size_t(v)], v) << r.Kind << " " << r.Amount;
    for (auto [v, want] : r.At)
      for (int i = std::max(v, 0); i <= (v < 0 ? 255 : v); ++i) ASSERT_EQ(t[size_t(i)], want) << r.Kind << " " << r.Amount << " at " << i;
  }
}

TEST(Effects, MergeAppliesTablesInListOrder) {
  TLut m;
  MergeLUTs({Table(Addition, 10), Table(Addition, -10)}, m);
  EXPECT_EQ(m[5], 5);  // 5 -> 15 -> 5, not 5 -> 0 -> 10
  EXPECT_EQ(m[250], 245);
  MergeLUTs(std::span<const TLut>(), m);
  EXPECT_EQ(m, Table(Addition, 0));
}

// Saturation 0 greys, 256 keeps, 512 doubles the distance from the mean (clamped).
TEST(Effects, SaturationTables) {
  const struct { int Amount; TColorBGR In, Out; } rows[] = {{0, {30, 60, 90}, {60, 60, 60}}, {256, {30, 60, 90}, {30, 60, 90}},
                                                           {512, {30, 60, 90}, {0, 60, 120}}, {512, {250, 0, 0}, {255, 0, 0}}};
  for (const auto& r : rows) {
    TSatTable t;
    SaturationTable(r.Amount, t);
    TFastDIB d;
    d.SetSize(1, 1, 24, 0);
    d.SetPixel(0, 0, r.In);
    ApplySaturation(d, t);
    EXPECT_EQ(d.GetPixel(0, 0), r.Out) << r.Amount;
  }
}

// Every depth against a per-colour reference: palettes map their table only, 16-bit pixels are
// unpacked, mapped and repacked, 24 and 32 bits keep their row padding and fourth byte.
TEST(Effects, PointOperationsAtEveryDepth) {
  const TLut red = Table(Contrast, 180), green = Table(Gamma, 0.5), blue = Table(Lightness, 90);
  TSatTable sat;
  SaturationTable(420, sat);
  using TColourFn = std::function<TColorBGR(TColorBGR)>;
  const TColourFn lut = [&](TColorBGR c) { return TColorBGR{blue[c.b], green[c.g], red[c.r]}; };
  const TColourFn saturate = [&](TColorBGR c) {  // a channel v becomes Scale[v] + Grey[sum], clamped
    auto ch = [&](uint8_t v) { return uint8_t(std::clamp<int>(sat.Scale[v] + sat.Grey[c.b + c.g + c.r], 0, 255)); };
    return TColorBGR{ch(c.b), ch(c.g), ch(c.r)};
  };
  const struct { const char* Name; std::function<void(TFastDIB&)> Apply; std::vector<TColourFn> Steps; } ops[] = {
      {"LUT", [&](TFastDIB& d) { ApplyLUT(d, red, green, blue); }, {lut}},
      {"saturation", [&](TFastDIB& d) { ApplySaturation(d, sat); }, {saturate}},
      {"saturation and LUT", [&](TFastDIB& d) { ApplySaturationLUT(d, sat, red, green, blue); }, {saturate, lut}}};
  for (const auto& op : ops)
    for (auto [bpp, fmt] : {std::pair{1, 0}, {4, 0}, {8, 0}, {16, 555}, {16, 565}, {24, 0}, {32, 888}}) {
      SCOPED_TRACE(std::string(op.Name) + " " + std::to_string(bpp * 1000 + fmt));
      TFastDIB d, ref;
      for (TFastDIB* p : {&d, &ref}) {
        p->SetSize(bpp == 16 ? 256 : 3, bpp == 16 ? 256 : 2, bpp, fmt);
        Fill(*p, 7);
        for (int i = 0; bpp <= 8 && i < 256; ++i) p->Colors[i] = TRGBQuad{uint8_t(i), uint8_t(i * 3), uint8_t(255 - i), 0};
      }
      for (const TColourFn& step : op.Steps) {
        for (int i = 0; bpp <= 8 && i < (1 << bpp); ++i) {
          TRGBQuad& q = ref.Colors[i];
          const TColorBGR c = step(TColorBGR{q.rgbBlue, q.rgbGreen, q.rgbRed});
          q = TRGBQuad{c.b, c.g, c.r, 0};
        }
        for (int y = 0; bpp > 8 && y < ref.AbsHeight; ++y)
          for (int x = 0; x < ref.Width(); ++x) ref.SetPixel(y, x, step(ref.GetPixel(y, x)));
      }
      op.Apply(d);
      ASSERT_EQ(std::memcmp(d.Bits, ref.Bits, d.Size()), 0);
      ASSERT_EQ(std::memcmp(d.Colors, ref.Colors, bpp <= 8 ? 1024 : 0), 0);
    }
  TFastDIB empty;
  ApplyLUT(empty, red, green, blue);
  empty.SetSize(0, 0, 16, 0);
  ApplyLUT(empty, red, green, blue);
  EXPECT_EQ(empty.Bits, nullptr);
}

// In place, top row first: each channel (16 bits: masked field) becomes the truncated mean of the
// corners (x +- d, y +- d), clamped to the picture.
TEST(Effects, DiagonalBlurMatchesTheInPlaceDefinition) {
  const struct { int Bpp, Fmt, W, H, Amount; } rows[] = {
      {8, 0, 37, 23, 1},  {8, 0, 37, 23, 18}, {24, 0, 37, 23, 3},  {24, 0, 37, 23, 40},        {32, 888, 37, 23, 3},
      {32, 888, 3, 1, 1}, {24, 0, 1, 1, 5},   {24, 0, 3, 1, 0},    {24, 0, 3, 2, INT32_MIN}, {8, 0, 1, 3, -1},
      {16, 555, 7, 5, 1}, {16, 565, 7, 5, -2}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.Bpp) + " " + std::to_string(r.W) + "x" + std::to_string(r.H) + " d=" + std::to_string(r.Amount));
    TFastDIB pic, ref;
    for (TFastDIB* p : {&pic, &ref}) p->SetSize(r.W, r.H, r.Bpp, r.Fmt), Fill(*p, 99);
    const int d = int(std::min<int64_t>(std::abs(int64_t(r.Amount)), std::max(r.W, r.H)));
    uint32_t masks[3];
    std::memcpy(masks, ref.Colors, sizeof masks);
    const int step = r.Bpp / 8, channels = r.Bpp == 16 ? 1 : std::min(step, 3);
    for (int y = 0; y < r.H && d > 0; ++y)
      for (int x = 0; x < r.W; ++x) {
        const int x1 = std::max(x - d, 0), x2 = std::min(x + d, r.W - 1), y1 = std::max(y - d, 0), y2 = std::min(y + d, r.H - 1);
        for (int c = 0; c < channels; ++c) {
          if (r.Bpp == 16) {
            const uint32_t a = ref.Pixels16(y1)[x1], b = ref.Pixels16(y1)[x2], e = ref.Pixels16(y2)[x1], f = ref.Pixels16(y2)[x2];
            uint32_t out = 0;
            for (uint32_t m : masks) out |= (((a & m) + (b & m) + (e & m) + (f & m)) >> 2) & m;
            ref.Pixels16(y)[x] = uint16_t(out);
          } else {
            auto at = [&](int px, int py) { return int(ref.Scanlines[size_t(py)][px * step + c]); };
            ref.Scanlines[size_t(y)][x * step + c] = uint8_t((at(x1, y1) + at(x2, y1) + at(x1, y2) + at(x2, y2)) >> 2);
          }
        }
      }
    DiagonalBlur(pic, r.Amount);
    ASSERT_EQ(std::memcmp(pic.Bits, ref.Bits, pic.Size()), 0);
  }
  TFastDIB empty;
  DiagonalBlur(empty, 2);
  EXPECT_EQ(empty.Bits, nullptr);
}

// The turned size; exact turns at every depth; outside the source nothing is written.
TEST(Effects, Rotate) {
  const struct { int W, H, Bpp, Fmt; double Angle; int OutW, OutH; } sizes[] = {
      {30, 10, 16, 555, 90, 10, 30}, {30, 10, 16, 565, -180, 30, 10}, {100, 100, 24, 0, 45, 141, 141}, {100, 100, 8, 0, -45, 141, 141}};
  for (const auto& r : sizes) {
    TFastDIB src, dest;
    src.SetSize(r.W, r.H, r.Bpp, r.Fmt);
    RotateSize(src, dest, r.Angle);
    EXPECT_EQ(std::tuple(dest.Width(), dest.AbsHeight, dest.Bpp(), dest.BitFormat), std::tuple(r.OutW, r.OutH, r.Bpp, r.Fmt)) << r.Angle;
  }
  for (int bpp : {8, 16, 24, 32}) {
    const TFastDIB src = Numbered(5, 5, bpp);
    TFastDIB dest;
    dest.SetSize(5, 5, bpp, 0);
    for (int c : {-40, 0, 3, 1000}) {
      Rotate(src, dest, c, c / 2, 0.0);  // no turn: a copy, whatever the centre
      EXPECT_EQ(std::memcmp(src.Bits, dest.Bits, src.Size()), 0) << bpp << " centre " << c;
    }
    Rotate(src, dest, 2, 2, 90);  // clockwise: the bottom-left corner comes to the top-left
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) ASSERT_EQ(Value(dest, x, y, bpp / 8 - 1), Value(src, y, 4 - x)) << bpp << " " << x << "," << y;
    Rotate(src, dest, 2, 2, -90);
    EXPECT_EQ(Value(dest, 0, 0), Value(src, 4, 0)) << bpp;
  }
  const TFastDIB src = Numbered(10, 10, 24);
  TFastDIB dest, other;
  RotateSize(src, dest, 45);
  std::memset(dest.Bits, 0xEE, dest.Size());
  Rotate(src, dest, 7, 7, 45);
  // Corners outside the source keep their bytes; the centres meet; the top-left corner turns up to the top.
  EXPECT_EQ(std::tuple(Value(dest, 0, 0), Value(dest, 13, 13, 2), Value(dest, 1, 1), Value(dest, 7, 7), Value(dest, 7, 0)),
            std::tuple(0xEE, 0xEE, 0xEE, Value(src, 5, 5), Value(src, 0, 0)));
  other.SetSize(4, 4, 32, 0);
  std::memset(other.Bits, 0xEE, other.Size());
  TFastDIB empty;
  for (auto [from, to] : {std::pair{&src, &other}, {&empty, &dest}}) Rotate(*from, *to, 2, 2, 10), RotateWrap(*from, *to, 2, 2, 10);
  EXPECT_TRUE(other.Bits[5] == 0xEE && dest.Bits[0] == 0xEE);

  // The longest side, half a turn about a far centre (x = 20000): no accumulator overflows.
  TFastDIB line, mirrored;
  line.SetSize(32767, 1, 8, 0);
  for (int x = 0; x < 32767; ++x) line.Bits[x] = uint8_t(x % 251);
  mirrored.SetSize(32767, 1, 8, 0);
  std::memset(mirrored.Bits, 0xEE, mirrored.Size());
  Rotate(line, mirrored, 20000, 0, 180);
  for (int x : {7234, 20000, 32766}) EXPECT_EQ(mirrored.Bits[x], uint8_t((40000 - x) % 251)) << x;
  EXPECT_EQ(mirrored.Bits[7233], 0xEE);
}

// Every pixel written: Rotate's where it writes, elsewhere the source tiled (column x: (x - 2) mod 4).
TEST(Effects, RotateWrap) {
  const TFastDIB src = Numbered(13, 7, 8), line = Numbered(4, 1, 8);
  TFastDIB plain, wrapped, wide;
  for (TFastDIB* p : {&plain, &wrapped}) p->SetSize(40, 29, 8, 0), std::memset(p->Bits, 0xEE, p->Size());
  Rotate(src, plain, 11, 9, -75);
  RotateWrap(src, wrapped, 11, 9, -75);
  for (uint32_t i = 0; i < plain.Size(); ++i)
    ASSERT_TRUE(wrapped.Bits[i] != 0xEE && (plain.Bits[i] == 0xEE || wrapped.Bits[i] == plain.Bits[i])) << i;
  wide.SetSize(8, 1, 8, 0);
  RotateWrap(line, wide, 0, 0, 0);
  EXPECT_EQ(std::vector<uint8_t>(wide.Bits, wide.Bits + 8), (std::vector<uint8_t>{2, 3, 0, 1, 2, 3, 0, 1}));
}

// Known pictures (-1: not checked): bilinear weighs in 1/32768, a one-column source goes to nearest.
TEST(Effects, ResizeGivesKnownPictures) {
  using Grid = std::vector<std::vector<int>>;
  const std::vector<int> k8 = {8}, k24 = {24}, kBytes = {8, 24, 32}, kAll = {8, 16, 24, 32};
  const Grid tens = {{10, 11, 12, 13}, {20, 21, 22, 23}};
  const struct { bool Bilinear; std::vector<int> Bpps; Grid Src, Expected; } rows[] = {
      {false, kAll, tens, {{10, 12}}},
      {false, kAll, tens, {{10, 10, 11, 11, 12, 12, 13, 13}, {10, 10, 11, 11, 12, 12, 13, 13},
                           {20, 20, 21, 21, 22, 22, 23, 23}, {20, 20, 21, 21, 22, 22, 23, 23}}},
      {true, kBytes, {{0, 255}}, {{0, 63, 127, 191}, {0, 63, 127, 191}}},
      {true, k24, {{0, 0}, {255, 255}}, {{0, 0}, {63, 63}, {127, 127}, {191, 191}}},
      {true, k8, {{0, 128}, {128, 255}}, {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {64, -1, 127, -1}, {-1, -1, -1, -1}}},
      {true, k24, {{10}, {20}}, {{10, 10, 10}, {10, 10, 10}, {20, 20, 20}, {20, 20, 20}}},
      {true, k8, {{0, 100}}, {{0, 50}, {0, 50}, {0, 50}}}};
  for (const auto& r : rows)
    for (int bpp : r.Bpps) {
      TFastDIB src, dest;
      src.SetSize(int(r.Src[0].size()), int(r.Src.size()), bpp, 0);
      for (size_t y = 0; y < r.Src.size(); ++y)
        for (size_t x = 0; x < r.Src[0].size(); ++x) std::memset(src.Scanlines[y] + x * size_t(bpp / 8), r.Src[y][x], size_t(bpp / 8));
      dest.SetSize(int(r.Expected[0].size()), int(r.Expected.size()), bpp, 0);
      std::memset(dest.Bits, 0xEE, dest.Size());
      (r.Bilinear ? ResizeBilinear : ResizeNearest)(src, dest);
      for (int y = 0; y < dest.AbsHeight; ++y)
        for (int x = 0; x < dest.Width(); ++x)
          for (int c = 0; c < bpp / 8 && r.Expected[size_t(y)][size_t(x)] >= 0; ++c)
            ASSERT_EQ(Value(dest, x, y, c), c == 3 && r.Bilinear ? 0xEE : r.Expected[size_t(y)][size_t(x)])
                << r.Bilinear << " " << bpp << " (" << x << "," << y << ") byte " << c;
    }
}

// Equal sizes copy every byte; what cannot be done leaves the destination alone; the longest sides.
TEST(Effects, ResizeCopiesRefusesAndReachesTheLongestSides) {
  auto sized = [](int w, int h, int bpp) {
    TFastDIB d;
    d.SetSize(w, h, bpp, 0);
    if (d.Bits) std::memset(d.Bits, 0xEE, d.Size());
    return d;
  };
  for (auto resize : {ResizeNearest, ResizeBilinear})
    for (int bpp : {16, 24}) {
      TFastDIB src = sized(3, 2, bpp), dest = sized(3, 2, bpp);
      Fill(src, 3);
      resize(src, dest);
      EXPECT_EQ(std::memcmp(src.Bits, dest.Bits, src.Size()), 0) << bpp;
    }
  TFastDIB src24 = sized(3, 2, 24), src16 = sized(2, 2, 16), src4 = sized(4, 4, 4), empty;
  Fill(src24, 1);
  Fill(src4, 5);
  src16.Bits[0] = 1;
  TFastDIB none, flat = sized(4, 0, 24), other = sized(6, 4, 32), words = sized(4, 4, 16), nibbles = sized(8, 8, 4),
                 target = sized(2, 2, 24);
  const struct { TFastDIB* Src; TFastDIB* Dest; bool Bilinear; } refused[] = {
      {&src24, &none, false}, {&src24, &none, true}, {&src24, &flat, false}, {&src24, &other, false},
      {&src24, &other, true}, {&src16, &words, true}, {&src4, &nibbles, false}, {&empty, &target, false},
      {&empty, &target, true}};
  for (const auto& r : refused) {
    (r.Bilinear ? ResizeBilinear : ResizeNearest)(*r.Src, *r.Dest);
    EXPECT_TRUE(!r.Dest->Bits || r.Dest->Bits[0] == 0xEE) << r.Dest->Width() << "x" << r.Dest->AbsHeight;
  }
  TFastDIB longest = sized(32767, 2, 8), few = sized(3, 1, 8), pair = sized(2, 1, 8), wide = sized(32767, 1, 8);
  for (int x = 0; x < 32767; ++x) longest.Bits[x] = longest.Bits[longest.RowSize + x] = uint8_t(x % 251);
  for (auto resize : {ResizeNearest, ResizeBilinear}) {  // steps (32767 << 16) / 3 and (32766 << 15) / 3
    resize(longest, few);
    EXPECT_EQ(std::vector<int>(few.Bits, few.Bits + 3), (std::vector<int>{0, 10922 % 251, 21844 % 251}));
  }
  pair.Bits[0] = 0, pair.Bits[1] = 255;
  ResizeBilinear(pair, wide);
  EXPECT_EQ(wide.Bits[32766], 254);  // (32766 * 1) * 255 >> 15
}
