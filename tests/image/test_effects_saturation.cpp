// SPDX-License-Identifier: GPL-3.0-or-later
// Saturation tables, alone and merged with channel tables, per depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "image/Effects.h"

namespace {

TColorBGR Saturated(int amount, TColorBGR c) {
  TSatTable t;
  SaturationTable(amount, t);
  TFastDIB d;
  d.SetSize(1, 1, 24, 0);
  d.SetPixel(0, 0, c);
  ApplySaturation(d, t);
  return d.GetPixel(0, 0);
}

TLut Inverse() {
  TLut t;
  for (int v = 0; v < 256; ++v) t[size_t(v)] = uint8_t(255 - v);
  return t;
}

// One channel through the table, as a user of the table would write it.
uint8_t SatChannel(const TSatTable& t, TColorBGR c, uint8_t channel) {
  return uint8_t(std::clamp<int>(t.Scale[channel] + t.Grey[c.b + c.g + c.r], 0, 255));
}

}  // namespace

TEST(Saturation, ZeroGreysNeutralKeepsDoubleSpreads) {
  const TColorBGR c{30, 60, 90};  // blue, green, red
  EXPECT_EQ(Saturated(0, c), (TColorBGR{60, 60, 60}));
  EXPECT_EQ(Saturated(256, c), c);
  EXPECT_EQ(Saturated(512, c), (TColorBGR{0, 60, 120}));
  EXPECT_EQ(Saturated(512, TColorBGR{250, 0, 0}), (TColorBGR{255, 0, 0})) << "clamped high";
  TSatTable t;
  SaturationTable(384, t);
  EXPECT_EQ(t.Scale[255], 384);
  EXPECT_EQ(t.Grey[765], 255 - 384);
  EXPECT_EQ(t.Grey[766], t.Grey[765]);
}

TEST(Saturation, ThirtyTwoBitsAndPalettes) {
  TSatTable t;
  SaturationTable(0, t);
  TFastDIB d;
  d.SetSize(2, 1, 32, 0);
  d.Pixels32(0)[1] = TColorBGRA{30, 60, 90, 7};
  ApplySaturation(d, t);
  EXPECT_EQ(d.Pixels32(0)[1].b, 60);
  EXPECT_EQ(d.Pixels32(0)[1].r, 60);
  EXPECT_EQ(d.Pixels32(0)[1].a, 7);

  TFastDIB p;
  p.SetSize(3, 1, 8, 0);
  p.Colors[200] = TRGBQuad{30, 60, 90, 0};
  p.Bits[0] = 200;
  ApplySaturation(p, t);
  EXPECT_EQ(p.Colors[200], (TRGBQuad{60, 60, 60, 0}));
  EXPECT_EQ(p.Bits[0], 200);
}

TEST(Saturation, WithTablesIsSaturationThenTables) {
  TSatTable t;
  SaturationTable(512, t);
  const TLut inv = Inverse();
  TLut plus, ident;
  AdditionTable(10, plus);
  AdditionTable(0, ident);
  for (int bpp : {24, 32}) {
    TFastDIB d;
    d.SetSize(1, 1, bpp, 0);
    d.SetPixel(0, 0, TColorBGR{30, 60, 90});
    ApplySaturationLUT(d, t, inv, plus, ident);
    // Saturated (0, 60, 120), then red inverted and green raised.
    EXPECT_EQ(d.GetPixel(0, 0), (TColorBGR{0, 70, 135})) << bpp;
  }
}

// Every word of both layouts against per-pixel unpack, saturate, repack
// (and for the merged form, unpack again, map, repack).
TEST(Saturation, SixteenBitsMatchesPerPixelWork) {
  TSatTable t;
  SaturationTable(420, t);
  TLut red, green, blue;
  ContrastTable(100, red);
  GammaTable(1.7, green);
  blue = Inverse();
  for (int format : {555, 565}) {
    TFastDIB sat, both, refSat, refBoth;
    for (TFastDIB* d : {&sat, &both, &refSat, &refBoth}) {
      d->SetSize(256, 256, 16, format);
      for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) d->Pixels16(y)[x] = uint16_t(y * 256 + x);
    }
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        const TColorBGR c = refSat.GetPixel(y, x);
        const TColorBGR s{SatChannel(t, c, c.b), SatChannel(t, c, c.g), SatChannel(t, c, c.r)};
        refSat.SetPixel(y, x, s);
        refBoth.SetPixel(y, x, s);
        const TColorBGR r = refBoth.GetPixel(y, x);
        refBoth.SetPixel(y, x, TColorBGR{blue[r.b], green[r.g], red[r.r]});
      }
    ApplySaturation(sat, t);
    ApplySaturationLUT(both, t, red, green, blue);
    ASSERT_EQ(std::memcmp(sat.Bits, refSat.Bits, sat.Size()), 0) << format;
    ASSERT_EQ(std::memcmp(both.Bits, refBoth.Bits, both.Size()), 0) << format;
  }
}
