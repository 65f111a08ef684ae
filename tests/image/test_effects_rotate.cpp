// SPDX-License-Identifier: GPL-3.0-or-later
// Rotation: sizes, exact quarter turns, untouched and wrapped outside pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "image/Effects.h"

namespace {

// Every byte of pixel (x, y) holds a value unique to the pixel (below 200).
TFastDIB Numbered(int w, int h, int bpp) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      std::memset(d.Scanlines[size_t(y)] + x * (bpp / 8), (y * w + x) % 200, size_t(bpp / 8));
  return d;
}

int Value(const TFastDIB& d, int x, int y) { return d.Scanlines[size_t(y)][x * (d.Bpp() / 8)]; }

}  // namespace

TEST(RotateSize, HoldsTheTurnedPicture) {
  TFastDIB src, dest;
  src.SetSize(30, 10, 16, 555);
  RotateSize(src, dest, 90);
  EXPECT_EQ(dest.Width(), 10);
  EXPECT_EQ(dest.AbsHeight, 30);
  EXPECT_EQ(dest.Bpp(), 16);
  EXPECT_EQ(dest.BitFormat, 555);
  RotateSize(src, dest, -180);
  EXPECT_EQ(dest.Width(), 30);
  EXPECT_EQ(dest.AbsHeight, 10);

  src.SetSize(100, 100, 24, 0);
  RotateSize(src, dest, 45);
  EXPECT_EQ(dest.Width(), 141);
  EXPECT_EQ(dest.AbsHeight, 141);
  RotateSize(src, dest, -45);
  EXPECT_EQ(dest.Width(), 141);
}

TEST(Rotate, ZeroDegreesCopiesWhateverTheCentre) {
  for (int bpp : {8, 16, 24, 32}) {
    const TFastDIB src = Numbered(7, 5, bpp);
    for (int c : {-40, 0, 3, 1000}) {
      TFastDIB dest;
      dest.SetSize(7, 5, bpp, 0);
      Rotate(src, dest, c, c / 2, 0.0);
      EXPECT_EQ(std::memcmp(src.Bits, dest.Bits, src.Size()), 0) << bpp << " centre " << c;
    }
  }
}

TEST(Rotate, QuarterTurnAboutTheCentreIsClockwise) {
  for (int bpp : {8, 24, 32}) {
    const TFastDIB src = Numbered(5, 5, bpp);
    TFastDIB dest;
    dest.SetSize(5, 5, bpp, 0);
    Rotate(src, dest, 2, 2, 90);
    // The bottom-left corner comes to the top-left: dest(x, y) = src(y, 4 - x).
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(Value(dest, x, y), Value(src, y, 4 - x)) << bpp << " " << x << "," << y;
    Rotate(src, dest, 2, 2, -90);
    EXPECT_EQ(Value(dest, 0, 0), Value(src, 4, 0));  // counter-clockwise: top-right to top-left
  }
}

TEST(Rotate, PixelsOutsideTheSourceKeepTheirBytes) {
  const TFastDIB src = Numbered(10, 10, 24);
  TFastDIB dest;
  RotateSize(src, dest, 45);
  ASSERT_EQ(dest.Width(), 14);
  std::memset(dest.Bits, 0xEE, dest.Size());
  Rotate(src, dest, 7, 7, 45);
  EXPECT_EQ(dest.Scanlines[0][0], 0xEE);
  EXPECT_EQ(dest.Scanlines[13][13 * 3 + 2], 0xEE);
  EXPECT_EQ(Value(dest, 7, 7), Value(src, 5, 5));  // the centres meet
  EXPECT_EQ(Value(dest, 7, 0), Value(src, 0, 0));  // top-left corner turned up to the top
  EXPECT_EQ(Value(dest, 1, 1), 0xEE);
}

TEST(Rotate, MismatchedDepthsOrEmptyPicturesDoNothing) {
  const TFastDIB src = Numbered(4, 4, 24);
  TFastDIB dest;
  dest.SetSize(4, 4, 32, 0);
  std::memset(dest.Bits, 0xEE, dest.Size());
  Rotate(src, dest, 2, 2, 10);
  RotateWrap(src, dest, 2, 2, 10);
  EXPECT_EQ(dest.Bits[5], 0xEE);

  TFastDIB empty, target;
  target.SetSize(4, 4, 24, 0);
  std::memset(target.Bits, 0xEE, target.Size());
  RotateWrap(empty, target, 0, 0, 30);
  Rotate(empty, target, 0, 0, 30);
  EXPECT_EQ(target.Bits[0], 0xEE);
}

TEST(RotateWrap, WritesEveryPixelAndTilesTheSource) {
  const TFastDIB src = Numbered(6, 4, 24);
  TFastDIB dest;
  dest.SetSize(31, 23, 24, 0);
  std::memset(dest.Bits, 0xEE, dest.Size());
  RotateWrap(src, dest, -5, 40, 30);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 31 * 3; ++x) ASSERT_NE(dest.Scanlines[size_t(y)][x], 0xEE) << x << "," << y;

  // Unturned, the source repeats with its own period on both sides of it:
  // dest column x shows source column (x - 2) mod 4.
  const TFastDIB line = Numbered(4, 1, 8);
  TFastDIB wide;
  wide.SetSize(8, 1, 8, 0);
  RotateWrap(line, wide, 0, 0, 0);
  const int expected[8] = {2, 3, 0, 1, 2, 3, 0, 1};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Value(wide, x, 0), expected[x]) << x;
}

TEST(Rotate, LargestSidesDoNotOverflowTheAccumulators) {
  // A thin picture at the longest side the buffer accepts, turned half round
  // about a far centre: positions run well past 2^31 / 65536.
  TFastDIB src, dest;
  src.SetSize(32767, 1, 8, 0);
  for (int x = 0; x < 32767; ++x) src.Bits[x] = uint8_t(x % 251);
  dest.SetSize(32767, 1, 8, 0);
  std::memset(dest.Bits, 0xEE, dest.Size());
  Rotate(src, dest, 20000, 0, 180);
  // Mirrored about x = 20000: dest x takes source column 40000 - x.
  for (int x : {7234, 20000, 32766}) EXPECT_EQ(dest.Bits[x], uint8_t((40000 - x) % 251)) << x;
  EXPECT_EQ(dest.Bits[7233], 0xEE);
}

// Wrapped positions follow the 16.16 positions of Rotate: where Rotate writes,
// RotateWrap writes the same pixel; elsewhere it shows the source pixel at the
// position taken modulo the source size (floor modulo, on both sides).
TEST(RotateWrap, AgreesWithRotateInsideAndWrapsOutside) {
  const TFastDIB src = Numbered(13, 7, 8);
  for (double angle : {30.0, -75.0, 181.0}) {
    TFastDIB plain, wrapped;
    plain.SetSize(40, 29, 8, 0);
    wrapped.SetSize(40, 29, 8, 0);
    std::memset(plain.Bits, 0xEE, plain.Size());
    Rotate(src, plain, 11, 9, angle);
    RotateWrap(src, wrapped, 11, 9, angle);
    int inside = 0;
    for (int y = 0; y < 29; ++y)
      for (int x = 0; x < 40; ++x)
        if (Value(plain, x, y) != 0xEE) {
          ++inside;
          EXPECT_EQ(Value(wrapped, x, y), Value(plain, x, y)) << angle << " " << x << "," << y;
        }
    EXPECT_GT(inside, 50) << angle;
    EXPECT_LT(inside, 40 * 29) << angle;

    // Outside: the source pixel at the 16.16 position of each destination
    // pixel, the integer parts taken modulo the source size.
    const long double rad = -angle * 3.14159265358979323846264338327950288L / 180;
    const long double sn = std::sin(rad), cs = std::cos(rad), dx = (40 - 13) / 2.0L, dy = (29 - 7) / 2.0L;
    const int64_t is = std::llrint(sn * 65536), ic = std::llrint(cs * 65536);
    auto floorMod = [](int64_t fixed, int n) { return int(((fixed >> 16) % n + n) % n); };
    for (int y = 0; y < 29; ++y) {
      const int64_t X = std::llrint((-11 * cs + 11 - (y - 9) * sn - dx) * 65536);
      const int64_t Y = std::llrint((-11 * sn + 9 + (y - 9) * cs - dy) * 65536);
      for (int x = 0; x < 40; ++x)
        ASSERT_EQ(Value(wrapped, x, y), Value(src, floorMod(X + x * ic, 13), floorMod(Y + x * is, 7)))
            << angle << " " << x << "," << y;
    }
  }
}
