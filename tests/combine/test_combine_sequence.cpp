// SPDX-License-Identifier: GPL-3.0-or-later
// Which records of a sequence take part in a combination, the result's size,
// and frames captured at another size.
#include <gtest/gtest.h>

#include <memory>

#include "combine/Combine.h"
#include "sequence/Sequence.h"

namespace {

// A record whose frame at (left, top), w x h pixels, is filled with `c`.
std::unique_ptr<TAviList> Record(bool checked, bool framed, int w, int h, TColorBGR c) {
  auto r = std::make_unique<TAviList>();
  r->Checked = checked;
  r->HasFrame = framed;
  r->FrameRect = r->FramePixelsRect = TRect{10, 20, 10 + w - 1, 20 + h - 1};
  r->FramePixels.assign(size_t(w) * h * 3 + 1, 0);
  for (int i = 0; i < w * h; ++i) {
    r->FramePixels[size_t(i) * 3] = c.b;
    r->FramePixels[size_t(i) * 3 + 1] = c.g;
    r->FramePixels[size_t(i) * 3 + 2] = c.r;
  }
  return r;
}

class CombineSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    Seq.FrameSizeSet = true;
    Seq.FrameWidth = 4;   // object 5 pixels wide
    Seq.FrameHeight = 2;  // 3 high
    Params.bordure = 1;   // frames of 7 x 5
  }
  void Add(std::unique_ptr<TAviList> r) {
    Seq.ImageList.Add(TSequence::AviDisplayName(Seq.ImageList.Count()), std::move(r));
  }
  TSequence Seq;
  TCombineParams Params;
};

TEST_F(CombineSequence, OnlyTickedFramedRecordsWithPixelsOfTheFrameSizeTakePart) {
  Add(Record(true, true, 7, 5, {10, 20, 30}));    // 0: takes part
  Add(Record(true, false, 7, 5, {200, 200, 200}));  // 1: ticked, no frame
  Add(Record(false, true, 7, 5, {200, 200, 200}));  // 2: framed, not ticked
  Add(Record(true, true, 9, 7, {200, 200, 200}));   // 3: captured with a larger margin
  auto noPixels = Record(true, true, 7, 5, {});
  noPixels->FramePixels.clear();
  Add(std::move(noPixels));                         // 4: no pixel copy
  auto shortBlock = Record(true, true, 7, 5, {200, 200, 200});
  shortBlock->FramePixels.resize(7 * 5 * 3 - 3);
  Add(std::move(shortBlock));                       // 5: block shorter than its rectangle says
  Add(Record(true, true, 7, 5, {11, 21, 31}));    // 6: takes part
  Add(Record(true, true, 5, 7, {200, 200, 200}));   // 7: same byte count, other shape

  for (int kind = 0; kind < 2; ++kind) {
    Params.kappa = 3;
    TCombineOutcome o = kind ? KappaSigmaCombine(Seq, Params) : MeanCombine(Seq, Params);
    ASSERT_TRUE(o.Image);
    EXPECT_FALSE(o.Cancelled);
    EXPECT_EQ(o.Used, (std::vector<int>{0, 6}));
    EXPECT_EQ(o.Count(), 2);
    EXPECT_EQ(o.WrongSize, (std::vector<int>{3, 5, 7}));
    ASSERT_EQ(o.Image->Width(), 7);
    ASSERT_EQ(o.Image->AbsHeight, 5);
    // Images 0 and 6 only: 10.5, 20.5 and 30.5 give 10, 20, 30 both truncated
    // (mean) and rounded half to even (kappa-sigma); any other image would pull
    // the mean towards 200.
    const TColorBGR want{10, 20, 30};
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(o.Image->GetPixel(y, x), want) << x << "," << y;
  }
}

// A gradient, so that a swapped row or column would show; kappa 1 over two different colours rejects both,
// and rejet_kappa gives their mean.
TEST_F(CombineSequence, ResultHasTheFrameSizeAndFollowsTheParams) {
  Params.bordure = 0;
  Seq.FrameWidth = Seq.FrameHeight = 4;
  for (int k = 0; k < 2; ++k) {
    auto r = Record(true, true, 5, 5, {});
    for (int i = 0; i < 25; ++i) r->FramePixels[size_t(i) * 3 + 2] = uint8_t(i * 9 + 20 * k);
    Add(std::move(r));
  }
  for (const auto& [kappa, rejet, offset] : {std::tuple{0, false, 10}, {3, false, 10}, {1, false, -1}, {1, true, 10}}) {
    Params.kappa = kappa;
    Params.rejet_kappa = rejet;
    TCombineOutcome o = kappa ? KappaSigmaCombine(Seq, Params) : MeanCombine(Seq, Params);
    ASSERT_EQ(std::make_pair(o.Image->Width(), o.Image->AbsHeight), std::make_pair(5, 5));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(o.Image->GetPixel(y, x).r, offset < 0 ? 0 : (y * 5 + x) * 9 + offset) << kappa << rejet;
  }
}

TEST_F(CombineSequence, NoImageGivesBlackOfTheFrameSizeAndCancelNoResult) {
  Add(Record(false, true, 7, 5, {50, 50, 50}));
  TCombineOutcome o = KappaSigmaCombine(Seq, Params);
  ASSERT_TRUE(o.Image);
  EXPECT_EQ(o.Count(), 0);
  EXPECT_EQ(o.Image->Width(), 7);
  EXPECT_EQ(o.Image->GetPixel(4, 6), TColorBGR{});
  Add(Record(true, true, 7, 5, {1, 2, 3}));
  TCombineCallbacks cb;
  int rows = 0;
  cb.Cancelled = [&] { return rows == 2; };
  cb.Progress = [&](int p) { rows = p; };
  o = MeanCombine(Seq, Params, cb);
  EXPECT_TRUE(o.Cancelled);
  EXPECT_FALSE(o.Image);
  EXPECT_EQ(rows, 2);
}

}  // namespace
