// SPDX-License-Identifier: GPL-3.0-or-later
// The colour adjuster's and the rotation dialog's rules, and the kappa dialog's.
#include <gtest/gtest.h>

#include "support/VideoFixtures.h"
#include "tools/Adjuster.h"
#include "tools/CombineCommand.h"
#include "tools/Rotation.h"

using namespace fixtures;

// --- Colour adjuster ------------------------------------------------------------

TEST(Adjuster, ZeroAfterMovesGivesThePictureBack) {
  TFastDIB target = Pattern24(33, 17, 5);
  const std::vector<uint8_t> before = PackedBgr(target);
  TAdjusterState s;
  s.Open(target);
  s.SetPosition(TAdjustRow::Gamma, TChannel::Green, 3000);
  s.SetSaturation(400);
  s.Recompute(target);
  EXPECT_NE(PackedBgr(target), before);
  s.Reset();
  EXPECT_EQ(s.Recompute(target), TAdjustPath::CopyOnly);
  EXPECT_EQ(PackedBgr(target), before);
}

TEST(Adjuster, FixedRgbMovesTheWholeRow) {
  TFastDIB target = Pattern24(16, 8, 9);
  TAdjusterState s;
  s.Open(target);
  s.Lock = true;
  s.SetPosition(TAdjustRow::Contrast, TChannel::Red, 40);
  for (TChannel c : {TChannel::Red, TChannel::Green, TChannel::Blue}) {
    EXPECT_EQ(s.Position(TAdjustRow::Contrast, c), 40);
    EXPECT_EQ(s.Position(TAdjustRow::Lightness, c), 0);
  }
  s.Recompute(target);
  TLut contrast;
  ContrastTable(40, contrast);
  TFastDIB expected = Pattern24(16, 8, 9);
  ApplyLUT(expected, contrast, contrast, contrast);
  EXPECT_EQ(PackedBgr(target), PackedBgr(expected));
  s.Lock = false;
  s.SetPosition(TAdjustRow::Contrast, TChannel::Blue, -7);
  EXPECT_EQ(s.Position(TAdjustRow::Contrast, TChannel::Green), 40);
}

struct PathCase {
  TAdjustRow Row;
  int Position;  // of the red bar of Row
  int Saturation;
  TAdjustPath Path;
};
class AdjusterPaths : public testing::TestWithParam<PathCase> {};
TEST_P(AdjusterPaths, WorkFollowsWhatIsNotNeutral) {
  const PathCase& c = GetParam();
  TFastDIB target = Pattern24(24, 6, 2);
  TAdjusterState s;
  s.Open(target);
  s.SetPosition(c.Row, TChannel::Red, c.Position);
  s.SetSaturation(c.Saturation);
  EXPECT_EQ(s.Recompute(target), c.Path);
  // The same picture by the effects called directly on a fresh copy.
  TFastDIB expected = Pattern24(24, 6, 2);
  TLut red, id;
  for (int v = 0; v < 256; ++v) id[size_t(v)] = uint8_t(v);
  switch (c.Row) {
    case TAdjustRow::Contrast: ContrastTable(c.Position, red); break;
    case TAdjustRow::Lightness: LightnessTable(c.Position, red); break;
    case TAdjustRow::Addition: AdditionTable(c.Position, red); break;
    case TAdjustRow::Gamma: GammaTable(c.Position * 0.0001, red); break;
  }
  TSatTable sat;
  SaturationTable(c.Saturation, sat);
  if (c.Path == TAdjustPath::Lut) ApplyLUT(expected, red, id, id);
  if (c.Path == TAdjustPath::SaturationLut) ApplySaturationLUT(expected, sat, red, id, id);
  if (c.Path == TAdjustPath::Saturation) ApplySaturation(expected, sat);
  EXPECT_EQ(PackedBgr(target), PackedBgr(expected));
}
INSTANTIATE_TEST_SUITE_P(Table, AdjusterPaths,
                         testing::Values(PathCase{TAdjustRow::Gamma, 10000, 256, TAdjustPath::CopyOnly},
                                         PathCase{TAdjustRow::Gamma, 10000, 300, TAdjustPath::Saturation},
                                         PathCase{TAdjustRow::Gamma, 5000, 256, TAdjustPath::Lut},
                                         PathCase{TAdjustRow::Lightness, -30, 256, TAdjustPath::Lut},
                                         PathCase{TAdjustRow::Addition, 999, 0, TAdjustPath::SaturationLut},
                                         PathCase{TAdjustRow::Contrast, 1, 512, TAdjustPath::SaturationLut}));

// --- Rotation ----------------------------------------------------------------------

TEST(Rotation, QuarterTurnWithAutoSizingSwapsTheSides) {
  TFastDIB target = Pattern24(320, 240, 4);
  TRotationState s;
  s.Open(target);
  EXPECT_EQ(s.WidthText, "320");
  EXPECT_EQ(s.XCenter, 160);
  s.AutoSize = true;
  s.AnglePosition = 900;
  s.Recompute(target);
  EXPECT_EQ(target.Width(), 240);
  EXPECT_EQ(target.AbsHeight, 320);
  EXPECT_EQ(s.WidthText, "240");
  EXPECT_EQ(s.HeightText, "320");
  EXPECT_EQ(s.Label(), "90 ° ");
  // Back to 0 gives the copy exactly.
  s.AnglePosition = 0;
  s.Recompute(target);
  EXPECT_EQ(PackedBgr(target), PackedBgr(s.Copy()));
}

TEST(Rotation, FixedSizeKeepsTheSizeWithBlackCorners) {
  TFastDIB target = Pattern24(64, 64, 1);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) target.SetPixel(y, x, {200, 200, 200});
  TRotationState s;
  s.Open(target);
  s.AnglePosition = 450;
  s.Recompute(target);
  EXPECT_EQ(target.Width(), 64);
  EXPECT_EQ(target.GetPixel(0, 0), (TColorBGR{0, 0, 0}));
  EXPECT_EQ(target.GetPixel(32, 32), (TColorBGR{200, 200, 200}));
  // A manual centre moves the turned picture.
  const std::vector<uint8_t> centred = PackedBgr(target);
  s.AutoCenter = false;
  s.XCenter = 5;
  s.YCenter = 0;
  s.Recompute(target);
  EXPECT_EQ(s.CenterX(), 5);
  EXPECT_NE(PackedBgr(target), centred);
}

struct SizeCase {
  const char* Text;
  int Value;
};
class SizeFields : public testing::TestWithParam<SizeCase> {};
TEST_P(SizeFields, DigitsClamped) { EXPECT_EQ(SizeFieldValue(GetParam().Text), GetParam().Value); }
INSTANTIATE_TEST_SUITE_P(Table, SizeFields,
                         testing::Values(SizeCase{"", 0}, SizeCase{"240", 240}, SizeCase{"0", 0},
                                         SizeCase{"32767", 32767}, SizeCase{"99999", 32767},
                                         SizeCase{"123456789012345678901234", 32767}, SizeCase{"-5", 0},
                                         SizeCase{"12a", 0}));

TEST(Rotation, EmptySizeFieldGivesAnEmptyPictureAndLabelRounds) {
  TFastDIB target = Pattern24(10, 10, 1);
  TRotationState s;
  s.Open(target);
  s.WidthText.clear();
  s.AnglePosition = 6;
  s.Recompute(target);
  EXPECT_EQ(target.Width(), 0);
  EXPECT_EQ(s.Label(), "1 ° ");
  EXPECT_EQ(DegreeLabel(0.4), "0 ° ");
}

// --- Kappa dialog and jobs ------------------------------------------------------------

TEST(KappaDialog, SpinStartAndKeys) {
  EXPECT_EQ(KappaSpinStart(0), 1);
  EXPECT_EQ(KappaSpinStart(3), 3);
  EXPECT_EQ(KappaSpinStart(11), 10);
  for (char32_t k : {U'0', U'9', char32_t(8), char32_t(27)}) EXPECT_TRUE(KappaKeyAccepted(k));
  for (char32_t k : {U'a', U'-', U' ', U'.', char32_t(13)}) EXPECT_FALSE(KappaKeyAccepted(k));
  EXPECT_EQ(CombineJobSpec(TCombineMethod::Mean, 57).Caption, "Combinaison by mean");
  EXPECT_EQ(CombineJobSpec(TCombineMethod::KappaSigma, 57).Caption, "Combinaison Kappa-Sigma");
  EXPECT_EQ(CombineJobSpec(TCombineMethod::KappaSigma, 57).Maximum, 57);
}
