// SPDX-License-Identifier: GPL-3.0-or-later
// Videos in other containers, made from the real Uranus capture with the
// ffmpeg program, read through the source and compared with ffmpeg's own
// decode of the same file, picture by picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "sources/MediaSource.h"

namespace fs = std::filesystem;

namespace {

struct TVideoCase {
  const char* Name;
  const char* File;
  const char* Encode;  // ffmpeg output options
  const char* Format;
};

class MediaSource : public ::testing::TestWithParam<TVideoCase> {};

constexpr int W = 320, H = 256;

TEST_P(MediaSource, SamePicturesAsFfmpegInOrderAndAtRandom) {
  // The 24-image cut played five times: 120 images, several groups of pictures in every encoding.
  const fs::path uranus = fs::path(STELLON_TESTS_DATA) / "uranus-cut.mp4";
  const TVideoCase& c = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("stellon_media_" + std::to_string(::getpid()) + c.Name);
  fs::create_directories(dir);
  const fs::path video = dir / c.File, reference = dir / "reference.bgr";
  const std::string make = "ffmpeg -nostdin -v error -y -stream_loop 4 -i '" + uranus.string() + "' -vf scale=" + std::to_string(W) +
                           ":" + std::to_string(H) + " -frames:v 120 " + c.Encode + " '" + video.string() + "'";
  const std::string decode = "ffmpeg -nostdin -v error -y -i '" + video.string() +
                             "' -vsync passthrough -f rawvideo -pix_fmt bgr24 '" + reference.string() + "'";
  if (std::system(make.c_str()) != 0 || std::system(decode.c_str()) != 0) {
    fs::remove_all(dir);
    GTEST_SKIP() << "ffmpeg cannot make the test video: " << make;
  }
  const size_t frameBytes = size_t(W) * H * 3;
  const int frames = int(fs::file_size(reference) / frameBytes);
  ASSERT_EQ(frames, 120);

  std::unique_ptr<TImageSource> source;
  const TStatus opened = OpenMediaSource(video, source);
  ASSERT_TRUE(opened.ok()) << opened.Message();
  EXPECT_EQ(source->Facts().Format, c.Format);
  EXPECT_EQ(source->Facts().Width, W);
  EXPECT_EQ(source->Facts().Height, H);
  ASSERT_EQ(source->Facts().ImageCount, frames);

  std::ifstream ref(reference, std::ios::binary);
  std::vector<char> want(frameBytes);
  TFastDIB image;
  auto check = [&](int i) {
    ref.seekg(std::streamoff(i) * std::streamoff(frameBytes));
    ref.read(want.data(), std::streamsize(frameBytes));
    const TStatus read = source->ReadImage(i, image);
    ASSERT_TRUE(read.ok()) << read.Message();
    ASSERT_EQ(image.Width(), W);
    for (int y = 0; y < H; ++y)
      ASSERT_EQ(std::memcmp(image.Scanlines[size_t(y)], &want[size_t(y) * W * 3], size_t(W) * 3), 0)
          << "image " << i << " row " << y;
  };
  for (int i = 0; i < frames; ++i) check(i);
  std::mt19937 random(15);
  for (int n = 0; n < 40; ++n) check(int(random() % unsigned(frames)));
  for (int i : {frames - 1, 0, 60, 59, 61}) check(i);
  EXPECT_FALSE(source->ReadImage(frames, image).ok());
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, MediaSource,
    ::testing::Values(TVideoCase{"Mp4H264BFrames", "uranus.mp4", "-c:v libx264 -preset veryfast -bf 3 -g 48", "MP4"},
                      TVideoCase{"MkvMpeg4BFrames", "uranus.mkv", "-c:v mpeg4 -q:v 4 -bf 2 -g 30", "MKV"},
                      TVideoCase{"MovOpenGop", "uranus.mov", "-c:v libx264 -preset veryfast -x264-params open-gop=1:keyint=40", "MOV"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(MediaSourceOpen, NotAVideoIsRefusedWithItsName) {
  const fs::path path = fs::temp_directory_path() / ("stellon_not_video_" + std::to_string(::getpid()) + ".mp4");
  std::ofstream(path) << "not a video at all";
  std::unique_ptr<TImageSource> source;
  const TStatus status = OpenMediaSource(path, source);
  EXPECT_FALSE(status.ok());
  EXPECT_FALSE(source);
  EXPECT_EQ(status.Message().rfind(path.string() + ": ", 0), 0u) << status.Message();
  fs::remove(path);
}

}  // namespace
