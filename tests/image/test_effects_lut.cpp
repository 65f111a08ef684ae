// SPDX-License-Identifier: GPL-3.0-or-later
// Lookup-table effects: the table makers, merging and applying per depth.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "image/Effects.h"

namespace {

TLut Identity() {
  TLut t;
  for (int v = 0; v < 256; ++v) t[size_t(v)] = uint8_t(v);
  return t;
}

TLut Inverse() {
  TLut t;
  for (int v = 0; v < 256; ++v) t[size_t(v)] = uint8_t(255 - v);
  return t;
}

TLut Make(void (*maker)(int, TLut&), int amount) {
  TLut t;
  t.fill(77);  // every entry must be written
  maker(amount, t);
  return t;
}

}  // namespace

TEST(EffectTables, NeutralAmountsAreIdentities) {
  EXPECT_EQ(Make(ContrastTable, 0), Identity());
  EXPECT_EQ(Make(LightnessTable, 0), Identity());
  EXPECT_EQ(Make(AdditionTable, 0), Identity());
  TLut g;
  GammaTable(1.0, g);
  EXPECT_EQ(g, Identity());
  TLut merged;
  MergeLUTs({Identity(), Identity(), Identity()}, merged);
  EXPECT_EQ(merged, Identity());
}

TEST(EffectTables, ContrastSplitsAt127AndTruncatesTowardZero) {
  const TLut c = Make(ContrastTable, 256);
  EXPECT_EQ(c[0], 0);    // clamped from -128
  EXPECT_EQ(c[64], 0);
  EXPECT_EQ(c[126], 124);
  EXPECT_EQ(c[127], 128);  // 127 belongs to the upper formula
  EXPECT_EQ(c[128], 128);
  EXPECT_EQ(c[200], 255);
  // Negative amounts flatten; quotients truncate toward zero, not down.
  const TLut f = Make(ContrastTable, -100);
  EXPECT_EQ(f[10], 56);    // 10 - trunc(118 * -100 / 256) = 10 + 46
  EXPECT_EQ(f[200], 172);  // 200 + trunc(72 * -100 / 256) = 200 - 28
  const TLut tiny = Make(ContrastTable, -1);
  EXPECT_EQ(tiny[0], 0);
  EXPECT_EQ(tiny[255], 255);
  EXPECT_EQ(Make(ContrastTable, -256)[0], 128);
}

TEST(EffectTables, LightnessAndAdditionReachTheEnds) {
  const TLut white = Make(LightnessTable, 256), black = Make(LightnessTable, -256);
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(white[size_t(v)], 255) << v;
    EXPECT_EQ(black[size_t(v)], 0) << v;
  }
  EXPECT_EQ(Make(LightnessTable, 100)[0], 99);     // floor(255 * 100 / 256)
  EXPECT_EQ(Make(LightnessTable, -100)[255], 156);  // 255 - floor(255 * 100 / 256)
  EXPECT_EQ(Make(LightnessTable, INT32_MIN)[200], 0);

  const TLut full = Make(AdditionTable, 300);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(full[size_t(v)], 255) << v;
  const TLut minus = Make(AdditionTable, -10);
  EXPECT_EQ(minus[5], 0);
  EXPECT_EQ(minus[15], 5);
  EXPECT_EQ(Make(AdditionTable, INT32_MIN)[255], 0);
}

TEST(EffectTables, GammaRoundsToNearest) {
  TLut g;
  GammaTable(2.0, g);
  EXPECT_EQ(g[0], 0);
  EXPECT_EQ(g[64], 128);  // 127.75
  EXPECT_EQ(g[255], 255);
  GammaTable(0.5, g);
  EXPECT_EQ(g[128], 64);  // 64.25: darkens below 1
  GammaTable(0.0, g);     // the limit: black except full white
  EXPECT_EQ(g[254], 0);
  EXPECT_EQ(g[255], 255);
  GammaTable(-1.0, g);  // powers above 1 clamp to white
  EXPECT_EQ(g[1], 255);
}

TEST(EffectTables, MergeAppliesTablesInListOrder) {
  TLut m;
  MergeLUTs({Make(AdditionTable, -10), Make(AdditionTable, 10)}, m);
  EXPECT_EQ(m[5], 10);  // 5 -> 0 -> 10
  MergeLUTs({Make(AdditionTable, 10), Make(AdditionTable, -10)}, m);
  EXPECT_EQ(m[5], 5);  // 5 -> 15 -> 5
  EXPECT_EQ(m[250], 245);

  // The object-detection chain of complex image mode.
  TLut gamma;
  GammaTable(1.2, gamma);
  MergeLUTs({Make(LightnessTable, 0), Make(ContrastTable, 256), Make(AdditionTable, 0), gamma}, m);
  EXPECT_EQ(m[64], 0);
  EXPECT_EQ(m[130], 147);  // contrast 132, then 255 * (132/255)^(1/1.2) = 147.31
  EXPECT_EQ(m[200], 255);

  MergeLUTs(std::span<const TLut>(), m);
  EXPECT_EQ(m, Identity());
}

TEST(EffectTables, Merge16ComposesWords) {
  auto tables = std::make_unique<std::array<TLut16, 2>>();
  for (uint32_t w = 0; w < 65536; ++w) {
    (*tables)[0][w] = uint16_t(w + 1);
    (*tables)[1][w] = uint16_t(w * 2);
  }
  auto out = std::make_unique<TLut16>();
  MergeLUTs16(*tables, *out);
  EXPECT_EQ((*out)[0], 2);
  EXPECT_EQ((*out)[100], 202);
  EXPECT_EQ((*out)[65535], 0);  // wraps to 0, then doubled
}

TEST(ApplyLut, TwentyFourBitsMapsChannelsByNameAndKeepsRowPadding) {
  TFastDIB d;
  d.SetSize(3, 2, 24, 0);
  ASSERT_EQ(d.Gap, 3);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) d.SetPixel(y, x, TFastDIB::MakeColor(uint8_t(10 * x), uint8_t(100 + y), 200));
    std::memset(d.Scanlines[size_t(y)] + 9, 0xAB, 3);
  }
  ApplyLUT(d, Make(AdditionTable, 5), Inverse(), Identity());
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(d.GetPixel(y, x), TFastDIB::MakeColor(uint8_t(10 * x + 5), uint8_t(155 - y), 200));
    for (int i = 9; i < 12; ++i) EXPECT_EQ(d.Scanlines[size_t(y)][i], 0xAB);
  }
}

TEST(ApplyLut, ThirtyTwoBitsLeavesFourthByte) {
  TFastDIB d;
  d.SetSize(2, 2, 32, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) d.Pixels32(y)[x] = TColorBGRA{1, 2, 3, uint8_t(40 + x)};
  ApplyLUT(d, Inverse(), Identity(), Make(AdditionTable, 100));
  EXPECT_EQ(d.Pixels32(1)[1].b, 101);
  EXPECT_EQ(d.Pixels32(1)[1].g, 2);
  EXPECT_EQ(d.Pixels32(1)[1].r, 252);
  EXPECT_EQ(d.Pixels32(1)[1].a, 41);
  EXPECT_EQ(d.Pixels32(0)[0].a, 40);
}

TEST(ApplyLut, PalettedPicturesMapTheColourTableOnly) {
  for (int bpp : {1, 4, 8}) {
    TFastDIB d;
    d.SetSize(4, 1, bpp, 0);
    for (int i = 0; i < 256; ++i) d.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    d.Bits[0] = 1;
    ApplyLUT(d, Inverse(), Identity(), Identity());
    EXPECT_EQ(d.Bits[0], 1) << bpp;
    const int used = 1 << bpp;
    EXPECT_EQ(d.Colors[used - 1].rgbRed, 256 - used) << bpp;
    EXPECT_EQ(d.Colors[used - 1].rgbGreen, used - 1) << bpp;
    if (used < 256) {
      EXPECT_EQ(d.Colors[used].rgbRed, used) << "entries past 2^bpp stay: " << bpp;
    }
  }
}

// Every 16-bit word of both layouts against a plain unpack, map, repack.
TEST(ApplyLut, SixteenBitsMatchesPerPixelUnpackAndRepack) {
  const TLut red = Make(ContrastTable, 180), green = Inverse(), blue = Make(LightnessTable, 90);
  for (int format : {555, 565}) {
    TFastDIB d, ref;
    d.SetSize(256, 256, 16, format);
    ref.SetSize(256, 256, 16, format);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) d.Pixels16(y)[x] = uint16_t(y * 256 + x);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        const TColorBGR c = d.GetPixel(y, x);
        ref.SetPixel(y, x, TFastDIB::MakeColor(red[c.r], green[c.g], blue[c.b]));
      }
    ApplyLUT(d, red, green, blue);
    ASSERT_EQ(std::memcmp(d.Bits, ref.Bits, d.Size()), 0) << format;
  }
}

TEST(ApplyLut, EmptyOrOddDepthsAreLeftAlone) {
  TFastDIB empty;
  ApplyLUT(empty, Inverse(), Inverse(), Inverse());
  empty.SetSize(0, 0, 16, 0);
  ApplyLUT(empty, Inverse(), Inverse(), Inverse());
  EXPECT_EQ(empty.Bits, nullptr);
}
