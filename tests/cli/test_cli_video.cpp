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
  EXPECT_EQ(info.Out, "frames: 4\nwidth: 64\nheight: 48\nbits: 32\n");

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
  EXPECT_EQ(RunCli("info " + Q(avi), dir.Path()).Out, "frames: 0\nwidth: 0\nheight: 0\nbits: 0\n");
  EXPECT_EQ(RunCli("extract " + Q(avi) + " 1 " + Q(dir.File("x.bmp")), dir.Path()).Status, 3);
  ASSERT_EQ(RunCli("sample " + Q(avi) + " --frames 2 --format mjpeg", dir.Path()).Status, 0);
  EXPECT_EQ(RunCli("info " + Q(avi), dir.Path()).Out, "frames: 2\nwidth: 320\nheight: 240\nbits: 24\n");
  EXPECT_EQ(RunCli("sample " + Q(avi) + " --format 12", dir.Path()).Status, 2);
  EXPECT_EQ(RunCli("sample " + Q(avi) + " --size 10by10", dir.Path()).Status, 2);
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
