// SPDX-License-Identifier: GPL-3.0-or-later
// Lucky imaging: sharpness, keeping the best, sub-pixel positions, alignment, full-depth FITS.
#include <gtest/gtest.h>
#include <fitsio.h>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include "combine/Combine.h"
#include "lucky/Lucky.h"
#include "output/Fits.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

namespace {

// A 160 x 120 planet with known sub-pixel centres, frame i blurred by sigmas[i].
TSampleOptions Planet(std::vector<double> sigmas = {}) {
  TSampleOptions o;
  o.Width = 160, o.Height = 120, o.Radius = 30, o.SubPixelCentres = true, o.BlurSigmas = std::move(sigmas);
  return o;
}

// Frame `index` as a FramePixels block (the whole picture, rows top-down).
std::vector<uint8_t> Render(const TSampleOptions& o, int index, TSampleFrame* info = nullptr) {
  TFastDIB img;
  const TSampleFrame f = RenderSampleFrame(o, index, img);
  if (info) *info = f;
  return fixtures::PackedBgr(img);
}

// Frames 0..3 ever more blurred, every second one relit (gain v + offset): scores still follow the blur.
TEST(Sharpness, SharperScoresHigherWhateverTheBrightness) {
  const TSampleOptions o = Planet({0, 0.6, 1.0, 1.6});
  for (const auto& [gain, offset] : {std::pair{1.0, 0}, {0.55, 0}, {1.15, 0}, {0.8, 25}}) {
    std::vector<double> scores;
    for (int i = 0; i < 4; ++i) {
      std::vector<uint8_t> f = Render(o, i);
      if (i % 2 == 1)
        for (uint8_t& v : f) v = uint8_t(std::clamp(gain * v + offset, 0.0, 255.0));
      scores.push_back(SharpnessScore(f.data(), o.Width, o.Height));
    }
    for (int i = 0; i + 1 < 4; ++i) EXPECT_GT(scores[size_t(i)], scores[size_t(i + 1)]) << gain << " frame " << i;
  }
  const std::vector<uint8_t> flat(10 * 10 * 3, 77);  // flat or tiny frames score zero
  EXPECT_EQ(SharpnessScore(flat.data(), 10, 10), 0);
  EXPECT_EQ(SharpnessScore(flat.data(), 2, 10), 0);
}

TEST(KeepBest, TakesTheSharpestAndAtLeastOne) {
  const TScores some = {0.2, std::nullopt, 0.9, 0.5};
  const struct {
    TScores Scores;
    int Percent;
    std::vector<int> Expected;  // best first
  } cases[] = {{some, 100, {2, 3, 0}},  // unframed images never count
               {some, 34, {2, 3}},      // the percentage rounded up
               {some, 1, {2}},
               {{0.5, 0.7, 0.5, 0.1}, 75, {1, 0, 2}},  // ties: the lower index first
               {{std::nullopt, std::nullopt}, 50, {}}};
  for (const auto& c : cases) EXPECT_EQ(BestImages(c.Scores, c.Percent), c.Expected) << c.Percent;
}

TEST(KeepBest, TicksTheBestUnticksOtherFramedImagesAndRanksThem) {
  TSequence seq;
  const TScores scores = {0.3, 0.9, std::nullopt, 0.6};
  for (int i = 0; i < 4; ++i) {
    auto r = std::make_unique<TAviList>();
    r->HasFrame = scores[size_t(i)].has_value();
    r->Checked = true;
    seq.ImageList.Add(TSequence::AviDisplayName(i), std::move(r));
  }
  EXPECT_EQ(TickBest(seq, BestImages(scores, 50)), 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(seq.Record(i)->Checked, i != 0) << i;  // the unframed image keeps its tick
  EXPECT_EQ(std::vector({RankOf(scores, 1), RankOf(scores, 0), RankOf(scores, 2)}), std::vector({1, 3, 0}));
}

// Centres differing by known fractions of a pixel: measured within 0.1 pixel, sharp or blurred.
TEST(Positions, ShiftsBetweenFramesWithinATenthOfAPixel) {
  for (const double sigma : {0.0, 0.8, 1.5}) {
    const TSampleOptions o = Planet(std::vector<double>(8, sigma));
    TSampleFrame first, info;
    const auto p0 = ObjectPosition(Render(o, 0, &first).data(), o.Width, o.Height);
    ASSERT_TRUE(p0);
    for (int i = 1; i < 8; ++i) {
      const auto p = ObjectPosition(Render(o, i, &info).data(), o.Width, o.Height);
      ASSERT_TRUE(p);
      EXPECT_NEAR(p->X - p0->X, info.X - first.X, 0.1) << "sigma " << sigma << " frame " << i;
      EXPECT_NEAR(p->Y - p0->Y, info.Y - first.Y, 0.1) << "sigma " << sigma << " frame " << i;
    }
  }
}

TEST(Alignment, ResampledFramesLandOnTheReference) {
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

// Byte mean truncated; full-depth FITS (float, 16 bits x 257) unrounded: (10.5 + 20 + 32.5) / 3 = 21, red 32.5.
TEST(FullDepth, FitsReadBackGivesTheUnroundedMeanAndTheByteResultIsUnchanged) {
  std::vector<uint8_t> a(4 * 3 * 3), b(4 * 3 * 3);
  for (size_t i = 0; i < a.size(); i += 3) {
    a[i] = 10, a[i + 1] = 20, a[i + 2] = 30;
    b[i] = 11, b[i + 1] = 20, b[i + 2] = 35;
  }
  const TCombineFrames frames{4, 3, {a.data(), b.data()}};
  TFullDepthImage full;
  const auto withFull = MeanCombineFrames(frames, {}, 1, &full);
  const auto plain = MeanCombineFrames(frames, {}, 1);
  EXPECT_EQ(fixtures::PackedBgr(*withFull), fixtures::PackedBgr(*plain));
  EXPECT_EQ(withFull->GetPixel(0, 0).b, 10);
  fixtures::TTempDir dir;
  for (const auto& [depth, bitpix, mean, red] : {std::tuple{TFitsDepth::Float32, -32, 21.0, 32.5},
                                                 {TFitsDepth::Scaled16, 16, 21.0 * 257, std::nearbyint(32.5 * 257)}}) {
    ASSERT_TRUE(EcrireFitsFull(dir.File("mean.fit"), "", kFitsMean, full, depth, {}));
    ASSERT_TRUE(EcrireFitsRVBFull(dir.File("c"), "", full, depth, {}));
    for (const auto& [path, expected] : {std::pair{dir.File("mean.fit"), mean}, {dir.File("cR.fit"), red}}) {
      fitsfile* f = nullptr;
      int status = 0, type = 0;
      std::vector<double> px(12);
      long first[2] = {1, 1};
      fits_open_file(&f, path.c_str(), READONLY, &status);
      fits_get_img_type(f, &type, &status);
      fits_read_pix(f, TDOUBLE, first, 12, nullptr, px.data(), nullptr, &status);
      fits_close_file(f, &status);
      ASSERT_EQ(status, 0) << path;
      EXPECT_EQ(type, bitpix);
      for (double v : px) EXPECT_NEAR(v, expected, 1e-3) << path;
    }
  }
}

}  // namespace
