// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI source on coded video: every codec comes out as 24-bit top-down
// pictures equal to FFmpeg's own decode of the same picture, also when images
// are asked for out of order in inter-coded streams.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

class VideoCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    ASSERT_FALSE(Dir.Path().empty());
  }

  // Opens `path` once; the images of one comparison come from that source, as
  // a sequence reads them.
  int Open(const std::string& path) {
    Opened = OpenAvi(path);
    return Opened.Source ? Opened.Source->Facts().ImageCount : -1;
  }

  // Image `index` as top-down BGR rows.
  std::vector<uint8_t> Ours(int index, int w, int h) {
    TFastDIB img;
    if (!Opened.Source || !Opened.Source->ReadImage(index, img)) return {};
    EXPECT_EQ(img.Bpp(), 24);
    EXPECT_EQ(img.Width(), w);
    EXPECT_EQ(img.AbsHeight, h);
    return PackedBgr(img);
  }

  // Compares our image with FFmpeg's for each index, in the order given.
  void ExpectSameAsFfmpeg(const std::string& path, const std::vector<int>& order, int w, int h) {
    std::map<int, std::vector<uint8_t>> want;
    ASSERT_TRUE(FfmpegFramesBgr24(path, order, w, h, want)) << path;
    ASSERT_GE(Open(path), 0) << path;
    for (const int k : order) EXPECT_EQ(MaxDiff(Ours(k, w, h), want[k]), 0) << path << " frame " << k;
  }

  TTempDir Dir;
  TOpenedSource Opened;
};

TEST_F(VideoCodec, Yuy2AndMjpegMatchFfmpeg) {
  TSampleOptions o;
  o.Frames = 6;
  o.Width = 64;
  o.Height = 48;
  for (const TVideoCodec c : {TVideoCodec::Yuy2, TVideoCodec::Mjpeg}) {
    o.Format = c;
    const std::string path = Dir.File(c == TVideoCodec::Yuy2 ? "yuy2.avi" : "mjpeg.avi");
    ASSERT_TRUE(WriteSampleVideo(path, o, nullptr));
    EXPECT_EQ(ImageCountOf(path), 6);
    ExpectSameAsFfmpeg(path, {0, 5, 2, 3, 3, 1}, 64, 48);
  }
}

TEST_F(VideoCodec, PlanarAndGreyRawFormatsMatchFfmpeg) {
  const std::string i420 = Dir.File("i420.avi"), y800 = Dir.File("y800.avi");
  const std::string src = "-f lavfi -i testsrc=s=48x32:r=10:d=0.5 ";
  ASSERT_TRUE(Ffmpeg(src + "-c:v rawvideo -pix_fmt yuv420p -vtag I420 '" + i420 + "'"));
  ASSERT_TRUE(Ffmpeg(src + "-c:v rawvideo -pix_fmt gray -vtag Y800 '" + y800 + "'"));
  ExpectSameAsFfmpeg(i420, {4, 0, 2}, 48, 32);
  ExpectSameAsFfmpeg(y800, {3, 1}, 48, 32);
}

TEST_F(VideoCodec, Mpeg4WithBFramesGivesExactImagesInAnyOrder) {
  const std::string path = Dir.File("bframes.avi");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=s=96x64:r=25:d=2 -c:v mpeg4 -bf 2 -g 9 -q:v 4 '" + path + "'"));
  ASSERT_EQ(ImageCountOf(path), 50);
  // Backwards, across groups, at group starts and just before them, the last image.
  ExpectSameAsFfmpeg(path, {49, 0, 17, 18, 9, 8, 10, 26, 27, 1, 48, 35, 36, 37, 2}, 96, 64);
  TFastDIB none;
  EXPECT_FALSE(Opened.Source->ReadImage(50, none));
  // Every image in order, to the last ones that only come out when the decoder is drained.
  std::vector<int> all;
  for (int i = 0; i < 50; ++i) all.push_back(i);
  ExpectSameAsFfmpeg(path, all, 96, 64);
  ExpectSameAsFfmpeg(path, {47, 48, 49, 48}, 96, 64);
}

TEST_F(VideoCodec, DivxCaptureRandomAccessIsExact) {
  const std::string path = std::string(STELLON_TESTDATA) + "/real/moon_divx.avi";
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << "the lunar capture (GPL-3, not shipped) is not at " << path;
  ASSERT_EQ(ImageCountOf(path), 101);
  ExpectSameAsFfmpeg(path, {100, 3, 57, 12, 13, 0}, 1280, 960);
}

TEST_F(VideoCodec, UranusCaptureInWebcamFormats) {
  const std::string uranus = std::string(STELLON_TESTS_DATA) + "/uranus-cut.mp4";
  const std::string crop = "-i '" + uranus + "' -frames:v 12 -vf crop=320:240:0:0";
  struct Case {
    const char* Name;
    const char* Args;
  };
  const Case cases[] = {
      {"bgr24.avi", ",vflip -c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1"},
      {"mjpeg.avi", " -c:v mjpeg -q:v 3"},
      {"yuyv.avi", " -c:v rawvideo -pix_fmt yuyv422"},
  };
  for (const Case& c : cases) {
    const std::string path = Dir.File(c.Name);
    ASSERT_TRUE(Ffmpeg(crop + c.Args + " '" + path + "'")) << c.Name;
    EXPECT_EQ(ImageCountOf(path), 12);
    ExpectSameAsFfmpeg(path, {11, 0, 6}, 320, 240);
  }
}

TEST_F(VideoCodec, UnknownCodecHasNoDecoder) {
  // An uncompressed file whose compression code is patched to an unknown one.
  const std::string path = Dir.File("odd.avi");
  TVideoWriterOptions o;
  o.Width = 4;
  o.Height = 4;
  std::vector<TFastDIB> frames;
  frames.push_back(Pattern24(4, 4, 1));
  ASSERT_TRUE(WriteVideo(path, o, frames));
  std::string bytes = ReadFileBytes(path);
  const size_t strf = bytes.find("strf");
  ASSERT_NE(strf, std::string::npos);
  std::memcpy(&bytes[strf + 8 + 16], "QQQQ", 4);
  WriteFileBytes(path, bytes);
  EXPECT_EQ(FrameDecoderOpens(path), 0);
}

}  // namespace
