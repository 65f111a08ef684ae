// SPDX-License-Identifier: GPL-3.0-or-later
// The colour adjuster's, the rotation dialog's and the kappa dialog's rules.
#include <gtest/gtest.h>

#include "support/VideoFixtures.h"
#include "tools/Adjuster.h"
#include "tools/CombineCommand.h"
#include "tools/Rotation.h"

using namespace fixtures;

// One bar moved (and the saturation): the work done follows what is not neutral, and the picture
// equals the effects called directly; Zero gives the picture back.
TEST(Adjuster, WorkFollowsWhatIsNotNeutral) {
  using R = TAdjustRow;
  using P = TAdjustPath;
  const std::tuple<R, int, int, P> cases[] = {
      {R::Gamma, 10000, 256, P::CopyOnly}, {R::Gamma, 10000, 300, P::Saturation}, {R::Gamma, 5000, 256, P::Lut},
      {R::Lightness, -30, 256, P::Lut}, {R::Addition, 999, 0, P::SaturationLut}, {R::Contrast, 1, 512, P::SaturationLut}};
  for (const auto& [row, position, saturation, path] : cases) {
    SCOPED_TRACE(position);
    TFastDIB target = Pattern24(24, 6, 2), expected = Pattern24(24, 6, 2);
    TAdjusterState s;
    s.Open(target);
    s.SetPosition(row, TChannel::Red, position);
    s.SetSaturation(saturation);
    EXPECT_EQ(s.Recompute(target), path);
    TLut red, id;
    for (int v = 0; v < 256; ++v) id[size_t(v)] = uint8_t(v);
    switch (row) {
      case R::Contrast: ContrastTable(position, red); break;
      case R::Lightness: LightnessTable(position, red); break;
      case R::Addition: AdditionTable(position, red); break;
      case R::Gamma: GammaTable(position * 0.0001, red); break;
    }
    TSatTable sat;
    SaturationTable(saturation, sat);
    if (path == P::Lut) ApplyLUT(expected, red, id, id);
    if (path == P::SaturationLut) ApplySaturationLUT(expected, sat, red, id, id);
    if (path == P::Saturation) ApplySaturation(expected, sat);
    EXPECT_EQ(PackedBgr(target), PackedBgr(expected));
    s.Reset();
    EXPECT_EQ(s.Recompute(target), P::CopyOnly);
    EXPECT_EQ(PackedBgr(target), PackedBgr(Pattern24(24, 6, 2)));
  }
}

TEST(Adjuster, FixedRgbMovesTheWholeRow) {
  TFastDIB target = Pattern24(16, 8, 9), expected = Pattern24(16, 8, 9);
  TAdjusterState s;
  s.Open(target);
  s.Lock = true;
  s.SetPosition(TAdjustRow::Contrast, TChannel::Red, 40);
  s.Recompute(target);
  TLut contrast;
  ContrastTable(40, contrast);
  ApplyLUT(expected, contrast, contrast, contrast);
  EXPECT_EQ(PackedBgr(target), PackedBgr(expected));
  EXPECT_EQ(s.Position(TAdjustRow::Lightness, TChannel::Green), 0);
  s.Lock = false;
  s.SetPosition(TAdjustRow::Contrast, TChannel::Blue, -7);
  EXPECT_EQ(s.Position(TAdjustRow::Contrast, TChannel::Green), 40);
}

TEST(Rotation, AutoSizingFixedSizeAndCentre) {
  TFastDIB target = Pattern24(320, 240, 4);
  TRotationState s;
  s.Open(target);
  EXPECT_EQ(s.WidthText + " " + std::to_string(s.XCenter), "320 160");
  s.AutoSize = true;  // a quarter turn swaps the sides
  s.AnglePosition = 900;
  s.Recompute(target);
  EXPECT_EQ(std::to_string(target.Width()) + "x" + std::to_string(target.AbsHeight), "240x320");
  EXPECT_EQ(s.WidthText + " " + s.HeightText + " " + s.Label(), "240 320 90 ° ");
  s.AnglePosition = 0;  // back to 0 gives the copy exactly
  s.Recompute(target);
  EXPECT_EQ(PackedBgr(target), PackedBgr(s.Copy()));
  TFastDIB grey = Pattern24(64, 64, 1);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) grey.SetPixel(y, x, {200, 200, 200});
  TRotationState f;  // fixed size: black corners
  f.Open(grey);
  f.AnglePosition = 450;
  f.Recompute(grey);
  EXPECT_EQ(grey.Width(), 64);
  EXPECT_EQ(grey.GetPixel(0, 0), (TColorBGR{0, 0, 0}));
  EXPECT_EQ(grey.GetPixel(32, 32), (TColorBGR{200, 200, 200}));
  const std::vector<uint8_t> centred = PackedBgr(grey);
  f.AutoCenter = false;  // a manual centre moves the turned picture
  f.XCenter = 5;
  f.YCenter = 0;
  f.Recompute(grey);
  EXPECT_EQ(f.CenterX(), 5);
  EXPECT_NE(PackedBgr(grey), centred);
  f.WidthText.clear();  // an empty size field gives an empty picture
  f.AnglePosition = 6;
  f.Recompute(grey);
  EXPECT_EQ(grey.Width(), 0);
  EXPECT_EQ(f.Label() + DegreeLabel(0.4), "1 ° 0 ° ");
  const std::pair<const char*, int> sizes[] = {{"", 0},          {"240", 240}, {"0", 0},   {"32767", 32767},
                                               {"99999", 32767}, {"123456789012345678901234", 32767},
                                               {"-5", 0},        {"12a", 0}};
  for (const auto& [text, value] : sizes) EXPECT_EQ(SizeFieldValue(text), value) << text;
}

TEST(KappaDialog, SpinStartKeysAndJobs) {
  EXPECT_EQ((std::vector{KappaSpinStart(0), KappaSpinStart(3), KappaSpinStart(11)}), (std::vector{1, 3, 10}));
  for (char32_t k : {U'0', U'9', char32_t(8), char32_t(27)}) EXPECT_TRUE(KappaKeyAccepted(k));
  for (char32_t k : {U'a', U'-', U' ', U'.', char32_t(13)}) EXPECT_FALSE(KappaKeyAccepted(k));
  EXPECT_EQ(CombineJobSpec(TCombineMethod::Mean, 57).Caption, "Combinaison by mean");
  EXPECT_EQ(CombineJobSpec(TCombineMethod::KappaSigma, 57).Caption, "Combinaison Kappa-Sigma");
  EXPECT_EQ(CombineJobSpec(TCombineMethod::KappaSigma, 57).Maximum, 57);
}
