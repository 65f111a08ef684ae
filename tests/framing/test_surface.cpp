// SPDX-License-Identifier: GPL-3.0-or-later
// Surface framing: a region of the reference image followed through a
// sequence of windows cut at known places out of one larger textured picture.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framing/Frame.h"
#include "framing/Surface.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

namespace {

constexpr int kW = 160, kH = 120;

// A cratered-looking texture: smoothed noise, seeded, sized w x h.
std::vector<float> Texture(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0, 255);
  std::vector<float> a(size_t(w) * h), b(a.size());
  for (float& v : a) v = u(rng);
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        float s = 0;
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h) s += a[size_t(y + dy) * w + x + dx], ++n;
        b[size_t(y) * w + x] = s / float(n);
      }
    a.swap(b);
  }
  return a;
}

// The kW x kH window of `tex` (tw wide) whose top-left corner is at (ox, oy),
// bilinearly interpolated at fractional corners; flat grey when tex is empty.
TFastDIB Window(const std::vector<float>& tex, int tw, double ox, double oy) {
  TFastDIB d;
  d.SetSize(kW, kH, 24, 0);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      double v = 90;
      if (!tex.empty()) {
        const double fx = ox + x, fy = oy + y;
        const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
        const double ax = fx - ix, ay = fy - iy;
        auto t = [&](int xx, int yy) { return double(tex[size_t(yy) * tw + xx]); };
        v = (1 - ay) * ((1 - ax) * t(ix, iy) + ax * t(ix + 1, iy)) + ay * ((1 - ax) * t(ix, iy + 1) + ax * t(ix + 1, iy + 1));
        v = 40 + (v - 128) * 3;
      }
      const auto c = uint8_t(std::clamp(std::lround(v), 0l, 255l));
      d.SetPixel(y, x, TColorBGR{c, c, c});
    }
  return d;
}

struct TShift {
  double X, Y;  // top-left corner of the window in the large texture
};

struct TSurfaceCase {
  const char* Name;
  std::vector<TShift> Shifts;  // image 1 is the reference
  bool SubPixel;
  double Tolerance;  // largest position error allowed, pixels
  bool Jumps;        // some shift is too large for the small search round the last place
};

class SurfaceShifts : public ::testing::TestWithParam<TSurfaceCase> {};

const TRect kRegion{50, 40, 99, 79};  // 50 x 40 pixels inside the reference

// Builds a BMP sequence of the windows in `dir`.
void Build(TSequence& s, const fixtures::TTempDir& dir, const std::vector<float>& tex, int tw,
           const std::vector<TShift>& shifts) {
  auto entries = std::make_unique<TBmpEntryList>();
  for (size_t i = 0; i < shifts.size(); ++i) {
    const std::string name = "w" + std::to_string(i) + ".bmp";
    ASSERT_TRUE(Window(tex, tw, shifts[i].X, shifts[i].Y).SaveToFile(dir.File(name)));
    auto e = std::make_unique<TBMPList>();
    e->SetData(name, "", "", "", "", dir.Path());
    entries->Add(name, std::move(e));
  }
  s.BuildBmpSequence(std::move(entries));
}

TEST_P(SurfaceShifts, FindsEveryWindowWhereItWasCut) {
  const TSurfaceCase& c = GetParam();
  const int tw = 320, th = 260;
  const std::vector<float> tex = Texture(tw, th, 11);
  fixtures::TTempDir dir;
  TSequence s;
  Build(s, dir, tex, tw, c.Shifts);
  TSurfaceOptions o;
  o.Region = kRegion;
  o.bordure = 3;
  o.SubPixel = c.SubPixel;
  const TSurfaceResult r = TrackSurface(s, o);
  ASSERT_TRUE(r.Error.empty()) << r.Error;
  EXPECT_TRUE(r.Problems.empty());
  EXPECT_EQ(r.WideSearches > 0, c.Jumps) << r.WideSearches;
  EXPECT_EQ(s.FrameWidth, 49);
  EXPECT_EQ(s.FrameHeight, 39);
  for (size_t i = 0; i < c.Shifts.size(); ++i) {
    const double ex = kRegion.Left + c.Shifts[0].X - c.Shifts[i].X, ey = kRegion.Top + c.Shifts[0].Y - c.Shifts[i].Y;
    const TSurfaceMatch& m = r.Matches[i];
    EXPECT_NEAR(m.X, ex, c.Tolerance) << "image " << i + 1;
    EXPECT_NEAR(m.Y, ey, c.Tolerance) << "image " << i + 1;
    const TAviList& rec = *s.Record(int(i));
    ASSERT_TRUE(rec.HasFrame && rec.Checked) << "image " << i + 1;
    EXPECT_EQ(rec.FrameRect, (TRect{int(std::lround(ex)) - 3, int(std::lround(ey)) - 3, int(std::lround(ex)) + 52,
                                    int(std::lround(ey)) + 42}));
    ASSERT_EQ(rec.FramePixels.size(), FramePixelsBytes(rec.FrameRect));
    // The cut-outs are registered: each looks like the reference's, to the
    // fraction of a pixel with sub-pixel framing.
    double diff = 0;
    for (size_t k = 0; k < rec.FramePixels.size(); ++k)
      diff += std::abs(int(rec.FramePixels[k]) - int(s.Record(0)->FramePixels[k]));
    EXPECT_LT(diff / double(rec.FramePixels.size()), 4.0) << "image " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Surface, SurfaceShifts,
    ::testing::Values(TSurfaceCase{"whole", {{80, 60}, {80, 60}, {87, 55}, {60, 72}, {95, 78}, {65, 50}}, false, 0, true},
                      // a drift larger than one search window, followed image by image
                      TSurfaceCase{"drift", {{63, 30}, {48, 25}, {33, 20}, {18, 15}, {6, 10}}, false, 0, true},
                      TSurfaceCase{"subpixel", {{80, 60}, {80.6, 60.25}, {83.75, 57.4}, {77.3, 62.6}}, true, 0.1, false}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(Surface, RegionLeavingThePictureIsReportedNotClipped) {
  const int tw = 320, th = 260;
  const std::vector<float> tex = Texture(tw, th, 5);
  fixtures::TTempDir dir;
  TSequence s;
  // Image 2: the region reaches 15 pixels beyond the left edge; image 3: its
  // margin alone crosses the bottom edge.
  Build(s, dir, tex, tw, {{80, 60}, {109, 60}, {80, 30}});
  TSurfaceOptions o;
  o.Region = {14, 40, 63, 79};
  o.bordure = 12;
  const TSurfaceResult r = TrackSurface(s, o);
  ASSERT_EQ(r.Problems.size(), 2u);
  EXPECT_EQ(r.Problems[0], (TFrameProblem{1, TFrameProblemKind::OutOfLimit}));
  EXPECT_EQ(r.Problems[1], (TFrameProblem{2, TFrameProblemKind::OutOfLimit}));
  for (int i : {1, 2}) EXPECT_FALSE(s.Record(i)->HasFrame || s.Record(i)->Checked);
  // Where it was found, beyond the edge, not pushed back inside.
  EXPECT_EQ(s.Record(1)->ObjectRect, (TRect{-15, 40, 34, 79}));
  EXPECT_EQ(s.Record(2)->ObjectRect, (TRect{14, 70, 63, 109}));
  EXPECT_TRUE(s.Record(0)->HasFrame);
}

TEST(Surface, TemplateMatchingNowhereIsReportedForEveryImage) {
  const int tw = 320, th = 260;
  const std::vector<float> tex = Texture(tw, th, 3);
  for (const bool texturedReference : {false, true}) {
    fixtures::TTempDir dir;
    TSequence s;
    std::vector<TShift> shifts(4, TShift{80, 60});
    Build(s, dir, {}, tw, shifts);  // a blank video
    if (texturedReference) {
      ASSERT_TRUE(Window(tex, tw, 80, 60).SaveToFile(dir.File("w0.bmp")));
    }
    TSurfaceOptions o;
    o.Region = kRegion;
    const TSurfaceResult r = TrackSurface(s, o);
    ASSERT_TRUE(r.Error.empty());
    const size_t expected = texturedReference ? 3 : 4;
    ASSERT_EQ(r.Problems.size(), expected) << texturedReference;
    for (const TFrameProblem& p : r.Problems) {
      EXPECT_EQ(p.Kind, TFrameProblemKind::PoorMatch);
      EXPECT_FALSE(s.Record(p.Index)->HasFrame);
    }
  }
}

TEST(Surface, ARegionOutsideTheReferenceStartsNothing) {
  fixtures::TTempDir dir;
  TSequence s;
  Build(s, dir, {}, 0, {{0, 0}});
  for (const TRect region : {TRect{100, 50, 160, 80}, TRect{-1, 0, 10, 10}, TRect{20, 20, 10, 30}}) {
    TSurfaceOptions o;
    o.Region = region;
    const TSurfaceResult r = TrackSurface(s, o);
    EXPECT_FALSE(r.Error.empty());
    EXPECT_EQ(r.Done, 0);
    EXPECT_FALSE(s.FrameSizeSet);
  }
}

}  // namespace
