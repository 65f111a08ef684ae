// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli rank, align, and stack with --best, --align and --full-depth, on
// a generated planet video whose frames have known blur and known sub-pixel
// centres.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "sequence/SamplePlanet.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class CliLucky : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir_ = fs::temp_directory_path() / ("stellon-cli-lucky-" + std::to_string(::getpid()));
    fs::remove_all(Dir_);
    fs::create_directories(Dir_);
    Opt_.Frames = 10;
    Opt_.Width = 160;
    Opt_.Height = 120;
    Opt_.Seed = 3;
    Opt_.SubPixelCentres = true;
    Opt_.BlurSigmas = {0, 1.6, 0, 1.6, 0, 1.6, 0, 1.6, 0, 1.6};  // odd image numbers sharp
    Opt_.EmptyFrames = {9};
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Video(), Opt_, &error)) << error;
    std::ofstream(Ini()) << "[cadre]\ntolerance=30\nbordure=4\n";
  }
  static void TearDownTestSuite() { fs::remove_all(Dir_); }
  static std::string Video() { return (Dir_ / "planet.avi").string(); }
  static std::string Ini() { return (Dir_ / "stellon.ini").string(); }
  static std::string Path(const std::string& name) { return (Dir_ / name).string(); }
  TCliRun Run(const std::string& command, const std::string& more = "") {
    return RunCli(command + " '" + Video() + "' --ini '" + Ini() + "' --quiet " + more, Dir_);
  }
  static fs::path Dir_;
  static TSampleOptions Opt_;
};
fs::path CliLucky::Dir_;
TSampleOptions CliLucky::Opt_;

TEST_F(CliLucky, RankScoresSharpImagesAboveBlurredOnesAndSaysNoneWithoutAFrame) {
  const TCliRun r = Run("rank");
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(r.Lines.size(), 10u);
  EXPECT_EQ(r.Lines[9], "10 none");
  double lowestSharp = 1e9, highestBlurred = 0;
  for (int i = 0; i < 9; ++i) {
    std::istringstream line(r.Lines[size_t(i)]);
    int n = 0;
    double score = 0;
    ASSERT_TRUE(line >> n >> score) << r.Lines[size_t(i)];
    EXPECT_EQ(n, i + 1);
    if (i % 2 == 0) lowestSharp = std::min(lowestSharp, score);
    else highestBlurred = std::max(highestBlurred, score);
  }
  EXPECT_GT(lowestSharp, highestBlurred);
}

TEST_F(CliLucky, AlignGivesPositionsWhoseDifferencesAreTheTrueShifts) {
  const TCliRun r = Run("align");
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(r.Lines.size(), 10u);
  EXPECT_EQ(r.Lines[9], "10 none");
  double x0 = 0, y0 = 0;
  for (int i = 0; i < 9; ++i) {
    std::istringstream line(r.Lines[size_t(i)]);
    int n = 0;
    double x = 0, y = 0;
    ASSERT_TRUE(line >> n >> x >> y) << r.Lines[size_t(i)];
    const TSampleFrame f = SampleFrameInfo(Opt_, i);
    if (i == 0) x0 = x - f.X, y0 = y - f.Y;
    EXPECT_NEAR(x - f.X, x0, 0.1) << r.Lines[size_t(i)];
    EXPECT_NEAR(y - f.Y, y0, 0.1) << r.Lines[size_t(i)];
  }
}

struct TStackCase {
  const char* Name;
  const char* Options;
  const char* Output;
  std::vector<std::string> Expected;  // lines before "written:"
  const char* Bitpix;                 // FITS: the BITPIX card's value, right-justified to column 30
};
class CliLuckyStack : public CliLucky, public ::testing::WithParamInterface<TStackCase> {};

TEST_P(CliLuckyStack, KeepsTheBestAndWritesTheDepthAsked) {
  const TStackCase& c = GetParam();
  const TCliRun r = Run("stack", std::string(c.Options) + " -o '" + Path(c.Output) + "'");
  ASSERT_EQ(r.Status, 0) << r.Err;
  std::vector<std::string> expected = c.Expected;
  expected.push_back("written: " + Path(c.Output));
  EXPECT_EQ(r.Lines, expected);
  if (*c.Bitpix) {
    EXPECT_EQ(ReadAll(Path(c.Output)).substr(80, 30), std::string("BITPIX  = ") + c.Bitpix);
  }
}
INSTANTIATE_TEST_SUITE_P(
    Options, CliLuckyStack,
    ::testing::Values(
        TStackCase{"Best50", "--best 50", "best.bmp", {"framed: 9 of 10", "best: 5 of 9", "combined: 5"}, ""},
        TStackCase{"BestOneKeepsOne", "--best 1", "one.bmp", {"framed: 9 of 10", "best: 1 of 9", "combined: 1"}, ""},
        TStackCase{"SubpixelFloat", "--align subpixel --full-depth", "f.fit", {"framed: 9 of 10", "combined: 9"},
                   "                 -32"},
        TStackCase{"Scaled16", "--full-depth --fits-bits 16", "s.fit", {"framed: 9 of 10", "combined: 9"},
                   "                  16"}),
    [](const ::testing::TestParamInfo<TStackCase>& p) { return std::string(p.param.Name); });

// The default path is the framing-only one, to the byte.
TEST_F(CliLucky, AlignFrameIsTheDefaultAndChangesNothing) {
  ASSERT_EQ(Run("stack", "-o '" + Path("plain.bmp") + "'").Status, 0);
  ASSERT_EQ(Run("stack", "--align frame -o '" + Path("frame.bmp") + "'").Status, 0);
  ASSERT_EQ(Run("stack", "--align subpixel -o '" + Path("sub.bmp") + "'").Status, 0);
  EXPECT_EQ(ReadAll(Path("plain.bmp")), ReadAll(Path("frame.bmp")));
  EXPECT_NE(ReadAll(Path("plain.bmp")), ReadAll(Path("sub.bmp")));
}

TEST_F(CliLucky, RefusesBadLuckyOptions) {
  for (const char* bad : {"--best 0", "--best 101", "--align centre", "--full-depth"})
    EXPECT_EQ(Run("stack", std::string(bad) + " -o '" + Path("bad.bmp") + "'").Status, 2) << bad;
  EXPECT_FALSE(fs::exists(Path("bad.bmp")));
}

}  // namespace
