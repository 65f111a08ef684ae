// SPDX-License-Identifier: GPL-3.0-or-later
// Object detection and the automatic threshold: small pictures with known answers, random pictures
// against a literal per-pixel transcription of the scan, the complex mode against its enhanced copy.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "FramingFixtures.h"
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

struct TBox {
  int X0, Y0, X1, Y1;
  TColorBGR C = {255, 255, 255};
};
struct TDetectCase {
  const char* Name;
  int W, H;
  std::vector<TBox> Boxes;
  int Tolerance;
  TDetectOptions Options;
  bool Found;
  TRect Rect;  // when found
};

const TDetectCase kDetect[] = {
    {"SquareWithItsDarkRing", 10, 10, {{4, 4, 6, 6}}, 30, {}, true, {3, 3, 7, 7}},
    {"PixelInTheTopLeftCorner", 10, 10, {{0, 0, 0, 0, {200, 200, 200}}}, 30, {}, true, {0, 0, 1, 1}},
    // Vertical extent: the upper band; horizontal: both blobs.
    {"TwoBlobs", 12, 10, {{5, 2, 6, 3}, {1, 5, 8, 6}}, 30, {}, true, {0, 1, 9, 4}},
    {"TouchingTheBottom", 10, 10, {{0, 7, 9, 9}}, 30, {}, false, {}},
    {"OnlyAtTheRightEdge", 10, 10, {{6, 3, 9, 5}}, 30, {}, false, {}},
    {"EarlierRunOfARightEdgeRow", 10, 10, {{6, 3, 9, 5}, {2, 4, 3, 4}}, 30, {}, true, {1, 2, 4, 6}},
    // Strict threshold, halves to even: max + min 61 is lightness 30, 63 is 32.
    {"Lightness30NotAbove30", 5, 5, {{2, 2, 2, 2, {0, 0, 61}}}, 30, {}, false, {}},
    {"Lightness32Above30", 5, 5, {{2, 2, 2, 2, {0, 0, 63}}}, 30, {}, true, {1, 1, 3, 3}},
    {"Lightness0AtTolerance0", 5, 5, {{2, 2, 2, 2, {1, 0, 0}}}, 0, {}, false, {}},
    {"Lightness1AtTolerance0", 5, 5, {{2, 2, 2, 2, {2, 0, 0}}}, 0, {}, true, {1, 1, 3, 3}},
    {"Tolerance255OnWhite", 10, 10, {{3, 3, 5, 5}}, 255, {}, false, {}},
    {"Tolerance400Complex", 10, 10, {{3, 3, 5, 5}}, 400, {true, false}, false, {}},
    {"EmptyPicture", 0, 0, {}, 30, {false, true}, false, {}},
    {"EmptyPictureComplex", 0, 0, {}, 30, {true, false}, false, {}},
};

class Detect : public ::testing::TestWithParam<TDetectCase> {};

TEST_P(Detect, FindsTheKnownRectangle) {
  const TDetectCase& c = GetParam();
  TFastDIB img = Black(c.W, c.H);
  for (const TBox& b : c.Boxes) Fill(img, b.X0, b.Y0, b.X1, b.Y1, b.C);
  const TRect untouched{-7, -7, -7, -7};
  TRect r = untouched;
  int32_t tol = c.Tolerance;
  ASSERT_EQ(DetectObject(img, r, tol, c.Options), c.Found);
  EXPECT_EQ(r, c.Found ? c.Rect : untouched);
  // A given threshold stays; the automatic one of nothing is 0.
  EXPECT_EQ(tol, c.Options.AutoTolerance ? 0 : c.Tolerance);
}

INSTANTIATE_TEST_SUITE_P(Pictures, Detect, ::testing::ValuesIn(kDetect), [](const auto& p) { return std::string(p.param.Name); });

TEST(DetectObject, MatchesThePixelByPixelScanOnRandomPictures) {
  std::mt19937 rng(1234);
  int foundCount = 0, missedCount = 0;
  for (int round = 0; round < 300; ++round) {
    const int bpp = round % 3 == 0 ? 32 : 24;
    const int w = 1 + int(rng() % 70), h = 2 + int(rng() % 12);
    TFastDIB img = Black(w, h, bpp);
    // Faint noise, plus a few blobs and single pixels that mostly keep off the last row.
    const int noise = int(rng() % 4) * 15;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        img.SetPixel(y, x, {uint8_t(rng() % (noise + 1)), uint8_t(rng() % (noise + 1)), uint8_t(rng() % (noise + 1))});
    for (int k = 1 + int(rng() % 4); k > 0; --k) {
      const int x0 = int(rng() % w), y0 = int(rng() % h);
      const int y1 = rng() % 5 == 0 ? h - 1 : std::min(h - 2, y0 + int(rng() % 4));
      Fill(img, x0, std::min(y0, y1), std::min(w - 1, x0 + int(rng() % 20)), y1, {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    }
    if (bpp == 32)  // the fourth byte is no colour and must not count
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.Pixels32(y)[x].a = 255;
    for (int tol : {-1, 0, 20, 50, int(rng() % 256), 254}) {
      TRect expect{-7, -7, -7, -7}, got = expect;
      const bool e = ReferenceScan(img, tol, expect);
      int32_t t = tol;
      ASSERT_EQ(DetectObject(img, got, t, {false, false}), e) << "round " << round << " tolerance " << tol;
      EXPECT_EQ(got, expect) << "round " << round << " tolerance " << tol;
      (e ? foundCount : missedCount)++;
    }
  }
  EXPECT_GT(foundCount, 300);  // both outcomes well represented
  EXPECT_GT(missedCount, 300);
}

TEST(DetectObject, ComplexModeWorksOnAnEnhancedBlurredCopy) {
  std::mt19937 rng(99);
  TFastDIB img = Black(40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) img.SetPixel(y, x, {uint8_t(rng() % 60), uint8_t(rng() % 60), uint8_t(rng() % 60)});
  Fill(img, 12, 8, 25, 19, {90, 110, 130});
  const std::vector<uint8_t> before(img.Bits, img.Bits + img.Size());
  TFastDIB copy;
  copy.CopyFrom(img);
  EnhanceForDetection(copy);
  DiagonalBlur(copy, 2);
  TRect expect, got;
  ASSERT_TRUE(ReferenceScan(copy, 100, expect));
  int32_t tol = 100;
  ASSERT_TRUE(DetectObject(img, got, tol, {true, false}));
  EXPECT_EQ(got, expect);
  DetectObject(img, got, tol, {false, true});
  EXPECT_EQ(std::vector<uint8_t>(img.Bits, img.Bits + img.Size()), before);  // never changed, in either mode
  // With automatic tolerance the threshold comes from the enhanced copy.
  int32_t fromCopy = -1;
  ASSERT_TRUE(AutoTolerance(copy, fromCopy, true));
  tol = 5;
  DetectObject(img, got, tol, {true, true});
  EXPECT_EQ(tol, fromCopy);
  // The enhancement: ContrastTable(256) (64 -> 0, 127 and 128 -> 128, 200 -> 255), then gamma 1.2.
  TFastDIB two = Black(2, 1);
  two.SetPixel(0, 0, {64, 127, 200});
  two.SetPixel(0, 1, {0, 128, 255});
  EnhanceForDetection(two);
  TLut gamma;
  GammaTable(1.2, gamma);
  EXPECT_EQ(two.GetPixel(0, 0), (TColorBGR{0, gamma[128], 255}));
  EXPECT_EQ(two.GetPixel(0, 1), (TColorBGR{0, gamma[128], 255}));
}

// Known answers: (4 mean + max) div 5, complex (max + mean) div 2; the lightness sum of 4100 x 2100 whites passes 2^31.
TEST(AutoTolerance, KnownPicturesAndRandomOnesAgainstEveryPixelsLightness) {
  TFastDIB one = Black(10, 10), red = Black(2, 1), empty, white;
  one.SetPixel(3, 7, {255, 255, 255});
  red.SetPixel(0, 0, {0, 0, 255});  // lightness 128, not 255
  white.SetSize(4100, 2100, 24, 0);
  std::memset(white.Bits, 255, white.Size());
  int32_t t = -1;
  for (const auto& [img, simple, complex] : {std::tuple<const TFastDIB*, int, int>{&one, 52, 128}, {&red, 76, 96}, {&white, 255, 255}}) {
    ASSERT_TRUE(AutoTolerance(*img, t, false));
    EXPECT_EQ(t, simple);
    ASSERT_TRUE(AutoTolerance(*img, t, true));
    EXPECT_EQ(t, complex);
  }
  EXPECT_FALSE(AutoTolerance(empty, t, false));
  EXPECT_EQ(t, 0);
  std::mt19937 rng(77);
  for (int round = 0; round < 60; ++round) {
    const int bpp = round % 2 ? 32 : 24, w = 1 + int(rng() % 90), h = 1 + int(rng() % 5);
    TFastDIB img = Black(w, h, bpp);
    for (uint32_t i = 0; i < img.Size(); ++i) img.Bits[i] = uint8_t(rng() >> (rng() % 8));
    int64_t sum = 0, gotSum = -1;
    int maximum = 0;
    int32_t gotMax = -1;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) sum += ColorLightness(img.GetPixel(y, x)), maximum = std::max(maximum, ColorLightness(img.GetPixel(y, x)));
    ASSERT_TRUE(LightnessTotals(img, gotSum, gotMax));
    ASSERT_EQ(std::make_pair(gotSum, gotMax), std::make_pair(sum, int32_t(maximum))) << w << "x" << h << " at " << bpp;
    const int64_t mean = sum / (int64_t(w) * h);
    ASSERT_TRUE(AutoTolerance(img, t, false));
    EXPECT_EQ(t, (4 * mean + maximum) / 5) << w << "x" << h << " at " << bpp;
    ASSERT_TRUE(AutoTolerance(img, t, true));
    EXPECT_EQ(t, (maximum + mean) / 2) << w << "x" << h << " at " << bpp;
  }
}

}  // namespace
