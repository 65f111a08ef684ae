// SPDX-License-Identifier: GPL-3.0-or-later
// Frames drawn and moved by hand on the picture, through the controller: the
// mapping of the control's points to image pixels in both display sizes, the
// size the first drawn frame fixes, moving by drag and by the arrow keys.
#include <gtest/gtest.h>

#include "control/MainController.h"
#include "framing/Frame.h"
#include "platform/Messages.h"
#include "support/VideoFixtures.h"

namespace {

struct TQuietView : TMainView {
  int Pictures = 0;
  std::vector<int32_t> Ticks;
  void SequenceChanged() override {}
  void TickChanged(int32_t index) override { Ticks.push_back(index); }
  void PictureChanged() override { ++Pictures; }
  void StateChanged() override {}
  void RunJobWithProgress(const TJobRequest&) override {}
  void ShowProblemReport(const std::string&, const std::string&, const std::vector<TProblemRow>&) override {}
};

struct TMapCase {
  const char* Name;
  TPictureGeometry Geometry;  // the 160 x 120 picture's place in the control
  int32_t X, Y;
  TImagePoint Expected;
};

class ControlToImage : public ::testing::TestWithParam<TMapCase> {};

TEST_P(ControlToImage, GivesThePixelUnderThePoint) {
  const TMapCase& c = GetParam();
  EXPECT_EQ(TMainController::ControlToImage(c.Geometry, 160, 120, c.X, c.Y), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ControlToImage,
    ::testing::Values(TMapCase{"normal_centred", {40, 30, 160, 120}, 40, 30, {0, 0}},
                      TMapCase{"normal_last", {40, 30, 160, 120}, 199, 149, {159, 119}},
                      TMapCase{"normal_outside_clamped", {40, 30, 160, 120}, 5, 400, {0, 119}},
                      TMapCase{"normal_cropped", {-20, -10, 160, 120}, 0, 0, {20, 10}},
                      TMapCase{"adjusted_double", {0, 10, 320, 240}, 319, 11, {159, 0}},
                      TMapCase{"adjusted_double_cell", {0, 10, 320, 240}, 101, 249, {50, 119}},
                      TMapCase{"adjusted_half", {5, 0, 80, 60}, 45, 30, {80, 60}},
                      TMapCase{"adjusted_just_left", {5, 0, 80, 60}, 4, 0, {0, 0}}),
    [](const auto& p) { return std::string(p.param.Name); });

class FrameDrawing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir_ = new fixtures::TTempDir;
    TSampleOptions o;
    o.Frames = 3;
    o.Width = 160;
    o.Height = 120;
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Dir_->File("v.avi"), o, &error)) << error;
  }
  static void TearDownTestSuite() { delete Dir_; }
  void SetUp() override {
    Settings_.bordure = 4;
    ASSERT_TRUE(Ctl.OpenVideo(Dir_->File("v.avi")));
  }
  // A drag in normal size with the picture at the control's corner.
  void Drag(int x0, int y0, int x1, int y1) {
    const TPictureGeometry g{0, 0, 160, 120};
    Ctl.PicturePressed(g, x0, y0);
    Ctl.PictureDragged(g, (x0 + x1) / 2, (y0 + y1) / 2);
    Ctl.PictureReleased(g, x1, y1);
  }
  const TAviList& Rec(int i) { return *Ctl.Sequence().Record(i); }

  static fixtures::TTempDir* Dir_;
  TScriptedMessages Messages_;
  TMessagesScope Scope_{Messages_};
  TParamglob Settings_;
  TQuietView View;
  TMainController Ctl{View, Settings_};
};
fixtures::TTempDir* FrameDrawing::Dir_ = nullptr;

TEST_F(FrameDrawing, DrawnRectangleBecomesTheFrameAndFixesTheSize) {
  Drag(90, 70, 20, 10);  // drawn from bottom-right to top-left
  ASSERT_TRUE(Rec(0).HasFrame);
  EXPECT_TRUE(Rec(0).Checked);
  EXPECT_EQ(Rec(0).FrameRect, (TRect{20, 10, 90, 70}));
  EXPECT_EQ(Rec(0).ObjectRect, (TRect{24, 14, 86, 66}));
  EXPECT_EQ(Rec(0).FramePixels.size(), FramePixelsBytes(Rec(0).FrameRect));
  EXPECT_EQ(Ctl.Sequence().FrameWidth, 62);
  EXPECT_TRUE(Ctl.FrameSelected());
  // Drawn again on the only framed image: the new rectangle fixes a new size.
  Drag(10, 10, 40, 50);
  EXPECT_EQ(Rec(0).FrameRect, (TRect{10, 10, 40, 50}));
  // On another image the fixed size is kept, and pushed back inside the picture.
  Ctl.Next();
  EXPECT_FALSE(Ctl.FrameSelected());
  Drag(150, 100, 159, 119);
  EXPECT_EQ(Rec(1).FrameRect, (TRect{129, 79, 159, 119}));
  EXPECT_TRUE(Messages_.Asked.empty());
}

TEST_F(FrameDrawing, TooSmallForTheMarginOrAClickDrawsNothing) {
  Drag(30, 30, 31, 31);  // a click
  Drag(30, 30, 37, 60);  // 8 wide: no room inside a margin of 4 on each side
  EXPECT_FALSE(Rec(0).HasFrame);
  ASSERT_EQ(Messages_.Asked.size(), 1u);
  EXPECT_EQ(Messages_.Asked[0].Caption, "Building frame");
}

TEST_F(FrameDrawing, DragInsideMovesTheFrameAndStopsAtTheEdges) {
  Drag(20, 10, 60, 50);
  const TPictureGeometry g{0, 0, 160, 120};
  Ctl.PicturePressed(g, 30, 30);
  EXPECT_EQ(Ctl.Dragging(), TPictureDrag::Moving);
  Ctl.PictureDragged(g, 35, 33);
  EXPECT_EQ(Rec(0).FrameRect, (TRect{25, 13, 65, 53}));
  Ctl.PictureReleased(g, 10, 0);  // further than the top-left corner allows
  EXPECT_EQ(Rec(0).FrameRect, (TRect{0, 0, 40, 40}));
  EXPECT_EQ(Rec(0).ObjectRect, (TRect{4, 4, 36, 36}));
  EXPECT_EQ(Rec(0).FramePixelsRect, Rec(0).FrameRect);
  // The arrow keys nudge the selected frame by one pixel, never out.
  EXPECT_TRUE(Ctl.NudgeFrame(1, 0));
  EXPECT_TRUE(Ctl.NudgeFrame(0, -1));
  EXPECT_EQ(Rec(0).FrameRect, (TRect{1, 0, 41, 40}));
  // A press outside the frame deselects it: the keys are left to navigation.
  Ctl.PicturePressed(g, 100, 100);
  Ctl.PictureReleased(g, 100, 100);
  EXPECT_FALSE(Ctl.NudgeFrame(1, 0));
  EXPECT_EQ(Rec(0).FrameRect, (TRect{1, 0, 41, 40}));
}

TEST_F(FrameDrawing, AdjustedSizeDrawsInImagePixels) {
  const TPictureGeometry g{0, 0, 320, 240};  // the picture drawn twice as large
  Ctl.PicturePressed(g, 40, 20);
  Ctl.PictureReleased(g, 201, 161);
  EXPECT_EQ(Rec(0).FrameRect, (TRect{20, 10, 100, 80}));
}

}  // namespace
