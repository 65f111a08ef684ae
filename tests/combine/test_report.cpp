// SPDX-License-Identifier: GPL-3.0-or-later
// Combination report lines and problem report rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "combine/Report.h"
#include "sequence/Sequence.h"

namespace {

void AddAvi(TSequence& s, int n) {
  for (int i = 0; i < n; ++i) s.ImageList.Add(TSequence::AviDisplayName(i), std::make_unique<TAviList>());
}

void AddBmp(TSequence& s, const std::string& path) {
  auto rec = std::make_unique<TAviList>();
  rec->IsBmpFile = true;
  rec->FileName = path;
  s.ImageList.Add(std::to_string(s.ImageList.Count() + 1) + " - " + TSequence::FileNameOnly(path), std::move(rec));
}

}  // namespace

TEST(CombinationReport, KappaSigmaOverAFileList) {
  TSequence s;
  s.BmpFileList = std::make_unique<TBmpEntryList>();
  AddBmp(s, "/data/jup/jup001.bmp");
  AddBmp(s, "/data/jup/jup002.bmp");
  AddBmp(s, "/data/jup/jup003.bmp");
  TCombinationReportFacts f;
  f.Title = kReportTitleKappa;
  f.Kappa = 2;
  f.UsedImages = {0, 2};
  EXPECT_EQ(BuildCombinationReport(s, f),
            (std::vector<std::string>{"Result combinaison Kappa-Sigma", "", "Parameter :2", "",
                                      "Images for a BMP image list.", "Total images count :3", "combined images :2",
                                      "", "Images used for combinaison :", " /data/jup/jup001.bmp",
                                      " /data/jup/jup003.bmp"}));
}

TEST(CombinationReport, MeanOverAnAviListsImageNumbers) {
  TSequence s;
  s.AviFileName = "/videos/saturn.avi";
  AddAvi(s, 9);
  TCombinationReportFacts f;
  f.Title = kReportTitleMean;
  f.UsedImages = {1, 6};
  EXPECT_EQ(BuildCombinationReport(s, f),
            (std::vector<std::string>{"Result combinaison by mean", "", "AVI file images :/videos/saturn.avi",
                                      "Total images count :9", "combined images :2", "",
                                      "Images used for combinaison :", "Image2", "Image7"}));
}

TEST(CombinationReport, NoImagesAndLeftOutFrames) {
  TSequence s;
  AddAvi(s, 4);
  TCombinationReportFacts f;
  f.Title = kReportTitleMean;
  auto lines = BuildCombinationReport(s, f);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[4], "combined images :0");
  EXPECT_EQ(lines.back(), "Images used for combinaison :");

  f.UsedImages = {0};
  f.LeftOutImages = {3, 17};  // 17 has no record: skipped
  lines = BuildCombinationReport(s, f);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            (std::vector<std::string>{"Image1", "", "Frames left out (other frame size) :", "Image4"}));
}

TEST(CombinationReport, ImagesTakingPartNeedTickFrameAndPixels) {
  TSequence s;
  AddAvi(s, 4);
  auto set = [&](int i, bool checked, bool frame, bool pixels) {
    TAviList* r = s.Record(i);
    r->Checked = checked;
    r->HasFrame = frame;
    if (pixels) r->FramePixels.assign(4, 0);
  };
  set(0, true, true, true);
  set(1, true, false, true);
  set(2, false, true, true);
  set(3, true, true, false);
  EXPECT_EQ(ImagesTakingPart(s), std::vector<int32_t>{0});
}

TEST(CombinationReport, TextFileNameAndSaving) {
  EXPECT_EQ(ReportFileName("/tmp/moon.bmp"), "/tmp/moon.txt");
  EXPECT_EQ(ReportFileName("moon.fit"), "moon.txt");
  EXPECT_EQ(ReportFileName("abc"), "abc.txt");
  EXPECT_EQ(ReportFileName("/data/jupiter.fits"), "/data/jupiter.txt");  // the real extension, not 4 characters
  EXPECT_EQ(ReportFileName("/data/v1.2/moon"), "/data/v1.2/moon.txt");   // a dot in a folder is no extension
  EXPECT_EQ(ReportFileName("/data/.hidden"), "/data/.hidden.txt");
  EXPECT_EQ(ReportFileName("notes.txt"), "notes.txt.txt");  // never the image itself
  const auto path = std::filesystem::temp_directory_path() / "stellon-report-test.txt";
  ASSERT_TRUE(SaveReportLines({"Result combinaison by mean", "", "Image3"}, path.string()));
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Result combinaison by mean\n\nImage3\n");
  std::filesystem::remove(path);
  EXPECT_FALSE(SaveReportLines({"x"}, "/nonexistent-dir-stellon/r.txt"));
}

TEST(ProblemReport, RowsNumberImagesFromOne) {
  const auto rows = MakeProblemRows({{1, TFrameProblemKind::NotFound}, {11, TFrameProblemKind::OutOfLimit}});
  EXPECT_EQ(rows, (std::vector<TProblemRow>{{"Image 2", "Impossible to draw frame"},
                                            {"Image 12", "Frame out of limit"}}));
}
