// SPDX-License-Identifier: GPL-3.0-or-later
// The synthetic planet video: deterministic frames whose facts (planet whole,
// partial, absent) match their pixels, written in every capture format.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

// Pixels brighter than the sky (which stays below 20 in every channel).
int BrightPixels(const TFastDIB& img, int* minX = nullptr, int* maxX = nullptr) {
  int n = 0, lo = img.Width(), hi = -1;
  for (int y = 0; y < img.AbsHeight; ++y)
    for (int x = 0; x < img.Width(); ++x)
      if (img.GetPixel(y, x).r > 60) {
        ++n;
        lo = std::min(lo, x);
        hi = std::max(hi, x);
      }
  if (minX) *minX = lo;
  if (maxX) *maxX = hi;
  return n;
}

TEST(SamplePlanet, FramesAreDeterministicAndJitter) {
  TSampleOptions o;
  o.Seed = 42;
  TFastDIB a, b, c;
  RenderSampleFrame(o, 3, a);
  RenderSampleFrame(o, 3, b);
  EXPECT_EQ(PackedBgr(a), PackedBgr(b));
  RenderSampleFrame(o, 4, c);
  EXPECT_NE(PackedBgr(a), PackedBgr(c));
  o.Seed = 43;
  RenderSampleFrame(o, 3, b);
  EXPECT_NE(PackedBgr(a), PackedBgr(b));
  // The disc wanders at most Jitter pixels from the centre.
  o.Jitter = 3;
  bool moved = false;
  for (int i = 0; i < 20; ++i) {
    const TSampleFrame f = SampleFrameInfo(o, i);
    EXPECT_LE(std::abs(f.CenterX - o.Width / 2), 3);
    EXPECT_LE(std::abs(f.CenterY - o.Height / 2), 3);
    EXPECT_EQ(f.State, TPlanetState::Whole);
    moved = moved || f.CenterX != SampleFrameInfo(o, 0).CenterX;
  }
  EXPECT_TRUE(moved);
}

TEST(SamplePlanet, StatesMatchThePixels) {
  TSampleOptions o;
  o.Width = 200;
  o.Height = 150;
  o.PartialFrames = {1};
  o.EmptyFrames = {2};
  o.BlurredFrames = {3};
  TFastDIB img;
  const TSampleFrame whole = RenderSampleFrame(o, 0, img);
  ASSERT_EQ(img.Bpp(), 24);
  int lo = 0, hi = 0;
  const int disc = BrightPixels(img, &lo, &hi);
  EXPECT_EQ(whole.State, TPlanetState::Whole);
  EXPECT_EQ(whole.Radius, 30);
  EXPECT_NEAR(disc, 3.14159 * 30 * 30, 3.14159 * 30 * 30 * 0.15);
  EXPECT_GT(lo, 0);
  EXPECT_LT(hi, 199);

  const TSampleFrame partial = RenderSampleFrame(o, 1, img);
  EXPECT_EQ(partial.State, TPlanetState::Partial);
  const int cut = BrightPixels(img, &lo, &hi);
  EXPECT_GT(cut, 0);
  EXPECT_LT(cut, disc * 3 / 4);

  EXPECT_EQ(RenderSampleFrame(o, 2, img).State, TPlanetState::Absent);
  EXPECT_EQ(BrightPixels(img), 0);

  const TSampleFrame blurred = RenderSampleFrame(o, 3, img);
  EXPECT_TRUE(blurred.Blurred);
  EXPECT_EQ(blurred.State, TPlanetState::Whole);
  EXPECT_GT(BrightPixels(img), 0);
}

TEST(SamplePlanet, WrittenInEveryFormatAndReadBack) {
  TTempDir dir;
  TSampleOptions o;
  o.Frames = 3;
  o.Width = 40;
  o.Height = 30;
  const char* names[] = {"8", "16", "24", "32", "YUY2", "mjpeg"};
  for (const char* name : names) {
    ASSERT_TRUE(ParseSampleFormat(name, o.Format)) << name;
    const std::string path = dir.File(std::string(name) + ".avi");
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(path, o, &error)) << name << ": " << error;
    TSequence seq;
    ASSERT_TRUE(seq.OpenAvi(path)) << name;
    EXPECT_EQ(seq.ImageCount, 3);
    seq.CurrentIndex = 2;
    TFastDIB got, want;
    ASSERT_TRUE(seq.FetchImage(got)) << name;
    RenderSampleFrame(o, 2, want);
    EXPECT_EQ(got.Bpp(), o.Format == TVideoCodec::Bgra32 ? 32 : 24);
    if (o.Format == TVideoCodec::Bgr24) {
      EXPECT_EQ(PackedBgr(got), PackedBgr(want));
    } else if (o.Format != TVideoCodec::Bgra32) {
      // Lossy formats: the planet is where it was, within a little noise.
      int lo1, hi1, lo2, hi2;
      BrightPixels(got, &lo1, &hi1);
      BrightPixels(want, &lo2, &hi2);
      EXPECT_NEAR(lo1, lo2, 1) << name;
      EXPECT_NEAR(hi1, hi2, 1) << name;
    }
  }
  TSampleOptions bad = o;
  bad.Frames = -1;
  EXPECT_FALSE(WriteSampleVideo(dir.File("bad.avi"), bad, nullptr));
  TVideoCodec c;
  EXPECT_FALSE(ParseSampleFormat("12", c));
}

// The video goes through the atomic writer: until Close succeeds the old file
// stays, and a writer given up leaves no piece of file behind.
TEST(SamplePlanet, VideoReplacesTheOldFileOnlyWhenComplete) {
  TTempDir dir;
  const std::string path = dir.File("v.avi");
  std::ofstream(path) << "old video";
  auto entries = [&] { return std::distance(std::filesystem::directory_iterator(dir.Path()), {}); };
  TVideoWriterOptions w;
  w.Width = w.Height = 16;
  TFastDIB frame;
  frame.SetSize(16, 16, 24, 0);
  for (TVideoCodec codec : {TVideoCodec::Bgr24, TVideoCodec::Mjpeg}) {
    w.Codec = codec;
    {
      TVideoWriter writer;
      ASSERT_TRUE(writer.Open(path, w, nullptr));
      ASSERT_TRUE(writer.WriteFrame(frame, nullptr));
    }  // given up before Close
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old video");
    EXPECT_EQ(entries(), 1);
  }
  TSampleOptions o;
  o.Frames = 2;
  ASSERT_TRUE(WriteSampleVideo(path, o, nullptr));
  EXPECT_GT(std::filesystem::file_size(path), 1000u);
  EXPECT_EQ(entries(), 1);
}

}  // namespace
