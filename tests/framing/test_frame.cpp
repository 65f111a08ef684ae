// SPDX-License-Identifier: GPL-3.0-or-later
// Frame making: size fixing, margins, limits, the pixel copy and its way back.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "framing/Detect.h"
#include "framing/Frame.h"
#include "sequence/Sequence.h"

namespace {

TFastDIB Picture(int w, int h, int bpp = 24) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  // Every pixel distinct, so copies can be checked byte for byte.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) d.SetPixel(y, x, {uint8_t(x), uint8_t(y), uint8_t(x * 16 + y)});
  return d;
}

void AddRecords(TSequence& s, int n) {
  for (int i = 0; i < n; ++i) s.ImageList.Add(TSequence::AviDisplayName(i), std::make_unique<TAviList>());
  s.ImageCount = n;
}

}  // namespace

TEST(MakeFrame, SquareWithMarginOneFixesTheSize) {
  TSequence s;
  AddRecords(s, 2);
  const TFastDIB img = Picture(10, 10);
  ASSERT_EQ(MakeFrame(s, 0, {3, 3, 7, 7}, img, 1), TFrameResult::Accepted);
  EXPECT_TRUE(s.FrameSizeSet);
  EXPECT_EQ(s.FrameWidth, 4);
  EXPECT_EQ(s.FrameHeight, 4);
  const TAviList& r = *s.Record(0);
  EXPECT_TRUE(r.HasFrame);
  EXPECT_TRUE(r.Checked);
  EXPECT_EQ(r.ObjectRect, (TRect{3, 3, 7, 7}));
  EXPECT_EQ(r.FrameRect, (TRect{2, 2, 8, 8}));
  EXPECT_EQ(r.FramePixelsRect, r.FrameRect);
  ASSERT_EQ(r.FramePixels.size(), 148u);  // 7 * 7 * 3 + 1
  // Row 0 of the copy is image row 2 from column 2; the last pixel is (8, 8).
  EXPECT_EQ(r.FramePixels[0], 2);
  EXPECT_EQ(r.FramePixels[1], 2);
  EXPECT_EQ(r.FramePixels[2], 2 * 16 + 2);
  EXPECT_EQ(r.FramePixels[144], 8);
  EXPECT_EQ(r.FramePixels[145], 8);
  EXPECT_EQ(r.FramePixels[146], uint8_t(8 * 16 + 8));
  EXPECT_EQ(FrameOuterWidth(s, 1), 7);
  EXPECT_EQ(FrameOuterHeight(s, 1), 7);
  EXPECT_FALSE(s.Record(1)->HasFrame);
}

TEST(MakeFrame, OutOfLimitStillFixesTheSizeAndStoresTheObject) {
  TSequence s;
  AddRecords(s, 1);
  const TFastDIB img = Picture(10, 10);
  ASSERT_EQ(MakeFrame(s, 0, {3, 3, 7, 7}, img, 3), TFrameResult::OutOfLimit);  // Right 10 > 9
  EXPECT_TRUE(s.FrameSizeSet);
  EXPECT_EQ(s.FrameWidth, 4);
  const TAviList& r = *s.Record(0);
  EXPECT_EQ(r.ObjectRect, (TRect{3, 3, 7, 7}));
  EXPECT_FALSE(r.HasFrame);
  EXPECT_FALSE(r.Checked);
  EXPECT_FALSE(r.HasFramePixels());
  EXPECT_EQ(r.FrameRect, TRect{});
}

TEST(MakeFrame, FixedSizeIsAnchoredAtTheDetectedCorner) {
  TSequence s;
  AddRecords(s, 2);
  const TFastDIB img = Picture(30, 20);
  ASSERT_EQ(MakeFrame(s, 0, {3, 3, 7, 7}, img, 0), TFrameResult::Accepted);
  ASSERT_EQ(MakeFrame(s, 1, {10, 5, 20, 15}, img, 2), TFrameResult::Accepted);
  const TAviList& r = *s.Record(1);
  EXPECT_EQ(r.ObjectRect, (TRect{10, 5, 14, 9}));
  EXPECT_EQ(r.FrameRect, (TRect{8, 3, 16, 11}));
  EXPECT_EQ(r.FramePixels.size(), 9u * 9u * 3u + 1u);
  EXPECT_EQ(s.FrameWidth, 4);  // unchanged by the larger object
}

TEST(MakeFrame, EveryBoundIsChecked) {
  TSequence s;
  AddRecords(s, 1);
  const TFastDIB img = Picture(10, 10);
  s.FrameSizeSet = true;
  s.FrameWidth = s.FrameHeight = 2;
  for (TRect r : {TRect{0, 4, 0, 0}, TRect{4, 0, 0, 0}, TRect{8, 4, 0, 0}, TRect{4, 8, 0, 0}})
    EXPECT_EQ(MakeFrame(s, 0, r, img, 1), TFrameResult::OutOfLimit) << r.Left << "," << r.Top;
  // Touching every edge is allowed: (1,1)-(3,3) grown by 1 is (0,0)-(4,4); (6,6)-(8,8) is (5,5)-(9,9).
  EXPECT_EQ(MakeFrame(s, 0, {1, 1, 0, 0}, img, 1), TFrameResult::Accepted);
  EXPECT_EQ(MakeFrame(s, 0, {6, 6, 0, 0}, img, 1), TFrameResult::Accepted);
  EXPECT_EQ(s.Record(0)->FrameRect, (TRect{5, 5, 9, 9}));
}

TEST(MakeFrame, InsideOutRectanglesAndMissingRecordsAreRefused) {
  TSequence s;
  AddRecords(s, 1);
  const TFastDIB img = Picture(10, 10);
  // A negative margin larger than half the object would turn it inside out.
  EXPECT_EQ(MakeFrame(s, 0, {3, 3, 5, 5}, img, -2), TFrameResult::OutOfLimit);
  EXPECT_FALSE(s.Record(0)->HasFrame);
  EXPECT_EQ(MakeFrame(s, 5, {3, 3, 5, 5}, img, 0), TFrameResult::OutOfLimit);
  EXPECT_EQ(MakeFrame(s, -1, {3, 3, 5, 5}, img, 0), TFrameResult::OutOfLimit);
  // A huge margin must not wrap round to a rectangle inside the image.
  s.FrameSizeSet = false;
  EXPECT_EQ(MakeFrame(s, 0, {3, 3, 5, 5}, img, std::numeric_limits<int32_t>::max()), TFrameResult::OutOfLimit);
}

TEST(MakeFrame, FramingTheSquareFoundByDetection) {
  TSequence s;
  AddRecords(s, 1);
  TFastDIB img;
  img.SetSize(10, 10, 24, 0);
  for (int y = 4; y <= 6; ++y)
    for (int x = 4; x <= 6; ++x) img.SetPixel(y, x, {255, 255, 255});
  TRect rect;
  ASSERT_TRUE(DetectObject(img, rect, s, TDetectOptions{}));
  ASSERT_EQ(MakeFrame(s, 0, rect, img, 1), TFrameResult::Accepted);
  EXPECT_EQ(s.Record(0)->FrameRect, (TRect{2, 2, 8, 8}));
}

TEST(AddMargin, GrowsAndStopsAtTheInt32Range) {
  TRect r{3, 4, 5, 6};
  AddMargin(r, 2);
  EXPECT_EQ(r, (TRect{1, 2, 7, 8}));
  AddMargin(r, -1);
  EXPECT_EQ(r, (TRect{2, 3, 6, 7}));
  TRect big{0, 0, 10, 10};
  AddMargin(big, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(big.Left, -std::numeric_limits<int32_t>::max());
  EXPECT_EQ(big.Right, std::numeric_limits<int32_t>::max());
}

TEST(CaptureFramePixels, NeverReadsOutsideTheImage) {
  const TFastDIB img = Picture(10, 10);
  TAviList rec;
  rec.FramePixels.assign(5, 9);
  EXPECT_FALSE(CaptureFramePixels({5, 5, 10, 9}, img, rec));
  EXPECT_FALSE(CaptureFramePixels({-1, 0, 3, 3}, img, rec));
  EXPECT_FALSE(CaptureFramePixels({4, 4, 3, 3}, img, rec));
  EXPECT_FALSE(CaptureFramePixels({0, 0, 0, 0}, TFastDIB{}, rec));
  EXPECT_EQ(rec.FramePixels, TFramePixels(5, 9));  // untouched
  ASSERT_TRUE(CaptureFramePixels({9, 9, 9, 9}, img, rec));
  EXPECT_EQ(rec.FramePixels.size(), 4u);
}

TEST(CaptureFramePixels, ThirtyTwoBitImagesGiveThreeBytesPerPixel) {
  const TFastDIB img = Picture(6, 5, 32);
  TAviList rec;
  ASSERT_TRUE(CaptureFramePixels({1, 2, 3, 4}, img, rec));
  ASSERT_EQ(rec.FramePixels.size(), 3u * 3u * 3u + 1u);
  const TColorBGR last = img.GetPixel(4, 3);
  EXPECT_EQ(rec.FramePixels[24], last.b);
  EXPECT_EQ(rec.FramePixels[25], last.g);
  EXPECT_EQ(rec.FramePixels[26], last.r);
}

TEST(FramePixelsToImage, RoundTripAndRefusals) {
  TSequence s;
  AddRecords(s, 1);
  const TFastDIB img = Picture(12, 9);
  EXPECT_EQ(FramePixelsToImage(nullptr), nullptr);
  EXPECT_EQ(FramePixelsToImage(s.Record(0)), nullptr);
  ASSERT_EQ(MakeFrame(s, 0, {3, 2, 8, 5}, img, 1), TFrameResult::Accepted);
  TAviList& r = *s.Record(0);
  auto out = FramePixelsToImage(&r);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->Width(), 8);
  ASSERT_EQ(out->AbsHeight, 6);
  EXPECT_EQ(out->Bpp(), 24);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(out->GetPixel(y, x), img.GetPixel(y + 1, x + 2));

  r.HasFrame = false;  // an unticked frame box: no picture although the copy stays
  EXPECT_EQ(FramePixelsToImage(&r), nullptr);
  r.HasFrame = true;
  // A block captured for a rectangle of another size is never read as this frame.
  r.FrameRect = {2, 1, 10, 7};
  EXPECT_EQ(FramePixelsToImage(&r), nullptr);
}

TEST(SequenceHasFrame, LooksAtEveryRecord) {
  TSequence s;
  EXPECT_FALSE(SequenceHasFrame(s));
  AddRecords(s, 3);
  EXPECT_FALSE(SequenceHasFrame(s));
  s.Record(2)->HasFrame = true;
  EXPECT_TRUE(SequenceHasFrame(s));
}
