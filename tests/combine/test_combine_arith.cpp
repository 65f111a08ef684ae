// SPDX-License-Identifier: GPL-3.0-or-later
// Arithmetic of the mean and kappa-sigma combinations over explicit frames,
// checked against a one-pixel-at-a-time computation written straight from the
// rules (and built on the colour utilities' ColorNorm, MeanOf and SpreadOf).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "combine/Combine.h"
#include "combine/CombineRows.h"
#include "combine/KappaKernel.h"
#include "image/HSLUtils.h"

namespace {

struct Frames {
  int W = 0, H = 0;
  std::vector<std::vector<uint8_t>> Data;  // W * H * 3 + 1 bytes each, as a record's pixel copy

  Frames(int w, int h) : W(w), H(h) {}
  std::vector<uint8_t>& Add(TColorBGR fill = {}) {
    Data.emplace_back(size_t(W) * H * 3 + 1, 0);
    for (int i = 0; i < W * H; ++i) Set(int(Data.size()) - 1, i % W, i / W, fill);
    return Data.back();
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

TColorBGR Px(const TFastDIB& img, int x, int y) { return img.GetPixel(y, x); }

// The rules, one pixel at a time.
TColorBGR ReferenceMean(const Frames& fr, int x, int y) {
  int sb = 0, sg = 0, sr = 0, count = 0;
  for (size_t f = 0; f < fr.Data.size(); ++f) {
    const TColorBGR c = fr.Get(int(f), x, y);
    sb += c.b, sg += c.g, sr += c.r, ++count;
  }
  if (count == 0) return {};
  return {uint8_t(sb / count), uint8_t(sg / count), uint8_t(sr / count)};
}

TColorBGR ReferenceKappa(const Frames& fr, int x, int y, int kappa, bool rejet) {
  const int n = int(fr.Data.size());
  std::vector<double> norm;
  std::vector<TColorBGR> colour;
  for (int f = 0; f < n; ++f) {
    colour.push_back(fr.Get(f, x, y));
    norm.push_back(ColorNorm(colour.back()));
  }
  if (n == 0) return {};
  const double m = MeanOf(norm.data(), n);
  const double s = SpreadOf(norm.data(), n);
  int sb = 0, sg = 0, sr = 0, k = 0;
  for (int i = 0; i < n; ++i)
    if (std::fabs(m - norm[size_t(i)]) <= kappa * s) sb += colour[size_t(i)].b, sg += colour[size_t(i)].g, sr += colour[size_t(i)].r, ++k;
  if (k < 1 && rejet) {
    sb = sg = sr = 0;
    for (const TColorBGR& c : colour) sb += c.b, sg += c.g, sr += c.r;
    k = n;
  }
  if (k == 0) k = 1;
  auto ch = [&](int sum) { return uint8_t(std::min(255.0, std::nearbyint(double(sum) / k))); };
  return {ch(sb), ch(sg), ch(sr)};
}

TEST(MeanCombineFrames, TruncatesChannelByChannel) {
  Frames fr(1, 1);
  fr.Add({0, 100, 255});
  fr.Add({1, 101, 254});
  auto img = MeanCombineFrames(fr.View());
  ASSERT_TRUE(img);
  EXPECT_EQ(Px(*img, 0, 0), (TColorBGR{0, 100, 254}));

  Frames tie(1, 1);
  tie.Add({10, 11, 255});
  tie.Add({11, 10, 255});
  EXPECT_EQ(Px(*MeanCombineFrames(tie.View()), 0, 0), (TColorBGR{10, 10, 255}));
}

TEST(MeanCombineFrames, ManyBrightFramesDoNotOverflowTheSums) {
  // 257 frames of 255 fill a 16-bit counter exactly; go well past that.
  Frames fr(3, 2);
  for (int i = 0; i < 599; ++i) fr.Add({255, 255, 255});
  fr.Add({0, 0, 255});
  for (int threads : {1, 2}) {
    auto img = MeanCombineFrames(fr.View(), {}, threads);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(*img, x, y), (TColorBGR{254, 254, 255}));  // 599 x 255 / 600 = 254.6
  }
}

TEST(MeanCombineFrames, OneFrameGivesItsPixelsAndTheResultHasTheFrameSize) {
  Frames fr(5, 5);
  fr.Add();
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) fr.Set(0, x, y, {uint8_t(x * 40), uint8_t(y * 50), uint8_t(x + y)});
  auto img = MeanCombineFrames(fr.View());
  ASSERT_TRUE(img);
  EXPECT_EQ(img->Width(), 5);
  EXPECT_EQ(img->AbsHeight, 5);
  EXPECT_EQ(img->Bpp(), 24);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(*img, x, y), fr.Get(0, x, y)) << x << "," << y;
}

TEST(CombineFrames, NothingTakingPartGivesBlack) {
  Frames none(7, 3);
  for (int kind = 0; kind < 2; ++kind) {
    auto img = kind ? KappaSigmaCombineFrames(none.View(), 3, true) : MeanCombineFrames(none.View());
    ASSERT_TRUE(img);
    ASSERT_EQ(img->Width(), 7);
    ASSERT_EQ(img->AbsHeight, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(Px(*img, x, y), TColorBGR{});
  }
}

TEST(KappaSigmaCombineFrames, TwoColoursKappaOneRejectsBothKappaTwoAcceptsBoth) {
  Frames fr(1, 1);
  fr.Add({0, 0, 100});
  fr.Add({0, 0, 200});
  EXPECT_EQ(Px(*KappaSigmaCombineFrames(fr.View(), 1, false), 0, 0), TColorBGR{}) << "black dot";
  EXPECT_EQ(Px(*KappaSigmaCombineFrames(fr.View(), 1, true), 0, 0), (TColorBGR{0, 0, 150})) << "colour mean";
  EXPECT_EQ(Px(*KappaSigmaCombineFrames(fr.View(), 2, false), 0, 0), (TColorBGR{0, 0, 150}));
}

TEST(KappaSigmaCombineFrames, RoundsHalvesToEven) {
  Frames fr(2, 1);
  fr.Add({10, 11, 0});
  fr.Add({11, 12, 0});
  fr.Set(0, 1, 0, {0, 0, 11});
  fr.Set(1, 1, 0, {0, 0, 12});
  auto img = KappaSigmaCombineFrames(fr.View(), 2, false);
  EXPECT_EQ(Px(*img, 0, 0), (TColorBGR{10, 12, 0}));  // 10.5 -> 10, 11.5 -> 12
  EXPECT_EQ(Px(*img, 1, 0), (TColorBGR{0, 0, 12}));
}

TEST(KappaSigmaCombineFrames, EqualNormsAreAllAccepted) {
  // Three different colours of norm 100.
  Frames three(1, 1);
  three.Add({0, 0, 100});
  three.Add({0, 100, 0});
  three.Add({100, 0, 0});
  EXPECT_EQ(Px(*KappaSigmaCombineFrames(three.View(), 1, false), 0, 0), (TColorBGR{33, 33, 33}));

  // A pixel seen identically in far more than kappa^2 frames, with a norm that
  // is not a whole number (sqrt(14)): a plain sum of the norms would leave the
  // mean a hair away from every norm and reject them all.
  for (int n : {10, 100, 1000, 4000}) {
    Frames same(3, 2);
    for (int i = 0; i < n; ++i) same.Add({1, 2, 3});
    auto img = KappaSigmaCombineFrames(same.View(), 1, false);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(*img, x, y), (TColorBGR{1, 2, 3})) << n << " frames";
  }
}

TEST(KappaSigmaCombineFrames, OneFrameIsItsOwnResult) {
  Frames fr(3, 1);
  fr.Add({9, 250, 77});
  auto img = KappaSigmaCombineFrames(fr.View(), 1, false);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(*img, x, 0), (TColorBGR{9, 250, 77}));
}

TEST(KappaSigmaCombineFrames, RejectsAnOutlierAndAveragesTheRest) {
  Frames fr(1, 1);
  for (int i = 0; i < 9; ++i) fr.Add({uint8_t(100 + i % 2), 100, 100});
  fr.Add({255, 255, 255});  // a hot pixel in one frame
  const TColorBGR got = Px(*KappaSigmaCombineFrames(fr.View(), 3, false), 0, 0);
  EXPECT_EQ(got, ReferenceKappa(fr, 0, 0, 3, false));
  EXPECT_EQ(got.g, 100);
  EXPECT_EQ(Px(*MeanCombineFrames(fr.View()), 0, 0).g, 115);  // (900 + 255) / 10, truncated
}

// Random frames, every size class and thread count, against the rules.
TEST(CombineFrames, MatchRulesPixelForPixelForAnyThreadCount) {
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
            case 0: v = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())}; break;  // anything
            case 1: v = {uint8_t(x * 7), uint8_t(y * 11), 200}; break;             // same in every frame
            case 2: v = {uint8_t(120 + rng() % 3), uint8_t(60 + rng() % 2), 30}; break;  // close values
            default: v = {255, 255, uint8_t(250 + rng() % 6)}; break;             // near the ceiling
          }
          fr.Set(f, x, y, v);
        }
    }
    // The portable kernel and (where the processor has it) the AVX2 one.
    for (auto form : {combine_detail::TKappaKernel::Auto, combine_detail::TKappaKernel::Portable}) {
      combine_detail::SetKappaKernel(form);
      for (int threads : {1, 2, 3, 5}) {
        auto mean = MeanCombineFrames(fr.View(), {}, threads);
        for (int y = 0; y < c.H; ++y)
          for (int x = 0; x < c.W; ++x) ASSERT_EQ(Px(*mean, x, y), ReferenceMean(fr, x, y)) << x << "," << y;
        // Frames kept in the frame-copy file are combined in bands of rows: two rows here.
        auto banded = combine_detail::CombineInBands(
            fr.View(), {}, nullptr, size_t(c.n) * size_t(c.W) * 3 * 2,
            [&](const TCombineFrames& f, const TCombineCallbacks& cb, TFullDepthImage* full) {
              return KappaSigmaCombineFrames(f, 2, true, cb, threads, full);
            });
        auto whole = KappaSigmaCombineFrames(fr.View(), 2, true, {}, threads);
        for (int y = 0; y < c.H; ++y) ASSERT_EQ(std::memcmp(banded->Scanlines[y], whole->Scanlines[y], size_t(c.W) * 3), 0) << y;
        for (int kappa : {1, 2, 3}) {
          for (bool rejet : {false, true}) {
            auto img = KappaSigmaCombineFrames(fr.View(), kappa, rejet, {}, threads);
            for (int y = 0; y < c.H; ++y)
              for (int x = 0; x < c.W; ++x)
                ASSERT_EQ(Px(*img, x, y), ReferenceKappa(fr, x, y, kappa, rejet))
                    << c.W << "x" << c.H << " n=" << c.n << " threads=" << threads << " kappa=" << kappa
                    << " rejet=" << rejet << " portable=" << (form == combine_detail::TKappaKernel::Portable)
                    << " at " << x << "," << y;
          }
        }
      }
    }
  }
  combine_detail::SetKappaKernel(combine_detail::TKappaKernel::Auto);
}

TEST(CombineFrames, CancelStopsAtTheNextRowAndProgressComesPerRowOnTheCallingThread) {
  Frames fr(40, 6);
  for (int i = 0; i < 4; ++i) fr.Add({1, 2, 3});
  for (int kind = 0; kind < 2; ++kind) {
    std::vector<int> positions;
    int asked = 0;
    const auto caller = std::this_thread::get_id();
    bool otherThread = false;
    TCombineCallbacks cb;
    cb.Cancelled = [&] {
      otherThread |= std::this_thread::get_id() != caller;
      return ++asked > 3;  // cancel pressed while row 2 was computed
    };
    cb.Progress = [&](int p) {
      otherThread |= std::this_thread::get_id() != caller;
      positions.push_back(p);
    };
    auto img = kind ? KappaSigmaCombineFrames(fr.View(), 2, false, cb, 2) : MeanCombineFrames(fr.View(), cb, 2);
    EXPECT_FALSE(img) << "a cancelled run gives no result";
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(otherThread);

    // Not cancelled: one progress step per row, the last one being H.
    positions.clear();
    cb.Cancelled = [] { return false; };
    img = kind ? KappaSigmaCombineFrames(fr.View(), 2, false, cb, 2) : MeanCombineFrames(fr.View(), cb, 2);
    ASSERT_TRUE(img);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    // In bands of four rows: the same positions, and the full-depth values in place.
    positions.clear();
    TFullDepthImage full;
    img = combine_detail::CombineInBands(fr.View(), cb, &full, 4 * 40 * 3 * 4,
                                         [](const TCombineFrames& f, const TCombineCallbacks& c, TFullDepthImage* d) {
                                           return MeanCombineFrames(f, c, 2, d);
                                         });
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(img && full.Width == 40 && full.Height == 6);
    EXPECT_EQ(full.Pixel(39, 5)[2], 3.0f);
    EXPECT_EQ(Px(*img, 39, 5), (TColorBGR{1, 2, 3})) << "last row and column computed like the others";
  }
}

}  // namespace
