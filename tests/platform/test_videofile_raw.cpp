// The video-file service on uncompressed video: stream facts, DIB layout,
// palettes, depths and row order, exact pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

class VideoRaw : public ::testing::Test {
 protected:
  void SetUp() override {
    AVIFileInit();
    ASSERT_FALSE(Dir.Path().empty());
  }
  void TearDown() override { AVIFileExit(); }
  TTempDir Dir;
};

TVideoWriterOptions Options(TVideoCodec codec, int w, int h) {
  TVideoWriterOptions o;
  o.Codec = codec;
  o.Width = w;
  o.Height = h;
  return o;
}

// Bottom-up DIB row y (0 = bottom) of a view.
const uint8_t* Row(const TDibView& v, int y) { return v.Pixels + int64_t(y) * v.Stride; }

TEST_F(VideoRaw, StreamInfoGivesVideoTypeAndIndexLength) {
  const std::string path = Dir.File("a.avi");
  std::vector<TFastDIB> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(Pattern24(7, 5, i));
  ASSERT_TRUE(WriteVideo(path, Options(TVideoCodec::Bgr24, 7, 5), frames));
  TAviStreamInfo info;
  ASSERT_TRUE(StreamInfoOf(path, info));
  EXPECT_EQ(info.fccType, streamtypeVIDEO);
  EXPECT_EQ(info.dwLength, 3u);
  EXPECT_EQ(info.rcFrame[2], 7);
  EXPECT_EQ(info.rcFrame[3], 5);
  // Asking for fewer bytes fills only those.
  TAviStreamInfo part;
  part.dwLength = 99;
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpen(&file, path.c_str(), 0, nullptr), AVIERR_OK);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileGetStream(file, &stream, 0, 0), AVIERR_OK);
  ASSERT_EQ(AVIStreamInfo(stream, &part, 8), AVIERR_OK);
  EXPECT_EQ(part.fccType, streamtypeVIDEO);
  EXPECT_EQ(part.dwLength, 99u);
  PAVISTREAM second = nullptr;
  EXPECT_EQ(AVIFileGetStream(file, &second, 0, 1), AVIERR_NODATA);
  EXPECT_EQ(second, nullptr);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
}

TEST_F(VideoRaw, TwentyFourBitsAreExactAndBottomUp) {
  const std::string path = Dir.File("b.avi");
  const TFastDIB f0 = Pattern24(5, 3, 10), f1 = Pattern24(5, 3, 20);  // width 5: rows padded to 16 bytes
  std::vector<TFastDIB> frames;
  frames.push_back(Pattern24(5, 3, 10));
  frames.push_back(Pattern24(5, 3, 20));
  ASSERT_TRUE(WriteVideo(path, Options(TVideoCodec::Bgr24, 5, 3), frames));
  for (int i = 0; i < 2; ++i) {
    const TFetched r = FetchDib(path, i);
    ASSERT_EQ(r.Dib.size(), 40u + 16 * 3) << i;
    const TDibView v = ViewDib(r.Dib);
    EXPECT_EQ(v.Width, 5);
    EXPECT_EQ(v.Height, 3);  // positive: bottom-up
    EXPECT_EQ(v.BitCount, 24);
    const TFastDIB& src = i == 0 ? f0 : f1;
    for (int y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(Row(v, 2 - y), src.Scanlines[size_t(y)], 15), 0) << y;
  }
  EXPECT_TRUE(FetchDib(path, 2).Dib.empty());
  EXPECT_TRUE(FetchDib(path, -1).Dib.empty());
}

TEST_F(VideoRaw, EightBitKeepsItsPaletteWith256And16Colours) {
  for (const int colours : {256, 16}) {
    const std::string path = Dir.File("p" + std::to_string(colours) + ".avi");
    TVideoWriterOptions o = Options(TVideoCodec::Pal8, 6, 4);
    for (int i = 0; i < colours; ++i) o.Palette.push_back(TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0});
    const TFastDIB img = Pattern8(6, 4, colours, 1);
    std::vector<TFastDIB> frames;
    frames.push_back(Pattern8(6, 4, colours, 1));
    ASSERT_TRUE(WriteVideo(path, o, frames));
    const TFetched r = FetchDib(path, 0);
    const TDibView v = ViewDib(r.Dib);
    ASSERT_EQ(v.BitCount, 8);
    EXPECT_EQ(v.ClrUsed, uint32_t(colours));
    EXPECT_EQ(v.TableBytes, size_t(colours) * 4);  // 1024 or 64 bytes before the pixels
    ASSERT_EQ(r.Dib.size(), 40 + v.TableBytes + 8 * 4);
    EXPECT_EQ(std::memcmp(r.Dib.data() + 40, o.Palette.data(), v.TableBytes), 0);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(std::memcmp(Row(v, 3 - y), img.Scanlines[size_t(y)], 6), 0);
  }
}

TEST_F(VideoRaw, EightBitWithClrUsedZeroTakesFullTable) {
  const std::string path = Dir.File("z.avi");
  TVideoWriterOptions o = Options(TVideoCodec::Pal8, 4, 2);
  o.PaletteColours = 256;
  o.ClrUsedZero = true;
  std::vector<TFastDIB> frames;
  frames.push_back(Pattern8(4, 2, 256, 5));
  ASSERT_TRUE(WriteVideo(path, o, frames));
  const TFetched fetched = FetchDib(path, 0);
  const TDibView v = ViewDib(fetched.Dib);
  EXPECT_EQ(v.BitCount, 8);
  EXPECT_EQ(v.ClrUsed, 0u);
  EXPECT_EQ(v.TableBytes, 1024u);
}

TEST_F(VideoRaw, SixteenAndThirtyTwoBitsKeepTheirDepth) {
  const std::string p16 = Dir.File("c16.avi"), p32 = Dir.File("c32.avi");
  std::vector<TFastDIB> frames;
  frames.push_back(Pattern24(3, 2, 4));
  ASSERT_TRUE(WriteVideo(p16, Options(TVideoCodec::Rgb555, 3, 2), frames));
  ASSERT_TRUE(WriteVideo(p32, Options(TVideoCodec::Bgra32, 3, 2), frames));
  const TFetched f16 = FetchDib(p16, 0);
  const TDibView v16 = ViewDib(f16.Dib);
  ASSERT_EQ(v16.BitCount, 16);
  const TFetched f32 = FetchDib(p32, 0);
  const TDibView v32 = ViewDib(f32.Dib);
  ASSERT_EQ(v32.BitCount, 32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const TColorBGR c = frames[0].GetPixel(y, x);
      const uint16_t w = uint16_t(Row(v16, 1 - y)[2 * x] | Row(v16, 1 - y)[2 * x + 1] << 8);
      EXPECT_EQ(w, uint16_t((c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3));
      EXPECT_EQ(std::memcmp(Row(v32, 1 - y) + 4 * x, &c, 3), 0);
    }
}

TEST_F(VideoRaw, FfmpegTopDownAndBottomUpFilesBothComeOutBottomUp) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  // A picture whose top half is white and bottom half black.
  const std::string topDown = Dir.File("td.avi"), bottomUp = Dir.File("bu.avi");
  const std::string src = "-f lavfi -i color=black:s=8x6:d=0.1,drawbox=x=0:y=0:w=8:h=3:color=white:t=fill -frames:v 2 ";
  ASSERT_TRUE(Ffmpeg(src + "-c:v rawvideo -pix_fmt bgr24 '" + topDown + "'"));
  ASSERT_TRUE(Ffmpeg(src + "-vf vflip -c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1 '" + bottomUp + "'"));
  // The two files differ in row order and chunk names, as ffmpeg writes them.
  EXPECT_NE(ReadFileBytes(topDown).find("00dc"), std::string::npos);
  for (const std::string& path : {topDown, bottomUp}) {
    const TFetched r = FetchDib(path, 1);
    const TDibView v = ViewDib(r.Dib);
    ASSERT_EQ(v.BitCount, 24) << path;
    ASSERT_EQ(v.Height, 6);
    EXPECT_EQ(Row(v, 0)[0], 0) << path;    // bottom row: black
    EXPECT_EQ(Row(v, 5)[0], 255) << path;  // top row: white
  }
}

// AVIStreamGetFrameRows gives the DIB's rows, top-down, for every depth and row order.
TEST_F(VideoRaw, RowsAreTheDibFlipped) {
  std::vector<std::string> paths;
  for (const TVideoCodec c : {TVideoCodec::Pal8, TVideoCodec::Rgb555, TVideoCodec::Bgr24, TVideoCodec::Bgra32}) {
    TVideoWriterOptions o = Options(c, 5, 3);
    std::vector<TFastDIB> frames;
    frames.push_back(c == TVideoCodec::Pal8 ? Pattern8(5, 3, 256, 1) : Pattern24(5, 3, 1));
    frames.push_back(c == TVideoCodec::Pal8 ? Pattern8(5, 3, 256, 2) : Pattern24(5, 3, 2));
    paths.push_back(Dir.File("r" + std::to_string(int(c)) + ".avi"));
    ASSERT_TRUE(WriteVideo(paths.back(), o, frames));
  }
  if (HaveFfmpeg()) {
    paths.push_back(Dir.File("ffmpeg_td.avi"));  // top-down rows
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=s=5x3:r=10:d=0.2 -c:v rawvideo -pix_fmt bgr24 '" + paths.back() + "'"));
  }
  for (const std::string& path : paths) {
    const TFetched dib = FetchDib(path, 1);
    const TDibView v = ViewDib(dib.Dib);
    ASSERT_NE(v.Pixels, nullptr) << path;
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path.c_str(), 0, nullptr), AVIERR_OK);
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIFileGetStream(file, &stream, 0, 0), AVIERR_OK);
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(frames, nullptr);
    int32_t w = 0, h = 0, bits = 0;
    ASSERT_TRUE(AVIStreamGetFrameFormat(frames, &w, &h, &bits));
    EXPECT_EQ(w, v.Width);
    EXPECT_EQ(h, v.Height);
    EXPECT_EQ(bits, v.BitCount);
    std::vector<uint8_t> block(size_t(v.Stride) * size_t(h), 0xEE);
    std::vector<uint8_t*> rows;
    for (int y = 0; y < h; ++y) rows.push_back(block.data() + int64_t(y) * v.Stride);
    ASSERT_TRUE(AVIStreamGetFrameRows(frames, 1, rows.data(), w, h, bits)) << path;
    for (int y = 0; y < h; ++y) EXPECT_EQ(std::memcmp(rows[size_t(y)], Row(v, h - 1 - y), size_t(v.Stride)), 0) << path;
    EXPECT_FALSE(AVIStreamGetFrameRows(frames, 1, rows.data(), w + 1, h, bits));  // not the decoder's geometry
    EXPECT_FALSE(AVIStreamGetFrameRows(frames, 9, rows.data(), w, h, bits));
    AVIStreamGetFrameClose(frames);
    AVIStreamRelease(stream);
    AVIFileRelease(file);
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
  TAviStreamInfo info;
  ASSERT_TRUE(StreamInfoOf(path, info));
  EXPECT_EQ(info.dwLength, 4u);
  EXPECT_TRUE(FetchDib(path, 0).Dib.empty());
  EXPECT_EQ(FetchDib(path, 2).Dib, FetchDib(path, 1).Dib);
  EXPECT_NE(FetchDib(path, 3).Dib, FetchDib(path, 1).Dib);
}

TEST_F(VideoRaw, ZeroLengthStreamOpensWithNoFrames) {
  const std::string path = Dir.File("empty.avi");
  ASSERT_TRUE(WriteVideo(path, Options(TVideoCodec::Bgr24, 8, 8), {}));
  TAviStreamInfo info;
  ASSERT_TRUE(StreamInfoOf(path, info));
  EXPECT_EQ(info.fccType, streamtypeVIDEO);
  EXPECT_EQ(info.dwLength, 0u);
  EXPECT_TRUE(FetchDib(path, 0).Dib.empty());
}

TEST_F(VideoRaw, AudioFirstStreamIsReportedAsAudio) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  const std::string path = Dir.File("audio.avi");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=0.2 -f lavfi -i color=red:s=16x16:d=0.2 -map 0:a -map 1:v -c:a pcm_s16le "
                     "-c:v rawvideo -pix_fmt bgr24 '" + path + "'"));
  TAviStreamInfo info;
  ASSERT_TRUE(StreamInfoOf(path, info));
  EXPECT_EQ(info.fccType, streamtypeAUDIO);
  // No frame decoder for an audio stream.
  EXPECT_EQ(FrameDecoderOpens(path), 0);
}

}  // namespace
