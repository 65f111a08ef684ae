// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic framing and margin rebuilding over sequences of BMP files written for each test (rows, hooks,
// cancel, what each image is left with), and over planet videos whose every image's outcome is predicted
// from the rendered pixels by the pixel-by-pixel scan.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "FramingFixtures.h"
#include "framing/AutoFrame.h"
#include "framing/Frame.h"
#include "sequence/SamplePlanet.h"

namespace {

constexpr TColorBGR kObject{180, 200, 220}, kSky{5, 8, 10};
const TRect kNone{0, 0, -1, -1};

class AutoFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Params_.bordure = 2;
    Seq_.Tolerance = 30;
  }
  // A sequence of w x h sky pictures, each with a bright rectangle (inclusive bounds; kNone: sky only).
  void Build(const std::vector<TRect>& objects, int w = 40, int h = 30) {
    BmpSequence(Seq_, Dir_, int(objects.size()), [&](int i) {
      const TRect& o = objects[size_t(i)];
      TFastDIB d;
      d.SetSize(w, h, 24, 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) d.SetPixel(y, x, x >= o.Left && x <= o.Right && y >= o.Top && y <= o.Bottom ? kObject : kSky);
      return d;
    });
  }
  TAviList& Rec(int i) { return *Seq_.Record(i); }

  fixtures::TTempDir Dir_;
  TSequence Seq_;
  TAutoFrameOptions Params_;
};

TEST_F(AutoFrameTest, EmptyAndUnreadableImagesGiveOneRowEachAndTheOthersAreFramedInOrder) {
  // The third object is larger: it gets the first one's size. The fourth file is gone.
  Build({{10, 8, 19, 15}, kNone, {14, 10, 25, 20}, {5, 5, 9, 9}});
  std::filesystem::remove(Dir_.File("p3.bmp"));
  Seq_.CurrentIndex = 1;
  std::vector<std::string> events;
  TAutoFrameHooks hooks;
  hooks.Cancelled = [&] { events.push_back("cancel?"); return false; };
  hooks.Progress = [&](int p) { events.push_back("progress " + std::to_string(p)); };
  hooks.Framed = [&](int i) { events.push_back("framed " + std::to_string(i)); };
  hooks.Problem = [&](const TFrameProblem& p) { events.push_back("problem " + std::to_string(p.Index) + " " + FrameProblemText(p.Kind)); };
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_, hooks);
  EXPECT_EQ(res.Problems, (std::vector<TFrameProblem>{{1, TFrameProblemKind::NotFound}, {3, TFrameProblemKind::NotFound}}));
  EXPECT_EQ(res.Done, 4);
  EXPECT_FALSE(res.Cancelled);
  EXPECT_EQ(events, (std::vector<std::string>{"cancel?", "framed 0", "progress 1", "cancel?", "problem 1 Impossible to draw frame",
                                              "progress 2", "cancel?", "framed 2", "progress 3", "cancel?",
                                              "problem 3 Impossible to draw frame", "progress 4"}));
  EXPECT_EQ(Seq_.CurrentIndex, 1);
  EXPECT_EQ(std::make_pair(Seq_.FrameWidth, Seq_.FrameHeight), std::make_pair(11, 9));  // (9,7)-(20,16): the dark ring
  EXPECT_EQ(Rec(0).FrameRect, (TRect{7, 5, 22, 18}));
  EXPECT_EQ(Rec(2).FrameRect, (TRect{11, 7, 26, 20}));
  for (int i : {0, 2}) EXPECT_TRUE(Rec(i).HasFrame && Rec(i).Checked && Rec(i).FramePixels.size() == 16u * 14u * 3u + 1u);
  for (int i : {1, 3}) EXPECT_FALSE(Rec(i).HasFrame || Rec(i).Checked);
}

TEST_F(AutoFrameTest, OutOfLimitFixesTheSizeKeepsAnOlderFrameAndRecordsTheNewObject) {
  Build({{1, 10, 6, 14}, {15, 10, 30, 25}, {33, 10, 38, 15}});  // the first and last frames leave the image
  Rec(2).HasFrame = Rec(2).Checked = true;
  Rec(2).FrameRect = Rec(2).FramePixelsRect = {1, 1, 5, 5};
  Rec(2).FramePixels.assign(76, 7);
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  EXPECT_EQ(res.Problems, (std::vector<TFrameProblem>{{0, TFrameProblemKind::OutOfLimit}, {2, TFrameProblemKind::OutOfLimit}}));
  EXPECT_EQ(std::make_pair(Seq_.FrameWidth, Seq_.FrameHeight), std::make_pair(7, 6));
  EXPECT_EQ(Rec(0).ObjectRect, (TRect{0, 9, 7, 15}));
  EXPECT_FALSE(Rec(0).HasFrame);
  EXPECT_EQ(Rec(1).ObjectRect, (TRect{14, 9, 21, 15}));
  EXPECT_EQ(Rec(1).FrameRect, (TRect{12, 7, 23, 17}));
  EXPECT_TRUE(Rec(2).HasFrame);
  EXPECT_EQ(Rec(2).FrameRect, (TRect{1, 1, 5, 5}));
  EXPECT_EQ(Rec(2).FramePixels, TFramePixels(76, 7));
  EXPECT_EQ(Rec(2).ObjectRect, (TRect{32, 9, 39, 15}));  // normalised to the run's 7 x 6
}

TEST_F(AutoFrameTest, CancelStopsBeforeTheNextImage) {
  Build({{5, 5, 10, 9}, {6, 5, 11, 9}, {7, 5, 12, 9}, {8, 5, 13, 9}}, 30, 20);
  int asked = 0;
  std::vector<int> progress;
  TAutoFrameHooks hooks;
  hooks.Cancelled = [&] { return ++asked > 2; };
  hooks.Progress = [&](int p) { progress.push_back(p); };
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_, hooks);
  EXPECT_TRUE(res.Cancelled);
  EXPECT_EQ(res.Done, 2);
  EXPECT_EQ(progress, (std::vector<int>{1, 2}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Rec(i).HasFrame, i < 2) << i;
}

TEST_F(AutoFrameTest, AutomaticToleranceIsPerImageAndKeepsTheLastOne) {
  // One object pixel (lightness 200) in a hundred of sky (8): mean 9, threshold (4 * 9 + 200) / 5 = 47.
  Build({{3, 3, 5, 5}, {3, 3, 3, 3}}, 10, 10);
  Params_.AutoTolerance = true;
  Seq_.Tolerance = 200;
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  EXPECT_EQ(Seq_.Tolerance, 47);
  EXPECT_TRUE(Rec(0).HasFrame);  // found with its own threshold, not 200
  EXPECT_TRUE(res.Problems.empty());
  TSequence empty;
  EXPECT_EQ(AutoFrameAll(empty, Params_).Done, 0);
  EXPECT_TRUE(RebuildFrameMargins(empty, 5).empty());
}

TEST_F(AutoFrameTest, RebuildingWithALargerMarginDropsTheFrameThatLeaves) {
  Build({{10, 10, 15, 15}, {3, 10, 8, 15}, {20, 8, 25, 13}, kNone});  // image 2 near the left edge; 4 never framed
  ASSERT_EQ(AutoFrameAll(Seq_, Params_).Problems.size(), 1u);
  Rec(2).Checked = false;  // unticked by the user: stays so
  Seq_.CurrentIndex = 3;
  std::vector<int> unticked;
  const auto rows = RebuildFrameMargins(Seq_, 3, [&](int i) { unticked.push_back(i); });
  EXPECT_EQ(rows, (std::vector<TFrameProblem>{{1, TFrameProblemKind::OutOfLimit}}));
  EXPECT_EQ(unticked, std::vector<int>{1});
  EXPECT_EQ(Seq_.CurrentIndex, 3);
  EXPECT_FALSE(Rec(1).HasFrame || Rec(1).Checked);
  EXPECT_TRUE(Rec(1).HasFramePixels());  // the old copy stays
  for (int i : {0, 2}) {
    const TRect& o = Rec(i).ObjectRect;
    EXPECT_TRUE(Rec(i).HasFrame);
    EXPECT_EQ(Rec(i).FrameRect, (TRect{o.Left - 3, o.Top - 3, o.Right + 3, o.Bottom + 3}));
    EXPECT_EQ(Rec(i).FramePixelsRect, Rec(i).FrameRect);
  }
  EXPECT_EQ(std::make_pair(Rec(0).Checked, Rec(2).Checked), std::make_pair(true, false));
  EXPECT_EQ(Seq_.FrameWidth, 7);  // the size never changes in a rebuild
  auto pic = FramePixelsToImage(&Rec(0));  // the new copy holds the pixels of the new rectangle
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->GetPixel(4, 4), kObject);
  EXPECT_EQ(pic->GetPixel(0, 0), kSky);
}

class AutoFrameVideo : public ::testing::TestWithParam<TVideoCodec> {};

TEST_P(AutoFrameVideo, RowsMatchWhatEachFrameShows) {
  TSampleOptions o;
  o.Frames = 14, o.Width = 160, o.Height = 120, o.Seed = 7, o.Format = GetParam();
  o.EmptyFrames = {0, 4}, o.PartialFrames = {2, 6, 7, 8, 9, 10}, o.BlurredFrames = {11};
  fixtures::TTempDir dir;
  ASSERT_TRUE(WriteSampleVideo(dir.File("v.avi"), o, nullptr));
  TSequence s;
  ASSERT_TRUE(s.OpenAvi(dir.File("v.avi")));
  s.CurrentIndex = 5;
  const TAutoFrameResult res = AutoFrameAll(s, TAutoFrameOptions{.bordure = 4});
  EXPECT_EQ(s.CurrentIndex, 5);
  // The prediction: the first object found fixes the size; a frame leaving the image is out of limit.
  std::vector<TFrameProblem> rows;
  bool sizeSet = false, sawLeftTop = false, sawRightBottom = false;
  int fw = 0, fh = 0;
  TFastDIB img;
  for (int i = 0; i < o.Frames; ++i) {
    const TSampleFrame info = RenderSampleFrame(o, i, img);
    TRect r, frame;
    std::optional<TFrameProblemKind> problem;
    if (!ReferenceScan(img, 30, r)) {
      problem = TFrameProblemKind::NotFound;
    } else {
      if (!sizeSet) sizeSet = true, fw = r.Right - r.Left, fh = r.Bottom - r.Top;
      frame = {r.Left - 4, r.Top - 4, r.Left + fw + 4, r.Top + fh + 4};
      if (frame.Left < 0 || frame.Top < 0 || frame.Right > o.Width - 1 || frame.Bottom > o.Height - 1) problem = TFrameProblemKind::OutOfLimit;
    }
    // The prediction follows the planet: past the left or top edge the frame leaves the image, past the
    // right or bottom the object is not closed.
    if (info.State == TPlanetState::Partial) (info.CenterX == 0 || info.CenterY == 0 ? sawLeftTop : sawRightBottom) = true;
    EXPECT_EQ(problem, info.State == TPlanetState::Whole ? std::nullopt
                       : info.State == TPlanetState::Absent || (info.CenterX && info.CenterY) ? std::optional(TFrameProblemKind::NotFound)
                                                                                         : std::optional(TFrameProblemKind::OutOfLimit)) << i;
    const TAviList& rec = *s.Record(i);
    EXPECT_EQ(rec.HasFrame && rec.Checked, !problem) << i;
    if (problem) {
      rows.push_back({i, *problem});
      continue;
    }
    EXPECT_EQ(rec.FrameRect, frame) << i;
    EXPECT_TRUE(frame.Left <= info.CenterX - info.Radius && frame.Right >= info.CenterX + info.Radius) << i;
    EXPECT_EQ(rec.FramePixels, FrameBytes(img, frame)) << i;  // the rendered image's, byte for byte (uncompressed video)
  }
  EXPECT_TRUE(sawLeftTop && sawRightBottom);
  EXPECT_EQ(res.Problems, rows);
  EXPECT_EQ(FrameOuterWidth(s, 4), fw + 9);
}

INSTANTIATE_TEST_SUITE_P(Uncompressed, AutoFrameVideo, ::testing::Values(TVideoCodec::Bgr24, TVideoCodec::Bgra32));

}  // namespace
