// SPDX-License-Identifier: GPL-3.0-or-later
// DiagonalBlur: four corners at distance d, clamped, read in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/Effects.h"

namespace {

// A one-channel line of values laid out along x (horizontal) or y.
TFastDIB Line(int bpp, const std::vector<int>& values, bool horizontal) {
  TFastDIB d;
  const int n = int(values.size());
  d.SetSize(horizontal ? n : 1, horizontal ? 1 : n, bpp, 0);
  for (int i = 0; i < n; ++i) {
    uint8_t* p = horizontal ? d.Scanlines[0] + i * (bpp / 8) : d.Scanlines[size_t(i)];
    std::memset(p, values[size_t(i)], size_t(bpp / 8));
  }
  return d;
}

int At(const TFastDIB& d, int i, bool horizontal, int channel = 0) {
  return horizontal ? d.Scanlines[0][i * (d.Bpp() / 8) + channel] : d.Scanlines[size_t(i)][channel];
}

}  // namespace

TEST(DiagonalBlur, ReadsPixelsAlreadyReplacedAboveAndToTheLeft) {
  // Along a row: 50 = (0+100)/2, then 125 = (50+200)/2 with the new left
  // neighbour, then 162 = (125+200)/2. Out of place it would be 50, 100, 150.
  for (bool horizontal : {true, false}) {
    for (int bpp : {8, 24, 32}) {
      TFastDIB d = Line(bpp, {0, 100, 200}, horizontal);
      DiagonalBlur(d, 1);
      EXPECT_EQ(At(d, 0, horizontal), 50) << bpp;
      EXPECT_EQ(At(d, 1, horizontal), 125) << bpp;
      EXPECT_EQ(At(d, 2, horizontal), 162) << bpp;
      if (bpp > 8) {
        EXPECT_EQ(At(d, 1, horizontal, 2), 125) << bpp;
      }
      if (bpp == 32) {
        EXPECT_EQ(At(d, 1, horizontal, 3), 100) << "fourth byte untouched";
      }
    }
  }
}

TEST(DiagonalBlur, CornerUsesTheFourCornersAtDistance) {
  TFastDIB d;
  d.SetSize(5, 5, 24, 0);
  d.SetPixel(0, 0, TFastDIB::MakeColor(4, 0, 0));
  d.SetPixel(0, 2, TFastDIB::MakeColor(8, 0, 0));
  d.SetPixel(2, 0, TFastDIB::MakeColor(16, 0, 0));
  d.SetPixel(2, 2, TFastDIB::MakeColor(101, 0, 0));
  d.SetPixel(1, 1, TFastDIB::MakeColor(255, 255, 255));  // not a corner of (0, 0)
  DiagonalBlur(d, -2);  // the sign of the amount does not matter
  EXPECT_EQ(d.GetPixel(0, 0).r, (4 + 8 + 16 + 101) >> 2);
}

TEST(DiagonalBlur, NothingToDoForZeroOrTinyPictures) {
  TFastDIB one;
  one.SetSize(1, 1, 24, 0);
  one.SetPixel(0, 0, TFastDIB::MakeColor(1, 2, 3));
  DiagonalBlur(one, 5);
  EXPECT_EQ(one.GetPixel(0, 0), TFastDIB::MakeColor(1, 2, 3));

  TFastDIB d = Line(24, {0, 100, 200}, true);
  DiagonalBlur(d, 0);
  EXPECT_EQ(At(d, 1, true), 100);
  DiagonalBlur(d, INT32_MIN);  // every corner clamps to the picture's edges
  EXPECT_EQ(At(d, 0, true), 100);  // (0 + 200) * 2 / 4

  TFastDIB empty;
  DiagonalBlur(empty, 2);
  EXPECT_EQ(empty.Bits, nullptr);
}

TEST(DiagonalBlur, SixteenBitsAveragesEachMaskedField) {
  for (int format : {555, 565}) {
    TFastDIB d;
    d.SetSize(2, 2, 16, format);
    const TColorBGR c[4] = {{248, 252, 8}, {8, 4, 16}, {16, 8, 24}, {24, 12, 200}};
    d.SetPixel(0, 0, c[0]);
    d.SetPixel(0, 1, c[1]);
    d.SetPixel(1, 0, c[2]);
    d.SetPixel(1, 1, c[3]);
    TColorBGR in[4];
    for (int i = 0; i < 4; ++i) in[i] = d.GetPixel(i / 2, i % 2);
    DiagonalBlur(d, 1);
    // Pixel (0, 0) is the first one written, so it sees the four originals;
    // each field's quotient is truncated to the field's own precision.
    const TColorBGR out = d.GetPixel(0, 0);
    const int gbits = format == 565 ? 6 : 5;
    auto field = [](int sum, int bits) { return ((sum >> (8 - bits)) >> 2) << (8 - bits); };
    EXPECT_EQ(out.b, field(in[0].b + in[1].b + in[2].b + in[3].b, 5)) << format;
    EXPECT_EQ(out.g, field(in[0].g + in[1].g + in[2].g + in[3].g, gbits)) << format;
    EXPECT_EQ(out.r, field(in[0].r + in[1].r + in[2].r + in[3].r, 5)) << format;
  }
}

// The row-splitting fast path against the definition, pixel by pixel in place.
TEST(DiagonalBlur, WholePictureMatchesTheInPlaceDefinition) {
  for (int bpp : {8, 24, 32}) {
    for (int d : {1, 3, 18, 40}) {
      TFastDIB pic, ref;
      for (TFastDIB* p : {&pic, &ref}) p->SetSize(37, 23, bpp, 0);
      uint32_t seed = 99;
      for (uint32_t i = 0; i < pic.Size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        pic.Bits[i] = ref.Bits[i] = uint8_t(seed >> 23);
      }
      const int step = bpp / 8, channels = bpp == 32 ? 3 : step, w = 37, h = 23;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < channels; ++c) {
            auto at = [&](int px, int py) { return int(ref.Scanlines[size_t(py)][px * step + c]); };
            const int x1 = std::max(x - d, 0), x2 = std::min(x + d, w - 1);
            const int y1 = std::max(y - d, 0), y2 = std::min(y + d, h - 1);
            ref.Scanlines[size_t(y)][x * step + c] = uint8_t((at(x1, y1) + at(x2, y1) + at(x1, y2) + at(x2, y2)) >> 2);
          }
      DiagonalBlur(pic, d);
      ASSERT_EQ(std::memcmp(pic.Bits, ref.Bits, pic.Size()), 0) << bpp << " d=" << d;
    }
  }
}
