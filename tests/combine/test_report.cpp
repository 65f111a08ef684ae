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

TEST(CombinationReport, NoImagesLeftOutFramesAndWhoTakesPart) {
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
  // Taking part needs the tick, the frame and the pixels.
  for (const auto& [i, checked, frame, pixels] : {std::tuple{0, true, true, true}, {1, true, false, true}, {2, false, true, true}, {3, true, true, false}}) {
    s.Record(i)->Checked = checked;
    s.Record(i)->HasFrame = frame;
    if (pixels) s.Record(i)->FramePixels.assign(4, 0);
  }
  EXPECT_EQ(ImagesTakingPart(s), std::vector<int32_t>{0});
}

TEST(CombinationReport, TextFileNameAndSaving) {
  // The real extension, not 4 characters; a dot in a folder or starting the name is none; never the image itself.
  for (const auto& [image, text] : std::vector<std::pair<std::string, std::string>>{
           {"/tmp/moon.bmp", "/tmp/moon.txt"}, {"moon.fit", "moon.txt"}, {"abc", "abc.txt"}, {"/data/jupiter.fits", "/data/jupiter.txt"},
           {"/data/v1.2/moon", "/data/v1.2/moon.txt"}, {"/data/.hidden", "/data/.hidden.txt"}, {"notes.txt", "notes.txt.txt"}})
    EXPECT_EQ(ReportFileName(image), text);
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
