// SPDX-License-Identifier: GPL-3.0-or-later
// Single and batch saving over a five-image BMP sequence: files and contents, next number, questions, failures.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <csignal>
#include <filesystem>
#include <set>
#include "app/Saving.h"
#include "platform/Messages.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;
using namespace fixtures;

namespace {

enum class TBreak { None, CancelAfter2, FolderGoneAfter2, SizeLimit };
enum { kAll, kSelected, kFramed };

TLotParams Lot(int choice, bool inside = false, const char* dir = "", const char* prefix = "L") {
  return {dir, prefix, choice == kAll, choice == kSelected, choice == kFramed, inside};
}

struct TSaveCase {
  const char* Name = "";
  const char* Steps = "";        // S: a single save into out/ as "Temp"; B: a batch with Lot
  TLotParams Lot = {};           // Directory relative to out/
  const char* Formats = "bmp";   // of the settings: bmp, fit, split (one FITS per colour), nozero
  std::set<int> Ticked = {}, Framed = {};
  std::vector<std::string> Existing = {};  // files made beforehand, holding "x"
  std::vector<TMsgButton> Answers = {};
  TBreak Break = TBreak::None;
  // Every file of out/ afterwards, with what it holds after "=": x (as before), c (the current image),
  // 0-4 (that image), k0-k4 (that image's frame contents); FITS contents are not checked.
  std::vector<std::string> Files = {};
  int32_t Next = 1;   // the number afterwards
  int Asked = 0;      // questions asked
  bool Fails = false;  // the last step ends with a failure naming the file
};

void PrintTo(const TSaveCase& c, std::ostream* os) { *os << c.Name; }

// The pixels a file must hold, top-down BGR: the current image, an image of the sequence, a frame's contents.
std::vector<uint8_t> FramePixels(int i) {
  std::vector<uint8_t> px(4 * 2 * 3 + 1);
  for (size_t j = 0; j < px.size(); ++j) px[j] = uint8_t(40 + 30 * i + int(j));
  return px;
}
TFastDIB Source(int i) { return Pattern24(i == 2 ? 64 : 16, i == 2 ? 48 : 12, i); }  // image 2 passes the size limit

class SavingTest : public ::testing::TestWithParam<TSaveCase> {};

TEST_P(SavingTest, FilesContentsNumberAndQuestions) {
  const TSaveCase& c = GetParam();
  TTempDir tmp;
  auto entries = std::make_unique<TBmpEntryList>();
  for (int i = 0; i < 5; ++i) {
    const std::string name = "src" + std::to_string(i) + ".bmp";
    ASSERT_TRUE(Source(i).SaveToFile(tmp.File(name)).ok());
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
    const std::vector<uint8_t> px = FramePixels(i);
    r.FramePixels.assign(px.begin(), px.end());
  }
  const std::string out = tmp.File("out");
  fs::create_directories(out);
  for (const std::string& f : c.Existing) WriteFileBytes(out + "/" + f, "x");
  TParamglob settings;
  const std::string formats = c.Formats;
  settings.numerotation_zero = formats.find("nozero") == std::string::npos;
  settings.Bitmap = formats.find("bmp") != std::string::npos;
  settings.Fits = formats.find("fit") != std::string::npos || formats.find("split") != std::string::npos;
  settings.FITS.SepRVB = formats.find("split") != std::string::npos;
  TScriptedMessages msgs;
  msgs.Answers.assign(c.Answers.begin(), c.Answers.end());
  msgs.Fallback = TMsgButton::No;
  TMessagesScope scope(msgs);
  TMessageSaveQuestions questions;
  const TFastDIB current = Pattern24(8, 6, 9);
  int32_t number = 1;
  TStatus last;
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (char step : std::string(c.Steps)) {
    if (step == 'S') {
      last = SaveSingleImage(current, out, "Temp", number, settings, settings.FITS, questions).Status;
      continue;
    }
    TLotParams lot = c.Lot;
    lot.Directory = out + "/" + lot.Directory;
    fs::create_directories(lot.Directory);
    const rlimit small{4000, saved.rlim_max};
    if (c.Break == TBreak::SizeLimit) ::setrlimit(RLIMIT_FSIZE, &small);
    TBatchSaveHooks hooks;
    int done = 0;
    hooks.Progress = [&](int32_t n) {
      done = n;
      if (n == 2 && c.Break == TBreak::FolderGoneAfter2) fs::rename(lot.Directory, out + "/gone");
    };
    hooks.Cancelled = [&] { return c.Break == TBreak::CancelAfter2 && done >= 2; };
    const TBatchSaveOutcome r = SaveBatch(seq, lot, number, settings, settings.FITS, questions, hooks);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    last = r.Status;
    EXPECT_EQ(r.Cancelled, c.Break == TBreak::CancelAfter2);
  }
  std::signal(SIGXFSZ, oldHandler);
  std::set<std::string> files;  // every file of out/: those expected are taken off
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), out).string());
  for (const std::string& f : c.Files) {
    const size_t eq = f.find('=');
    EXPECT_TRUE(files.erase(f.substr(0, eq))) << f << " missing";
    if (eq == std::string::npos) continue;
    const std::string path = out + "/" + f.substr(0, eq), holds = f.substr(eq + 1);
    if (holds == "x") {
      EXPECT_EQ(ReadFileBytes(path), "x") << f;
      continue;
    }
    TFastDIB img;
    ASSERT_TRUE(img.LoadFromFile(path)) << f;
    std::vector<uint8_t> want;
    if (holds == "c") want = PackedBgr(current);
    else if (holds[0] == 'k') want = FramePixels(holds[1] - '0'), want.pop_back();
    else want = PackedBgr(Source(holds[0] - '0'));
    EXPECT_TRUE(PackedBgr(img) == want) << f;
  }
  for (const std::string& name : files) ADD_FAILURE() << name << " written too";  // nor any temporary file
  EXPECT_EQ(number, c.Next);
  EXPECT_EQ(int(msgs.Asked.size()), c.Asked);
  EXPECT_EQ(!last.ok(), c.Fails) << last.Message();
  EXPECT_TRUE(!c.Fails || last.Message().find(out) != std::string::npos) << "names the file: " << last.Message();
}

using B = TMsgButton;
INSTANTIATE_TEST_SUITE_P(
    Cases, SavingTest,
    ::testing::Values(
        TSaveCase{.Name = "NumberingOff", .Steps = "S", .Formats = "bmp nozero", .Files = {"Temp1.bmp=c"}, .Next = 2},
        TSaveCase{.Name = "NoKeepsNumber", .Steps = "S", .Existing = {"Temp0001.bmp"}, .Answers = {B::No},
                  .Files = {"Temp0001.bmp=x"}, .Next = 1, .Asked = 1},
        TSaveCase{.Name = "YesOverwrites", .Steps = "S", .Existing = {"Temp0001.bmp"}, .Answers = {B::Yes},
                  .Files = {"Temp0001.bmp=c"}, .Next = 2, .Asked = 1},
        TSaveCase{.Name = "FitsDeclinedUsesNumber", .Steps = "S", .Formats = "fit", .Existing = {"Temp0001.fit"},
                  .Answers = {B::No}, .Files = {"Temp0001.fit=x"}, .Next = 2, .Asked = 1},
        TSaveCase{.Name = "SplitPlanes", .Steps = "S", .Formats = "split",
                  .Files = {"TempR0001.fit", "TempV0001.fit", "TempB0001.fit"}, .Next = 2},
        TSaveCase{.Name = "BothFormatsTwoNumbers", .Steps = "S", .Formats = "bmp fit",
                  .Files = {"Temp0001.bmp=c", "Temp0002.fit"}, .Next = 3},
        TSaveCase{.Name = "BatchFrom3ThenSingle", .Steps = "SSBS", .Lot = Lot(kAll, false, "typed/", "Lot"),
                  .Files = {"Temp0001.bmp=c", "Temp0002.bmp=c", "typed/Lot0003.bmp=0", "typed/Lot0004.bmp=1",
                            "typed/Lot0005.bmp=2", "typed/Lot0006.bmp=3", "typed/Lot0007.bmp=4", "Temp0008.bmp"},
                  .Next = 9},
        TSaveCase{.Name = "InsideCountsOnlyWithFramed", .Steps = "B", .Lot = Lot(kAll, true), .Framed = {1},
                  .Files = {"L0001.bmp=0", "L0002.bmp=1", "L0003.bmp=2", "L0004.bmp=3", "L0005.bmp=4"}, .Next = 6},
        TSaveCase{.Name = "SelectedImages", .Steps = "B", .Lot = Lot(kSelected), .Ticked = {1, 3},
                  .Files = {"L0001.bmp=1", "L0002.bmp=3"}, .Next = 3},
        TSaveCase{.Name = "FramedWithoutInsideTakesTicked", .Steps = "B", .Lot = Lot(kFramed), .Ticked = {4},
                  .Framed = {1}, .Files = {"L0001.bmp=4"}, .Next = 2},
        TSaveCase{.Name = "CutOutsBmpOnlyWithBoth", .Steps = "B", .Lot = Lot(kFramed, true), .Formats = "bmp fit",
                  .Framed = {0, 3}, .Files = {"L0001.bmp=k0", "L0002.bmp=k3"}, .Next = 3},
        TSaveCase{.Name = "CutOutsFits", .Steps = "B", .Lot = Lot(kFramed, true), .Formats = "fit", .Framed = {2},
                  .Files = {"L0001.fit"}, .Next = 2},
        TSaveCase{.Name = "NoFrameWritesNothing", .Steps = "B", .Lot = Lot(kFramed, true), .Ticked = {0, 1}},
        TSaveCase{.Name = "AllOverwritesSilently", .Steps = "B", .Lot = Lot(kAll), .Existing = {"L0002.bmp", "L0004.bmp"},
                  .Answers = {B::All},
                  .Files = {"L0001.bmp=0", "L0002.bmp=1", "L0003.bmp=2", "L0004.bmp=3", "L0005.bmp=4"},
                  .Next = 6, .Asked = 1},
        TSaveCase{.Name = "AbortStopsBatch", .Steps = "B", .Lot = Lot(kAll), .Existing = {"L0002.bmp"},
                  .Answers = {B::Abort}, .Files = {"L0001.bmp=0", "L0002.bmp=x"}, .Next = 3, .Asked = 1},
        TSaveCase{.Name = "FitsInBatchAsksReplace", .Steps = "B", .Lot = Lot(kAll), .Formats = "fit",
                  .Existing = {"L0002.fit"}, .Answers = {B::No},
                  .Files = {"L0001.fit", "L0002.fit=x", "L0003.fit", "L0004.fit", "L0005.fit"}, .Next = 6, .Asked = 1},
        TSaveCase{.Name = "CancelMidway", .Steps = "B", .Lot = Lot(kAll), .Break = TBreak::CancelAfter2,
                  .Files = {"L0001.bmp=0", "L0002.bmp=1"}, .Next = 3},
        TSaveCase{.Name = "FolderGoneMidway", .Steps = "B", .Lot = Lot(kAll, false, "sub"),
                  .Break = TBreak::FolderGoneAfter2, .Files = {"gone/L0001.bmp=0", "gone/L0002.bmp=1"}, .Next = 3,
                  .Fails = true},
        TSaveCase{.Name = "FileSizeLimit", .Steps = "B", .Lot = Lot(kAll), .Break = TBreak::SizeLimit,
                  .Files = {"L0001.bmp=0", "L0002.bmp=1"}, .Next = 3, .Fails = true}),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(SavingNames, NumberTextAndSeparator) {
  EXPECT_EQ(SaveNumberText(7, true) + SaveNumberText(12345, true) + SaveNumberText(7, false), "0007123457");
  EXPECT_EQ(SavePath("/img/", "Temp") + SavePath("/img", "Temp"), "/img/Temp/img/Temp");
  EXPECT_EQ(OverwriteQuestionText("/a/T1.bmp"), "File/a/T1.bmp allready existe.\rOverwrite this file ?");
}

}  // namespace
