// SPDX-License-Identifier: GPL-3.0-or-later
// The synthetic planet video: frames matching their facts, in every capture format; the start-up sample's folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"
#include "sources/SerFormat.h"
#include "support/VideoFixtures.h"

using namespace fixtures;
namespace fs = std::filesystem;

namespace {

// Pixels brighter than the sky (which stays below 20 in every channel), and their first and last column.
int BrightPixels(const TFastDIB& img, int* minX = nullptr, int* maxX = nullptr) {
  int n = 0, lo = img.Width(), hi = -1;
  for (int y = 0; y < img.AbsHeight; ++y)
    for (int x = 0; x < img.Width(); ++x)
      if (img.GetPixel(y, x).r > 60) ++n, lo = std::min(lo, x), hi = std::max(hi, x);
  if (minX) *minX = lo, *maxX = hi;
  return n;
}

TEST(SamplePlanet, FramesAreDeterministicJitterAndMatchTheirStates) {
  TSampleOptions o;
  o.Width = 200, o.Height = 150, o.PartialFrames = {1}, o.EmptyFrames = {2}, o.BlurredFrames = {3};
  TFastDIB a, b;
  RenderSampleFrame(o, 4, a);
  RenderSampleFrame(o, 4, b);
  EXPECT_EQ(PackedBgr(a), PackedBgr(b));
  RenderSampleFrame(o, 5, b);
  EXPECT_NE(PackedBgr(a), PackedBgr(b));
  o.Seed = 43;
  RenderSampleFrame(o, 4, b);
  EXPECT_NE(PackedBgr(a), PackedBgr(b));
  std::set<int> xs;
  for (int i = 4; i < 24; ++i) {  // the disc wanders at most Jitter (3) pixels from the centre
    const TSampleFrame f = SampleFrameInfo(o, i);
    EXPECT_TRUE(std::abs(f.CenterX - 100) <= 3 && std::abs(f.CenterY - 75) <= 3 && f.State == TPlanetState::Whole) << i;
    xs.insert(f.CenterX);
  }
  EXPECT_GT(xs.size(), 1u);

  TFastDIB img;
  const TSampleFrame whole = RenderSampleFrame(o, 0, img);
  ASSERT_EQ(img.Bpp(), 24);
  int lo = 0, hi = 0;
  const int disc = BrightPixels(img, &lo, &hi);
  EXPECT_TRUE(whole.State == TPlanetState::Whole && whole.Radius == 30) << whole.Radius;
  EXPECT_NEAR(disc, 3.14159 * 30 * 30, 3.14159 * 30 * 30 * 0.15);
  EXPECT_TRUE(lo > 0 && hi < 199);
  EXPECT_EQ(RenderSampleFrame(o, 1, img).State, TPlanetState::Partial);
  EXPECT_TRUE(BrightPixels(img) > 0 && BrightPixels(img) < disc * 3 / 4) << BrightPixels(img);
  EXPECT_EQ(RenderSampleFrame(o, 2, img).State, TPlanetState::Absent);
  EXPECT_EQ(BrightPixels(img), 0);
  const TSampleFrame blurred = RenderSampleFrame(o, 3, img);
  EXPECT_TRUE(blurred.Blurred && blurred.State == TPlanetState::Whole && BrightPixels(img) > 0);
}

TEST(SamplePlanet, WrittenInEveryFormatAndReadBack) {
  TTempDir dir;
  TSampleOptions o;
  o.Frames = 3, o.Width = 40, o.Height = 30;
  for (const char* name : {"8", "16", "24", "32", "YUY2", "mjpeg"}) {
    ASSERT_TRUE(ParseSampleFormat(name, o.Format)) << name;
    const std::string path = dir.File(std::string(name) + ".avi");
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(path, o, &error)) << name << ": " << error;
    TSequence seq;
    ASSERT_TRUE(seq.OpenAvi(path) && seq.ImageCount == 3) << name;
    seq.CurrentIndex = 2;
    TFastDIB got, want;
    ASSERT_TRUE(seq.FetchImage(got)) << name;
    RenderSampleFrame(o, 2, want);
    EXPECT_EQ(got.Bpp(), o.Format == TVideoCodec::Bgra32 ? 32 : 24);
    EXPECT_TRUE(o.Format != TVideoCodec::Bgr24 || PackedBgr(got) == PackedBgr(want)) << name;
    int lo1, hi1, lo2, hi2;  // every format: the planet is where it was, within a little noise
    BrightPixels(got, &lo1, &hi1);
    BrightPixels(want, &lo2, &hi2);
    EXPECT_TRUE(std::abs(lo1 - lo2) <= 1 && std::abs(hi1 - hi2) <= 1) << name << ": " << lo1 << "-" << hi1 << " for " << lo2 << "-" << hi2;
  }
  // As SER captures: grey by luminance, or each pixel the colour its Bayer filter lets through.
  for (const auto& [colour, depth] : {std::pair{int32_t(ser::Mono), 12}, std::pair{int32_t(ser::BayerRggb), 8}}) {
    const std::string path = dir.File("c" + std::to_string(colour) + ".ser");
    ASSERT_TRUE(WriteSampleSer(path, o, colour, depth, nullptr));
    TSequence seq;
    ASSERT_TRUE(seq.Open(path).ok());
    TFastDIB got, want;
    ASSERT_TRUE(seq.FetchImage(got));
    RenderSampleFrame(o, 0, want);
    double diff[3] = {};  // per channel, over the picture: a mosaic keeps the colours' balance
    for (int y = 0; y < o.Height; ++y)
      for (int x = 0; x < o.Width; ++x) {
        const TColorBGR g = got.GetPixel(y, x), w = want.GetPixel(y, x);
        const int grey = (w.r * 77 + w.g * 150 + w.b * 29 + 128) >> 8;
        const int gc[3] = {g.b, g.g, g.r}, wc[3] = {w.b, w.g, w.r};
        for (int k = 0; k < 3; ++k) diff[k] += gc[k] - (colour == ser::Mono ? grey : wc[k]);
      }
    for (const double d : diff) EXPECT_LT(std::abs(d) / (o.Width * o.Height), colour == ser::Mono ? 0.01 : 1.0) << colour;
  }
  o.Frames = -1;
  EXPECT_FALSE(WriteSampleVideo(dir.File("bad.avi"), o, nullptr));
  TVideoCodec c;
  EXPECT_FALSE(ParseSampleFormat("12", c));
}

// The video goes through the atomic writer: a writer given up before Close leaves the old file and nothing else.
TEST(SamplePlanet, VideoReplacesTheOldFileOnlyWhenComplete) {
  TTempDir dir;
  const std::string path = dir.File("v.avi");
  WriteFileBytes(path, "old video");
  auto entries = [&] { return std::distance(fs::directory_iterator(dir.Path()), {}); };
  TVideoWriterOptions w;
  w.Width = w.Height = 16;
  TFastDIB frame;
  frame.SetSize(16, 16, 24, 0);
  for (TVideoCodec codec : {TVideoCodec::Bgr24, TVideoCodec::Mjpeg}) {
    w.Codec = codec;
    {
      TVideoWriter writer;
      ASSERT_TRUE(writer.Open(path, w, nullptr) && writer.WriteFrame(frame, nullptr));
    }
    EXPECT_EQ(ReadFileBytes(path), "old video");
    EXPECT_EQ(entries(), 1);
  }
  TSampleOptions o;
  o.Frames = 2;
  ASSERT_TRUE(WriteSampleVideo(path, o, nullptr));
  EXPECT_GT(fs::file_size(path), 1000u);
  EXPECT_EQ(entries(), 1);
}

struct TPlaceCase {
  const char* Name;
  bool FirstBlocked, SecondBlocked;  // the folder lies under a plain file
  int First;                         // 1: a sample is already in the first folder; 2: it belongs to another user
  int Expected;                      // folder used (0, 1), or -1 for a failure
};
class SampleVideoPlace : public ::testing::TestWithParam<TPlaceCase> {};

TEST_P(SampleVideoPlace, FirstFolderThatTakesIt) {
  const TPlaceCase& c = GetParam();
  TTempDir dir;
  WriteFileBytes(dir.File("plain"), "x");
  const std::string folders[2] = {dir.File(c.FirstBlocked ? "plain/cache" : "cache/stellon"),
                                  dir.File(c.SecondBlocked ? "plain/tmp" : "tmp/stellon-1")};
  if (c.First) fs::create_directories(folders[0]);
  if (c.First == 1) WriteFileBytes(folders[0] + "/sample.avi", "kept");
  if (c.First == 2 && ::chown(folders[0].c_str(), 65534, 65534) != 0) GTEST_SKIP() << "cannot give a folder to another user here";
  TSampleOptions options;
  options.Frames = 2, options.Width = options.Height = 16;
  std::string path;
  const TStatus status = EnsureSampleVideoIn({folders[0], folders[1]}, options, path);
  if (c.Expected < 0) {
    ASSERT_FALSE(status);
    for (const std::string& f : folders) EXPECT_NE(status.Message().find(f + ": Not a directory"), std::string::npos) << status.Message();
    return;
  }
  ASSERT_TRUE(status) << status.Message();
  EXPECT_EQ(path, folders[c.Expected] + "/sample.avi");
  if (c.First == 1) EXPECT_EQ(fs::file_size(path), 4u);  // kept, not written again
  else EXPECT_GT(fs::file_size(path), 1000u);
  EXPECT_FALSE(fs::exists(folders[1 - c.Expected] + "/sample.avi"));
}

INSTANTIATE_TEST_SUITE_P(Folders, SampleVideoPlace,
                         ::testing::Values(TPlaceCase{"CacheWritable", false, false, 0, 0},
                                           TPlaceCase{"CacheKeepsItsVideo", false, false, 1, 0},
                                           TPlaceCase{"CacheOfAnotherUserPassedOver", false, false, 2, 1},
                                           TPlaceCase{"CacheBlockedTempTakesIt", true, false, 0, 1},
                                           TPlaceCase{"NeitherTellsBoth", true, true, 0, -1}),
                         [](const auto& i) { return std::string(i.param.Name); });

TEST(SampleVideoFolder, RelativeOneIsPassedOver) {
  std::string path;
  const TStatus status = EnsureSampleVideoIn({"", "stellon-relative"}, TSampleOptions(), path);
  ASSERT_FALSE(status);
  EXPECT_NE(status.Message().find("stellon-relative: not an absolute folder"), std::string::npos) << status.Message();
  EXPECT_FALSE(fs::exists("stellon-relative"));
}

}  // namespace
