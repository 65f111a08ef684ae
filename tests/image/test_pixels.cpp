// SPDX-License-Identifier: GPL-3.0-or-later
// The picture buffer (layout, pixels, pen), conversion to 24 bits, demosaicing
// and the colour utilities, against small reference computations.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <tuple>

#include "image/Convert.h"
#include "image/Demosaic.h"
#include "image/HSLUtils.h"

namespace {

void Fill(TFastDIB& d, uint32_t seed) {
  for (uint32_t i = 0; i < d.Size(); ++i) d.Bits[i] = uint8_t((seed = seed * 1103515245u + 12345u) >> 23);
}

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

// Every depth against a reference read of the source (palette index, most
// significant bits first, or GetPixel); the destination's padding stays.
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
  TFastDIB src, wrongSize, wrongDepth, empty, dst;
  src.SetSize(4, 4, 8, 0);
  wrongSize.SetSize(4, 3, 24, 0);
  wrongDepth.SetSize(4, 4, 32, 0);
  dst.SetSize(1, 1, 24, 0);
  for (auto [to, from] : {std::pair{&wrongSize, &src}, {&wrongDepth, &src}, {&dst, &empty}}) {
    std::memset(to->Bits, 0x5A, to->Size());
    ConvertTo24(*to, *from);
    EXPECT_EQ(to->Bits[0], 0x5A);
  }
}

// Bilinear demosaicing against its definition: every colour of a pixel is its
// own sample, or the rounded mean of the samples of that colour around it
// (3 x 3, inside the picture). Widths reach the vector path and its tails.
TEST(Demosaic, EveryPatternAndSizeMatchesTheDefinition) {
  constexpr int kCells[4][4] = {{2, 1, 1, 0}, {1, 2, 0, 1}, {1, 0, 2, 1}, {0, 1, 1, 2}};  // channel (b, g, r)
  for (int p = 0; p < 4; ++p)
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {2, 5}, {5, 3}, {36, 5}, {37, 6}, {50, 4}}) {
      SCOPED_TRACE(std::to_string(p) + ": " + std::to_string(w) + "x" + std::to_string(h));
      const int stride = w + 3;
      std::vector<uint8_t> raw(size_t(stride * h));
      for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(i * 37 + i / 7 + 5);
      TFastDIB out;
      out.SetSize(w, h, 24, 0);
      std::memset(out.Bits, 0xEE, out.Size());  // the row padding must stay
      DemosaicBilinear(raw.data(), w, h, stride, TBayerPattern(p), out);
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

// (max + min) / 2 of the three channels, in any order, an exact half to the
// even neighbour: std::nearbyint of the exact double, for every (max, min).
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
    for (int n = 1; n <= 7; ++n) {
      EXPECT_EQ(MeanOf(same, n), x) << n;  // exactly, for equal values
      EXPECT_EQ(SpreadOf(same, n), 0) << n;
    }
  }
}
