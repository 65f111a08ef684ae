// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli frame: one line per image and the frame size, over a generated
// planet video with empty frames and frames whose planet leaves the picture.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../framing/ReferenceScan.h"
#include "CliRun.h"
#include "sequence/SamplePlanet.h"

namespace fs = std::filesystem;

namespace {

class CliFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir_ = fs::temp_directory_path() / ("stellon-cli-frame-" + std::to_string(::getpid()));
    fs::create_directories(Dir_);
    Opt_.Frames = 10;
    Opt_.Width = 128;
    Opt_.Height = 96;
    Opt_.Seed = 11;
    Opt_.EmptyFrames = {3};
    Opt_.PartialFrames = {5, 6, 7, 8};
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Video(), Opt_, &error)) << error;
    // Settings that the options must override.
    std::ofstream ini(Ini());
    ini << "[cadre]\ntolerance=250\nbordure=40\n";
  }
  void TearDown() override { fs::remove_all(Dir_); }
  std::string Video() const { return (Dir_ / "planet.avi").string(); }
  std::string Ini() const { return (Dir_ / "stellon.ini").string(); }

  // The lines the command must print, from the rendered frames.
  std::vector<std::string> Expected(int tolerance, int margin) const {
    std::vector<std::string> lines;
    bool sizeSet = false;
    int fw = 0, fh = 0;
    TFastDIB img;
    for (int i = 0; i < Opt_.Frames; ++i) {
      RenderSampleFrame(Opt_, i, img);
      TRect r;
      const std::string n = std::to_string(i + 1);
      if (!ReferenceScan(img, tolerance, r)) {
        lines.push_back(n + " not-found");
        continue;
      }
      if (!sizeSet) {
        sizeSet = true;
        fw = r.Right - r.Left;
        fh = r.Bottom - r.Top;
      }
      const TRect f{r.Left - margin, r.Top - margin, r.Left + fw + margin, r.Top + fh + margin};
      if (f.Left < 0 || f.Top < 0 || f.Right >= Opt_.Width || f.Bottom >= Opt_.Height) {
        lines.push_back(n + " out-of-limit");
        continue;
      }
      char buf[80];
      std::snprintf(buf, sizeof buf, "%s ok %d %d %d %d", n.c_str(), f.Left, f.Top, f.Right, f.Bottom);
      lines.emplace_back(buf);
    }
    lines.push_back(sizeSet ? "frame-size: " + std::to_string(fw + 2 * margin + 1) + " " +
                                  std::to_string(fh + 2 * margin + 1)
                            : "frame-size: none");
    return lines;
  }

  fs::path Dir_;
  TSampleOptions Opt_;
};

}  // namespace

TEST_F(CliFrame, OneLinePerImageThenTheFrameSize) {
  const TCliRun r = RunCli("frame '" + Video() + "' --ini '" + Ini() + "' --tolerance 30 --margin 3 --simple", Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Lines, Expected(30, 3));
  // Every kind of line shows up in this video.
  int ok = 0, out = 0, missing = 0;
  for (const std::string& l : r.Lines) {
    ok += l.find(" ok ") != std::string::npos;
    out += l.find("out-of-limit") != std::string::npos;
    missing += l.find("not-found") != std::string::npos;
  }
  EXPECT_GE(ok, 4);
  EXPECT_GE(out, 1);
  EXPECT_GE(missing, 2);  // the empty frame and at least one planet past the right or bottom edge
}

TEST_F(CliFrame, DefaultsComeFromTheSettingsFile) {
  // Tolerance 250 from the file: nothing of the sky or the planet is that bright.
  const TCliRun r = RunCli("frame '" + Video() + "' --ini '" + Ini() + "'", Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(r.Lines.size(), 11u);
  EXPECT_EQ(r.Lines[0], "1 not-found");
  EXPECT_EQ(r.Lines.back(), "frame-size: none");
}

TEST_F(CliFrame, AutomaticToleranceAndComplexModeRun) {
  const TCliRun r = RunCli("frame '" + Video() + "' --ini '" + Ini() + "' --auto-tolerance --complex --margin 2", Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(r.Lines.size(), 11u);
  EXPECT_EQ(r.Lines[3], "4 not-found");  // the empty frame
  EXPECT_EQ(r.Lines[0].rfind("1 ok ", 0), 0u) << r.Lines[0];
  EXPECT_EQ(r.Lines.back().rfind("frame-size: ", 0), 0u);
}

TEST_F(CliFrame, BadArgumentsAndFiles) {
  EXPECT_EQ(RunCli("frame", Dir_).Status, 2);
  EXPECT_EQ(RunCli("frame '" + Video() + "' --tolerance abc", Dir_).Status, 2);
  EXPECT_EQ(RunCli("frame '" + Video() + "' --simple --complex", Dir_).Status, 2);
  const std::string notAvi = Ini();
  const TCliRun r = RunCli("frame '" + notAvi + "' --ini '" + Ini() + "'", Dir_);
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find(notAvi + "is not a valid AVI file."), std::string::npos) << r.Err;
}
