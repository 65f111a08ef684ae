// SPDX-License-Identifier: GPL-3.0-or-later
// Surface framing: a region of the reference image followed through a sequence of windows cut at known
// places out of one larger textured picture; the pyramid and the sub-pixel copy against a direct computation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "FramingFixtures.h"
#include "framing/Frame.h"
#include "framing/Surface.h"

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

// The value of f(x, y) interpolated bilinearly at (fx, fy).
template <class F>
double Bilinear(F f, double fx, double fy) {
  const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  const double ax = fx - ix, ay = fy - iy;
  return (1 - ay) * ((1 - ax) * f(ix, iy) + ax * f(ix + 1, iy)) + ay * ((1 - ax) * f(ix, iy + 1) + ax * f(ix + 1, iy + 1));
}

// The kW x kH window of `tex` (tw wide) whose top-left corner is at (ox, oy); flat grey when tex is empty.
TFastDIB Window(const std::vector<float>& tex, int tw, double ox, double oy) {
  TFastDIB d;
  d.SetSize(kW, kH, 24, 0);
  auto t = [&](int x, int y) { return double(tex[size_t(y) * tw + x]); };
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const auto c = uint8_t(tex.empty() ? 90 : std::clamp(std::lround(40 + (Bilinear(t, ox + x, oy + y) - 128) * 3), 0l, 255l));
      d.SetPixel(y, x, TColorBGR{c, c, c});
    }
  return d;
}

struct TShift {
  double X, Y;  // top-left corner of the window in the large texture
};

struct TSurfaceCase {
  const char* Name;
  std::vector<TShift> Shifts;
  int Reference;
  bool SubPixel;
  double Tolerance;  // largest position error allowed, pixels
  TRect Region;
  int Margin;
  std::vector<TFrameProblem> Problems;
  bool Jumps;     // some shift is too large for the small search round the last place
  int Blank = 0;  // 1: every window flat grey; 2: all but the reference
};

// A BMP sequence of the windows in `dir`.
void Build(TSequence& s, const fixtures::TTempDir& dir, const std::vector<float>& tex, int tw, const std::vector<TShift>& shifts,
           int blank, int reference) {
  BmpSequence(s, dir, int(shifts.size()), [&](int i) {
    const bool flat = blank == 1 || (blank == 2 && i != reference);
    return Window(flat ? std::vector<float>() : tex, tw, shifts[size_t(i)].X, shifts[size_t(i)].Y);
  });
}

class SurfaceShifts : public ::testing::TestWithParam<TSurfaceCase> {};

TEST_P(SurfaceShifts, FindsEveryWindowWhereItWasCut) {
  const TSurfaceCase& c = GetParam();
  const int tw = 320;
  const std::vector<float> tex = Texture(tw, 260, 11);
  fixtures::TTempDir dir;
  TSequence s;
  Build(s, dir, tex, tw, c.Shifts, c.Blank, c.Reference);
  TSurfaceOptions o;
  o.Region = c.Region;
  o.Reference = c.Reference;
  o.bordure = c.Margin;
  o.SubPixel = c.SubPixel;
  const TSurfaceResult r = TrackSurface(s, o);
  ASSERT_TRUE(r.Error.empty()) << r.Error;
  EXPECT_EQ(r.Problems, c.Problems);
  EXPECT_EQ(r.WideSearches > 0, c.Jumps) << r.WideSearches;
  EXPECT_EQ(r.Done, int(c.Shifts.size()));
  const int w = c.Region.Right - c.Region.Left, h = c.Region.Bottom - c.Region.Top;
  EXPECT_EQ(std::make_pair(s.FrameWidth, s.FrameHeight), std::make_pair(w, h));
  const TAviList& ref = *s.Record(c.Reference);
  for (size_t i = 0; i < c.Shifts.size(); ++i) {
    const TAviList& rec = *s.Record(int(i));
    const auto problem = std::find_if(c.Problems.begin(), c.Problems.end(), [&](const TFrameProblem& p) { return p.Index == int(i); });
    EXPECT_EQ(rec.HasFrame && rec.Checked, problem == c.Problems.end()) << "image " << i + 1;
    if (problem != c.Problems.end() && problem->Kind == TFrameProblemKind::PoorMatch) continue;
    const double ex = c.Region.Left + c.Shifts[size_t(c.Reference)].X - c.Shifts[i].X;
    const double ey = c.Region.Top + c.Shifts[size_t(c.Reference)].Y - c.Shifts[i].Y;
    EXPECT_NEAR(r.Matches[i].X, ex, c.Tolerance) << "image " << i + 1;
    EXPECT_NEAR(r.Matches[i].Y, ey, c.Tolerance) << "image " << i + 1;
    const int x = int(std::lround(ex)), y = int(std::lround(ey));
    EXPECT_EQ(rec.ObjectRect, (TRect{x, y, x + w, y + h})) << "image " << i + 1;  // beyond the edge: not clipped
    if (problem != c.Problems.end()) continue;
    EXPECT_EQ(rec.FrameRect, (TRect{x - c.Margin, y - c.Margin, x + w + c.Margin, y + h + c.Margin}));
    ASSERT_EQ(rec.FramePixels.size(), ref.FramePixels.size());
    // The cut-outs are registered: each looks like the reference's, to the fraction of a pixel with sub-pixel framing.
    double diff = 0;
    for (size_t k = 0; k < rec.FramePixels.size(); ++k) diff += std::abs(int(rec.FramePixels[k]) - int(ref.FramePixels[k]));
    EXPECT_LT(diff / double(rec.FramePixels.size()), 4.0) << "image " << i + 1;
  }
}

const TRect kRegion{50, 40, 99, 79};  // 50 x 40 pixels inside the reference: two levels
const TRect kLarge{40, 28, 119, 91};  // 80 x 64: three levels
using P = TFrameProblem;
constexpr auto kPoor = TFrameProblemKind::PoorMatch;
INSTANTIATE_TEST_SUITE_P(
    Surface, SurfaceShifts,
    ::testing::Values(
        TSurfaceCase{"Whole", {{80, 60}, {80, 60}, {87, 55}, {60, 72}, {95, 78}, {65, 50}}, 0, false, 0, kRegion, 3, {}, true},
        TSurfaceCase{"ThreeLevels", {{80, 60}, {92, 50}, {70, 70}, {85, 66}, {69, 49}}, 0, false, 0, kLarge, 3, {}, true},
        TSurfaceCase{"SmallSteps", {{80, 60}, {82, 59}, {85, 57}, {84, 60}}, 0, false, 0, kRegion, 3, {}, false},
        // a drift larger than one search window, followed image by image, forwards and backwards
        TSurfaceCase{"Drift", {{63, 30}, {48, 25}, {33, 20}, {18, 15}, {6, 10}}, 0, false, 0, kRegion, 3, {}, true},
        TSurfaceCase{"ReferenceInTheMiddle", {{6, 10}, {18, 15}, {33, 20}, {48, 25}, {63, 30}}, 3, false, 0, kRegion, 3, {}, true},
        TSurfaceCase{"SubPixel", {{80, 60}, {80.6, 60.25}, {83.75, 57.4}, {77.3, 62.6}}, 0, true, 0.1, kRegion, 3, {}, false},
        // image 2: the region reaches 15 pixels beyond the left edge; image 3: its margin alone crosses the bottom
        TSurfaceCase{"LeavingThePicture", {{80, 60}, {109, 60}, {80, 30}}, 0, false, 0, {14, 40, 63, 79}, 12,
                     {{1, TFrameProblemKind::OutOfLimit}, {2, TFrameProblemKind::OutOfLimit}}, true},
        TSurfaceCase{"BlankVideo", {{80, 60}, {80, 60}, {80, 60}, {80, 60}}, 0, false, 0, kRegion, 10,
                     {P{0, kPoor}, P{1, kPoor}, P{2, kPoor}, P{3, kPoor}}, false, 1},
        TSurfaceCase{"BlankButTheReference", {{80, 60}, {80, 60}, {80, 60}, {80, 60}}, 1, false, 0, kRegion, 10,
                     {P{0, kPoor}, P{2, kPoor}, P{3, kPoor}}, true, 2}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(Surface, ARegionOutsideTheReferenceStartsNothing) {
  fixtures::TTempDir dir;
  TSequence s;
  Build(s, dir, {}, 0, {{0, 0}}, 1, 0);
  for (const TRect region : {TRect{100, 50, 160, 80}, TRect{-1, 0, 10, 10}, TRect{20, 20, 10, 30}}) {
    TSurfaceOptions o;
    o.Region = region;
    const TSurfaceResult r = TrackSurface(s, o);
    EXPECT_FALSE(r.Error.empty());
    EXPECT_EQ(r.Done, 0);
    EXPECT_FALSE(s.FrameSizeSet);
  }
}

// The grey pyramid and the sub-pixel copy against a direct computation: sums of the channels, rounded
// 2 x 2 means (of the whole picture and of a part), bilinear mixing with the edge repeated, at every
// depth, inside and at the picture's edges.
TEST(Surface, PyramidAndSubPixelCopyAgainstADirectComputation) {
  constexpr int w = 37, h = 11;
  for (const int bpp : {16, 24, 32}) {
    TFastDIB img;
    img.SetSize(w, h, bpp, bpp == 16 ? 555 : 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img.SetPixel(y, x, {uint8_t(x * 29 + y), uint8_t(y * 31 + x), uint8_t((x * y * 7) % 256)});
    auto grey = [&](int x, int y) { const TColorBGR c = img.GetPixel(y, x); return c.b + c.g + c.r; };
    for (const auto& [x0, y0] : {std::pair{0, 0}, std::pair{3, 1}}) {
      TGreyPlane full, half;
      GreyPlane(img, x0, y0, w, h, full);
      HalvePlane(full, half);
      ASSERT_EQ(std::make_tuple(full.W, full.H, half.Width, half.Height), std::make_tuple(w - x0, h - y0, w / 2, h / 2));
      for (int y = y0; y < h; ++y)
        for (int x = x0; x < w; ++x) ASSERT_EQ(full.Row(y, x)[0], grey(x, y)) << bpp << " bits at " << x << "," << y;
      for (int y = half.Y0; y < half.Y0 + half.H; ++y)
        for (int x = half.X0; x < half.X0 + half.W; ++x)
          ASSERT_EQ(half.Row(y, x)[0], (grey(2 * x, 2 * y) + grey(2 * x + 1, 2 * y) + grey(2 * x, 2 * y + 1) + grey(2 * x + 1, 2 * y + 1) + 2) / 4)
              << bpp << " bits, half at " << x << "," << y;
    }
    for (const auto& [rect, dx, dy] : {std::tuple<TRect, double, double>{{2, 2, 30, 8}, 0.25, 0.75}, {{2, 2, 30, 8}, -0.5, -0.3},
                                       {{0, 0, w - 1, h - 1}, 0.6, 0.2}, {{0, 0, w - 1, h - 1}, -0.4, -0.9}}) {
      TAviList rec;
      ASSERT_TRUE(CaptureFramePixelsAt(rect, dx, dy, img, rec));
      TFramePixels want;
      for (int y = rect.Top; y <= rect.Bottom; ++y)
        for (int x = rect.Left; x <= rect.Right; ++x)
          for (int ch = 0; ch < 3; ++ch) {
            auto v = [&](int xx, int yy) {
              const TColorBGR p = img.GetPixel(std::clamp(yy, 0, h - 1), std::clamp(xx, 0, w - 1));
              return double(ch == 0 ? p.b : ch == 1 ? p.g : p.r);
            };
            want.push_back(uint8_t(std::lround(Bilinear(v, x + dx, y + dy))));
          }
      want.push_back(0);
      ASSERT_EQ(rec.FramePixels.size(), want.size());
      for (size_t k = 0; k < want.size(); ++k) ASSERT_LE(std::abs(int(rec.FramePixels[k]) - int(want[k])), 1) << bpp << " bits, byte " << k;
      EXPECT_EQ(rec.FramePixels.back(), 0);
    }
  }
}

}  // namespace
