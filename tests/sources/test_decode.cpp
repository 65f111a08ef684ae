// SPDX-License-Identifier: GPL-3.0-or-later
// Coded and raw videos made with the ffmpeg program, read through our sources and compared with
// FFmpeg's own decode of the same file: every image in order, then at random and backwards.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "sources/MediaSource.h"
#include "sources/OpenSource.h"
#include "sources/SerFormat.h"
#include "support/VideoFixtures.h"

using namespace fixtures;
namespace fs = std::filesystem;

namespace {

struct TDecodeCase {
  const char* Name;
  const char* Make;  // ffmpeg arguments before the output ($U: the Uranus cut); null: File is a capture of the test data
  const char* File;
  int W, H, Frames, Bpp;
  uint8_t Mask = 0xFF;  // bits of FFmpeg's decode that ours keeps (5-5-5 keeps the high five)
};

#define URANUS(filter) "-i $U -frames:v 12 -vf crop=160:120:80:40" filter " -c:v "
#define LOOPED "-stream_loop 4 -i $U -vf scale=320:256 -frames:v 120 -c:v "
const TDecodeCase kCases[] = {
    {"Mpeg4BFrames", "-f lavfi -i testsrc=s=96x64:r=25:d=2 -c:v mpeg4 -bf 2 -g 9 -q:v 4", "v.avi", 96, 64, 50, 24},
    {"I420", "-f lavfi -i testsrc=s=48x32:r=10:d=0.5 -c:v rawvideo -pix_fmt yuv420p -vtag I420", "v.avi", 48, 32, 5, 24},
    {"Bgr24BottomUp", URANUS(",vflip") "rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1", "v.avi", 160, 120, 12, 24},
    {"Bgr24TopDown", URANUS("") "rawvideo -pix_fmt bgr24", "v.avi", 160, 120, 12, 24},
    {"Mjpeg", URANUS("") "mjpeg -q:v 3", "v.avi", 160, 120, 12, 24},
    {"Yuyv", URANUS("") "rawvideo -pix_fmt yuyv422", "v.avi", 160, 120, 12, 24},
    {"Pal8BottomUp", URANUS(",vflip") "rawvideo -pix_fmt pal8 -flipped_raw_rgb 1", "v.avi", 160, 120, 12, 24},
    {"Rgb555", URANUS("") "rawvideo -pix_fmt rgb555le", "v.avi", 160, 120, 12, 24, 0xF8},
    {"BgraBottomUp", URANUS(",vflip") "rawvideo -pix_fmt bgra -flipped_raw_rgb 1", "v.avi", 160, 120, 12, 32},
    {"GreyY800", URANUS("") "rawvideo -pix_fmt gray -vtag Y800", "v.avi", 160, 120, 12, 24},
    {"Mp4H264BFrames", LOOPED "libx264 -preset veryfast -bf 3 -g 48", "v.mp4", 320, 256, 120, 24},
    {"MkvMpeg4BFrames", LOOPED "mpeg4 -q:v 4 -bf 2 -g 30", "v.mkv", 320, 256, 120, 24},
    {"MovOpenGop", LOOPED "libx264 -preset veryfast -x264-params open-gop=1:keyint=40", "v.mov", 320, 256, 120, 24},
    {"DivxCapture", nullptr, "real/moon_divx.avi", 1280, 960, 101, 24},
};

class Decode : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(Decode, SameImagesAsFfmpegInAnyOrder) {
  const TDecodeCase& c = GetParam();
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  TTempDir dir;
  std::string path = std::string(STELLON_TESTDATA) + "/" + c.File, make = c.Make ? c.Make : "";
  if (c.Make) {
    path = dir.File(c.File);
    if (const size_t at = make.find("$U"); at != std::string::npos)
      make.replace(at, 2, "'" + std::string(STELLON_TESTS_DATA) + "/uranus-cut.mp4'");
    ASSERT_TRUE(Ffmpeg(make + " '" + path + "'")) << make;
  } else if (!fs::exists(path)) {
    GTEST_SKIP() << "the capture (GPL-3, not shipped) is not at " << path;
  }
  const std::string reference = dir.File("reference.bgr");
  ASSERT_TRUE(Ffmpeg("-i '" + path + "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt bgr24 '" + reference + "'"));
  const std::string want = ReadFileBytes(reference);
  const size_t frameBytes = size_t(c.W) * size_t(c.H) * 3;
  ASSERT_EQ(want.size(), frameBytes * size_t(c.Frames));

  std::unique_ptr<TImageSource> source;
  if (fs::path(path).extension() == ".avi") source = OpenAvi(path).Source;
  else ASSERT_TRUE(OpenMediaSource(path, source).ok());
  ASSERT_TRUE(source);
  std::string format = fs::path(path).extension().string().substr(1);
  for (char& ch : format) ch = char(std::toupper(ch));
  const TSourceFacts& f = source->Facts();
  ASSERT_EQ(std::make_tuple(f.Format, f.Width, f.Height, f.ImageCount), std::make_tuple(format, c.W, c.H, c.Frames));
  std::vector<int> order;
  for (int i = 0; i < c.Frames; ++i) order.push_back(i);
  std::mt19937 random(15);
  for (int n = 0; n < 30; ++n) order.push_back(int(random() % unsigned(c.Frames)));
  for (int i = c.Frames - 1; i >= std::max(0, c.Frames - 12); --i) order.push_back(i);
  TFastDIB img;
  for (const int i : order) {
    const TStatus read = source->ReadImage(i, img);
    ASSERT_TRUE(read.ok()) << read.Message();
    ASSERT_EQ(std::make_tuple(img.Bpp(), img.Width(), img.AbsHeight), std::make_tuple(c.Bpp, c.W, c.H));
    for (int y = 0; y < c.H; ++y)
      for (int x = 0; x < c.W; ++x) {
        const TColorBGR p = img.GetPixel(y, x);
        const char* q = &want[frameBytes * size_t(i) + (size_t(y) * size_t(c.W) + size_t(x)) * 3];
        ASSERT_TRUE(p.b == (q[0] & c.Mask) && p.g == (q[1] & c.Mask) && p.r == (q[2] & c.Mask))
            << "image " << i << " at " << x << "," << y;
      }
  }
  EXPECT_FALSE(source->ReadImage(c.Frames, img));
}

INSTANTIATE_TEST_SUITE_P(Videos, Decode, ::testing::ValuesIn(kCases), [](const auto& p) { return std::string(p.param.Name); });

TEST(DecodeRefused, AudioFirstAndAudioOnly) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  TTempDir dir;
  const std::string audio = dir.File("audio.avi");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=0.2 -f lavfi -i color=red:s=16x16:d=0.2 -map 0:a -map 1:v -c:a pcm_s16le "
                     "-c:v rawvideo -pix_fmt bgr24 '" + audio + "'"));
  EXPECT_EQ(OpenAvi(audio).Status.Message(), audio + "is not a valid AVI file.");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=0.2 -c:a aac '" + dir.File("sound.mp4") + "'"));
  std::unique_ptr<TImageSource> sound;
  EXPECT_NE(OpenMediaSource(dir.File("sound.mp4"), sound).Message().find("no video stream"), std::string::npos);
}

// The reader is chosen by what the file holds, then by its extension.
TEST(OpenImageSource, ContentFirstThenExtension) {
  TTempDir dir;
  TVideoWriterOptions o;
  o.Width = o.Height = 4;
  ASSERT_TRUE(WriteVideo(dir.File("avi"), o, {}));
  ser::THeader h;
  h.Width = h.Height = 4, h.Depth = 8, h.FrameCount = 0;
  const std::vector<uint8_t> header = ser::EncodeHeader(h);
  const std::string avi = ReadFileBytes(dir.File("avi")), ser(header.begin(), header.end());
  for (const auto& [name, bytes, format] : {std::tuple<std::string, std::string, std::string>{"a.ser", ser, "SER"}, {"a.avi", ser, "SER"},
                                            {"b.ser", avi, "AVI"}, {"b.MP4", avi, "AVI"}, {"noext", ser, "SER"}, {"v1.2/noext", avi, "AVI"},
                                            {"text.ser", "words", ""}, {"text.mp4", "words", ""}, {"gone.ser", "", ""}}) {
    std::filesystem::create_directories(dir.File("v1.2"));
    if (name != "gone.ser") WriteFileBytes(dir.File(name), bytes);
    const TOpenedSource s = OpenImageSource(dir.File(name));
    EXPECT_EQ(s.Source ? s.Source->Facts().Format : "", format) << name;
    EXPECT_TRUE(s.Source || s.Status.Message().rfind(dir.File(name) + ": ", 0) == 0) << s.Status.Message();  // the reader the extension names says why
  }
}

}  // namespace
