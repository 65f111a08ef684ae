// SPDX-License-Identifier: GPL-3.0-or-later
// Nearest and bilinear resizing: exact columns and values, copies, refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/Resample.h"

namespace {

// A picture whose every byte of pixel (x, y) is values[y][x].
TFastDIB Grid(int bpp, const std::vector<std::vector<int>>& values) {
  TFastDIB d;
  d.SetSize(int(values[0].size()), int(values.size()), bpp, 0);
  for (size_t y = 0; y < values.size(); ++y)
    for (size_t x = 0; x < values[y].size(); ++x)
      std::memset(d.Scanlines[y] + x * size_t(bpp / 8), values[y][x], size_t(bpp / 8));
  return d;
}

std::vector<int> Row(const TFastDIB& d, int y, int channel = 0) {
  std::vector<int> r;
  for (int x = 0; x < d.Width(); ++x) r.push_back(d.Scanlines[size_t(y)][x * (d.Bpp() / 8) + channel]);
  return r;
}

TFastDIB Sized(int w, int h, int bpp, uint8_t fill = 0xEE) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  if (d.Bits) std::memset(d.Bits, fill, d.Size());
  return d;
}

}  // namespace

TEST(ResizeNearest, TakesColumnsAndRowsByWholeSteps) {
  for (int bpp : {8, 16, 24, 32}) {
    const TFastDIB src = Grid(bpp, {{10, 11, 12, 13}, {20, 21, 22, 23}});
    TFastDIB half = Sized(2, 1, bpp), twice = Sized(8, 4, bpp);
    ResizeNearest(src, half);
    EXPECT_EQ(Row(half, 0), (std::vector<int>{10, 12})) << bpp;
    ResizeNearest(src, twice);
    EXPECT_EQ(Row(twice, 0), (std::vector<int>{10, 10, 11, 11, 12, 12, 13, 13})) << bpp;
    EXPECT_EQ(Row(twice, 1), Row(twice, 0)) << bpp;
    EXPECT_EQ(Row(twice, 3), (std::vector<int>{20, 20, 21, 21, 22, 22, 23, 23})) << bpp;
    EXPECT_EQ(Row(twice, 3, bpp / 8 - 1), Row(twice, 3)) << "whole pixels copied: " << bpp;
  }
}

TEST(ResizeBilinear, InterpolatesWithSeventeenFifteenWeights) {
  // sx = (1 << 15) / 4 = 8192: the right-hand value is never reached.
  for (int bpp : {8, 24, 32}) {
    const TFastDIB src = Grid(bpp, {{0, 255}});
    TFastDIB dest = Sized(4, 1, bpp);
    ResizeBilinear(src, dest);
    EXPECT_EQ(Row(dest, 0), (std::vector<int>{0, 63, 127, 191})) << bpp;
    EXPECT_EQ(Row(dest, 0, bpp / 8 - 1), (bpp == 32 ? std::vector<int>(4, 0xEE) : Row(dest, 0)))
        << "fourth byte of 32-bit pixels is not written";
  }
  // The same down the rows, and both ways at once.
  const TFastDIB col = Grid(24, {{0, 0}, {255, 255}});
  TFastDIB tall = Sized(2, 4, 24);
  ResizeBilinear(col, tall);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(Row(tall, y)[0], (std::vector<int>{0, 63, 127, 191})[size_t(y)]);
  const TFastDIB square = Grid(8, {{0, 128}, {128, 255}});
  TFastDIB mid = Sized(4, 4, 8);
  ResizeBilinear(square, mid);
  // (2, 2): fx = fy = 16384, weights 8192 each: (0 + 128 + 128 + 255) / 4.
  EXPECT_EQ(Row(mid, 2)[2], 127);
  EXPECT_EQ(Row(mid, 2)[0], 64);
}

TEST(ResizeBilinear, OneColumnAndOneRowSources) {
  const TFastDIB column = Grid(24, {{10}, {20}});
  TFastDIB out = Sized(3, 4, 24);
  ResizeBilinear(column, out);  // nearest: no right-hand neighbour to blend
  EXPECT_EQ(Row(out, 0), (std::vector<int>{10, 10, 10}));
  EXPECT_EQ(Row(out, 3), (std::vector<int>{20, 20, 20}));

  const TFastDIB row = Grid(8, {{0, 100}});
  TFastDIB rows = Sized(2, 3, 8);
  ResizeBilinear(row, rows);  // the lower row is the upper one
  EXPECT_EQ(Row(rows, 2), (std::vector<int>{0, 50}));
}

TEST(Resize, EqualSizesCopyEveryByteIncludingPadding) {
  TFastDIB src = Sized(3, 2, 24, 0);
  for (uint32_t i = 0; i < src.Size(); ++i) src.Bits[i] = uint8_t(i * 7 + 1);
  for (auto resize : {ResizeNearest, ResizeBilinear}) {
    TFastDIB dest = Sized(3, 2, 24);
    resize(src, dest);
    EXPECT_EQ(std::memcmp(src.Bits, dest.Bits, src.Size()), 0);
  }
  TFastDIB words = Sized(5, 5, 16, 0x5A), sameWords = Sized(5, 5, 16);
  ResizeBilinear(words, sameWords);
  EXPECT_EQ(sameWords.Bits[7], 0x5A) << "equal sizes are copied at any depth";
}

TEST(Resize, RefusesWhatItCannotDoWithoutTouchingTheDestination) {
  const TFastDIB src = Grid(24, {{1, 2, 3}, {4, 5, 6}});
  TFastDIB empty;
  ResizeNearest(src, empty);  // a 0x0 target: no step to divide by
  ResizeBilinear(src, empty);
  TFastDIB zeroHigh = Sized(4, 0, 24);
  ResizeNearest(src, zeroHigh);
  EXPECT_EQ(zeroHigh.Bits, nullptr);

  TFastDIB other = Sized(6, 4, 32);
  ResizeNearest(src, other);  // depths differ
  ResizeBilinear(src, other);
  EXPECT_EQ(other.Bits[0], 0xEE);

  const TFastDIB words = Grid(16, {{1, 2}, {3, 4}});
  TFastDIB wordsOut = Sized(4, 4, 16);
  ResizeBilinear(words, wordsOut);  // 16 bits: the display sends these to nearest
  EXPECT_EQ(wordsOut.Bits[0], 0xEE);
  ResizeNearest(words, wordsOut);
  EXPECT_EQ(wordsOut.Bits[0], 1);

  TFastDIB nibbles = Sized(4, 4, 4), nibblesOut = Sized(8, 8, 4);
  ResizeNearest(nibbles, nibblesOut);
  EXPECT_EQ(nibblesOut.Bits[0], 0xEE);

  TFastDIB emptySrc, target = Sized(2, 2, 24);
  ResizeNearest(emptySrc, target);
  ResizeBilinear(emptySrc, target);
  EXPECT_EQ(target.Bits[0], 0xEE);
}

TEST(Resize, LongestSidesStayInRange) {
  TFastDIB src = Sized(32767, 2, 8, 0);
  for (int x = 0; x < 32767; ++x) src.Bits[x] = src.Bits[src.RowSize + x] = uint8_t(x % 251);
  TFastDIB few = Sized(3, 1, 8);
  ResizeNearest(src, few);  // step (32767 << 16) / 3: columns 0, 10922, 21844
  EXPECT_EQ(Row(few, 0), (std::vector<int>{0, 10922 % 251, 21844 % 251}));
  ResizeBilinear(src, few);  // step (32766 << 15) / 3 = 32766 * 32768 / 3 exactly: columns 0, 10922, 21844
  EXPECT_EQ(Row(few, 0), (std::vector<int>{0, 10922 % 251, 21844 % 251}));

  const TFastDIB pair = Grid(8, {{0, 255}});
  TFastDIB wide = Sized(32767, 1, 8);
  ResizeBilinear(pair, wide);
  EXPECT_EQ(Row(wide, 0)[32766], 254);  // (32766 * 1) * 255 >> 15
}
