// SPDX-License-Identifier: GPL-3.0-or-later
// Which records of a sequence take part in a combination, the result's size, frames captured at another
// size; the combination report's lines and file, the problem report's rows.
#include <gtest/gtest.h>

#include <optional>

#include "combine/Combine.h"
#include "combine/Report.h"
#include "sequence/FrameBlockPool.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

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
    EXPECT_EQ(o.WrongSize, (std::vector<int>{3, 5, 7}));
    ASSERT_EQ(std::make_pair(o.Image->Width(), o.Image->AbsHeight), std::make_pair(7, 5));
    // Images 0 and 6 only (10.5 gives 10 truncated and rounded half to even); any other pulls towards 200.
    const TColorBGR want{10, 20, 30};
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(o.Image->GetPixel(y, x), want) << x << "," << y;
  }
}

// A gradient (a swapped row or column shows); kappa 1 over two colours rejects both, rejet_kappa gives their
// mean. Copies in memory, then in the frame-copy file (a budget of one byte), read from there in bands of rows.
TEST_F(CombineSequence, ResultHasTheFrameSizeAndFollowsTheParams) {
  Params.bordure = 0;
  Seq.FrameWidth = Seq.FrameHeight = 4;
  for (const size_t budget : {DefaultFrameBlockBudget(), size_t(1)}) {
    SetFrameBlockBudget(budget);
    Seq.ImageList.Clear();
    for (int k = 0; k < 2; ++k) {
      auto r = Record(true, true, 5, 5, {});
      for (int i = 0; i < 25; ++i) r->FramePixels[size_t(i) * 3 + 2] = uint8_t(i * 9 + 20 * k);
      EXPECT_EQ(FrameBlockInFile(r->FramePixels.data()), budget == 1);
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

void AddAvi(TSequence& s, int n) {
  for (int i = 0; i < n; ++i) s.ImageList.Add(TSequence::AviDisplayName(i), std::make_unique<TAviList>());
}

void AddBmp(TSequence& s, const std::string& path) {
  auto rec = std::make_unique<TAviList>();
  rec->IsBmpFile = true;
  rec->FileName = path;
  s.ImageList.Add(std::to_string(s.ImageList.Count() + 1) + " - " + TSequence::FileNameOnly(path), std::move(rec));
}

// The report's lines over a file list and over an AVI's image numbers, none used, frames left out.
TEST(CombinationReport, Lines) {
  TSequence bmp, avi;
  bmp.BmpFileList = std::make_unique<TBmpEntryList>();
  for (const char* name : {"/data/jup/jup001.bmp", "/data/jup/jup002.bmp", "/data/jup/jup003.bmp"}) AddBmp(bmp, name);
  avi.AviFileName = "/videos/saturn.avi";
  AddAvi(avi, 9);
  const std::vector<std::string> aviHead{"Result combinaison by mean", "", "AVI file images :/videos/saturn.avi", "Total images count :9"};
  struct { const TSequence& S; std::optional<int32_t> Kappa; std::vector<int> Used, LeftOut; std::vector<std::string> Tail; } cases[] = {
      {bmp, 2, {0, 2}, {}, {"Images for a BMP image list.", "Total images count :3", "combined images :2", "", "Images used for combinaison :",
                            " /data/jup/jup001.bmp", " /data/jup/jup003.bmp"}},
      {avi, {}, {1, 6}, {}, {"combined images :2", "", "Images used for combinaison :", "Image2", "Image7"}},
      {avi, {}, {}, {}, {"combined images :0", "", "Images used for combinaison :"}},
      // 17 has no record: skipped
      {avi, {}, {0}, {3, 17},
       {"combined images :1", "", "Images used for combinaison :", "Image1", "", "Frames left out (other frame size) :", "Image4"}},
  };
  for (const auto& c : cases) {
    TCombinationReportFacts f;
    f.Title = c.Kappa ? kReportTitleKappa : kReportTitleMean;
    f.Kappa = c.Kappa, f.UsedImages = c.Used, f.LeftOutImages = c.LeftOut;
    std::vector<std::string> want = c.Kappa ? std::vector<std::string>{"Result combinaison Kappa-Sigma", "", "Parameter :2", ""} : aviHead;
    want.insert(want.end(), c.Tail.begin(), c.Tail.end());
    EXPECT_EQ(BuildCombinationReport(c.S, f), want);
  }
}

TEST(CombinationReport, TextFileNameAndSaving) {
  // The real extension, not 4 characters; a dot in a folder or starting the name is none; never the image itself.
  for (const auto& [image, text] : std::vector<std::pair<std::string, std::string>>{
           {"/tmp/moon.bmp", "/tmp/moon.txt"}, {"moon.fit", "moon.txt"}, {"abc", "abc.txt"}, {"/data/jupiter.fits", "/data/jupiter.txt"},
           {"/data/v1.2/moon", "/data/v1.2/moon.txt"}, {"/data/.hidden", "/data/.hidden.txt"}, {"notes.txt", "notes.txt.txt"}})
    EXPECT_EQ(ReportFileName(image), text);
  fixtures::TTempDir dir;
  ASSERT_TRUE(SaveReportLines({"Result combinaison by mean", "", "Image3"}, dir.File("r.txt")));
  EXPECT_EQ(fixtures::ReadFileBytes(dir.File("r.txt")), "Result combinaison by mean\n\nImage3\n");
  EXPECT_FALSE(SaveReportLines({"x"}, "/nonexistent-dir-stellon/r.txt"));
}

TEST(ProblemReport, RowsNumberImagesFromOne) {
  const auto rows = MakeProblemRows({{1, TFrameProblemKind::NotFound}, {11, TFrameProblemKind::OutOfLimit}});
  EXPECT_EQ(rows, (std::vector<TProblemRow>{{"Image 2", "Impossible to draw frame"},
                                            {"Image 12", "Frame out of limit"}}));
}

}  // namespace
