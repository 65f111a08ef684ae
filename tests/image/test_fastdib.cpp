// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "image/FastDIB.h"

TEST(FastDIBLayout, RowSizeAndGapFollowDepthAndWidth) {
  struct Case { int w, bpp, rowSize, gap; };
  for (Case c : {Case{1, 24, 4, 1}, Case{5, 8, 8, 3}, Case{3, 1, 4, 4}, Case{4, 32, 16, 0}, Case{3, 16, 8, 2},
                 Case{7, 4, 4, 1}}) {
    TFastDIB d;
    d.SetSize(c.w, 2, c.bpp, 0);
    EXPECT_EQ(d.RowSize, c.rowSize) << c.w << "x" << c.bpp;
    EXPECT_EQ(d.Gap, c.gap) << c.w << "x" << c.bpp;
    EXPECT_EQ(d.Size(), uint32_t(c.rowSize * 2));
    EXPECT_EQ(d.Info.Header.biHeight, -2);
    ASSERT_EQ(d.Scanlines.size(), 2u);
    EXPECT_EQ(d.Scanlines[1], d.Bits + c.rowSize);
  }
}

TEST(FastDIBLayout, SetSizeKeepsPixelsOnlyWhenNothingChanges) {
  TFastDIB d;
  d.SetSize(4, 4, 24, 0);
  d.SetPixel(1, 2, TFastDIB::MakeColor(10, 20, 30));
  d.SetSize(4, -4, 24, 0);  // same magnitude of height: no change
  EXPECT_EQ(d.GetPixel(1, 2), TFastDIB::MakeColor(10, 20, 30));
  d.SetSize(4, 4, 16, 555);
  d.SetSize(4, 4, 16, 565);  // format alone changes: pixels discarded
  EXPECT_EQ(d.Pixels16(1)[2], 0);
}

TEST(FastDIBLayout, RefusesAbsurdSizes) {
  TFastDIB d;
  d.SetSize(40000, 10, 24, 0);
  EXPECT_EQ(d.Bits, nullptr);
  EXPECT_EQ(d.AbsHeight, 0);
  d.SetSize(30000, 30000, 24, 0);  // over the pixel limit
  EXPECT_EQ(d.Bits, nullptr);
  EXPECT_TRUE(d.Scanlines.empty());
}

TEST(FastDIBMasks, MasksAndShiftsFromBitFormat) {
  struct Case { int bpp, fmt; uint32_t r, g, b; };
  for (Case c : {Case{16, 555, 0x7C00, 0x03E0, 0x001F}, Case{16, 565, 0xF800, 0x07E0, 0x001F},
                 Case{32, 888, 0xFF0000, 0x00FF00, 0x0000FF}}) {
    TFastDIB d;
    d.SetSize(2, 2, c.bpp, c.fmt);
    uint32_t m[3];
    std::memcpy(m, d.Colors, 12);
    EXPECT_EQ(m[0], c.r);
    EXPECT_EQ(m[1], c.g);
    EXPECT_EQ(m[2], c.b);
    EXPECT_EQ(TFastDIB::MasksToBitFormat(m[0], m[1], m[2]), c.fmt);
  }
  EXPECT_EQ(TFastDIB::MasksToBitFormat(0, 0x3E0, 0x1F), 0);
}

TEST(FastDIBPixels, SixteenBitPackDropsLowBits) {
  TFastDIB d;
  d.SetSize(2, 1, 16, 555);
  d.SetPixel(0, 0, TFastDIB::MakeColor(255, 255, 255));
  EXPECT_EQ(d.Pixels16(0)[0], 0x7FFF);
  EXPECT_EQ(d.GetPixel(0, 0), TFastDIB::MakeColor(248, 248, 248));
  d.SetPixel(0, 1, TFastDIB::MakeColor(0x87, 0x43, 0x21));
  EXPECT_EQ(d.GetPixel(0, 1), TFastDIB::MakeColor(0x80, 0x40, 0x20));

  TFastDIB e;
  e.SetSize(1, 1, 16, 565);
  e.SetPixel(0, 0, TFastDIB::MakeColor(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(e.Pixels16(0)[0], 0xFFFF);
  EXPECT_EQ(e.GetPixel(0, 0), TFastDIB::MakeColor(248, 252, 248));
}

TEST(FastDIBPixels, ThirtyTwoBitLeavesFourthByteAlone) {
  TFastDIB d;
  d.SetSize(1, 1, 32, 0);
  d.Pixels32(0)[0].a = 77;
  d.SetPixel(0, 0, TFastDIB::MakeColor(1, 2, 3));
  EXPECT_EQ(d.Pixels32(0)[0].a, 77);
  EXPECT_EQ(d.GetPixel(0, 0), TFastDIB::MakeColor(1, 2, 3));
}

TEST(FastDIBFlip, ReversesRowsAndTwiceIsIdentity) {
  for (int h : {1, 2, 5}) {
    TFastDIB d;
    d.SetSize(3, h, 24, 0);
    for (int y = 0; y < h; ++y) d.SetPixel(y, 0, TFastDIB::MakeColor(uint8_t(y), 0, 0));
    d.FlipVertical();
    for (int y = 0; y < h; ++y) EXPECT_EQ(d.GetPixel(y, 0).r, h - 1 - y);
    d.FlipVertical();
    for (int y = 0; y < h; ++y) EXPECT_EQ(d.GetPixel(y, 0).r, y);
  }
  TFastDIB empty;
  empty.FlipVertical();
  EXPECT_EQ(empty.Bits, nullptr);
}

TEST(FastDIBPen, RectangleOutlineClosesAllCorners) {
  TFastDIB d;
  d.SetSize(10, 10, 24, 0);
  const TColorBGR white{255, 255, 255}, black{};
  d.SetPen(TPenStyle::Solid, 1, white);
  d.MoveTo(2, 3);
  d.LineTo(7, 3);
  d.LineTo(7, 8);
  d.LineTo(2, 8);
  d.LineTo(2, 3);
  int lit = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool onEdge = ((y == 3 || y == 8) && x >= 2 && x <= 7) || ((x == 2 || x == 7) && y >= 3 && y <= 8);
      EXPECT_EQ(d.GetPixel(y, x), onEdge ? white : black) << x << "," << y;
      lit += onEdge;
    }
  EXPECT_EQ(lit, 20);
}

TEST(FastDIBPen, DottedPenAlternatesThreeAndThreeAndClips) {
  TFastDIB d;
  d.SetSize(8, 2, 24, 0);
  for (int x = 0; x < 8; ++x) d.SetPixel(0, x, TColorBGR{9, 9, 9});
  d.SetPen(TPenStyle::Dot, 1, TColorBGR{});
  d.MoveTo(-3, 0);
  d.LineTo(20, 0);  // starts and ends outside the picture
  const TColorBGR black{}, white{255, 255, 255};
  // The pattern started at x = -3: -3..-1 black, 0..2 white, 3..5 black, 6..7 white.
  for (int x = 0; x < 8; ++x) EXPECT_EQ(d.GetPixel(0, x), (x >= 3 && x <= 5) ? black : white) << x;
  EXPECT_EQ(d.GetPixel(1, 0), black);
}
