// SPDX-License-Identifier: GPL-3.0-or-later
// The result window's rules without a window: captions, geometry, proposed names and saving.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Messages.h"
#include "support/VideoFixtures.h"
#include "tools/ResultWindow.h"

using namespace fixtures;
namespace fs = std::filesystem;

TEST(ResultWindowRules, CaptionsGeometryAndNames) {
  using M = TCombineMethod;
  const std::tuple<M, int, const char*> captions[] = {
      {M::Mean, 0, "by mean (0image)"}, {M::Mean, 1, "by mean (1image)"}, {M::Mean, 5, "by mean (5images)"},
      {M::KappaSigma, 0, "Kappa-Sigma (0images)"}, {M::KappaSigma, 1, "Kappa-Sigma (1images)"}};
  for (const auto& [method, n, caption] : captions)
    EXPECT_EQ(ResultCaption(method, n), std::string("Result : Combinaison ") + caption);
  EXPECT_EQ(ReportCaption("Result : x"), "Report :Result : x");
  const std::tuple<int, int, int, TResultGeometry> geometries[] = {{200, 150, 1, {200, 150, 300, 231, 50, 10}},
                                                                    {200, 150, 2, {400, 300, 420, 381, 10, 10}},
                                                                    {281, 10, 1, {281, 10, 301, 91, 10, 10}},
                                                                    {1, 1, 1, {1, 1, 300, 82, 149, 10}}};
  for (const auto& [w, h, factor, expected] : geometries) EXPECT_EQ(ResultGeometry(w, h, factor, 41), expected) << w;
  const std::tuple<const char*, const char*, const char*> names[] = {{"/v/jupiter.avi", "jupiter.avi", "jupiter"},
                                                                      {"/v/jupiter", "jupiter", ""},
                                                                      {"/v.d/.hidden.avi", ".hidden.avi", ""},
                                                                      {"moon.2024.avi", "moon.2024.avi", "moon"},
                                                                      {"", "", ""}};
  for (const auto& [source, name, proposal] : names) {
    EXPECT_EQ(DefaultFileName(source), name);
    EXPECT_EQ(ProposedFileName(name), proposal) << name;
  }
}

class ResultSave : public testing::Test {
 protected:
  void SetUp() override {
    Result = Pattern24(20, 10, 3);
    State.Setup(&Result, "/v/jup.avi", std::vector<std::string>{"Result combinaison by mean", "", "x"});
  }
  std::string P(const std::string& name) const { return Dir.File(name); }
  static std::string Head(const std::string& path) { return ReadFileBytes(path).substr(0, 6); }
  TTempDir Dir;
  TFastDIB Result;
  TResultWindowState State;
  TScriptedMessages Answers;
  TMessagesScope Scope{Answers};
};

// Name chosen, FITS dialog confirmed, three planes: the files written (first one's magic), the report beside them.
TEST_F(ResultSave, WritesTheRightFiles) {
  const struct {
    const char* Name; bool FitsOk, Split; std::vector<std::string> Written; const char* Magic;
  } cases[] = {{"jup.bmp", true, false, {"jup.bmp", "jup.txt"}, "BM"},
               {"jup.fit", true, false, {"jup.fit", "jup.txt"}, "SIMPLE"},
               {"jup.FIT", true, false, {"jup.FIT", "jup.txt"}, "SIMPLE"},
               {"jup.fits", true, false, {"jup.fits", "jup.txt"}, "BM"},
               {"jup.fit", true, true, {"jupR.fit", "jupV.fit", "jupB.fit", "jup.txt"}, "SIMPLE"},
               {"jup.fit", false, false, {"jup.txt"}, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.FitsOk ? "" : " cancelled") + (c.Split ? " split" : ""));
    fs::remove_all(Dir.Path());
    fs::create_directories(Dir.Path());
    TResultSaveSettings settings;
    settings.texte_avec_compositage = true, settings.FITS.SepRVB = c.Split, settings.FITS.MoyRVB = !c.Split;
    int dialogs = 0;
    TResultSaveHooks hooks;
    hooks.FitsParameters = [&](const TParamFITS& f) { return ++dialogs, c.FitsOk ? std::optional(f) : std::nullopt; };
    std::vector<std::string> expected;
    for (const std::string& w : c.Written) expected.push_back(P(w));
    EXPECT_EQ(State.Save(Result, P(c.Name), settings, hooks).Written, expected);
    EXPECT_EQ(dialogs, IsFitsName(c.Name) ? 1 : 0);
    EXPECT_EQ(*c.Magic ? Head(expected.front()).substr(0, strlen(c.Magic)) : "", c.Magic);
    EXPECT_EQ(size_t(std::distance(fs::directory_iterator(Dir.Path()), {})), expected.size());
    EXPECT_EQ(ReadFileBytes(P("jup.txt")), "Result combinaison by mean\n\nx\n");
  }
  EXPECT_TRUE(Answers.Asked.empty());
}

TEST_F(ResultSave, ExistingFileIsAskedOnceAndNoKeepsIt) {
  WriteFileBytes(P("jup.fit"), "old");
  TResultSaveSettings settings;
  Answers.Answers = {TMsgButton::No, TMsgButton::Yes};
  EXPECT_TRUE(State.Save(Result, P("jup.fit"), settings).Stopped);
  EXPECT_EQ(ReadFileBytes(P("jup.fit")), "old");
  EXPECT_EQ(State.Save(Result, P("jup.fit"), settings).Written, std::vector<std::string>{P("jup.fit")});
  EXPECT_EQ(Head(P("jup.fit")), "SIMPLE");
  ASSERT_EQ(Answers.Asked.size(), 2u);  // one question per save, not a second one from the writer
  EXPECT_EQ(Answers.Asked[1].Text, "File" + P("jup.fit") + " existe.\nOverwrite this file ?");
  EXPECT_EQ(Answers.Asked[1].Icon, TMsgIcon::Error);
}

TEST_F(ResultSave, UnwritableFileIsToldAndLeavesNothing) {
  TResultSaveSettings settings;
  settings.texte_avec_compositage = true;
  EXPECT_TRUE(State.Save(Result, P("missing/jup.bmp"), settings).Written.empty());
  ASSERT_EQ(Answers.Asked.size(), 1u);
  EXPECT_NE(Answers.Asked[0].Text.find(P("missing/jup.bmp")), std::string::npos) << Answers.Asked[0].Text;
  EXPECT_FALSE(fs::exists(P("missing")));
}

// Full depth writes the unrounded result only while the working image is still the result as combined.
TEST_F(ResultSave, FullDepthOnlyWhileTheImageIsTheResult) {
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
    EXPECT_EQ(card.substr(card.find_last_not_of(' ') + 1 - strlen(bitpix)), bitpix) << card;
  }
}
