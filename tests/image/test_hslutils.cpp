// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "image/HSLUtils.h"

namespace {
uint32_t Ref(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }
}  // namespace

TEST(RGBtoHSL, PrimariesAndGrey) {
  double h, s, l;
  RGBtoHSL(Ref(255, 0, 0), h, s, l);
  EXPECT_DOUBLE_EQ(h, 0);
  EXPECT_DOUBLE_EQ(s, 1);
  EXPECT_DOUBLE_EQ(l, 0.5);
  RGBtoHSL(Ref(0, 0, 255), h, s, l);
  EXPECT_DOUBLE_EQ(h, 2.0 / 3);
  RGBtoHSL(Ref(0, 255, 0), h, s, l);
  EXPECT_DOUBLE_EQ(h, 1.0 / 3);
  RGBtoHSL(Ref(255, 0, 255), h, s, l);  // magenta: negative raw hue wraps
  EXPECT_DOUBLE_EQ(h, 5.0 / 6);
  RGBtoHSL(Ref(128, 128, 128), h, s, l);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 0);
  EXPECT_NEAR(l, 128.0 / 255, 1e-15);
  RGBtoHSL(Ref(255, 255, 128), h, s, l);  // light colour: saturation by 2 - max - min
  EXPECT_NEAR(s, (127.0 / 255) / (2 - 1 - 128.0 / 255), 1e-12);
}

TEST(ColorLightness, ExactHalvesGoToEven) {
  EXPECT_EQ(ColorLightness(TColorBGR{0, 0, 255}), 128);
  EXPECT_EQ(ColorLightness(TColorBGR{255, 0, 0}), 128);
  EXPECT_EQ(ColorLightness(TColorBGR{0, 1, 0}), 0);      // 0.5 -> 0
  EXPECT_EQ(ColorLightness(TColorBGR{0, 3, 0}), 2);      // 1.5 -> 2
  EXPECT_EQ(ColorLightness(TColorBGR{100, 50, 75}), 75);
  EXPECT_EQ(ColorLightness(TColorBGR{255, 255, 255}), 255);
  EXPECT_EQ(ColorLightness(TColorBGR{0, 0, 0}), 0);
}

// The integer form against 255 * L of RGBtoHSL rounded half to even. Only
// (max, min) matters. They agree everywhere except at some exact halves, where
// the floating value lands a hair off .5 (34.500000000000007 for max 35, min
// 34) and rounds the other way: with IEEE doubles 1750 of the 32896 pairs,
// odd sums from 67 to 501, by one in either direction (984 up, 766 down).
TEST(ColorLightness, AgreesWithRGBtoHSLExceptAtFloatingHalves) {
  ASSERT_EQ(std::fegetround(), FE_TONEAREST);
  int differ = 0;
  for (int mx = 0; mx < 256; ++mx)
    for (int mn = 0; mn <= mx; ++mn) {
      double h, s, l;
      RGBtoHSL(Ref(mx, mn, mn), h, s, l);
      const int viaHsl = int(std::nearbyint(255 * l));
      const int exact = ColorLightness(TColorBGR{uint8_t(mn), uint8_t(mn), uint8_t(mx)});
      if (viaHsl != exact) {
        ++differ;
        EXPECT_EQ((mx + mn) % 2, 1) << mx << "," << mn;  // only ever at a half
        EXPECT_EQ(std::abs(viaHsl - exact), 1);
      }
      // Any channel order gives the same lightness.
      ASSERT_EQ(exact, ColorLightness(TColorBGR{uint8_t(mx), uint8_t(mn), uint8_t(mn)}));
    }
  RecordProperty("differences", differ);
  EXPECT_LT(differ, 256 * 257 / 2 / 4);
}

TEST(ColorNorm, EuclideanLength) {
  EXPECT_DOUBLE_EQ(ColorNorm(TColorBGR{0, 0, 0}), 0);
  EXPECT_DOUBLE_EQ(ColorNorm(TColorBGR{4, 0, 3}), 5);
  EXPECT_DOUBLE_EQ(ColorNorm(TColorBGR{255, 255, 255}), std::sqrt(3.0 * 255 * 255));
}

TEST(MeanAndSpread, RootBeforeDivision) {
  const double v[] = {1, 1, 3, 3};
  EXPECT_DOUBLE_EQ(MeanOf(v, 4), 2);
  EXPECT_DOUBLE_EQ(SpreadOf(v, 4), 0.5);  // sqrt(4) / 4, not sqrt(4 / 4)
  EXPECT_EQ(SpreadOf(v, 1), 0);
  EXPECT_EQ(SpreadOf(v, 0), 0);
  EXPECT_EQ(MeanOf(v, 0), 0);
  EXPECT_EQ(MeanOf(v, -1), 0);
}

TEST(MeanAndSpread, EqualValuesGiveExactMeanAndZeroSpread) {
  for (double x : {0.1, 1.0 / 3, 441.67295593006372, 123456.789}) {
    double v[7];
    for (double& e : v) e = x;
    for (int n = 1; n <= 7; ++n) {
      EXPECT_EQ(MeanOf(v, n), x) << n;
      EXPECT_EQ(SpreadOf(v, n), 0) << n;
    }
  }
}
