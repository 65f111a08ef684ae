// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic framing over generated planet videos with empty frames and frames whose planet crosses an
// edge: every image's outcome is predicted from the rendered pixels by the pixel-by-pixel scan.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ReferenceScan.h"
#include "framing/AutoFrame.h"
#include "framing/Frame.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

namespace {

struct TExpected {
  std::optional<TFrameProblemKind> Problem;
  TRect Frame;
};

// What framing must leave, image by image, for the rendered frames.
std::vector<TExpected> Predict(const TSampleOptions& o, int tolerance, int margin) {
  std::vector<TExpected> out;
  bool sizeSet = false;
  int fw = 0, fh = 0;
  TFastDIB img;
  for (int i = 0; i < o.Frames; ++i) {
    RenderSampleFrame(o, i, img);
    TExpected e;
    TRect r;
    if (!ReferenceScan(img, tolerance, r)) {
      e.Problem = TFrameProblemKind::NotFound;
    } else {
      if (!sizeSet) sizeSet = true, fw = r.Right - r.Left, fh = r.Bottom - r.Top;
      e.Frame = {r.Left - margin, r.Top - margin, r.Left + fw + margin, r.Top + fh + margin};
      if (e.Frame.Left < 0 || e.Frame.Top < 0 || e.Frame.Right > o.Width - 1 || e.Frame.Bottom > o.Height - 1)
        e.Problem = TFrameProblemKind::OutOfLimit;
    }
    out.push_back(e);
  }
  return out;
}

class AutoFrameVideo : public ::testing::TestWithParam<TVideoCodec> {};

}  // namespace

TEST_P(AutoFrameVideo, RowsMatchWhatEachFrameShows) {
  TSampleOptions o;
  o.Frames = 14;
  o.Width = 160;
  o.Height = 120;
  o.Seed = 7;
  o.Format = GetParam();
  o.EmptyFrames = {0, 4};
  o.PartialFrames = {2, 6, 7, 8, 9, 10};
  o.BlurredFrames = {11};
  fixtures::TTempDir dir;
  std::string error;
  ASSERT_TRUE(WriteSampleVideo(dir.File("v.avi"), o, &error)) << error;
  TSequence s;
  ASSERT_TRUE(s.OpenAvi(dir.File("v.avi")));
  ASSERT_EQ(s.ImageCount, o.Frames);
  s.Tolerance = 30;
  s.CurrentIndex = 5;
  TAutoFrameOptions params;
  params.bordure = 4;
  const TAutoFrameResult res = AutoFrameAll(s, params);
  EXPECT_EQ(s.CurrentIndex, 5);
  EXPECT_FALSE(res.Cancelled);

  const std::vector<TExpected> expected = Predict(o, 30, 4);
  std::vector<TFrameProblem> rows;
  bool sawLeftTop = false, sawRightBottom = false;
  for (int i = 0; i < o.Frames; ++i) {
    const TSampleFrame info = SampleFrameInfo(o, i);
    const TExpected& e = expected[size_t(i)];
    // The prediction itself follows the planet.
    switch (info.State) {
      case TPlanetState::Absent:
        EXPECT_EQ(e.Problem, TFrameProblemKind::NotFound) << i;
        break;
      case TPlanetState::Whole:
        EXPECT_FALSE(e.Problem) << i;
        break;
      case TPlanetState::Partial:
        // Past the left or top edge the frame leaves the image; past the right or bottom it is not closed.
        if (info.CenterX == 0 || info.CenterY == 0) {
          EXPECT_EQ(e.Problem, TFrameProblemKind::OutOfLimit) << i;
          sawLeftTop = true;
        } else {
          EXPECT_EQ(e.Problem, TFrameProblemKind::NotFound) << i;
          sawRightBottom = true;
        }
        break;
    }
    const TAviList& r = *s.Record(i);
    if (e.Problem) {
      rows.push_back({i, *e.Problem});
      EXPECT_FALSE(r.HasFrame || r.Checked) << i;
    } else {
      EXPECT_TRUE(r.HasFrame && r.Checked) << i;
      EXPECT_EQ(r.FrameRect, e.Frame) << i;
      // The disc lies inside its frame.
      EXPECT_LE(r.FrameRect.Left, info.CenterX - info.Radius) << i;
      EXPECT_GE(r.FrameRect.Right, info.CenterX + info.Radius) << i;
      ASSERT_EQ(r.FramePixels.size(), FramePixelsBytes(r.FrameRect)) << i;
    }
  }
  EXPECT_TRUE(sawLeftTop);
  EXPECT_TRUE(sawRightBottom);
  EXPECT_EQ(res.Problems, rows);
  EXPECT_EQ(FrameOuterWidth(s, 4), expected[1].Frame.Right - expected[1].Frame.Left + 1);

  // The pixel copy is the decoded image's, byte for byte (uncompressed video).
  TFastDIB img;
  RenderSampleFrame(o, 1, img);
  const TAviList& r1 = *s.Record(1);
  const TRect& f = r1.FrameRect;
  std::vector<uint8_t> want;
  for (int y = f.Top; y <= f.Bottom; ++y)
    for (int x = f.Left; x <= f.Right; ++x) want.insert(want.end(), {img.GetPixel(y, x).b, img.GetPixel(y, x).g, img.GetPixel(y, x).r});
  want.push_back(0);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), r1.FramePixels.begin(), r1.FramePixels.end()));
}

INSTANTIATE_TEST_SUITE_P(Uncompressed, AutoFrameVideo, ::testing::Values(TVideoCodec::Bgr24, TVideoCodec::Bgra32));
