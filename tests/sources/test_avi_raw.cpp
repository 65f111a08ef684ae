// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI source on uncompressed video: counts, depths, palettes, row order
// and exact pixels, and the facts it gives.
#include <gtest/gtest.h>

#include <cstring>

#include "image/Convert.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

class VideoRaw : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Dir.Path().empty()); }
  TTempDir Dir;
};

TVideoWriterOptions Options(TVideoCodec codec, int w, int h) {
  TVideoWriterOptions o;
  o.Codec = codec;
  o.Width = w;
  o.Height = h;
  return o;
}

// What a stored picture must come out as: 8 bits through its palette and 16
// bits as 5-5-5, both in 24 bits; 24 and 32 bits as stored.
TFastDIB Expected(const TFastDIB& stored, const std::vector<TRGBQuad>& palette) {
  TFastDIB out;
  if (stored.Bpp() == 32) {
    out.CopyFrom(stored);
    return out;
  }
  TFastDIB src;
  src.CopyFrom(stored);
  if (stored.Bpp() == 8)
    for (size_t i = 0; i < palette.size(); ++i) src.Colors[i] = palette[i];
  out.SetSize(stored.Width(), stored.AbsHeight, 24, 0);
  if (stored.Bpp() == 24) out.CopyFrom(stored);
  else ConvertTo24(out, src);
  return out;
}

bool SamePixels(const TFastDIB& a, const TFastDIB& b) {
  return a.Width() == b.Width() && a.AbsHeight == b.AbsHeight && a.Bpp() == b.Bpp() && a.Size() == b.Size() &&
         std::memcmp(a.Bits, b.Bits, a.Size()) == 0;
}

TFastDIB Pattern16(int w, int h, int seed) {
  TFastDIB img;
  img.SetSize(w, h, 16, 555);
  const TFastDIB c = Pattern24(w, h, seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixel(y, x, c.GetPixel(y, x));
  return img;
}

TFastDIB Pattern32(int w, int h, int seed) {
  TFastDIB img;
  img.SetSize(w, h, 32, 888);
  const TFastDIB c = Pattern24(w, h, seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixel(y, x, c.GetPixel(y, x));
  return img;
}

struct TDepthCase {
  const char* Name;
  TVideoCodec Codec;
  int Colours;        // Pal8: entries of the palette written (biClrUsed), 0 for biClrUsed 0 with 256
  int OutBits;        // depth of the images read
};

class VideoRawDepth : public VideoRaw, public ::testing::WithParamInterface<TDepthCase> {};

// Width 5: every depth has padded rows.
TEST_P(VideoRawDepth, ImagesAreTheStoredPicturesTopDown) {
  const TDepthCase& c = GetParam();
  TVideoWriterOptions o = Options(c.Codec, 5, 3);
  std::vector<TFastDIB> frames;
  for (int i = 0; i < 2; ++i) {
    if (c.Codec == TVideoCodec::Pal8) frames.push_back(Pattern8(5, 3, c.Colours ? c.Colours : 256, i));
    else if (c.Codec == TVideoCodec::Rgb555) frames.push_back(Pattern16(5, 3, i));
    else if (c.Codec == TVideoCodec::Bgra32) frames.push_back(Pattern32(5, 3, i));
    else frames.push_back(Pattern24(5, 3, i));
  }
  if (c.Codec == TVideoCodec::Pal8) {
    const int n = c.Colours ? c.Colours : 256;
    for (int i = 0; i < n; ++i) o.Palette.push_back(TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0});
    o.ClrUsedZero = c.Colours == 0;
  }
  const std::string path = Dir.File(std::string(c.Name) + ".avi");
  ASSERT_TRUE(WriteVideo(path, o, frames));
  TOpenedSource s = OpenAvi(path);
  ASSERT_TRUE(s.Source) << s.Status.Message();
  const TSourceFacts& f = s.Source->Facts();
  EXPECT_EQ(f.Format, "AVI");
  EXPECT_EQ(f.ImageCount, 2);
  EXPECT_EQ(f.Width, 5);
  EXPECT_EQ(f.Height, 3);
  EXPECT_EQ(f.SkippedEntries, 0);
  for (int i : {1, 0, 1}) {
    TFastDIB img;
    ASSERT_TRUE(s.Source->ReadImage(i, img)) << c.Name << " " << i;
    EXPECT_EQ(img.Bpp(), c.OutBits);
    EXPECT_TRUE(SamePixels(img, Expected(frames[size_t(i)], o.Palette))) << c.Name << " image " << i;
  }
  TFastDIB img;
  EXPECT_FALSE(s.Source->ReadImage(2, img));
  EXPECT_FALSE(s.Source->ReadImage(-1, img));
}

INSTANTIATE_TEST_SUITE_P(Depths, VideoRawDepth,
                         ::testing::Values(TDepthCase{"pal256", TVideoCodec::Pal8, 256, 24},
                                           TDepthCase{"pal16", TVideoCodec::Pal8, 16, 24},
                                           TDepthCase{"palzero", TVideoCodec::Pal8, 0, 24},
                                           TDepthCase{"rgb555", TVideoCodec::Rgb555, 0, 24},
                                           TDepthCase{"bgr24", TVideoCodec::Bgr24, 0, 24},
                                           TDepthCase{"bgra32", TVideoCodec::Bgra32, 0, 32}),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST_F(VideoRaw, FfmpegTopDownAndBottomUpFilesBothComeOutTheRightWayUp) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  // A picture whose top half is white and bottom half black.
  const std::string topDown = Dir.File("td.avi"), bottomUp = Dir.File("bu.avi");
  const std::string src = "-f lavfi -i color=black:s=8x6:d=0.1,drawbox=x=0:y=0:w=8:h=3:color=white:t=fill -frames:v 2 ";
  ASSERT_TRUE(Ffmpeg(src + "-c:v rawvideo -pix_fmt bgr24 '" + topDown + "'"));
  ASSERT_TRUE(Ffmpeg(src + "-vf vflip -c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1 '" + bottomUp + "'"));
  EXPECT_NE(ReadFileBytes(topDown).find("00dc"), std::string::npos);
  for (const std::string& path : {topDown, bottomUp}) {
    TFastDIB img;
    ASSERT_TRUE(ReadVideoImage(path, 1, img)) << path;
    ASSERT_EQ(img.AbsHeight, 6);
    EXPECT_EQ(img.Scanlines[0][0], 255) << path;  // top row: white
    EXPECT_EQ(img.Scanlines[5][0], 0) << path;    // bottom row: black
  }
}

TEST_F(VideoRaw, DroppedFrameRepeatsThePreviousOne) {
  const std::string path = Dir.File("drop.avi");
  TVideoWriter w;
  ASSERT_TRUE(w.Open(path, Options(TVideoCodec::Bgr24, 4, 4), nullptr));
  ASSERT_TRUE(w.WriteDroppedFrame(nullptr));  // nothing before it: unreadable
  ASSERT_TRUE(w.WriteFrame(Pattern24(4, 4, 1), nullptr));
  ASSERT_TRUE(w.WriteDroppedFrame(nullptr));
  ASSERT_TRUE(w.WriteFrame(Pattern24(4, 4, 2), nullptr));
  ASSERT_TRUE(w.Close(nullptr));
  EXPECT_EQ(ImageCountOf(path), 4);
  TFastDIB i0, i1, i2, i3;
  EXPECT_FALSE(ReadVideoImage(path, 0, i0));
  ASSERT_TRUE(ReadVideoImage(path, 1, i1) && ReadVideoImage(path, 2, i2) && ReadVideoImage(path, 3, i3));
  EXPECT_TRUE(SamePixels(i1, i2));
  EXPECT_FALSE(SamePixels(i1, i3));
}

TEST_F(VideoRaw, ZeroLengthStreamOpensWithNoImages) {
  const std::string path = Dir.File("empty.avi");
  ASSERT_TRUE(WriteVideo(path, Options(TVideoCodec::Bgr24, 8, 8), {}));
  EXPECT_EQ(ImageCountOf(path), 0);
  TFastDIB img;
  EXPECT_FALSE(ReadVideoImage(path, 0, img));
}

TEST_F(VideoRaw, AudioFirstStreamIsNotAVideo) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  const std::string path = Dir.File("audio.avi");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=0.2 -f lavfi -i color=red:s=16x16:d=0.2 -map 0:a -map 1:v -c:a pcm_s16le "
                     "-c:v rawvideo -pix_fmt bgr24 '" + path + "'"));
  const TOpenedSource s = OpenAvi(path);
  EXPECT_FALSE(s.Source);
  EXPECT_EQ(s.Status.Message(), path + "is not a valid AVI file.");
}

}  // namespace
