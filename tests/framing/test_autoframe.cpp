// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic framing and margin rebuilding over sequences of BMP files written
// for each test: rows, hooks, cancel, what each image is left with.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framing/AutoFrame.h"
#include "framing/Frame.h"
#include "sequence/Sequence.h"

namespace fs = std::filesystem;

namespace {

// A planet-like picture: dark background with a bright rectangle (x0..x1,
// y0..y1 inclusive), or none when x1 < x0.
TFastDIB Scene(int w, int h, int x0, int y0, int x1, int y1) {
  TFastDIB d;
  d.SetSize(w, h, 24, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool in = x >= x0 && x <= x1 && y >= y0 && y <= y1;
      d.SetPixel(y, x, in ? TColorBGR{180, 200, 220} : TColorBGR{5, 8, 10});
    }
  return d;
}

class AutoFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir_ = fs::temp_directory_path() /
           ("stellon-autoframe-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir_);
    fs::create_directories(Dir_);
    Params_.AutoTolerance = false;
    Params_.ComplexMode = false;
    Params_.bordure = 2;
    Seq_.Tolerance = 30;
  }
  void TearDown() override { fs::remove_all(Dir_); }

  // Adds one image to the sequence as a BMP file record.
  void Add(const TFastDIB& picture) {
    const int i = Seq_.ImageList.Count();
    const std::string path = (Dir_ / ("img" + std::to_string(i) + ".bmp")).string();
    ASSERT_TRUE(picture.SaveToFile(path));
    AddMissing(path);
  }
  // The sequence is built again over every file added so far.
  void AddMissing(const std::string& path) {
    Paths_.push_back(path);
    auto entries = std::make_unique<TBmpEntryList>();
    for (const std::string& p : Paths_) {
      auto e = std::make_unique<TBMPList>();
      const std::string name = fs::path(p).filename().string();
      e->SetData(name, "", "", "", "", fs::path(p).parent_path().string());
      entries->Add(name, std::move(e));
    }
    Seq_.BuildBmpSequence(std::move(entries));
  }
  TAviList& Rec(int i) { return *Seq_.Record(i); }

  fs::path Dir_;
  std::vector<std::string> Paths_;
  TSequence Seq_;
  TAutoFrameOptions Params_;
};

}  // namespace

TEST_F(AutoFrameTest, EmptyImageInTheMiddleGivesOneRowAndTheOthersAreFramed) {
  Add(Scene(40, 30, 10, 8, 19, 15));
  Add(Scene(40, 30, 0, 0, -1, -1));
  Add(Scene(40, 30, 14, 10, 25, 20));  // larger: gets the first image's size
  Seq_.CurrentIndex = 1;

  std::vector<std::string> events;
  TAutoFrameHooks hooks;
  hooks.Cancelled = [&] { events.push_back("cancel?"); return false; };
  hooks.Progress = [&](int p) { events.push_back("progress " + std::to_string(p)); };
  hooks.Framed = [&](int i) { events.push_back("framed " + std::to_string(i)); };
  hooks.Problem = [&](const TFrameProblem& p) {
    events.push_back("problem " + std::to_string(p.Index) + " " + FrameProblemText(p.Kind));
  };
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_, hooks);

  EXPECT_EQ(res.Problems, (std::vector<TFrameProblem>{{1, TFrameProblemKind::NotFound}}));
  EXPECT_EQ(res.Done, 3);
  EXPECT_FALSE(res.Cancelled);
  EXPECT_EQ(events, (std::vector<std::string>{"cancel?", "framed 0", "progress 1", "cancel?",
                                              "problem 1 Impossible to draw frame", "progress 2", "cancel?",
                                              "framed 2", "progress 3"}));
  EXPECT_EQ(Seq_.CurrentIndex, 1);
  EXPECT_EQ(Seq_.FrameWidth, 11);  // (9,7)-(20,16): the dark ring around the object
  EXPECT_EQ(Seq_.FrameHeight, 9);
  EXPECT_EQ(Rec(0).FrameRect, (TRect{7, 5, 22, 18}));
  EXPECT_EQ(Rec(2).FrameRect, (TRect{11, 7, 26, 20}));
  for (int i : {0, 2}) {
    EXPECT_TRUE(Rec(i).HasFrame);
    EXPECT_TRUE(Rec(i).Checked);
    EXPECT_EQ(Rec(i).FramePixels.size(), 16u * 14u * 3u + 1u);
  }
  EXPECT_FALSE(Rec(1).HasFrame);
  EXPECT_FALSE(Rec(1).Checked);
}

TEST_F(AutoFrameTest, FirstImageOutOfLimitStillFixesTheSize) {
  Add(Scene(40, 30, 1, 10, 6, 14));    // (0,9)-(7,15): the margin leaves the image
  Add(Scene(40, 30, 15, 10, 30, 25));  // larger object
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  EXPECT_EQ(res.Problems, (std::vector<TFrameProblem>{{0, TFrameProblemKind::OutOfLimit}}));
  EXPECT_EQ(Seq_.FrameWidth, 7);
  EXPECT_EQ(Seq_.FrameHeight, 6);
  EXPECT_EQ(Rec(0).ObjectRect, (TRect{0, 9, 7, 15}));
  EXPECT_FALSE(Rec(0).HasFrame);
  EXPECT_EQ(Rec(1).ObjectRect, (TRect{14, 9, 21, 15}));
  EXPECT_EQ(Rec(1).FrameRect, (TRect{12, 7, 23, 17}));
}

TEST_F(AutoFrameTest, OutOfLimitKeepsAnOlderFrameButRecordsTheNewObject) {
  Add(Scene(40, 30, 10, 10, 15, 15));
  Add(Scene(40, 30, 33, 10, 37, 15));  // (32,9)-(38,16) + 2 leaves on the right
  Rec(1).HasFrame = true;
  Rec(1).Checked = true;
  Rec(1).FrameRect = {1, 1, 5, 5};
  Rec(1).FramePixels.assign(76, 7);
  Rec(1).FramePixelsRect = {1, 1, 5, 5};
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  ASSERT_EQ(res.Problems.size(), 1u);
  EXPECT_EQ(res.Problems[0].Kind, TFrameProblemKind::OutOfLimit);
  EXPECT_TRUE(Rec(1).HasFrame);
  EXPECT_EQ(Rec(1).FrameRect, (TRect{1, 1, 5, 5}));
  EXPECT_EQ(Rec(1).FramePixels, TFramePixels(76, 7));
  EXPECT_EQ(Rec(1).ObjectRect, (TRect{32, 9, 39, 16}));  // normalised to the run's 7 x 7
}

TEST_F(AutoFrameTest, CancelStopsBeforeTheNextImage) {
  for (int i = 0; i < 4; ++i) Add(Scene(30, 20, 5 + i, 5, 10 + i, 9));
  int asked = 0;
  std::vector<int> progress;
  TAutoFrameHooks hooks;
  hooks.Cancelled = [&] { return ++asked > 2; };
  hooks.Progress = [&](int p) { progress.push_back(p); };
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_, hooks);
  EXPECT_TRUE(res.Cancelled);
  EXPECT_EQ(res.Done, 2);
  EXPECT_EQ(progress, (std::vector<int>{1, 2}));
  EXPECT_TRUE(Rec(0).HasFrame);
  EXPECT_TRUE(Rec(1).HasFrame);
  EXPECT_FALSE(Rec(2).HasFrame);
  EXPECT_FALSE(Rec(3).HasFrame);
}

TEST_F(AutoFrameTest, UnreadableImageCountsAsNotFoundAndTheRunGoesOn) {
  Add(Scene(30, 20, 5, 5, 10, 9));
  AddMissing((Dir_ / "gone.bmp").string());
  Add(Scene(30, 20, 6, 6, 11, 10));
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  EXPECT_EQ(res.Problems, (std::vector<TFrameProblem>{{1, TFrameProblemKind::NotFound}}));
  EXPECT_TRUE(Rec(2).HasFrame);
}

TEST_F(AutoFrameTest, AutomaticToleranceKeepsTheLastImagesThreshold) {
  Add(Scene(10, 10, 3, 3, 5, 5));
  TFastDIB last = Scene(10, 10, 0, 0, -1, -1);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) last.SetPixel(y, x, {0, 0, 0});
  last.SetPixel(3, 3, {255, 255, 255});  // one pixel in a hundred: threshold 52
  Add(last);
  Params_.AutoTolerance = true;
  Seq_.Tolerance = 200;
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  EXPECT_EQ(Seq_.Tolerance, 52);
  EXPECT_TRUE(Rec(0).HasFrame);  // found with its own threshold, not 200
  EXPECT_TRUE(res.Problems.empty());
}

TEST_F(AutoFrameTest, EmptySequenceDoesNothing) {
  const TAutoFrameResult res = AutoFrameAll(Seq_, Params_);
  EXPECT_EQ(res.Done, 0);
  EXPECT_TRUE(res.Problems.empty());
  EXPECT_TRUE(RebuildFrameMargins(Seq_, 5).empty());
}

TEST_F(AutoFrameTest, RebuildingWithALargerMarginDropsTheFrameThatLeaves) {
  Add(Scene(40, 30, 10, 10, 15, 15));
  Add(Scene(40, 30, 3, 10, 8, 15));  // near the left edge
  Add(Scene(40, 30, 20, 8, 25, 13));
  Add(Scene(40, 30, 0, 0, -1, -1));  // no frame: never looked at
  ASSERT_TRUE(AutoFrameAll(Seq_, Params_).Problems.size() == 1);
  Rec(2).Checked = false;  // unticked by the user: stays so
  Seq_.CurrentIndex = 3;
  std::vector<int> unticked;
  const auto rows = RebuildFrameMargins(Seq_, 3, [&](int i) { unticked.push_back(i); });
  EXPECT_EQ(rows, (std::vector<TFrameProblem>{{1, TFrameProblemKind::OutOfLimit}}));
  EXPECT_EQ(unticked, std::vector<int>{1});
  EXPECT_EQ(Seq_.CurrentIndex, 3);
  EXPECT_FALSE(Rec(1).HasFrame);
  EXPECT_FALSE(Rec(1).Checked);
  EXPECT_TRUE(Rec(1).HasFramePixels());  // the old copy stays
  for (int i : {0, 2}) {
    const TRect& o = Rec(i).ObjectRect;
    EXPECT_TRUE(Rec(i).HasFrame);
    EXPECT_EQ(Rec(i).FrameRect, (TRect{o.Left - 3, o.Top - 3, o.Right + 3, o.Bottom + 3}));
    EXPECT_EQ(Rec(i).FramePixelsRect, Rec(i).FrameRect);
    EXPECT_EQ(Rec(i).FramePixels.size(), FramePixelsBytes(Rec(i).FrameRect));
  }
  EXPECT_TRUE(Rec(0).Checked);
  EXPECT_FALSE(Rec(2).Checked);
  EXPECT_EQ(Seq_.FrameWidth, 7);  // the size never changes in a rebuild

  // The new copy holds the pixels of the new rectangle.
  auto pic = FramePixelsToImage(&Rec(0));
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->GetPixel(4, 4), (TColorBGR{180, 200, 220}));
  EXPECT_EQ(pic->GetPixel(0, 0), (TColorBGR{5, 8, 10}));
}
