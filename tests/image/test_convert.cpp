// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "image/Convert.h"

namespace {
const TColorBGR kC0{10, 20, 30}, kC1{200, 210, 220};

void SetPalette(TFastDIB& d, int n) {
  for (int i = 0; i < n; ++i) d.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(i * 2), uint8_t(255 - i), 0};
}
TColorBGR PalColor(int i) { return TColorBGR{uint8_t(i), uint8_t(i * 2), uint8_t(255 - i)}; }
}  // namespace

TEST(ConvertTo24, OneBitMostSignificantFirstAndTailFromNextByte) {
  TFastDIB src, dst;
  src.SetSize(10, 1, 1, 0);
  src.Colors[0] = {kC0.b, kC0.g, kC0.r, 0};
  src.Colors[1] = {kC1.b, kC1.g, kC1.r, 0};
  src.Pixels8(0)[0] = 0x80;
  src.Pixels8(0)[1] = 0x40;
  src.Pixels8(0)[2] = 0xFF;  // row padding: must not show up
  dst.SetSize(10, 1, 24, 0);
  ConvertTo24(dst, src);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(dst.GetPixel(0, x), (x == 0 || x == 9) ? kC1 : kC0) << x;
}

TEST(ConvertTo24, FourBitOddWidthUsesHighNibbleOfLastByte) {
  TFastDIB src, dst;
  src.SetSize(3, 2, 4, 0);
  SetPalette(src, 16);
  src.Pixels8(0)[0] = 0x12;
  src.Pixels8(0)[1] = 0x3F;  // 0xF is beyond the width
  src.Pixels8(1)[0] = 0xA5;
  src.Pixels8(1)[1] = 0x70;
  dst.SetSize(3, 2, 24, 0);
  std::memset(dst.Bits, 0xEE, dst.Size());
  ConvertTo24(dst, src);
  EXPECT_EQ(dst.GetPixel(0, 0), PalColor(1));
  EXPECT_EQ(dst.GetPixel(0, 1), PalColor(2));
  EXPECT_EQ(dst.GetPixel(0, 2), PalColor(3));
  EXPECT_EQ(dst.GetPixel(1, 0), PalColor(10));
  EXPECT_EQ(dst.GetPixel(1, 1), PalColor(5));
  EXPECT_EQ(dst.GetPixel(1, 2), PalColor(7));
  EXPECT_EQ(dst.Pixels8(0)[9], 0xEE);  // the destination's padding is not written
}

TEST(ConvertTo24, EightBitIndexesTheColourTable) {
  TFastDIB src, dst;
  src.SetSize(5, 2, 8, 0);
  SetPalette(src, 256);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) src.Pixels8(y)[x] = uint8_t(y * 100 + x * 30);
  dst.SetSize(5, 2, 24, 0);
  ConvertTo24(dst, src);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.GetPixel(y, x), PalColor(y * 100 + x * 30));
}

TEST(ConvertTo24, SixteenBitMatchesGetPixelForEveryWord) {
  for (int fmt : {555, 565}) {
    TFastDIB src, dst;
    src.SetSize(256, 256, 16, fmt);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) src.Pixels16(y)[x] = uint16_t(y * 256 + x);
    dst.SetSize(256, 256, 24, 0);
    ConvertTo24(dst, src);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) ASSERT_EQ(dst.GetPixel(y, x), src.GetPixel(y, x)) << fmt << " " << y * 256 + x;
  }
  TFastDIB src, dst;
  src.SetSize(2, 1, 16, 555);
  src.Pixels16(0)[0] = 0x7FFF;
  src.Pixels16(0)[1] = 0x0000;
  dst.SetSize(2, 1, 24, 0);
  ConvertTo24(dst, src);
  EXPECT_EQ(dst.GetPixel(0, 0), TFastDIB::MakeColor(248, 248, 248));
  EXPECT_EQ(dst.GetPixel(0, 1), TFastDIB::MakeColor(0, 0, 0));
}

TEST(ConvertTo24, TwentyFourAndThirtyTwoBitKeepColours) {
  TFastDIB s24, s32, d;
  s24.SetSize(3, 2, 24, 0);
  s32.SetSize(3, 2, 32, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const TColorBGR c{uint8_t(x), uint8_t(y), uint8_t(x * 10 + y)};
      s24.SetPixel(y, x, c);
      s32.SetPixel(y, x, c);
      s32.Pixels32(y)[x].a = 99;
    }
  d.SetSize(3, 2, 24, 0);
  ConvertTo24(d, s24);
  EXPECT_EQ(std::memcmp(d.Bits, s24.Bits, d.Size()), 0);
  TFastDIB d2;
  d2.SetSize(3, 2, 24, 0);
  ConvertTo24(d2, s32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(d2.GetPixel(y, x), s24.GetPixel(y, x));
}

TEST(ConvertTo24, WrongDestinationIsLeftAlone) {
  TFastDIB src;
  src.SetSize(4, 4, 8, 0);
  SetPalette(src, 256);
  auto untouched = [&](TFastDIB& dst) {
    std::memset(dst.Bits, 0x5A, dst.Size());
    ConvertTo24(dst, src);
    for (uint32_t i = 0; i < dst.Size(); ++i)
      if (dst.Bits[i] != 0x5A) return false;
    return true;
  };
  TFastDIB wrongSize, wrongDepth;
  wrongSize.SetSize(4, 3, 24, 0);
  wrongDepth.SetSize(4, 4, 32, 0);
  EXPECT_TRUE(untouched(wrongSize));
  EXPECT_TRUE(untouched(wrongDepth));
  TFastDIB empty, dst;
  dst.SetSize(1, 1, 24, 0);
  ConvertTo24(dst, empty);  // no pixels in the source: nothing happens
  EXPECT_EQ(dst.GetPixel(0, 0), TColorBGR{});
}
