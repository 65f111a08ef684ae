// SPDX-License-Identifier: GPL-3.0-or-later
// Arithmetic of the mean and kappa-sigma combinations over explicit frames: known cases, and random frames
// against a one-pixel-at-a-time computation written from the rules (on ColorNorm, MeanOf and SpreadOf),
// for both kernels, any thread count and in bands of rows (frame copies kept in the file); cancel and progress.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "combine/Combine.h"
#include "combine/CombineRows.h"
#include "combine/KappaKernel.h"
#include "image/HSLUtils.h"

namespace {

struct Frames {
  int W = 0, H = 0;
  std::vector<std::vector<uint8_t>> Data;  // W * H * 3 + 1 bytes each, as a record's pixel copy
  Frames(int w, int h) : W(w), H(h) {}
  void Add(TColorBGR fill = {}) {
    Data.emplace_back(size_t(W) * H * 3 + 1, 0);
    for (int i = 0; i < W * H; ++i) Set(int(Data.size()) - 1, i % W, i / W, fill);
  }
  void Set(int f, int x, int y, TColorBGR c) {
    uint8_t* p = Data[size_t(f)].data() + (size_t(y) * W + x) * 3;
    p[0] = c.b, p[1] = c.g, p[2] = c.r;
  }
  TColorBGR Get(int f, int x, int y) const {
    const uint8_t* p = Data[size_t(f)].data() + (size_t(y) * W + x) * 3;
    return {p[0], p[1], p[2]};
  }
  TCombineFrames View() const {
    TCombineFrames v;
    v.Width = W, v.Height = H;
    for (const auto& d : Data) v.Blocks.push_back(d.data());
    return v;
  }
};

// The rules, one pixel at a time: kappa 0 is the mean (truncated), otherwise the colours whose norm lies
// within kappa spreads of the mean norm, averaged and rounded half to even (all of them with rejet when none is).
// `full` gets the unrounded mean of the colours averaged.
TColorBGR Reference(const Frames& fr, int x, int y, int kappa, bool rejet, double full[3]) {
  const int n = int(fr.Data.size());
  std::vector<double> norm;
  for (int f = 0; f < n; ++f) norm.push_back(ColorNorm(fr.Get(f, x, y)));
  const double m = n ? MeanOf(norm.data(), n) : 0, s = n ? SpreadOf(norm.data(), n) : 0;
  int sum[3] = {}, k = 0;
  auto add = [&](int f) {
    const TColorBGR c = fr.Get(f, x, y);
    sum[0] += c.b, sum[1] += c.g, sum[2] += c.r, ++k;
  };
  for (int f = 0; f < n; ++f)
    if (kappa == 0 || std::fabs(m - norm[size_t(f)]) <= kappa * s) add(f);
  if (k == 0 && rejet)
    for (int f = 0; f < n; ++f) add(f);
  auto ch = [&](int i) {
    full[i] = k ? double(sum[i]) / k : 0;
    return uint8_t(k == 0 ? 0 : kappa == 0 ? sum[i] / k : std::min(255.0, std::nearbyint(full[i])));
  };
  return {ch(0), ch(1), ch(2)};
}

// bandRows > 0: in bands of that many rows, as frames kept in the frame-copy file are combined.
std::unique_ptr<TFastDIB> Combine(const Frames& fr, int kappa, bool rejet, int threads, TFullDepthImage* full = nullptr,
                                  const TCombineCallbacks& cb = {}, int bandRows = 0) {
  const combine_detail::TFramesRun run = [&](const TCombineFrames& f, const TCombineCallbacks& c, TFullDepthImage* d) {
    return kappa ? KappaSigmaCombineFrames(f, kappa, rejet, c, threads, d) : MeanCombineFrames(f, c, threads, d);
  };
  if (bandRows == 0) return run(fr.View(), cb, full);
  return combine_detail::CombineInBands(fr.View(), cb, full, fr.Data.size() * size_t(fr.W) * 3 * size_t(bandRows), run);
}

struct TKnownCase {
  const char* Name;
  std::vector<std::pair<TColorBGR, int>> Frames;  // colour, frames of it
  int Kappa;                                       // 0: mean
  bool Rejet;
  TColorBGR Want;
};

const TKnownCase kKnown[] = {
    {"MeanTruncatesPerChannel", {{{0, 100, 255}, 1}, {{1, 101, 254}, 1}}, 0, false, {0, 100, 254}},
    {"MeanTie", {{{10, 11, 255}, 1}, {{11, 10, 255}, 1}}, 0, false, {10, 10, 255}},
    // 257 frames of 255 fill a 16-bit counter: 599 x 255 / 600 = 254.6.
    {"MeanOfManyBrightFrames", {{{255, 255, 255}, 599}, {{0, 0, 255}, 1}}, 0, false, {254, 254, 255}},
    {"MeanTakesTheOutlier", {{{100, 100, 100}, 5}, {{101, 100, 100}, 4}, {{255, 255, 255}, 1}}, 0, false, {115, 115, 115}},
    {"NothingIsBlack", {}, 0, false, {0, 0, 0}},
    {"NothingIsBlackKappa", {}, 3, true, {0, 0, 0}},
    {"TwoColoursKappaOneRejectsBoth", {{{0, 0, 100}, 1}, {{0, 0, 200}, 1}}, 1, false, {0, 0, 0}},
    {"TwoColoursRejetGivesTheirMean", {{{0, 0, 100}, 1}, {{0, 0, 200}, 1}}, 1, true, {0, 0, 150}},
    {"TwoColoursKappaTwoAcceptsBoth", {{{0, 0, 100}, 1}, {{0, 0, 200}, 1}}, 2, false, {0, 0, 150}},
    {"RoundsHalvesToEven", {{{10, 11, 0}, 1}, {{11, 12, 0}, 1}}, 2, false, {10, 12, 0}},
    {"EqualNormsAllAccepted", {{{0, 0, 100}, 1}, {{0, 100, 0}, 1}, {{100, 0, 0}, 1}}, 1, false, {33, 33, 33}},
    {"OneFrameIsItsOwnResult", {{{9, 250, 77}, 1}}, 1, false, {9, 250, 77}},
    {"RejectsTheOutlier", {{{100, 100, 100}, 5}, {{101, 100, 100}, 4}, {{255, 255, 255}, 1}}, 3, false, {100, 100, 100}},
    // Far more than kappa^2 equal pixels of a norm that is no whole number (sqrt(14)): a plain sum of the
    // norms would leave the mean a hair away from every norm and reject them all.
    {"ManyEqualNorms1000", {{{1, 2, 3}, 1000}}, 1, false, {1, 2, 3}},
    {"ManyEqualNorms4000", {{{1, 2, 3}, 4000}}, 1, false, {1, 2, 3}},
};

class KnownCombination : public ::testing::TestWithParam<TKnownCase> {};

TEST_P(KnownCombination, EveryPixelAndThreadCountGivesTheKnownColour) {
  const TKnownCase& c = GetParam();
  Frames fr(7, 3);
  for (const auto& [colour, count] : c.Frames)
    for (int i = 0; i < count; ++i) fr.Add(colour);
  for (int threads : {1, 2}) {
    const auto img = Combine(fr, c.Kappa, c.Rejet, threads);
    ASSERT_TRUE(img);
    ASSERT_EQ(std::make_tuple(img->Width(), img->AbsHeight, img->Bpp()), std::make_tuple(7, 3, 24));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(img->GetPixel(y, x), c.Want) << x << "," << y << " threads " << threads;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, KnownCombination, ::testing::ValuesIn(kKnown), [](const auto& p) { return std::string(p.param.Name); });

TEST(CombineFrames, RandomFramesMatchTheRulesForBothKernelsAndAnyThreadCount) {
  std::mt19937 rng(12345);
  struct Case { int W, H, n; };
  for (Case c : {Case{1, 1, 2}, Case{37, 5, 3}, Case{33, 4, 7}, Case{70, 3, 50}, Case{5, 9, 1}, Case{64, 2, 200}}) {
    Frames fr(c.W, c.H);
    for (int f = 0; f < c.n; ++f) {
      fr.Add();
      for (int y = 0; y < c.H; ++y)
        for (int x = 0; x < c.W; ++x) {
          TColorBGR v;
          switch (rng() % 4) {
            case 0: v = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())}; break;            // anything
            case 1: v = {uint8_t(x * 7), uint8_t(y * 11), 200}; break;                       // same in every frame
            case 2: v = {uint8_t(120 + rng() % 3), uint8_t(60 + rng() % 2), 30}; break;      // close values
            default: v = {255, 255, uint8_t(250 + rng() % 6)}; break;                        // near the ceiling
          }
          fr.Set(f, x, y, v);
        }
    }
    for (auto form : {combine_detail::TKappaKernel::Auto, combine_detail::TKappaKernel::Portable}) {
      combine_detail::SetKappaKernel(form);
      for (int threads : {1, 2, 3, 5})
        for (int kappa : {0, 1, 2, 3})
          for (bool rejet : {false, true}) {
            TFullDepthImage full;
            auto img = Combine(fr, kappa, rejet, threads, &full, {}, (kappa + threads) % 3);  // whole, or bands of 1 or 2 rows
            ASSERT_EQ(std::make_pair(full.Width, full.Height), std::make_pair(c.W, c.H));
            for (int y = 0; y < c.H; ++y)
              for (int x = 0; x < c.W; ++x) {
                double want[3];
                ASSERT_EQ(img->GetPixel(y, x), Reference(fr, x, y, kappa, rejet, want))
                    << c.W << "x" << c.H << " n=" << c.n << " threads=" << threads << " kappa=" << kappa << " rejet=" << rejet
                    << " portable=" << (form == combine_detail::TKappaKernel::Portable) << " at " << x << "," << y;
                for (int ch = 0; ch < 3; ++ch) ASSERT_NEAR(full.Pixel(x, y)[ch], want[ch], 1e-3) << "unrounded, at " << x << "," << y;
              }
          }
    }
  }
  combine_detail::SetKappaKernel(combine_detail::TKappaKernel::Auto);
}

TEST(CombineFrames, CancelStopsAtTheNextRowAndProgressComesPerRowOnTheCallingThread) {
  Frames fr(40, 6);
  for (int i = 0; i < 4; ++i) fr.Add({1, 2, 3});
  const auto caller = std::this_thread::get_id();
  for (int kappa : {0, 2})
    for (const int bandRows : {0, 4}) {  // whole, and in bands of four rows: the same positions
      std::vector<int> positions;
      int asked = 0;
      bool otherThread = false;
      TCombineCallbacks cb;
      cb.Progress = [&](int p) {
        otherThread |= std::this_thread::get_id() != caller;
        positions.push_back(p);
      };
      cb.Cancelled = [&] {
        otherThread |= std::this_thread::get_id() != caller;
        return ++asked > 3;  // cancel pressed while row 2 was computed
      };
      EXPECT_FALSE(Combine(fr, kappa, false, 2, nullptr, cb, bandRows)) << "a cancelled run gives no result";
      EXPECT_EQ(asked, 4);
      EXPECT_EQ(positions, (std::vector<int>{1, 2, 3}));
      positions.clear();
      cb.Cancelled = [] { return false; };
      TFullDepthImage full;
      ASSERT_TRUE(Combine(fr, kappa, false, 2, &full, cb, bandRows));
      EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 6}));  // one step per row, the last being H
      EXPECT_EQ(full.Pixel(39, 5)[2], 3.0f);
      EXPECT_FALSE(otherThread);  // progress and the cancel question only on the calling thread
    }
}

}  // namespace
