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

// Own colour: own sample; any other: rounded mean of its samples in the 3x3 window inside the picture.
TColorBGR Bilinear(const std::vector<uint8_t>& raw, int w, int h, const char* cell, int y, int x) {
  auto filter = [&](int yy, int xx) { return cell[(yy & 1) * 2 + (xx & 1)]; };
  unsigned sum[3] = {}, count[3] = {};  // blue, green, red
  for (int yy = std::max(y - 1, 0); yy <= std::min(y + 1, h - 1); ++yy)
    for (int xx = std::max(x - 1, 0); xx <= std::min(x + 1, w - 1); ++xx)
      if (filter(yy, xx) != filter(y, x) || (yy == y && xx == x)) {
        const int c = filter(yy, xx) == 'B' ? 0 : filter(yy, xx) == 'G' ? 1 : 2;
        sum[c] += raw[size_t(yy * w + xx)], ++count[c];
      }
  auto mean = [&](int c) { return uint8_t(count[c] ? (sum[c] + count[c] / 2) / count[c] : 0); };
  return {mean(0), mean(1), mean(2)};
}

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
          for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(got.Pixels24(i / w)[i % w], Bilinear(raw, w, h, cells[p], i / w, i % w)) << w << "x" << h << cells[p] << " " << i;
        }
        std::copy(raw.begin(), raw.end(), grey.begin() + ptrdiff_t(2 * raw.size()));
        ExpandGrey(grey.data() + 2 * raw.size(), raw.size(), grey.data(), simd);
        for (size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], raw[i / 3]) << i;
      }
}

}  // namespace
