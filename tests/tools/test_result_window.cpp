// SPDX-License-Identifier: GPL-3.0-or-later
// The result window's rules without a window: captions, geometry, names, undo and saving.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/VideoFixtures.h"
#include "platform/Messages.h"
#include "tools/ResultWindow.h"

using namespace fixtures;

namespace fs = std::filesystem;

struct CaptionCase {
  TCombineMethod Method;
  int N;
  const char* Caption;
};
class ResultCaptions : public testing::TestWithParam<CaptionCase> {};
TEST_P(ResultCaptions, FollowTheCountRule) {
  EXPECT_EQ(ResultCaption(GetParam().Method, GetParam().N), GetParam().Caption);
}
INSTANTIATE_TEST_SUITE_P(
    Table, ResultCaptions,
    testing::Values(CaptionCase{TCombineMethod::Mean, 0, "Result : Combinaison by mean (0image)"},
                    CaptionCase{TCombineMethod::Mean, 1, "Result : Combinaison by mean (1image)"},
                    CaptionCase{TCombineMethod::Mean, 5, "Result : Combinaison by mean (5images)"},
                    CaptionCase{TCombineMethod::KappaSigma, 0, "Result : Combinaison Kappa-Sigma (0images)"},
                    CaptionCase{TCombineMethod::KappaSigma, 1, "Result : Combinaison Kappa-Sigma (1images)"},
                    CaptionCase{TCombineMethod::KappaSigma, 5, "Result : Combinaison Kappa-Sigma (5images)"}));

struct GeometryCase {
  int W, H, Factor;
  TResultGeometry Expected;
};
class ResultGeometries : public testing::TestWithParam<GeometryCase> {};
TEST_P(ResultGeometries, SizeAndCentre) {
  const GeometryCase& c = GetParam();
  EXPECT_EQ(ResultGeometry(c.W, c.H, c.Factor, 41), c.Expected);
}
INSTANTIATE_TEST_SUITE_P(Table, ResultGeometries,
                         testing::Values(GeometryCase{200, 150, 1, {200, 150, 300, 231, 50, 10}},
                                         GeometryCase{200, 150, 2, {400, 300, 420, 381, 10, 10}},
                                         GeometryCase{281, 10, 1, {281, 10, 301, 91, 10, 10}},
                                         GeometryCase{1, 1, 1, {1, 1, 300, 82, 149, 10}}));

struct NameCase {
  const char* Source;
  const char* Default;
  const char* Proposal;
};
class ProposedNames : public testing::TestWithParam<NameCase> {};
TEST_P(ProposedNames, BeforeTheFirstDot) {
  EXPECT_EQ(DefaultFileName(GetParam().Source), GetParam().Default);
  EXPECT_EQ(ProposedFileName(DefaultFileName(GetParam().Source)), GetParam().Proposal);
}
INSTANTIATE_TEST_SUITE_P(Table, ProposedNames,
                         testing::Values(NameCase{"/v/jupiter.avi", "jupiter.avi", "jupiter"},
                                         NameCase{"/v/jupiter", "jupiter", ""},
                                         NameCase{"/v.d/.hidden.avi", ".hidden.avi", ""},
                                         NameCase{"moon.2024.avi", "moon.2024.avi", "moon"},
                                         NameCase{"", "", ""}));

// --- Saving ------------------------------------------------------------------

class ResultSave : public testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("stellon_result_" + std::to_string(::getpid()) + "_" +
                                       testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    Result = Pattern24(20, 10, 3);
    State.Setup(&Result, "/v/jup.avi", std::vector<std::string>{"Result combinaison by mean", "", "x"});
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string P(const std::string& name) const { return (Dir / name).string(); }
  static std::string Head(const std::string& path) { return ReadFileBytes(path).substr(0, 6); }

  fs::path Dir;
  TFastDIB Result;
  TResultWindowState State;
  TScriptedMessages Answers;
  TMessagesScope Scope{Answers};
};

struct SaveCase {
  const char* Name;
  bool FitsDialogOk;
  bool Split;
  std::vector<std::string> Written;  // in order; "BM" or "SIMPLE" checked by extension below
  const char* Magic;                 // of the first written file, or ""
};
class ResultSaveKinds : public ResultSave, public testing::WithParamInterface<SaveCase> {};

TEST_P(ResultSaveKinds, WritesTheRightFiles) {
  const SaveCase& c = GetParam();
  TResultSaveSettings settings;
  settings.texte_avec_compositage = true;
  settings.FITS.SepRVB = c.Split;
  settings.FITS.MoyRVB = !c.Split;
  int dialogs = 0;
  TResultSaveHooks hooks;
  hooks.FitsParameters = [&](const TParamFITS& f) -> std::optional<TParamFITS> {
    ++dialogs;
    return c.FitsDialogOk ? std::optional<TParamFITS>(f) : std::nullopt;
  };
  const TResultSaveOutcome out = State.Save(Result, P(c.Name), settings, hooks);
  std::vector<std::string> expected;
  for (const std::string& w : c.Written) expected.push_back(P(w));
  EXPECT_EQ(out.Written, expected);
  EXPECT_EQ(dialogs, IsFitsName(c.Name) ? 1 : 0);
  if (*c.Magic) {
    EXPECT_EQ(Head(expected.front()).substr(0, std::string(c.Magic).size()), c.Magic);
  }
  for (const auto& entry : fs::directory_iterator(Dir)) {
    EXPECT_NE(std::find(expected.begin(), expected.end(), entry.path().string()), expected.end()) << entry.path();
  }
  EXPECT_TRUE(Answers.Asked.empty());
  EXPECT_EQ(ReadFileBytes(P("jup.txt").c_str()), std::string("Result combinaison by mean\n\nx\n"));
}
INSTANTIATE_TEST_SUITE_P(
    Table, ResultSaveKinds,
    testing::Values(SaveCase{"jup.bmp", true, false, {"jup.bmp", "jup.txt"}, "BM"},
                    SaveCase{"jup.fit", true, false, {"jup.fit", "jup.txt"}, "SIMPLE"},
                    SaveCase{"jup.FIT", true, false, {"jup.FIT", "jup.txt"}, "SIMPLE"},
                    SaveCase{"jup.fits", true, false, {"jup.fits", "jup.txt"}, "BM"},
                    SaveCase{"jup.fit", true, true, {"jupR.fit", "jupV.fit", "jupB.fit", "jup.txt"}, "SIMPLE"},
                    SaveCase{"jup.fit", false, false, {"jup.txt"}, ""}));

TEST_F(ResultSave, ExistingFileIsAskedOnceAndNoKeepsIt) {
  std::ofstream(P("jup.fit")) << "old";
  TResultSaveSettings settings;
  Answers.Answers = {TMsgButton::No};
  EXPECT_TRUE(State.Save(Result, P("jup.fit"), settings).Stopped);
  EXPECT_EQ(ReadFileBytes(P("jup.fit")), "old");
  Answers.Answers = {TMsgButton::Yes};
  EXPECT_EQ(State.Save(Result, P("jup.fit"), settings).Written, std::vector<std::string>{P("jup.fit")});
  EXPECT_EQ(Head(P("jup.fit")), "SIMPLE");
  ASSERT_EQ(Answers.Asked.size(), 2u);  // one question per save, not a second one from the writer
  EXPECT_EQ(Answers.Asked[1].Text, "File" + P("jup.fit") + " existe.\nOverwrite this file ?");
  EXPECT_EQ(Answers.Asked[1].Icon, TMsgIcon::Error);
}

TEST_F(ResultSave, UnwritableFileIsToldAndLeavesNothing) {
  TResultSaveSettings settings;
  settings.texte_avec_compositage = true;
  const std::string target = P("missing/jup.bmp");
  const TResultSaveOutcome out = State.Save(Result, target, settings);
  EXPECT_TRUE(out.Written.empty());
  ASSERT_EQ(Answers.Asked.size(), 1u);
  EXPECT_NE(Answers.Asked[0].Text.find(target), std::string::npos) << Answers.Asked[0].Text;
  EXPECT_FALSE(fs::exists(P("missing")));
}

// With the full-depth choice the unrounded result is written, but only while
// the working image is still the result as combined.
TEST_F(ResultSave, FullDepthWritesTheUnroundedResultUnlessTheImageWasChanged) {
  TFullDepthImage full;
  full.Resize(Result.Width(), Result.AbsHeight);
  State.SetFullDepth(&full);
  TResultSaveSettings settings;
  settings.FITS.PleineProfondeur = true;
  TFastDIB changed = Pattern24(20, 10, 3);
  changed.Scanlines[0][0] ^= 1;
  for (const auto& [working, bitpix] : {std::pair{&Result, "-32"}, std::pair{&changed, "8"}}) {
    fs::remove(P("deep.fit"));
    ASSERT_EQ(State.Save(*working, P("deep.fit"), settings).Written.size(), 1u);
    const std::string card = ReadFileBytes(P("deep.fit")).substr(80, 30);
    EXPECT_EQ(card.substr(card.find_last_not_of(' ') + 1 - std::string(bitpix).size()), bitpix) << card;
  }
}
