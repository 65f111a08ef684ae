// SPDX-License-Identifier: GPL-3.0-or-later
// The one-pass enhancement and smoothing of the complex mode gives exactly what
// the image library's table and smoothing give, one after the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "framing/Detect.h"
#include "framing/Enhance.h"
#include "image/Effects.h"

namespace {

// Random bytes; `dark` pictures are mostly night sky (bytes the table sends to
// black) with a few bright patches, the case the mapping takes a short cut on.
TFastDIB Random(int w, int h, int bpp, std::mt19937& rng, bool dark = false) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  for (uint32_t i = 0; i < d.Size(); ++i) d.Bits[i] = dark ? uint8_t(rng() % 66) : uint8_t(rng());
  if (dark)
    for (int k = 0; k < 3 && d.Size() > 0; ++k) {
      const uint32_t at = rng() % d.Size();
      for (uint32_t i = at; i < std::min<uint32_t>(d.Size(), at + 20); ++i) d.Bits[i] = uint8_t(60 + rng() % 196);
    }
  return d;
}

// The colour bytes of every pixel (row padding is not compared).
std::vector<uint8_t> Colours(const TFastDIB& d) {
  std::vector<uint8_t> out;
  for (int y = 0; y < d.AbsHeight; ++y)
    for (int x = 0; x < d.Width(); ++x) {
      const TColorBGR c = d.GetPixel(y, x);
      out.insert(out.end(), {c.b, c.g, c.r});
    }
  return out;
}

}  // namespace

TEST(EnhanceAndBlur, SameAsTableThenSmoothingForEverySize) {
  std::mt19937 rng(5);
  TFastDIB work;  // kept across sizes, as a framing run keeps it
  for (bool dark : {false, true})
  for (int bpp : {24, 32})
    for (int h = 1; h <= 9; ++h)
      for (int w = 1; w <= 40; w += (w < 12 ? 1 : 7)) {
        const TFastDIB img = Random(w, h, bpp, rng, dark);
        TFastDIB expect;
        expect.CopyFrom(img);
        EnhanceForDetection(expect);
        DiagonalBlur(expect, 2);
        EnhanceAndBlur(img, work);
        ASSERT_EQ(work.Width(), w);
        ASSERT_EQ(work.AbsHeight, h);
        ASSERT_EQ(work.Bpp(), bpp);
        ASSERT_EQ(Colours(work), Colours(expect)) << w << "x" << h << " at " << bpp << " bits";
      }
}

TEST(EnhanceAndBlur, LargePictureAndTheTableItself) {
  std::mt19937 rng(8);
  for (bool dark : {false, true}) {
    const TFastDIB img = Random(203, 61, 24, rng, dark);
    TFastDIB expect, work;
    expect.CopyFrom(img);
    EnhanceForDetection(expect);
    DiagonalBlur(expect, 2);
    EnhanceAndBlur(img, work);
    EXPECT_EQ(Colours(work), Colours(expect));
  }

  TLut contrast, gamma, merged;
  ContrastTable(256, contrast);
  GammaTable(1.2, gamma);
  MergeLUTs({contrast, gamma}, merged);
  EXPECT_EQ(DetectionLut(), merged);
}

TEST(EnhanceAndBlur, ScratchGivesTheSameDetectionAsAFreshCopy) {
  std::mt19937 rng(3);
  TDetectScratch scratch;
  for (int round = 0; round < 20; ++round) {
    TFastDIB img;
    img.SetSize(50, 40, 24, 0);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) img.SetPixel(y, x, {uint8_t(rng() % 70), uint8_t(rng() % 70), uint8_t(rng() % 70)});
    const int x0 = int(rng() % 30), y0 = int(rng() % 25);
    for (int y = y0; y < y0 + 10; ++y)
      for (int x = x0; x < x0 + 15; ++x) img.SetPixel(y, x, {150, 160, 170});
    TRect a{-1, -1, -1, -1}, b{-1, -1, -1, -1};
    int32_t ta = 60, tb = 60;
    const bool fa = DetectObject(img, a, ta, {true, round % 2 == 0});
    const bool fb = DetectObject(img, b, tb, {true, round % 2 == 0}, &scratch);
    EXPECT_EQ(fa, fb);
    EXPECT_EQ(a, b);
    EXPECT_EQ(ta, tb);
  }
}

TEST(EnhanceAndBlur, NightSkyWithPatchesAnywhere) {
  // Only the rows and columns near bright patches are worked on; the rest
  // must still come out exactly as the library's smoothing gives it.
  std::mt19937 rng(21);
  TFastDIB work;
  for (int round = 0; round < 60; ++round) {
    const int w = 5 + int(rng() % 120), h = 5 + int(rng() % 40);
    TFastDIB img;
    img.SetSize(w, h, 24, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img.SetPixel(y, x, {uint8_t(rng() % 60), uint8_t(rng() % 60), uint8_t(rng() % 60)});
    for (int k = int(rng() % 4); k >= 0; --k) {
      // Patches anywhere, edges and corners included, some a single pixel.
      const int x0 = rng() % 4 == 0 ? (rng() % 2 ? 0 : w - 1) : int(rng() % w);
      const int y0 = rng() % 4 == 0 ? (rng() % 2 ? 0 : h - 1) : int(rng() % h);
      const int x1 = std::min(w - 1, x0 + int(rng() % 6)), y1 = std::min(h - 1, y0 + int(rng() % 4));
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) img.SetPixel(y, x, {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    }
    TFastDIB expect;
    expect.CopyFrom(img);
    EnhanceForDetection(expect);
    DiagonalBlur(expect, 2);
    EnhanceAndBlur(img, work);
    ASSERT_EQ(Colours(work), Colours(expect)) << "round " << round << ", " << w << "x" << h;
  }
}
