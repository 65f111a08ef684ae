// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli sample, info and extract, run as a program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "CliRun.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }

TEST(CliVideo, SampleThenInfoThenExtract) {
  TTempDir dir;
  const std::string avi = dir.File("jup.avi");
  ASSERT_EQ(RunCli("sample " + Q(avi) + " --frames 4 --size 64x48 --seed 3 --format 32", dir.Path()).Status, 0);
  const TCliRun info = RunCli("info " + Q(avi), dir.Path());
  EXPECT_EQ(info.Status, 0);
  EXPECT_EQ(info.Out, "frames: 4\nwidth: 64\nheight: 48\nbits: 32\nformat: AVI\n");

  const std::string bmp = dir.File("img2.bmp");
  ASSERT_EQ(RunCli("extract " + Q(avi) + " 2 " + Q(bmp), dir.Path()).Status, 0);
  TFastDIB got;
  ASSERT_TRUE(got.LoadFromFile(bmp));
  EXPECT_EQ(got.Bpp(), 32);
  TSampleOptions o;
  o.Width = 64;
  o.Height = 48;
  o.Seed = 3;
  TFastDIB want;
  RenderSampleFrame(o, 1, want);  // image 2 is frame 1
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(got.GetPixel(y, x), want.GetPixel(y, x)) << y << "," << x;

  EXPECT_EQ(RunCli("extract " + Q(avi) + " 5 " + Q(bmp), dir.Path()).Status, 3);
  EXPECT_EQ(RunCli("extract " + Q(avi) + " 0 " + Q(bmp), dir.Path()).Status, 2);
}

TEST(CliVideo, DefaultsAndEmptyVideo) {
  TTempDir dir;
  const std::string avi = dir.File("d.avi");
  ASSERT_EQ(RunCli("sample " + Q(avi) + " --frames 0", dir.Path()).Status, 0);
  const TCliRun empty = RunCli("info " + Q(avi), dir.Path());
  EXPECT_EQ(empty.Out, "frames: 0\nwidth: 0\nheight: 0\nbits: 0\nformat: AVI\n");
  EXPECT_EQ(empty.Status, 3);
  EXPECT_EQ(RunCli("extract " + Q(avi) + " 1 " + Q(dir.File("x.bmp")), dir.Path()).Status, 3);
  ASSERT_EQ(RunCli("sample " + Q(avi) + " --frames 2 --format mjpeg", dir.Path()).Status, 0);
  EXPECT_EQ(RunCli("info " + Q(avi), dir.Path()).Out, "frames: 2\nwidth: 320\nheight: 240\nbits: 24\nformat: AVI\n");
  EXPECT_EQ(RunCli("sample " + Q(avi) + " --format 12", dir.Path()).Status, 2);
  EXPECT_EQ(RunCli("sample " + Q(avi) + " --size 10by10", dir.Path()).Status, 2);
}

// info gives the size of the first image that can be read, and exit status 3
// when none can; damaged index entries left out are told on standard error.
TEST(CliVideo, InfoSkipsUnreadableImagesAndTellsSkippedEntries) {
  TTempDir dir;
  const std::string avi = dir.File("dropped.avi");
  TVideoWriterOptions o;
  o.Width = 8;
  o.Height = 6;
  TVideoWriter w;
  ASSERT_TRUE(w.Open(avi, o, nullptr));
  ASSERT_TRUE(w.WriteDroppedFrame(nullptr));  // image 1 repeats nothing: unreadable
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(w.WriteFrame(Pattern24(8, 6, i), nullptr));
  ASSERT_TRUE(w.Close(nullptr));
  const TCliRun r = RunCli("info " + Q(avi), dir.Path());
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "frames: 4\nwidth: 8\nheight: 6\nbits: 24\nformat: AVI\n");
  EXPECT_EQ(r.Err, "");
  // Index entries 2 and 3 swapped: entry 3 goes back, and is left out.
  std::string bytes = ReadFileBytes(avi);
  const size_t e = bytes.find("idx1") + 8;
  bytes = bytes.substr(0, e + 2 * 16) + bytes.substr(e + 3 * 16, 16) + bytes.substr(e + 2 * 16, 16) +
          bytes.substr(e + 4 * 16);
  WriteFileBytes(avi, bytes);
  const TCliRun swapped = RunCli("info " + Q(avi), dir.Path());
  EXPECT_EQ(swapped.Out.rfind("frames: 3\n", 0), 0u) << swapped.Out;
  EXPECT_EQ(swapped.Err, "stellon-cli: warning: " + avi + ": 1 unusable index entry skipped\n");
}

// SER captures written by `sample`, described by `info`, framed and stacked.
TEST(CliVideo, SerSampleInfoAndStack) {
  TTempDir dir;
  const struct {
    const char* Options;
    const char* Info;
  } cases[] = {{"--format 8", "colour: MONO\ndepth: 8\n"},
               {"--format 16 --depth 12", "colour: MONO\ndepth: 12\n"},
               {"--bayer GBRG --format 16", "colour: GBRG\ndepth: 16\n"},
               {"--bayer RGGB", "colour: RGGB\ndepth: 8\n"}};
  for (const auto& c : cases) {
    const std::string ser = dir.File("cap.ser");
    ASSERT_EQ(RunCli("sample " + Q(ser) + " --frames 6 --size 96x64 " + c.Options, dir.Path()).Status, 0) << c.Options;
    EXPECT_EQ(RunCli("info " + Q(ser), dir.Path()).Out,
              std::string("frames: 6\nwidth: 96\nheight: 64\nbits: 24\nformat: SER\n") + c.Info);
    const TCliRun stack = RunCli("stack " + Q(ser) + " -o " + Q(dir.File("r.bmp")) + " --quiet", dir.Path());
    EXPECT_EQ(stack.Status, 0) << c.Options << stack.Err;
    EXPECT_NE(stack.Out.find("framed: 6 of 6"), std::string::npos) << c.Options << stack.Out;
  }
  const TCliRun bad = RunCli("info " + Q(dir.File("none.ser")), dir.Path());
  EXPECT_EQ(bad.Status, 2);
  EXPECT_NE(bad.Err.find("none.ser: "), std::string::npos);
}

TEST(CliVideo, NotAnAviIsTold) {
  TTempDir dir;
  const std::string text = dir.File("readme.avi");
  WriteFileBytes(text, "hello\n");
  const TCliRun r = RunCli("info " + Q(text), dir.Path());
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, text + "is not a valid AVI file.\n");
  EXPECT_EQ(RunCli("extract " + Q(text) + " 1 " + Q(dir.File("o.bmp")), dir.Path()).Status, 2);
}

}  // namespace
