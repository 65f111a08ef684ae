// SPDX-License-Identifier: GPL-3.0-or-later
// Frames drawn and moved by hand on the picture, through the controller: the control's points as image
// pixels in both display sizes, the size the first drawn frame fixes, moving by drag and by the arrow keys.
#include "ControllerRig.h"
#include "framing/Frame.h"

namespace {

TEST(FrameDrawing, ControlPointsGiveThePixelUnderThem) {
  const struct {
    TPictureGeometry Geometry;  // the 160 x 120 picture's place in the control
    int32_t X, Y;
    TImagePoint Expected;
  } cases[] = {{{40, 30, 160, 120}, 40, 30, {0, 0}},     {{40, 30, 160, 120}, 199, 149, {159, 119}},
               {{40, 30, 160, 120}, 5, 400, {0, 119}},   {{-20, -10, 160, 120}, 0, 0, {20, 10}},
               {{0, 10, 320, 240}, 319, 11, {159, 0}},   {{0, 10, 320, 240}, 101, 249, {50, 119}},
               {{5, 0, 80, 60}, 45, 30, {80, 60}},        {{5, 0, 80, 60}, 4, 0, {0, 0}}};
  for (const auto& c : cases)
    EXPECT_EQ(TMainController::ControlToImage(c.Geometry, 160, 120, c.X, c.Y), c.Expected) << c.X << "," << c.Y;
}

TEST(FrameDrawing, DrawnAndMovedFrames) {
  const struct {
    const char* Steps;  // after "open", margin 4
    int Image;          // whose frame is checked
    TRect Frame, Object;
    bool Selected;
    int Asked = 0;
  } cases[] = {
      // drawn from bottom-right to top-left: the frame, its object, the size it fixes
      {"drag90,70,20,10", 0, {20, 10, 90, 70}, {24, 14, 86, 66}, true},
      {"drag90,70,20,10 drag10,10,40,50", 0, {10, 10, 40, 50}, {14, 14, 36, 46}, true},  // the only frame: a new size
      // on another image the fixed size is kept, and pushed back inside the picture
      {"drag90,70,20,10 next drag150,100,159,119", 1, {89, 59, 159, 119}, {93, 63, 155, 115}, true},
      {"drag30,30,31,31 drag30,30,37,60", 0, {}, {}, false, 1},  // a click; too narrow for the margin
      {"drag20,10,60,50 press30,30 move35,33", 0, {25, 13, 65, 53}, {29, 17, 61, 49}, true},
      {"drag20,10,60,50 press30,30 release10,0", 0, {0, 0, 40, 40}, {4, 4, 36, 36}, true},  // stops at the edges
      {"drag20,10,60,50 press30,30 release10,0 nudge1,0 nudge0,-1", 0, {1, 0, 41, 40}, {5, 4, 37, 36}, true},
      // a press outside the frame deselects it: the keys are left to navigation
      {"drag20,10,60,50 press100,100 release100,100 nudge1,0", 0, {20, 10, 60, 50}, {24, 14, 56, 46}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Steps);
    TRig t;
    t.Reach(std::string("open ") + c.Steps);
    const TAviList& r = t.Rec(c.Image);
    EXPECT_EQ(std::pair(r.HasFrame, r.Checked), std::pair(c.Asked == 0, c.Asked == 0));
    if (r.HasFrame) {
      EXPECT_EQ(r.FrameRect, c.Frame);
      EXPECT_EQ(r.ObjectRect, c.Object);
      EXPECT_EQ(r.FramePixelsRect, c.Frame);
      EXPECT_EQ(r.FramePixels.size(), FramePixelsBytes(r.FrameRect));
    }
    EXPECT_EQ(t.Ctl.FrameSelected(), c.Selected);
    EXPECT_EQ(t.Ctl.Dragging() == TPictureDrag::Moving, std::string(c.Steps).ends_with("move35,33"));
    ASSERT_EQ(t.Messages.Asked.size(), size_t(c.Asked));
    EXPECT_TRUE(!c.Asked || t.Messages.Asked[0].Caption == "Building frame");
  }
}

TEST(FrameDrawing, AdjustedSizeDrawsInImagePixels) {
  TRig t;
  t.Reach("open");
  const TPictureGeometry g{0, 0, 320, 240};  // the picture drawn twice as large
  t.Ctl.PicturePressed(g, 40, 20);
  t.Ctl.PictureReleased(g, 201, 161);
  EXPECT_EQ(t.Rec(0).FrameRect, (TRect{20, 10, 100, 80}));
  EXPECT_EQ(t.Ctl.Sequence().FrameWidth, 72);
}

}  // namespace
