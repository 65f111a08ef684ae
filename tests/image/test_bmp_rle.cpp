// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "BmpTestFiles.h"

namespace {

// An RLE file of the given size and depth; rows of the result as index lists,
// top row first.
std::vector<std::vector<int>> DecodeRle(int w, int h, int bpp, std::vector<uint8_t> data) {
  TBmpFields s;
  s.width = w;
  s.height = h;
  s.bpp = uint16_t(bpp);
  s.compression = bpp == 8 ? 1 : 2;
  s.palette = GreyPalette(1 << bpp);
  s.pixels = std::move(data);
  TFastDIB d;
  EXPECT_TRUE(Load(d, MakeBmp(s)));
  std::vector<std::vector<int>> rows(size_t(d.AbsHeight));
  for (int y = 0; y < d.AbsHeight; ++y)
    for (int x = 0; x < d.Width(); ++x) {
      const uint8_t b = bpp == 8 ? d.Pixels8(y)[x] : d.Pixels8(y)[x / 2];
      rows[size_t(y)].push_back(bpp == 8 ? b : (x & 1) ? (b & 15) : (b >> 4));
    }
  return rows;
}
using Rows = std::vector<std::vector<int>>;

}  // namespace

TEST(BmpRle8, RunsLiteralsDeltaAndEndCodes) {
  const Rows rows = DecodeRle(6, 3, 8,
                              {3, 9,                  // bottom row: 9 9 9
                               0, 3, 1, 2, 3, 0,      // literal of 3, padded to 4 bytes
                               0, 0,                  // end of line
                               0, 2, 2, 1,            // delta: skip 2 columns, 1 row
                               2, 7,                  // top row, columns 2-3
                               0, 1,                  // end of bitmap
                               5, 5});                // never read
  EXPECT_EQ(rows, (Rows{{0, 0, 7, 7, 0, 0}, {0, 0, 0, 0, 0, 0}, {9, 9, 9, 1, 2, 3}}));
}

TEST(BmpRle8, RunsAndLiteralsPastTheRowAreClipped) {
  const Rows rows = DecodeRle(4, 2, 8,
                              {255, 1,                // far past the row: 4 pixels kept
                               0, 5, 2, 2, 2, 2, 2, 0,  // literal entirely off the row
                               0, 0,
                               2, 3, 0, 3, 4, 5, 6, 0,  // literal crossing the row end
                               0, 0, 9, 9, 0, 0});    // further rows are dropped
  EXPECT_EQ(rows, (Rows{{3, 3, 4, 5}, {1, 1, 1, 1}}));
}

TEST(BmpRle8, DeltaOutOfThePictureAndShortDataStopSafely) {
  EXPECT_EQ(DecodeRle(3, 2, 8, {1, 4, 0, 2, 200, 200, 1, 9}), (Rows{{0, 0, 0}, {4, 0, 0}}));
  EXPECT_EQ(DecodeRle(3, 2, 8, {1, 4, 0, 2, 255, 0, 1, 9}), (Rows{{0, 0, 0}, {4, 0, 0}}));  // x clipped
  EXPECT_EQ(DecodeRle(3, 2, 8, {0, 4, 8, 7}), (Rows{{0, 0, 0}, {8, 7, 0}}));            // literal cut
  EXPECT_EQ(DecodeRle(3, 2, 8, {2, 6, 0}), (Rows{{0, 0, 0}, {6, 6, 0}}));               // odd byte left
  EXPECT_EQ(DecodeRle(3, 2, 8, {}), (Rows{{0, 0, 0}, {0, 0, 0}}));                      // nothing at all
  EXPECT_EQ(DecodeRle(2, 1, 8, {0, 2, 1}), (Rows{{0, 0}}));                             // delta cut
}

TEST(BmpRle4, NibblesAlternateFromTheHighOneWhereverTheRunStarts) {
  // Row of 7: a run of 3 from 0x12 at column 0, then a run of 3 from 0x34
  // starting at the odd column 3, then a literal of 1.
  EXPECT_EQ(DecodeRle(7, 1, 4, {3, 0x12, 3, 0x34, 0, 1}), (Rows{{1, 2, 1, 3, 4, 3, 0}}));
  // Literal of 3 pixels (2 bytes, already even) at odd column 1, then a run.
  EXPECT_EQ(DecodeRle(6, 1, 4, {1, 0xF0, 0, 3, 0xAB, 0xC0, 2, 0x56}), (Rows{{15, 10, 11, 12, 5, 6}}));
  // Literal of 5 pixels: 3 bytes padded to 4.
  EXPECT_EQ(DecodeRle(6, 1, 4, {0, 5, 0x12, 0x34, 0x50, 0x00, 1, 0x99}), (Rows{{1, 2, 3, 4, 5, 9}}));
}

TEST(BmpRle4, ClippingAndRowsBottomUp) {
  EXPECT_EQ(DecodeRle(3, 2, 4, {9, 0x12, 0, 0, 0, 6, 0x34, 0x56, 0x78, 0}),
            (Rows{{3, 4, 5}, {1, 2, 1}}));
  EXPECT_EQ(DecodeRle(5, 1, 4, {0, 9, 0x12}), (Rows{{1, 2, 0, 0, 0}}));  // literal runs off the data
}

TEST(BmpRle, DataOffsetAtTheEndOfTheFileGivesAnEmptyPicture) {
  TBmpFields s;
  s.width = 2;
  s.height = 2;
  s.bpp = 8;
  s.compression = 1;
  s.palette = GreyPalette(256);
  TFastDIB d;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.Pixels8(0)[0], 0);
  s.offBitsDelta = 10;  // past the end: nothing to decode, still a picture
  ASSERT_TRUE(Load(d, MakeBmp(s)));
}
