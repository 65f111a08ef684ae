// SPDX-License-Identifier: GPL-3.0-or-later
// Lucky imaging: sharpness ranking, keeping the best, sub-pixel positions and
// alignment, and the full-depth result read back from FITS by cfitsio.
#include <gtest/gtest.h>

#include <fitsio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "combine/Combine.h"
#include "lucky/Lucky.h"
#include "output/Fits.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"

namespace {

// Frame `index` of a 160 x 120 planet video as a FramePixels block (the whole picture).
std::vector<uint8_t> Render(const TSampleOptions& o, int index, TSampleFrame* info = nullptr) {
  TFastDIB img;
  const TSampleFrame f = RenderSampleFrame(o, index, img);
  if (info) *info = f;
  std::vector<uint8_t> block(size_t(o.Width) * o.Height * 3);
  for (int y = 0; y < o.Height; ++y) std::copy_n(img.Scanlines[size_t(y)], size_t(o.Width) * 3, &block[size_t(y) * o.Width * 3]);
  return block;
}

TSampleOptions Planet(std::vector<double> sigmas = {}) {
  TSampleOptions o;
  o.Width = 160;
  o.Height = 120;
  o.Radius = 30;
  o.SubPixelCentres = true;
  o.BlurSigmas = std::move(sigmas);
  return o;
}

// Brightness change: v -> gain * v + offset, clipped.
void Relight(std::vector<uint8_t>& block, double gain, int offset) {
  for (uint8_t& v : block) v = uint8_t(std::clamp(gain * v + offset, 0.0, 255.0));
}

// --- Sharpness ------------------------------------------------------------------

struct RelightCase {
  const char* Name;
  double Gain;
  int Offset;
};
class SharpnessOrder : public ::testing::TestWithParam<RelightCase> {};

// Frames 0..3 are ever more blurred; every second frame is relit: the order
// of the scores is the order of the blur all the same.
TEST_P(SharpnessOrder, SharperScoresHigherWhateverTheBrightness) {
  const TSampleOptions o = Planet({0, 0.6, 1.0, 1.6});
  std::vector<double> scores;
  for (int i = 0; i < 4; ++i) {
    std::vector<uint8_t> f = Render(o, i);
    if (i % 2 == 1) Relight(f, GetParam().Gain, GetParam().Offset);
    scores.push_back(SharpnessScore(f.data(), o.Width, o.Height));
  }
  for (int i = 0; i + 1 < 4; ++i) EXPECT_GT(scores[size_t(i)], scores[size_t(i + 1)]) << "frame " << i;
}
INSTANTIATE_TEST_SUITE_P(Relit, SharpnessOrder,
                         ::testing::Values(RelightCase{"Unchanged", 1.0, 0}, RelightCase{"Dimmer", 0.55, 0},
                                           RelightCase{"Brighter", 1.15, 0}, RelightCase{"LessContrastMoreSky", 0.8, 25}),
                         [](const ::testing::TestParamInfo<RelightCase>& p) { return std::string(p.param.Name); });

TEST(Sharpness, FlatOrTinyFramesScoreZero) {
  const std::vector<uint8_t> flat(10 * 10 * 3, 77);
  EXPECT_EQ(SharpnessScore(flat.data(), 10, 10), 0);
  EXPECT_EQ(SharpnessScore(flat.data(), 2, 10), 0);
}

// --- Keeping the best -----------------------------------------------------------

struct BestCase {
  const char* Name;
  TScores Scores;
  int Percent;
  std::vector<int> Expected;  // best first
};
class KeepBest : public ::testing::TestWithParam<BestCase> {};
TEST_P(KeepBest, TakesTheSharpestAndAtLeastOne) {
  EXPECT_EQ(BestImages(GetParam().Scores, GetParam().Percent), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Table, KeepBest,
    ::testing::Values(BestCase{"UnframedNeverCount", {0.2, std::nullopt, 0.9, 0.5}, 100, {2, 3, 0}},
                      BestCase{"PercentRoundedUp", {0.2, std::nullopt, 0.9, 0.5}, 34, {2, 3}},
                      BestCase{"AtLeastOne", {0.2, std::nullopt, 0.9, 0.5}, 1, {2}},
                      BestCase{"TiesLowerIndexFirst", {0.5, 0.7, 0.5, 0.1}, 75, {1, 0, 2}},
                      BestCase{"NothingFramed", {std::nullopt, std::nullopt}, 50, {}}),
    [](const ::testing::TestParamInfo<BestCase>& p) { return std::string(p.param.Name); });

TEST(KeepBest, TicksTheBestUnticksOtherFramedImagesAndRanksThem) {
  TSequence seq;
  const double s[] = {0.3, 0.9, -1, 0.6};
  for (int i = 0; i < 4; ++i) {
    auto r = std::make_unique<TAviList>();
    r->HasFrame = s[i] >= 0;
    r->Checked = true;
    seq.ImageList.Add(TSequence::AviDisplayName(i), std::move(r));
  }
  const TScores scores = {0.3, 0.9, std::nullopt, 0.6};
  EXPECT_EQ(TickBest(seq, BestImages(scores, 50)), 2);
  const bool ticked[] = {false, true, true, true};  // the unframed image keeps its tick
  for (int i = 0; i < 4; ++i) EXPECT_EQ(seq.Record(i)->Checked, ticked[i]) << i;
  EXPECT_EQ(RankOf(scores, 1), 1);
  EXPECT_EQ(RankOf(scores, 0), 3);
  EXPECT_EQ(RankOf(scores, 2), 0);
}

// --- Positions and alignment ------------------------------------------------------

class Positions : public ::testing::TestWithParam<double> {};  // blur sigma

// Frames whose centres differ by known fractions of a pixel: the measured
// shifts between them come back within 0.1 pixel, sharp or blurred.
TEST_P(Positions, ShiftsBetweenFramesWithinATenthOfAPixel) {
  const TSampleOptions o = Planet(std::vector<double>(8, GetParam()));
  TSampleFrame first;
  const std::vector<uint8_t> f0 = Render(o, 0, &first);
  const auto p0 = ObjectPosition(f0.data(), o.Width, o.Height);
  ASSERT_TRUE(p0);
  for (int i = 1; i < 8; ++i) {
    TSampleFrame info;
    const std::vector<uint8_t> f = Render(o, i, &info);
    const auto p = ObjectPosition(f.data(), o.Width, o.Height);
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->X - p0->X, info.X - first.X, 0.1) << "frame " << i;
    EXPECT_NEAR(p->Y - p0->Y, info.Y - first.Y, 0.1) << "frame " << i;
  }
}
INSTANTIATE_TEST_SUITE_P(Blur, Positions, ::testing::Values(0.0, 0.8, 1.5),
                         [](const ::testing::TestParamInfo<double>& p) { return "Sigma" + std::to_string(int(p.param * 10)); });

TEST(Alignment, ResampledFramesLandOnTheReferenceAndFullDepthKeepsTheFraction) {
  const TSampleOptions o = Planet();
  TSequence seq;
  seq.FrameSizeSet = true;
  seq.FrameWidth = o.Width - 3;  // frames of the whole picture with a margin of 1
  seq.FrameHeight = o.Height - 3;
  for (int i = 0; i < 6; ++i) {
    auto r = std::make_unique<TAviList>();
    r->Checked = r->HasFrame = true;
    r->FrameRect = r->FramePixelsRect = TRect{0, 0, o.Width - 1, o.Height - 1};
    const std::vector<uint8_t> b = Render(o, i);
    r->FramePixels.assign(b.begin(), b.end());
    r->FramePixels.push_back(0);
    seq.ImageList.Add(TSequence::AviDisplayName(i), std::move(r));
  }
  const TAlignedFrames a = AlignTakingPart(seq, 1);
  ASSERT_EQ(a.Used.size(), 6u);
  const auto ref = ObjectPosition(a.Frames.Blocks[0], o.Width, o.Height);
  for (size_t k = 1; k < 6; ++k) {
    const auto p = ObjectPosition(a.Frames.Blocks[k], o.Width, o.Height);
    EXPECT_NEAR(p->X, ref->X, 0.1) << k;
    EXPECT_NEAR(p->Y, ref->Y, 0.1) << k;
  }
}

// --- Full depth ---------------------------------------------------------------------

// Two frames of one colour each: the mean is the byte path's truncated value,
// and the full-depth FITS files carry the unrounded one.
TEST(FullDepth, FitsReadBackGivesTheUnroundedMeanAndTheByteResultIsUnchanged) {
  std::vector<uint8_t> a(4 * 3 * 3), b(4 * 3 * 3);
  for (size_t i = 0; i < a.size(); i += 3) {
    a[i] = 10, a[i + 1] = 20, a[i + 2] = 30;
    b[i] = 11, b[i + 1] = 20, b[i + 2] = 35;
  }
  TCombineFrames frames{4, 3, {a.data(), b.data()}};
  TFullDepthImage full;
  const auto withFull = MeanCombineFrames(frames, {}, 1, &full);
  const auto plain = MeanCombineFrames(frames, {}, 1);
  for (int y = 0; y < 3; ++y)
    EXPECT_TRUE(std::equal(plain->Scanlines[size_t(y)], plain->Scanlines[size_t(y)] + 12, withFull->Scanlines[size_t(y)]));
  EXPECT_EQ(withFull->GetPixel(0, 0).b, 10);  // 10.5 truncated, as always

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("stellon_lucky_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  struct DepthCase {
    TFitsDepth Depth;
    int Bitpix;
    double Mean;  // (10.5 + 20 + 32.5) / 3 = 21, red alone 32.5
    double Red;
  };
  for (const DepthCase c : {DepthCase{TFitsDepth::Float32, -32, 21.0, 32.5},
                            DepthCase{TFitsDepth::Scaled16, 16, 21.0 * 257, std::nearbyint(32.5 * 257)}}) {
    const std::string mean = (dir / "mean.fit").string(), base = (dir / "c").string();
    ASSERT_TRUE(EcrireFitsFull(mean, "", kFitsMean, full, c.Depth, {}));
    ASSERT_TRUE(EcrireFitsRVBFull(base, "", full, c.Depth, {}));
    for (const auto& [path, expected] : {std::pair{mean, c.Mean}, std::pair{base + "R.fit", c.Red}}) {
      fitsfile* f = nullptr;
      int status = 0, bitpix = 0;
      fits_open_file(&f, path.c_str(), READONLY, &status);
      fits_get_img_type(f, &bitpix, &status);
      std::vector<double> px(12);
      long first[2] = {1, 1};
      fits_read_pix(f, TDOUBLE, first, 12, nullptr, px.data(), nullptr, &status);
      fits_close_file(f, &status);
      ASSERT_EQ(status, 0) << path;
      EXPECT_EQ(bitpix, c.Bitpix);
      for (double v : px) EXPECT_NEAR(v, expected, 1e-3) << path;
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
