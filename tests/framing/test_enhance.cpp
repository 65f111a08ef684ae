// SPDX-License-Identifier: GPL-3.0-or-later
// The one-pass enhancement and smoothing of the complex mode gives exactly what the image library's
// table and smoothing give one after the other, also into a work picture kept from earlier sizes.
#include <gtest/gtest.h>

#include <random>

#include "FramingFixtures.h"
#include "framing/Detect.h"
#include "framing/Enhance.h"
#include "image/Effects.h"

namespace {

TEST(EnhanceAndBlur, SameAsTableThenSmoothing) {
  std::mt19937 rng(5);
  TFastDIB work;  // kept across sizes, as a framing run keeps it
  // Every small size at both depths, then larger night skies: mostly bytes the table sends to
  // black (the short cut) with bright patches anywhere, edges, corners and single pixels included.
  std::vector<std::tuple<int, int, int, int>> sizes;  // w, h, bpp, patches (-1: random bytes everywhere)
  for (int bpp : {24, 32})
    for (int h = 1; h <= 9; ++h)
      for (int w = 1; w <= 40; w += (w < 12 ? 1 : 7)) sizes.emplace_back(w, h, bpp, -1), sizes.emplace_back(w, h, bpp, 3);
  for (int round = 0; round < 60; ++round) sizes.emplace_back(5 + int(rng() % 120), 5 + int(rng() % 40), 24, int(rng() % 5));
  sizes.emplace_back(203, 61, 24, -1);
  sizes.emplace_back(203, 61, 24, 4);
  for (const auto& [w, h, bpp, patches] : sizes) {
    TFastDIB img;
    img.SetSize(w, h, bpp, 0);
    for (uint32_t i = 0; i < img.Size(); ++i) img.Bits[i] = patches < 0 ? uint8_t(rng()) : uint8_t(rng() % 66);
    for (int k = 0; k < patches; ++k) {
      const int x0 = rng() % 4 == 0 ? (rng() % 2 ? 0 : w - 1) : int(rng() % w);
      const int y0 = rng() % 4 == 0 ? (rng() % 2 ? 0 : h - 1) : int(rng() % h);
      for (int y = y0; y <= std::min(h - 1, y0 + int(rng() % 4)); ++y)
        for (int x = x0; x <= std::min(w - 1, x0 + int(rng() % 6)); ++x) img.SetPixel(y, x, {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    }
    TFastDIB expect;
    expect.CopyFrom(img);
    EnhanceForDetection(expect);
    DiagonalBlur(expect, 2);
    EnhanceAndBlur(img, work);
    ASSERT_EQ(std::make_tuple(work.Width(), work.AbsHeight, work.Bpp()), std::make_tuple(w, h, bpp));
    ASSERT_EQ(FrameBytes(work, {0, 0, w - 1, h - 1}), FrameBytes(expect, {0, 0, w - 1, h - 1}))
        << w << "x" << h << " at " << bpp << " bits, " << patches << " patches";
  }
  TLut contrast, gamma, merged;
  ContrastTable(256, contrast);
  GammaTable(1.2, gamma);
  MergeLUTs({contrast, gamma}, merged);
  EXPECT_EQ(DetectionLut(), merged);
}

}  // namespace
