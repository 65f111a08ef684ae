// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli save: the files written and the lines printed for each choice,
// over a generated planet video with one empty image.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "CliRun.h"
#include "image/FastDIB.h"
#include "sequence/SamplePlanet.h"

namespace fs = std::filesystem;

namespace {

struct TSaveRun {
  const char* Name;
  std::string Options;
  std::vector<std::string> Written;  // in order
  int Width;                         // of every file written (BMP)
};

class CliSave : public ::testing::TestWithParam<TSaveRun> {
 protected:
  void SetUp() override {
    Dir_ = fs::temp_directory_path() / ("stellon-cli-save-" + std::to_string(::getpid()));
    fs::create_directories(Dir_ / "out");
    TSampleOptions o;
    o.Frames = 4;
    o.Width = 160;
    o.Height = 120;
    o.EmptyFrames = {1};
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Video(), o, &error)) << error;
  }
  void TearDown() override { fs::remove_all(Dir_); }
  std::string Video() const { return (Dir_ / "planet.avi").string(); }
  std::string Out() const { return (Dir_ / "out").string(); }
  std::string SaveArgs(const std::string& options) const {
    return "save '" + Video() + "' '" + Out() + "' --ini '" + (Dir_ / "none.ini").string() + "' " + options;
  }
  TCliRun Save(const std::string& options) const { return RunCli(SaveArgs(options), Dir_); }
  fs::path Dir_;
};

void PrintTo(const TSaveRun& r, std::ostream* os) { *os << r.Name; }

TEST_P(CliSave, WritesAndPrints) {
  const TSaveRun& c = GetParam();
  const TCliRun r = Save(c.Options);
  ASSERT_EQ(r.Status, 0) << r.Err;
  std::vector<std::string> expected;
  for (const std::string& f : c.Written) expected.push_back("written: " + Out() + "/" + f);
  EXPECT_EQ(r.Lines, expected);
  std::set<std::string> files;
  for (const auto& e : fs::directory_iterator(Out())) files.insert(e.path().filename().string());
  EXPECT_EQ(files, std::set<std::string>(c.Written.begin(), c.Written.end()));
  for (const std::string& f : c.Written) {
    if (c.Width <= 0) continue;
    TFastDIB img;
    ASSERT_TRUE(img.LoadFromFile(Out() + "/" + f));
    EXPECT_EQ(img.Width(), c.Width) << f;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliSave,
    ::testing::Values(
        TSaveRun{"AllImages", "", {"Temp0001.bmp", "Temp0002.bmp", "Temp0003.bmp", "Temp0004.bmp"}, 160},
        TSaveRun{"PrefixStartFits", "--prefix J --start 9 --fits",
                 {"J0009.fit", "J0010.fit", "J0011.fit", "J0012.fit"}, 0},
        TSaveRun{"TickedByFraming", "--ticked-by-framing", {"Temp0001.bmp", "Temp0002.bmp", "Temp0003.bmp"}, 160},
        // The frame size: the disc of radius 24 spans Right - Left = 50, plus 2 x 3 of margin, plus 1.
        TSaveRun{"InsideFrame", "--inside-frame --margin 3", {"Temp0001.bmp", "Temp0002.bmp", "Temp0003.bmp"}, 57}),
    [](const auto& row) { return std::string(row.param.Name); });

TEST_F(CliSave, FileSizeLimitStopsWithTheFileNamed) {
  // 100 blocks are less than one 160 x 120 BMP (57654 bytes).
  const std::string err = (Dir_ / "err.txt").string();
  const int raw = std::system(("ulimit -f 100; '" STELLON_CLI "' " + SaveArgs("") + " 2>'" + err + "'").c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
  std::ifstream in(err);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(Out() + "/Temp0001.bmp"), std::string::npos) << text;
  EXPECT_TRUE(fs::is_empty(Out())) << "nothing half-written";
}

}  // namespace
