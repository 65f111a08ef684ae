// SPDX-License-Identifier: GPL-3.0-or-later
// Object detection and automatic threshold on small pictures with known answers,
// and against a literal per-pixel transcription of the scan on random pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "ReferenceScan.h"
#include "framing/Detect.h"
#include "image/Effects.h"

namespace {

TFastDIB Black(int w, int h, int bpp = 24) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  return d;
}

void Fill(TFastDIB& d, int x0, int y0, int x1, int y1, TColorBGR c = {255, 255, 255}) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) d.SetPixel(y, x, c);
}

const TRect kUntouched{-7, -7, -7, -7};

}  // namespace

TEST(DetectObject, SquareIncludesTheDarkRingAroundIt) {
  TFastDIB img = Black(10, 10);
  Fill(img, 4, 4, 6, 6);
  TRect r;
  int32_t tol = 30;
  ASSERT_TRUE(DetectObject(img, r, tol, {false, false}));
  EXPECT_EQ(r, (TRect{3, 3, 7, 7}));
  EXPECT_EQ(tol, 30);
}

TEST(DetectObject, PixelInTheTopLeftCorner) {
  TFastDIB img = Black(10, 10);
  img.SetPixel(0, 0, {200, 200, 200});
  TRect r;
  int32_t tol = 30;
  ASSERT_TRUE(DetectObject(img, r, tol, {false, false}));
  EXPECT_EQ(r, (TRect{0, 0, 1, 1}));
}

TEST(DetectObject, TwoBlobsVerticalExtentIsTheUpperBandHorizontalExtentBoth) {
  TFastDIB img = Black(12, 10);
  Fill(img, 5, 2, 6, 3);  // upper blob
  Fill(img, 1, 5, 8, 6);  // lower, wider blob after a dark row
  TRect r;
  int32_t tol = 30;
  ASSERT_TRUE(DetectObject(img, r, tol, {false, false}));
  EXPECT_EQ(r, (TRect{0, 1, 9, 4}));
}

TEST(DetectObject, ObjectsTouchingTheBottomOrOnlyTheRightEdgeAreNotFound) {
  TRect r = kUntouched;
  int32_t tol = 30;
  TFastDIB bottom = Black(10, 10);
  Fill(bottom, 0, 7, 9, 9);
  EXPECT_FALSE(DetectObject(bottom, r, tol, {false, false}));
  TFastDIB rightEdge = Black(10, 10);
  Fill(rightEdge, 6, 3, 9, 5);
  EXPECT_FALSE(DetectObject(rightEdge, r, tol, {false, false}));
  EXPECT_EQ(r, kUntouched);
  // A run reaching the edge does not count, but an earlier run of the row does.
  Fill(rightEdge, 2, 4, 3, 4);
  ASSERT_TRUE(DetectObject(rightEdge, r, tol, {false, false}));
  EXPECT_EQ(r, (TRect{1, 2, 4, 6}));
}

TEST(DetectObject, ThresholdIsStrictAndHalvesRoundToEven) {
  TFastDIB img = Black(5, 5);
  TRect r = kUntouched;
  // max + min = 61: lightness 30.5 -> 30, not above 30.
  img.SetPixel(2, 2, {0, 0, 61});
  int32_t tol = 30;
  EXPECT_FALSE(DetectObject(img, r, tol, {false, false}));
  // 63: 31.5 -> 32, above 30.
  img.SetPixel(2, 2, {0, 0, 63});
  EXPECT_TRUE(DetectObject(img, r, tol, {false, false}));
  // Tolerance 0: lightness 0 (one byte at 1, 0.5 -> 0) stays dark, 1 is bright.
  TFastDIB faint = Black(5, 5);
  faint.SetPixel(2, 2, {1, 0, 0});
  tol = 0;
  r = kUntouched;
  EXPECT_FALSE(DetectObject(faint, r, tol, {false, false}));
  faint.SetPixel(2, 2, {2, 0, 0});
  ASSERT_TRUE(DetectObject(faint, r, tol, {false, false}));
  EXPECT_EQ(r, (TRect{1, 1, 3, 3}));
}

TEST(DetectObject, Tolerance255FindsNothingEvenOnWhite) {
  TFastDIB img = Black(10, 10);
  Fill(img, 3, 3, 5, 5);
  TRect r = kUntouched;
  int32_t tol = 255;
  EXPECT_FALSE(DetectObject(img, r, tol, {false, false}));
  tol = 400;
  EXPECT_FALSE(DetectObject(img, r, tol, {true, false}));
  EXPECT_EQ(r, kUntouched);
}

TEST(DetectObject, EmptyPictureIsNotFound) {
  TFastDIB img;
  TRect r = kUntouched;
  int32_t tol = 30;
  EXPECT_FALSE(DetectObject(img, r, tol, {false, true}));
  EXPECT_FALSE(DetectObject(img, r, tol, {true, false}));
  EXPECT_EQ(r, kUntouched);
  EXPECT_EQ(tol, 0);  // the automatic threshold of nothing is 0
}

TEST(DetectObject, MatchesThePixelByPixelScanOnRandomPictures) {
  std::mt19937 rng(1234);
  int foundCount = 0, missedCount = 0;
  for (int round = 0; round < 300; ++round) {
    const int bpp = round % 3 == 0 ? 32 : 24;
    const int w = 1 + int(rng() % 70), h = 2 + int(rng() % 12);
    TFastDIB img = Black(w, h, bpp);
    // Faint noise, plus a few blobs and single pixels that mostly keep off the
    // last row (an object there is never found).
    const int noise = int(rng() % 4) * 15;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        img.SetPixel(y, x, {uint8_t(rng() % (noise + 1)), uint8_t(rng() % (noise + 1)), uint8_t(rng() % (noise + 1))});
    for (int k = 1 + int(rng() % 4); k > 0; --k) {
      const int x0 = int(rng() % w), y0 = int(rng() % h);
      const int y1 = rng() % 5 == 0 ? h - 1 : std::min(h - 2, y0 + int(rng() % 4));
      Fill(img, x0, std::min(y0, y1), std::min(w - 1, x0 + int(rng() % 20)), y1,
           {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    }
    if (bpp == 32)  // the fourth byte is no colour and must not count
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.Pixels32(y)[x].a = 255;
    for (int tol : {-1, 0, 20, 50, int(rng() % 256), 254}) {
      TRect expect = kUntouched, got = kUntouched;
      const bool e = ReferenceScan(img, tol, expect);
      int32_t t = tol;
      const bool g = DetectObject(img, got, t, {false, false});
      ASSERT_EQ(g, e) << "round " << round << " tolerance " << tol;
      EXPECT_EQ(got, expect) << "round " << round << " tolerance " << tol;
      (e ? foundCount : missedCount)++;
    }
  }
  // Both outcomes must be well represented for the comparison to mean something.
  EXPECT_GT(foundCount, 300);
  EXPECT_GT(missedCount, 300);
}

TEST(DetectObject, ComplexModeWorksOnAnEnhancedBlurredCopy) {
  std::mt19937 rng(99);
  TFastDIB img = Black(40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) img.SetPixel(y, x, {uint8_t(rng() % 60), uint8_t(rng() % 60), uint8_t(rng() % 60)});
  Fill(img, 12, 8, 25, 19, {90, 110, 130});
  std::vector<uint8_t> before(img.Bits, img.Bits + img.Size());

  TFastDIB copy;
  copy.CopyFrom(img);
  EnhanceForDetection(copy);
  DiagonalBlur(copy, 2);
  TRect expect, got;
  ASSERT_TRUE(ReferenceScan(copy, 100, expect));
  int32_t tol = 100;
  ASSERT_TRUE(DetectObject(img, got, tol, {true, false}));
  EXPECT_EQ(got, expect);
  // The image as fetched is never changed, in either mode.
  EXPECT_EQ(std::vector<uint8_t>(img.Bits, img.Bits + img.Size()), before);
  DetectObject(img, got, tol, {false, true});
  EXPECT_EQ(std::vector<uint8_t>(img.Bits, img.Bits + img.Size()), before);

  // With automatic tolerance the threshold comes from the enhanced copy.
  int32_t fromCopy = -1;
  ASSERT_TRUE(AutoTolerance(copy, fromCopy, true));
  tol = 5;
  DetectObject(img, got, tol, {true, true});
  EXPECT_EQ(tol, fromCopy);
}

TEST(EnhanceForDetection, MapsThroughContrastThenGamma) {
  TFastDIB img = Black(3, 1);
  img.SetPixel(0, 0, {64, 127, 200});
  img.SetPixel(0, 1, {0, 128, 255});
  EnhanceForDetection(img);
  // ContrastTable(256): 64 -> 0, 127 -> 128, 128 -> 128, 200 -> 255; then gamma 1.2.
  TLut gamma;
  GammaTable(1.2, gamma);
  EXPECT_EQ(img.GetPixel(0, 0), (TColorBGR{0, gamma[128], 255}));
  EXPECT_EQ(img.GetPixel(0, 1), (TColorBGR{0, gamma[128], 255}));
  EXPECT_EQ(img.GetPixel(0, 2), (TColorBGR{0, 0, 0}));
}

TEST(AutoTolerance, OneWhitePixelInAHundred) {
  TFastDIB img = Black(10, 10);
  img.SetPixel(3, 7, {255, 255, 255});
  int32_t t = -1;
  ASSERT_TRUE(AutoTolerance(img, t, false));
  EXPECT_EQ(t, 52);  // mean 2, (8 + 255) div 5
  ASSERT_TRUE(AutoTolerance(img, t, true));
  EXPECT_EQ(t, 128);  // (255 + 2) div 2
}

TEST(AutoTolerance, EmptyPictureGivesZeroAndFalse) {
  TFastDIB img;
  int32_t t = 77;
  EXPECT_FALSE(AutoTolerance(img, t, false));
  EXPECT_EQ(t, 0);
}

TEST(AutoTolerance, SumDoesNotOverflowOnLargePictures) {
  // 4100 x 2100 white pixels: the lightness sum exceeds 2^31.
  TFastDIB img;
  img.SetSize(4100, 2100, 24, 0);
  ASSERT_EQ(img.Width(), 4100);
  std::memset(img.Bits, 255, img.Size());
  int32_t t = 0;
  ASSERT_TRUE(AutoTolerance(img, t, false));
  EXPECT_EQ(t, 255);
  ASSERT_TRUE(AutoTolerance(img, t, true));
  EXPECT_EQ(t, 255);
}

TEST(AutoTolerance, UsesLightnessNotBrightestByte) {
  TFastDIB img = Black(2, 1);
  img.SetPixel(0, 0, {0, 0, 255});  // lightness 128
  img.SetPixel(0, 1, {0, 0, 0});
  int32_t t = 0;
  ASSERT_TRUE(AutoTolerance(img, t, false));
  EXPECT_EQ(t, (4 * 64 + 128) / 5);
}

TEST(AutoTolerance, TotalsMatchTheLightnessOfEveryPixelOnRandomPictures) {
  std::mt19937 rng(77);
  for (int round = 0; round < 60; ++round) {
    const int bpp = round % 2 ? 32 : 24;
    const int w = 1 + int(rng() % 90), h = 1 + int(rng() % 5);
    TFastDIB img = Black(w, h, bpp);
    for (uint32_t i = 0; i < img.Size(); ++i) img.Bits[i] = uint8_t(rng() >> (rng() % 8));
    int64_t sum = 0;
    int maximum = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int l = ColorLightness(img.GetPixel(y, x));
        sum += l;
        maximum = std::max(maximum, l);
      }
    int64_t gotSum = -1;
    int32_t gotMax = -1;
    ASSERT_TRUE(LightnessTotals(img, gotSum, gotMax));
    ASSERT_EQ(gotSum, sum) << w << "x" << h << " at " << bpp;
    ASSERT_EQ(gotMax, maximum) << w << "x" << h << " at " << bpp;
    const int64_t mean = sum / (int64_t(w) * h);
    int32_t t = -1;
    ASSERT_TRUE(AutoTolerance(img, t, false));
    EXPECT_EQ(t, (4 * mean + maximum) / 5) << w << "x" << h << " at " << bpp;
    ASSERT_TRUE(AutoTolerance(img, t, true));
    EXPECT_EQ(t, (maximum + mean) / 2) << w << "x" << h << " at " << bpp;
  }
}
