// SPDX-License-Identifier: GPL-3.0-or-later
// The SER reader's sample loops and the demosaicing against their documented rules, in every
// instruction-set form this processor runs, in place as the reader uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "image/Demosaic.h"
#include "sources/SerSourceRows.h"

namespace {

TEST(SerSimd, DeepSamplesScaleToTheRoundedFullRange) {
  std::vector<uint8_t> in(2 * 65536), out(65536), want(65536), grey(3 * 65535);
  for (uint32_t v = 0; v < 65536; ++v) in[2 * v] = uint8_t(v), in[2 * v + 1] = uint8_t(v >> 8);
  for (int depth = 9; depth <= 16; ++depth)
    for (bool swap : {false, true}) {
      for (uint32_t v = 0, m = (1u << depth) - 1; v < 65536; ++v) {
        const uint32_t s = swap ? (v >> 8 | (v & 255) << 8) : v;
        want[v] = s >= m ? 255 : uint8_t((s * 255 + m / 2) / m);
      }
      for (TSimd simd : SimdLevels()) {
        ScaleDeep(in.data(), 65536, {depth, swap}, out.data(), simd);
        ASSERT_EQ(out, want) << "depth " << depth << " swap " << swap << " form " << int(simd);
        std::copy(in.begin() + 2, in.end(), grey.begin() + 65535);  // samples 1.., unaligned, at the end
        ScaleDeepGrey(grey.data() + 65535, 65535, {depth, swap}, grey.data(), simd);
        for (size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], want[i / 3 + 1]) << i << " form " << int(simd);
      }
    }
}

// In place, as the reader works: the mosaic at the end of the picture gives what a separate
// mosaic gives (checked against the definition in the image tests).
TEST(SerSimd, DemosaicAndGreyFromTheEndOfThePicture) {
  std::mt19937 random(3);
  const char* cells[] = {"RGGB", "GRBG", "GBRG", "BGGR"};
  for (int w : {1, 2, 3, 17, 40, 66, 131})
    for (int h : {1, 2, 5})
      for (TSimd simd : SimdLevels()) {
        std::vector<uint8_t> raw(size_t(w * h)), grey(3 * raw.size());
        for (uint8_t& b : raw) b = uint8_t(random() % 3 ? random() : (random() & 1) * 255);
        for (int p = 0; p < 4; ++p) {
          TFastDIB got;
          got.SetSize(w, h, 24, 0);
          uint8_t* mosaic = std::copy(raw.begin(), raw.end(), got.Bits + got.Size() - raw.size()) - raw.size();
          DemosaicBilinear(mosaic, w, h, w, TBayerPattern(p), got, simd);
          TFastDIB want;
          want.SetSize(w, h, 24, 0);
          DemosaicBilinear(raw.data(), w, h, w, TBayerPattern(p), want, TSimd::Plain);
          for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(want.Pixels8(y), want.Pixels8(y) + 3 * w, got.Pixels8(y))) << w << "x" << h << cells[p] << " row " << y;
        }
        std::copy(raw.begin(), raw.end(), grey.begin() + ptrdiff_t(2 * raw.size()));
        ExpandGrey(grey.data() + 2 * raw.size(), raw.size(), grey.data(), simd);
        for (size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], raw[i / 3]) << i;
      }
}

}  // namespace
