// SPDX-License-Identifier: GPL-3.0-or-later
// Which records of a sequence take part in a combination, the result's size,
// and frames captured at another size.
#include <gtest/gtest.h>

#include <memory>

#include "combine/Combine.h"
#include "sequence/FrameBlockPool.h"
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
  void TearDown() override { SetFrameBlockBudget(DefaultFrameBlockBudget()); }
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

TEST_F(CombineSequence, ResultHasTheFrameSizeAndEveryPixelIsComputed) {
  Params.bordure = 0;
  Seq.FrameWidth = Seq.FrameHeight = 4;
  // Copies in memory, then copies kept in the frame-copy file (a budget of one
  // byte), which the combinations read from there in bands of rows.
  for (const size_t budget : {DefaultFrameBlockBudget(), size_t(1)}) {
    SetFrameBlockBudget(budget);
    Seq.ImageList.Clear();
    auto a = Record(true, true, 5, 5, {});
    auto b = Record(true, true, 5, 5, {});
    // A gradient, so that a swapped row or column would show.
    for (int i = 0; i < 25; ++i) {
      a->FramePixels[size_t(i) * 3 + 2] = uint8_t(i * 10);
      b->FramePixels[size_t(i) * 3 + 2] = uint8_t(i * 10 + 2);
    }
    EXPECT_EQ(FrameBlockInFile(b->FramePixels.data()), budget == 1);
    Add(std::move(a));
    Add(std::move(b));
    TCombineOutcome mean = MeanCombine(Seq, Params);
    TCombineOutcome kappa = KappaSigmaCombine(Seq, Params);
    ASSERT_EQ(mean.Image->Width(), 5);
    ASSERT_EQ(mean.Image->AbsHeight, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(mean.Image->GetPixel(y, x).r, (y * 5 + x) * 10 + 1);
        EXPECT_EQ(kappa.Image->GetPixel(y, x).r, (y * 5 + x) * 10 + 1);
      }
  }
}

TEST_F(CombineSequence, NoImageTakingPartGivesABlackResultOfTheFrameSize) {
  Add(Record(false, true, 7, 5, {50, 50, 50}));
  TCombineOutcome o = KappaSigmaCombine(Seq, Params);
  ASSERT_TRUE(o.Image);
  EXPECT_EQ(o.Count(), 0);
  EXPECT_EQ(o.Image->Width(), 7);
  EXPECT_EQ(o.Image->GetPixel(4, 6), TColorBGR{});
}

TEST_F(CombineSequence, RejectionFollowsTheGivenParams) {
  // Kappa 1 on two different colours rejects both; rejet_kappa gives their mean.
  Seq.FrameWidth = Seq.FrameHeight = 0;  // 1 x 1 frames with margin 0
  Add(Record(true, true, 1, 1, {0, 0, 100}));
  Add(Record(true, true, 1, 1, {0, 0, 200}));
  TCombineParams p;
  p.bordure = 0;
  p.kappa = 1;
  p.rejet_kappa = true;
  TCombineOutcome o = KappaSigmaCombine(Seq, p);
  ASSERT_TRUE(o.Image);
  EXPECT_EQ(o.Image->GetPixel(0, 0), (TColorBGR{0, 0, 150}));
  p.rejet_kappa = false;
  EXPECT_EQ(KappaSigmaCombine(Seq, p).Image->GetPixel(0, 0), TColorBGR{});
}

TEST_F(CombineSequence, CancelGivesNoResult) {
  Add(Record(true, true, 7, 5, {1, 2, 3}));
  TCombineCallbacks cb;
  int rows = 0;
  cb.Cancelled = [&] { return rows == 2; };
  cb.Progress = [&](int p) { rows = p; };
  TCombineOutcome o = MeanCombine(Seq, Params, cb);
  EXPECT_TRUE(o.Cancelled);
  EXPECT_FALSE(o.Image);
  EXPECT_EQ(rows, 2);
}

}  // namespace
