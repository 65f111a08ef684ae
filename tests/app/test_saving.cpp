// SPDX-License-Identifier: GPL-3.0-or-later
// Single and batch saving over a five-image BMP sequence: the files that
// appear, the next number, and the questions asked, one row per situation.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "support/VideoFixtures.h"
#include "app/Saving.h"
#include "platform/Messages.h"
#include "sequence/Sequence.h"

namespace fs = std::filesystem;

namespace {

enum class TBreak { None, CancelAfter2, FolderGoneAfter2, ReadOnlyAfter2, SizeLimit };

struct TSaveCase {
  const char* Name;
  std::string Steps;            // S = single save into out/ as "Temp"; B = batch with Lot
  TLotParams Lot;               // Directory relative to out/
  bool Zero = true, Bitmap = true, Fits = false, Split = false;
  std::set<int> Ticked, Framed;  // image indices
  std::vector<std::string> Existing;    // files made before the steps ("x" in them)
  std::vector<TMsgButton> Answers;
  TBreak Break = TBreak::None;
  std::set<std::string> Files;          // every file of out/ afterwards (existing included)
  int32_t Next;                         // SaveNumber afterwards
  int Asked = 0;                        // questions asked
  bool Fails = false;                   // the last step ends with a failure
};

TLotParams Lot(const char* dir, const char* prefix, int choice, bool inside = false) {
  TLotParams p;
  p.Directory = dir;
  p.Prefix = prefix;
  p.AllImages = choice == 0;
  p.SelectedImages = choice == 1;
  p.FramedImages = choice == 2;
  p.InsideFrame = inside;
  return p;
}

void PrintTo(const TSaveCase& c, std::ostream* os) { *os << c.Name; }

class SavingTest : public ::testing::TestWithParam<TSaveCase> {};

TEST_P(SavingTest, FilesNumberAndQuestions) {
  const TSaveCase& c = GetParam();
  if (c.Break == TBreak::ReadOnlyAfter2 && ::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  fixtures::TTempDir tmp;
  // Five images; image 2 is larger than the others (the file-size limit falls between).
  auto entries = std::make_unique<TBmpEntryList>();
  for (int i = 0; i < 5; ++i) {
    const std::string name = "src" + std::to_string(i) + ".bmp";
    ASSERT_TRUE(fixtures::Pattern24(i == 2 ? 64 : 16, i == 2 ? 48 : 12, i).SaveToFile(tmp.File(name)).ok());
    auto e = std::make_unique<TBMPList>();
    e->SetData(name, "1", "", "16M", "", tmp.Path());
    entries->Add(name, std::move(e));
  }
  TSequence seq;
  seq.BuildBmpSequence(std::move(entries));
  for (int i : c.Ticked) seq.Record(i)->Checked = true;
  for (int i : c.Framed) {
    TAviList& r = *seq.Record(i);
    r.HasFrame = true;
    r.FramePixelsRect = r.FrameRect = TRect{1, 2, 4, 3};  // 4 x 2
    r.FramePixels.assign(4 * 2 * 3 + 1, uint8_t(40 + i));
  }
  const std::string out = tmp.File("out");
  fs::create_directories(out);
  for (const std::string& f : c.Existing) {
    fs::create_directories(fs::path(out + "/" + f).parent_path());
    std::ofstream(out + "/" + f) << "x";
  }
  TParamglob settings;
  settings.numerotation_zero = c.Zero;
  settings.Bitmap = c.Bitmap;
  settings.Fits = c.Fits;
  settings.FITS.SepRVB = c.Split;
  TScriptedMessages msgs;
  msgs.Answers.assign(c.Answers.begin(), c.Answers.end());
  msgs.Fallback = TMsgButton::No;
  TMessagesScope scope(msgs);
  TMessageSaveQuestions questions;

  const TFastDIB current = fixtures::Pattern24(8, 6, 9);
  int32_t number = 1;
  TStatus last;
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (char step : c.Steps) {
    if (step == 'S') {
      last = SaveSingleImage(current, out, "Temp", number, settings, settings.FITS, questions).Status;
      continue;
    }
    TLotParams lot = c.Lot;
    lot.Directory = out + "/" + lot.Directory;
    fs::create_directories(lot.Directory);
    if (c.Break == TBreak::SizeLimit) {
      rlimit lim{4000, saved.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    TBatchSaveHooks hooks;
    int done = 0;
    hooks.Progress = [&](int32_t n) {
      done = n;
      if (n != 2) return;
      if (c.Break == TBreak::FolderGoneAfter2) fs::rename(lot.Directory, out + "/gone");
      if (c.Break == TBreak::ReadOnlyAfter2) fs::permissions(lot.Directory, fs::perms::owner_write, fs::perm_options::remove);
    };
    hooks.Cancelled = [&] { return c.Break == TBreak::CancelAfter2 && done >= 2; };
    const TBatchSaveOutcome r = SaveBatch(seq, lot, number, settings, settings.FITS, questions, hooks);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    if (c.Break == TBreak::ReadOnlyAfter2) fs::permissions(lot.Directory, fs::perms::owner_write, fs::perm_options::add);
    last = r.Status;
    EXPECT_EQ(r.Cancelled, c.Break == TBreak::CancelAfter2);
  }
  std::signal(SIGXFSZ, oldHandler);

  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), out).string());
  EXPECT_EQ(files, c.Files) << "no other file, and no temporary one";
  EXPECT_EQ(number, c.Next);
  EXPECT_EQ(int(msgs.Asked.size()), c.Asked);
  EXPECT_EQ(!last.ok(), c.Fails) << last.Message();
  if (c.Fails) {
    EXPECT_NE(last.Message().find(out), std::string::npos) << "names the file: " << last.Message();
  }
  const bool overwrote = std::count(c.Answers.begin(), c.Answers.end(), TMsgButton::Yes) +
                         std::count(c.Answers.begin(), c.Answers.end(), TMsgButton::All);
  for (const std::string& f : c.Existing) {
    if (!overwrote) {
      EXPECT_EQ(fixtures::ReadFileBytes(out + "/" + f), "x") << f << " kept";
    }
  }
}

using B = TMsgButton;
const TLotParams kAll = Lot("typed/", "Lot", 0);

INSTANTIATE_TEST_SUITE_P(
    Cases, SavingTest,
    ::testing::Values(
        TSaveCase{"TwoSingles", "SS", {}, true, true, false, false, {}, {}, {}, {}, TBreak::None,
                  {"Temp0001.bmp", "Temp0002.bmp"}, 3},
        TSaveCase{"NumberingOff", "S", {}, false, true, false, false, {}, {}, {}, {}, TBreak::None, {"Temp1.bmp"}, 2},
        TSaveCase{"NoKeepsNumber", "S", {}, true, true, false, false, {}, {}, {"Temp0001.bmp"}, {B::No},
                  TBreak::None, {"Temp0001.bmp"}, 1, 1},
        TSaveCase{"YesOverwrites", "S", {}, true, true, false, false, {}, {}, {"Temp0001.bmp"}, {B::Yes},
                  TBreak::None, {"Temp0001.bmp"}, 2, 1},
        TSaveCase{"FitsDeclinedUsesNumber", "S", {}, true, false, true, false, {}, {}, {"Temp0001.fit"}, {B::No},
                  TBreak::None, {"Temp0001.fit"}, 2, 1},
        TSaveCase{"SplitPlanes", "S", {}, true, false, true, true, {}, {}, {}, {}, TBreak::None,
                  {"TempR0001.fit", "TempV0001.fit", "TempB0001.fit"}, 2},
        TSaveCase{"BothFormatsTwoNumbers", "S", {}, true, true, true, false, {}, {}, {}, {}, TBreak::None,
                  {"Temp0001.bmp", "Temp0002.fit"}, 3},
        TSaveCase{"BatchFrom3ThenSingle", "SSBS", kAll, true, true, false, false, {}, {}, {}, {}, TBreak::None,
                  {"Temp0001.bmp", "Temp0002.bmp", "typed/Lot0003.bmp", "typed/Lot0004.bmp", "typed/Lot0005.bmp",
                   "typed/Lot0006.bmp", "typed/Lot0007.bmp", "Temp0008.bmp"},
                  9},
        TSaveCase{"InsideCountsOnlyWithFramed", "B", Lot("", "L", 0, true), true, true, false, false, {}, {1}, {}, {},
                  TBreak::None, {"L0001.bmp", "L0002.bmp", "L0003.bmp", "L0004.bmp", "L0005.bmp"}, 6},
        TSaveCase{"SelectedImages", "B", Lot("", "L", 1), true, true, false, false, {1, 3}, {}, {}, {}, TBreak::None,
                  {"L0001.bmp", "L0002.bmp"}, 3},
        TSaveCase{"FramedWithoutInsideTakesTicked", "B", Lot("", "L", 2), true, true, false, false, {4}, {1}, {}, {},
                  TBreak::None, {"L0001.bmp"}, 2},
        TSaveCase{"CutOutsBmpOnlyWithBoth", "B", Lot("", "L", 2, true), true, true, true, false, {}, {0, 3}, {}, {},
                  TBreak::None, {"L0001.bmp", "L0002.bmp"}, 3},
        TSaveCase{"CutOutsFits", "B", Lot("", "L", 2, true), true, false, true, false, {}, {2}, {}, {},
                  TBreak::None, {"L0001.fit"}, 2},
        TSaveCase{"NoFrameWritesNothing", "B", Lot("", "L", 2, true), true, true, false, false, {0, 1}, {}, {}, {},
                  TBreak::None, {}, 1},
        TSaveCase{"AllOverwritesSilently", "B", Lot("", "L", 0), true, true, false, false, {}, {},
                  {"L0002.bmp", "L0004.bmp"}, {B::All}, TBreak::None,
                  {"L0001.bmp", "L0002.bmp", "L0003.bmp", "L0004.bmp", "L0005.bmp"}, 6, 1},
        TSaveCase{"AbortStopsBatch", "B", Lot("", "L", 0), true, true, false, false, {}, {}, {"L0002.bmp"},
                  {B::Abort}, TBreak::None, {"L0001.bmp", "L0002.bmp"}, 3, 1},
        TSaveCase{"FitsInBatchAsksReplace", "B", Lot("", "L", 0), true, false, true, false, {}, {}, {"L0002.fit"},
                  {B::No}, TBreak::None, {"L0001.fit", "L0002.fit", "L0003.fit", "L0004.fit", "L0005.fit"}, 6, 1},
        TSaveCase{"CancelMidway", "B", Lot("", "L", 0), true, true, false, false, {}, {}, {}, {}, TBreak::CancelAfter2,
                  {"L0001.bmp", "L0002.bmp"}, 3},
        TSaveCase{"FolderGoneMidway", "B", Lot("sub", "L", 0), true, true, false, false, {}, {}, {}, {},
                  TBreak::FolderGoneAfter2, {"gone/L0001.bmp", "gone/L0002.bmp"}, 3, 0, true},
        TSaveCase{"ReadOnlyMidway", "B", Lot("sub", "L", 0), true, true, false, false, {}, {}, {}, {},
                  TBreak::ReadOnlyAfter2, {"sub/L0001.bmp", "sub/L0002.bmp"}, 3, 0, true},
        TSaveCase{"FileSizeLimit", "B", Lot("", "L", 0), true, true, false, false, {}, {}, {}, {}, TBreak::SizeLimit,
                  {"L0001.bmp", "L0002.bmp"}, 3, 0, true}),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(SavingNames, NumberTextAndSeparator) {
  EXPECT_EQ(SaveNumberText(7, true), "0007");
  EXPECT_EQ(SaveNumberText(12345, true), "12345");
  EXPECT_EQ(SaveNumberText(7, false), "7");
  EXPECT_EQ(SaveNumberLabel(7), "0007");
  EXPECT_EQ(SavePath("/img/", "Temp"), "/img/Temp");
  EXPECT_EQ(SavePath("/img", "Temp"), "/img/Temp");
  EXPECT_EQ(OverwriteQuestionText("/a/T1.bmp"), "File/a/T1.bmp allready existe.\rOverwrite this file ?");
}

TEST(SavingCutOut, FrameBytesBecomeRows) {
  TAviList r;
  r.HasFrame = true;
  r.FramePixelsRect = TRect{0, 0, 2, 1};  // 3 x 2
  for (int i = 0; i < 18; ++i) r.FramePixels.push_back(uint8_t(i));
  r.FramePixels.push_back(0);
  TFastDIB cut;
  ASSERT_TRUE(FrameCutOut(r, cut));
  ASSERT_EQ(cut.Width(), 3);
  ASSERT_EQ(cut.AbsHeight, 2);
  EXPECT_EQ(cut.Pixels24(1)[2].b, 15);
  EXPECT_EQ(cut.Pixels24(1)[2].r, 17);
  r.HasFrame = false;
  EXPECT_FALSE(FrameCutOut(r, cut));
}

}  // namespace
