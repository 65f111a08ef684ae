// SPDX-License-Identifier: GPL-3.0-or-later
// Frame making: size fixing, margins, limits, the pixel copy and its way back.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "FramingFixtures.h"
#include "framing/Frame.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TFastDIB Picture(int w, int h, int bpp = 24) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  for (int y = 0; y < h; ++y)  // every pixel distinct
    for (int x = 0; x < w; ++x) d.SetPixel(y, x, {uint8_t(x), uint8_t(y), uint8_t(x * 16 + y)});
  return d;
}

void AddRecords(TSequence& s, int n) {
  for (int i = 0; i < n; ++i) s.ImageList.Add(TSequence::AviDisplayName(i), std::make_unique<TAviList>());
  s.ImageCount = n;
}

struct TMakeCase {
  const char* Name;
  int W, H;
  int Preset;  // frame size already fixed (width = height), -1: not yet
  int Index;
  TRect Rect;
  int32_t Margin;
  bool Accepted;
  int Size;       // FrameWidth = FrameHeight afterwards, -1: still not fixed
  TRect Object;   // ObjectRect afterwards
  TRect Frame;    // FrameRect afterwards
};

const TMakeCase kMake[] = {
    {"SquareWithMarginOneFixesTheSize", 10, 10, -1, 0, {3, 3, 7, 7}, 1, true, 4, {3, 3, 7, 7}, {2, 2, 8, 8}},
    {"OutOfLimitStillFixesTheSize", 10, 10, -1, 0, {3, 3, 7, 7}, 3, false, 4, {3, 3, 7, 7}, {}},
    {"FixedSizeAnchoredAtTheCorner", 30, 20, 4, 0, {10, 5, 20, 15}, 2, true, 4, {10, 5, 14, 9}, {8, 3, 16, 11}},
    {"LeftEdge", 10, 10, 2, 0, {0, 4, 0, 0}, 1, false, 2, {0, 4, 2, 6}, {}},
    {"TopEdge", 10, 10, 2, 0, {4, 0, 0, 0}, 1, false, 2, {4, 0, 6, 2}, {}},
    {"RightEdge", 10, 10, 2, 0, {8, 4, 0, 0}, 1, false, 2, {8, 4, 10, 6}, {}},
    {"BottomEdge", 10, 10, 2, 0, {4, 8, 0, 0}, 1, false, 2, {4, 8, 6, 10}, {}},
    {"TouchingTopLeft", 10, 10, 2, 0, {1, 1, 0, 0}, 1, true, 2, {1, 1, 3, 3}, {0, 0, 4, 4}},
    {"TouchingBottomRight", 10, 10, 2, 0, {6, 6, 0, 0}, 1, true, 2, {6, 6, 8, 8}, {5, 5, 9, 9}},
    {"NegativeMarginTurnsItInsideOut", 10, 10, -1, 0, {3, 3, 5, 5}, -2, false, 2, {3, 3, 5, 5}, {}},
    {"HugeMarginDoesNotWrap", 10, 10, -1, 0, {3, 3, 5, 5}, kMax, false, 2, {3, 3, 5, 5}, {}},
    {"NoRecordAfter", 10, 10, -1, 5, {3, 3, 5, 5}, 0, false, -1, {}, {}},
    {"NoRecordBefore", 10, 10, -1, -1, {3, 3, 5, 5}, 0, false, -1, {}, {}},
};

class MakeFrameTest : public ::testing::TestWithParam<TMakeCase> {};

TEST_P(MakeFrameTest, FrameAndCopy) {
  const TMakeCase& c = GetParam();
  TSequence s;
  AddRecords(s, 2);
  s.FrameSizeSet = c.Preset >= 0;
  s.FrameWidth = s.FrameHeight = std::max(c.Preset, 0);
  const TFastDIB img = Picture(c.W, c.H);
  EXPECT_EQ(MakeFrame(s, c.Index, c.Rect, img, c.Margin), c.Accepted ? TFrameResult::Accepted : TFrameResult::OutOfLimit);
  EXPECT_EQ(s.FrameSizeSet, c.Size >= 0);
  EXPECT_EQ(std::make_pair(s.FrameWidth, s.FrameHeight), std::make_pair(std::max(c.Size, 0), std::max(c.Size, 0)));
  EXPECT_FALSE(s.Record(1)->HasFrame || s.Record(1)->HasFramePixels());
  if (!s.Record(c.Index)) return;
  const TAviList& r = *s.Record(c.Index);
  EXPECT_EQ(r.ObjectRect, c.Object);
  EXPECT_EQ(r.FrameRect, c.Frame);
  EXPECT_EQ(r.HasFrame, c.Accepted);
  EXPECT_EQ(r.Checked, c.Accepted);
  EXPECT_EQ(r.FramePixels, c.Accepted ? FrameBytes(img, c.Frame) : TFramePixels());
  if (!c.Accepted) return;
  EXPECT_EQ(r.FramePixelsRect, c.Frame);
  EXPECT_EQ(FrameOuterWidth(s, c.Margin), c.Frame.Right - c.Frame.Left + 1);
  EXPECT_EQ(FrameOuterHeight(s, c.Margin), c.Frame.Bottom - c.Frame.Top + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeFrameTest, ::testing::ValuesIn(kMake), [](const auto& p) { return std::string(p.param.Name); });

TEST(CaptureFramePixels, EveryDepthAndNeverOutsideTheImage) {
  for (const int bpp : {16, 24, 32}) {
    const TFastDIB img = Picture(6, 5, bpp);
    TAviList rec;
    ASSERT_TRUE(CaptureFramePixels({1, 2, 3, 4}, img, rec)) << bpp;
    EXPECT_EQ(rec.FramePixels, FrameBytes(img, {1, 2, 3, 4})) << bpp;
    EXPECT_EQ(rec.FramePixelsRect, (TRect{1, 2, 3, 4}));
  }
  const TFastDIB img = Picture(10, 10);
  TAviList rec;
  rec.FramePixels.assign(5, 9);
  for (const TRect r : {TRect{5, 5, 10, 9}, TRect{-1, 0, 3, 3}, TRect{4, 4, 3, 3}}) EXPECT_FALSE(CaptureFramePixels(r, img, rec));
  EXPECT_FALSE(CaptureFramePixels({0, 0, 0, 0}, TFastDIB{}, rec));
  EXPECT_EQ(rec.FramePixels, TFramePixels(5, 9));  // untouched
  ASSERT_TRUE(CaptureFramePixels({9, 9, 9, 9}, img, rec));
  EXPECT_EQ(rec.FramePixels.size(), 4u);
}

TEST(FramePixelsToImage, RoundTripAndRefusals) {
  TSequence s;
  AddRecords(s, 1);
  EXPECT_FALSE(SequenceHasFrame(TSequence()));
  EXPECT_FALSE(SequenceHasFrame(s));
  const TFastDIB img = Picture(12, 9);
  EXPECT_EQ(FramePixelsToImage(nullptr), nullptr);
  EXPECT_EQ(FramePixelsToImage(s.Record(0)), nullptr);
  ASSERT_EQ(MakeFrame(s, 0, {3, 2, 8, 5}, img, 1), TFrameResult::Accepted);
  EXPECT_TRUE(SequenceHasFrame(s));
  TAviList& r = *s.Record(0);
  auto out = FramePixelsToImage(&r);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(std::make_tuple(out->Width(), out->AbsHeight, out->Bpp()), std::make_tuple(8, 6, 24));
  EXPECT_EQ(FrameBytes(*out, {0, 0, 7, 5}), FrameBytes(img, {2, 1, 9, 6}));
  r.HasFrame = false;  // an unticked frame box: no picture although the copy stays
  EXPECT_EQ(FramePixelsToImage(&r), nullptr);
  r.HasFrame = true;
  r.FrameRect = {2, 1, 10, 7};  // a block captured for another size is never read as this frame
  EXPECT_EQ(FramePixelsToImage(&r), nullptr);
}

TEST(Frame, MarginStopsAtTheInt32Range) {
  TRect big{0, 0, 10, 10};
  AddMargin(big, kMax);
  EXPECT_EQ(big, (TRect{-kMax, -kMax, kMax, kMax}));
}

}  // namespace
