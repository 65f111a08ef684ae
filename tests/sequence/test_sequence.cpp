// SPDX-License-Identifier: GPL-3.0-or-later
// TSequence: opening AVI videos and BMP lists, fetching images of every
// depth the right way up, closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/stat.h>

#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

class SequenceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Dir.Path().empty()); }

  std::string Video(const std::string& name, TVideoCodec codec, int frames, int w = 6, int h = 4) {
    TVideoWriterOptions o;
    o.Codec = codec;
    o.Width = w;
    o.Height = h;
    std::vector<TFastDIB> images;
    for (int i = 0; i < frames; ++i) images.push_back(Pattern24(w, h, i + 1));
    const std::string path = Dir.File(name);
    EXPECT_TRUE(WriteVideo(path, o, images));
    return path;
  }

  TTempDir Dir;
  TSequence Seq;
};

TEST_F(SequenceTest, OpenAviMakesOneUntickedRecordPerImage) {
  const std::string path = Video("three.avi", TVideoCodec::Bgr24, 3);
  ASSERT_TRUE(Seq.OpenAvi(path));
  EXPECT_TRUE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.AviFileName, path);
  EXPECT_EQ(Seq.ImageCount, 3);
  EXPECT_EQ(Seq.CurrentIndex, 0);
  ASSERT_EQ(Seq.ImageList.Count(), 3);
  EXPECT_EQ(Seq.ImageList.Strings(0), "Image 1");
  EXPECT_EQ(Seq.ImageList.Strings(2), "Image 3");
  for (int i = 0; i < 3; ++i) {
    const TAviList* r = Seq.Record(i);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->Checked || r->HasFrame || r->IsBmpFile || r->HasFramePixels());
  }
  EXPECT_EQ(Seq.Record(3), nullptr);
}

TEST_F(SequenceTest, FetchTurnsImagesTopDownAtEveryDepth) {
  struct Case {
    TVideoCodec Codec;
    int Bpp;
  };
  for (const Case c : {Case{TVideoCodec::Bgr24, 24}, Case{TVideoCodec::Bgra32, 32}, Case{TVideoCodec::Rgb555, 24}}) {
    const std::string path = Video("d" + std::to_string(int(c.Codec)) + ".avi", c.Codec, 2, 5, 3);
    ASSERT_TRUE(Seq.OpenAvi(path));
    Seq.CurrentIndex = 1;
    TFastDIB img;
    ASSERT_TRUE(Seq.FetchImage(img));
    ASSERT_EQ(img.Bpp(), c.Bpp);
    ASSERT_EQ(img.Width(), 5);
    ASSERT_EQ(img.AbsHeight, 3);
    const TFastDIB src = Pattern24(5, 3, 2);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        TColorBGR want = src.GetPixel(y, x);
        if (c.Codec == TVideoCodec::Rgb555) want = TColorBGR{uint8_t(want.b & 0xF8), uint8_t(want.g & 0xF8), uint8_t(want.r & 0xF8)};
        EXPECT_EQ(img.GetPixel(y, x), want) << int(c.Codec) << " y" << y << " x" << x;
      }
  }
}

TEST_F(SequenceTest, FfmpegRawFilesOfBothRowOrdersComeOutTheRightWayUp) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  // Top third white, the rest black; once top-down with "00dc" chunks as
  // ffmpeg writes raw RGB, once bottom-up as a capture.
  const std::string src = "-f lavfi -i color=black:s=10x6:d=0.1,drawbox=x=0:y=0:w=10:h=2:color=white:t=fill "
                          "-frames:v 1 -c:v rawvideo ";
  const std::string td = Dir.File("td.avi"), bu = Dir.File("bu.avi"), pal = Dir.File("pal.avi");
  ASSERT_TRUE(Ffmpeg(src + "-pix_fmt bgr24 '" + td + "'"));
  ASSERT_TRUE(Ffmpeg(src + "-pix_fmt bgr24 -vf vflip -flipped_raw_rgb 1 '" + bu + "'"));
  ASSERT_TRUE(Ffmpeg(src + "-pix_fmt pal8 '" + pal + "'"));
  for (const std::string& path : {td, bu, pal}) {
    ASSERT_TRUE(Seq.OpenAvi(path)) << path;
    TFastDIB img;
    ASSERT_TRUE(Seq.FetchImage(img)) << path;
    ASSERT_EQ(img.AbsHeight, 6);
    // ffmpeg's own palette holds no pure white: bright and dark are enough.
    EXPECT_GT(img.GetPixel(0, 3).g, 240) << path;
    EXPECT_GT(img.GetPixel(1, 9).r, 240) << path;
    EXPECT_LT(img.GetPixel(2, 0).b, 10) << path;
    EXPECT_LT(img.GetPixel(5, 5).g, 10) << path;
  }
}

// The real Uranus capture in the other webcam formats, through the whole
// fetch: FFmpeg's own BGR decode of the same file is the reference (5-5-5
// pictures keep the low three bits of each channel at 0, as our 16-bit reading does).
TEST_F(SequenceTest, UranusCaptureInEveryWebcamFormat) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  const std::string in = "-i '" + std::string(STELLON_TESTS_DATA) + "/uranus-cut.mp4' -frames:v 6 ";
  struct Case {
    const char* Name;
    const char* Args;
    int Bpp;
    uint8_t Mask;
  };
  const Case cases[] = {
      {"pal8", "-vf crop=160:120:80:40,vflip -c:v rawvideo -pix_fmt pal8 -flipped_raw_rgb 1", 24, 0xFF},
      {"rgb555", "-vf crop=160:120:80:40 -c:v rawvideo -pix_fmt rgb555le", 24, 0xF8},
      {"bgra", "-vf crop=160:120:80:40,vflip -c:v rawvideo -pix_fmt bgra -flipped_raw_rgb 1", 32, 0xFF},
      {"gray", "-vf crop=160:120:80:40 -c:v rawvideo -pix_fmt gray -vtag Y800", 24, 0xFF},
      {"i420", "-vf crop=160:120:80:40 -c:v rawvideo -pix_fmt yuv420p -vtag I420", 24, 0xFF},
  };
  for (const Case& c : cases) {
    const std::string path = Dir.File(std::string(c.Name) + ".avi");
    ASSERT_TRUE(Ffmpeg(in + c.Args + " '" + path + "'")) << c.Name;
    std::map<int, std::vector<uint8_t>> want;
    ASSERT_TRUE(FfmpegFramesBgr24(path, {0, 5}, 160, 120, want)) << c.Name;
    ASSERT_TRUE(Seq.OpenAvi(path)) << c.Name;
    ASSERT_EQ(Seq.ImageCount, 6);
    for (const int k : {5, 0}) {
      Seq.CurrentIndex = k;
      TFastDIB img;
      ASSERT_TRUE(Seq.FetchImage(img)) << c.Name;
      ASSERT_EQ(img.Bpp(), c.Bpp) << c.Name;
      int worst = 0;
      for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
          const TColorBGR p = img.GetPixel(y, x);
          const uint8_t* q = want[k].data() + (y * 160 + x) * 3;
          worst = std::max({worst, std::abs(p.b - (q[0] & c.Mask)), std::abs(p.g - (q[1] & c.Mask)),
                            std::abs(p.r - (q[2] & c.Mask))});
        }
      EXPECT_EQ(worst, 0) << c.Name << " image " << k;
    }
  }
}

TEST_F(SequenceTest, EightBitVideoConvertsThroughItsPalette) {
  TVideoWriterOptions o;
  o.Codec = TVideoCodec::Pal8;
  o.Width = 4;
  o.Height = 3;
  for (int i = 0; i < 16; ++i) o.Palette.push_back(TRGBQuad{uint8_t(10 * i), uint8_t(5 * i), uint8_t(255 - i), 0});
  std::vector<TFastDIB> frames;
  frames.push_back(Pattern8(4, 3, 16, 7));
  const std::string path = Dir.File("pal.avi");
  ASSERT_TRUE(WriteVideo(path, o, frames));
  ASSERT_TRUE(Seq.OpenAvi(path));
  TFastDIB img;
  ASSERT_TRUE(Seq.FetchImage(img));
  ASSERT_EQ(img.Bpp(), 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const TRGBQuad q = o.Palette[frames[0].Pixels8(y)[x]];
      EXPECT_EQ(img.GetPixel(y, x), TFastDIB::MakeColor(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
}

// A source that cannot be opened leaves the open sequence exactly as it was.
TEST_F(SequenceTest, FailedOpenLeavesTheOpenSequenceAsItWas) {
  const std::string good = Video("good.avi", TVideoCodec::Bgr24, 3);
  ASSERT_TRUE(Seq.Open(good));
  Seq.Record(1)->Checked = true;
  Seq.FrameSizeSet = true;
  Seq.CurrentIndex = 2;
  ASSERT_TRUE(Seq.FetchCurrentImage());
  const std::string text = Dir.File("notes.avi"), fifo = Dir.File("pipe.avi"), empty = Dir.File("empty.avi");
  WriteFileBytes(text, "these are not the frames you are looking for\n");
  WriteFileBytes(empty, "");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& bad : {text, empty, Dir.File("missing.avi"), fifo, Dir.Path()}) {
    const TStatus st = Seq.Open(bad);
    EXPECT_FALSE(st) << bad;
    EXPECT_EQ(st.Message().rfind(bad + "is not a valid AVI file.", 0), 0u) << st.Message();
    EXPECT_FALSE(Seq.OpenAvi(bad));
    EXPECT_TRUE(Seq.SequenceOpen);
    EXPECT_EQ(Seq.AviFileName, good);
    EXPECT_EQ(Seq.ImageCount, 3);
    EXPECT_EQ(Seq.CurrentIndex, 2);
    EXPECT_TRUE(Seq.FrameSizeSet && Seq.Record(1)->Checked && Seq.CurrentImage);
  }
  TFastDIB img;
  EXPECT_TRUE(Seq.FetchImage(img));
}

TEST_F(SequenceTest, AudioFirstVideoIsRefused) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  const std::string path = Dir.File("sound.avi");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=0.2 -f lavfi -i color=blue:s=16x16:d=0.2 -map 0:a -map 1:v -c:a pcm_s16le "
                     "-c:v rawvideo -pix_fmt bgr24 '" + path + "'"));
  EXPECT_FALSE(Seq.OpenAvi(path));
  EXPECT_FALSE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.ImageList.Count(), 0);
  // With the video stream first, the same content opens.
  ASSERT_TRUE(Ffmpeg("-f lavfi -i color=blue:s=16x16:d=0.2:r=10 -f lavfi -i sine=d=0.2 -map 0:v -map 1:a "
                     "-c:a pcm_s16le -c:v rawvideo -pix_fmt bgr24 '" + path + "'"));
  ASSERT_TRUE(Seq.OpenAvi(path));
  EXPECT_EQ(Seq.ImageCount, 2);
  TFastDIB img;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_GT(img.GetPixel(8, 8).b, 240);
  EXPECT_LT(img.GetPixel(8, 8).r, 10);
}

TEST_F(SequenceTest, ZeroLengthVideoOpensEmptyAndFetchFails) {
  const std::string path = Video("none.avi", TVideoCodec::Bgr24, 0);
  ASSERT_TRUE(Seq.OpenAvi(path));
  EXPECT_EQ(Seq.ImageCount, 0);
  TFastDIB img;
  EXPECT_FALSE(Seq.FetchImage(img));
  EXPECT_FALSE(Seq.FetchCurrentImage());
  EXPECT_EQ(Seq.CurrentImage, nullptr);
}

TEST_F(SequenceTest, OpeningASecondVideoDiscardsTicksAndFrames) {
  ASSERT_TRUE(Seq.OpenAvi(Video("first.avi", TVideoCodec::Bgr24, 4)));
  Seq.Record(1)->Checked = true;
  Seq.Record(1)->HasFrame = true;
  Seq.Record(1)->FramePixels.assign(10, 1);
  Seq.FrameSizeSet = true;
  Seq.CurrentIndex = 3;
  ASSERT_TRUE(Seq.FetchCurrentImage());
  ASSERT_TRUE(Seq.OpenAvi(Video("second.avi", TVideoCodec::Bgr24, 2)));
  EXPECT_EQ(Seq.ImageCount, 2);
  EXPECT_EQ(Seq.CurrentIndex, 0);
  EXPECT_FALSE(Seq.FrameSizeSet);
  EXPECT_EQ(Seq.CurrentImage, nullptr);
  EXPECT_FALSE(Seq.Record(1)->Checked || Seq.Record(1)->HasFrame || Seq.Record(1)->HasFramePixels());
}

// The video is opened once, when the sequence opens: a file removed or
// replaced afterwards does not change the open sequence's images.
TEST_F(SequenceTest, OpenSequenceKeepsItsVideoWhenTheFileGoes) {
  const std::string path = Video("moving.avi", TVideoCodec::Bgr24, 3);
  ASSERT_TRUE(Seq.OpenAvi(path));
  std::filesystem::remove(path);
  Video("moving.avi", TVideoCodec::Bgr24, 1, 8, 8);
  TFastDIB img;
  Seq.CurrentIndex = 2;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(PackedBgr(img), PackedBgr(Pattern24(6, 4, 3)));
}

TEST_F(SequenceTest, CloseForgetsEverything) {
  ASSERT_TRUE(Seq.OpenAvi(Video("c.avi", TVideoCodec::Bgr24, 2)));
  ASSERT_TRUE(Seq.FetchCurrentImage());
  Seq.Close();
  EXPECT_FALSE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.ImageCount, 0);
  EXPECT_EQ(Seq.ImageList.Count(), 0);
  EXPECT_EQ(Seq.CurrentImage, nullptr);
  TFastDIB img;
  EXPECT_FALSE(Seq.FetchImage(img));
}

// --- BMP sequences ---------------------------------------------------------------

std::unique_ptr<TBmpEntryList> Entries(const std::string& dir, const std::vector<std::string>& names) {
  auto list = std::make_unique<TBmpEntryList>();
  for (const std::string& n : names) {
    auto e = std::make_unique<TBMPList>();
    e->SetData(n, "1", "", "16M", "", dir);
    list->Add(n, std::move(e));
  }
  return list;
}

TEST_F(SequenceTest, BmpSequenceNamesAndPaths) {
  Seq.BuildBmpSequence(Entries(Dir.Path(), {"a.bmp", "b.bmp"}));
  ASSERT_TRUE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.ImageCount, 2);
  EXPECT_EQ(Seq.ImageList.Strings(0), "1 - a.bmp");
  EXPECT_EQ(Seq.ImageList.Strings(1), "2 - b.bmp");
  EXPECT_TRUE(Seq.Record(1)->IsBmpFile);
  EXPECT_EQ(Seq.Record(1)->FileName, Dir.Path() + "/b.bmp");
  ASSERT_NE(Seq.BmpFileList, nullptr);
  // An empty list changes nothing.
  Seq.BuildBmpSequence(std::make_unique<TBmpEntryList>());
  EXPECT_EQ(Seq.ImageCount, 2);
  Seq.BuildBmpSequence(nullptr);
  EXPECT_EQ(Seq.ImageList.Count(), 2);
  Seq.Close();
  EXPECT_EQ(Seq.BmpFileList, nullptr);
}

TEST_F(SequenceTest, PathPiecesSplitOnBothSeparators) {
  EXPECT_EQ(TSequence::FileNameOnly("C:\\captures\\jup001.bmp"), "jup001.bmp");
  EXPECT_EQ(TSequence::FileNameOnly("/home/u/jup/jup002.bmp"), "jup002.bmp");
  EXPECT_EQ(TSequence::FileNameOnly("mixed/dir\\x.bmp"), "x.bmp");
  EXPECT_EQ(TSequence::JoinPath("/data/", "x.bmp"), "/data/x.bmp");
  EXPECT_EQ(TSequence::JoinPath("/data", "x.bmp"), "/data/x.bmp");
  EXPECT_EQ(TSequence::AviDisplayName(9), "Image 10");
}

TEST_F(SequenceTest, BmpFetchConvertsToTwentyFourBits) {
  TFastDIB gray;
  gray.SetSize(3, 2, 8, 0);
  for (int i = 0; i < 256; ++i) gray.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  gray.Pixels8(0)[0] = 200;
  gray.Pixels8(1)[2] = 50;
  ASSERT_TRUE(gray.SaveToFile(Dir.File("g.bmp")));
  ASSERT_TRUE(Pattern24(4, 3, 5).SaveToFile(Dir.File("c.bmp")));
  Seq.BuildBmpSequence(Entries(Dir.Path(), {"g.bmp", "c.bmp"}));
  TFastDIB img;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(img.Bpp(), 24);
  EXPECT_EQ(img.GetPixel(0, 0), TFastDIB::MakeColor(200, 200, 200));
  EXPECT_EQ(img.GetPixel(1, 2), TFastDIB::MakeColor(50, 50, 50));
  Seq.CurrentIndex = 1;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(PackedBgr(img), PackedBgr(Pattern24(4, 3, 5)));
}

TEST_F(SequenceTest, SixteenBitBmpWithMasks565IsReadAs555) {
  // A 1x1 16-bit bit-field BMP with 5-6-5 masks holding the word 0x7FFF.
  std::string bmp = std::string("BM") + std::string(12, '\0');
  auto put32 = [&](std::string& s, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i)); };
  bmp.resize(14 + 40 + 12 + 4, '\0');
  put32(bmp, 2, uint32_t(bmp.size()));
  put32(bmp, 10, 14 + 40 + 12);
  put32(bmp, 14, 40);
  put32(bmp, 18, 1);
  put32(bmp, 22, 1);
  bmp[26] = 1;
  bmp[28] = 16;
  put32(bmp, 30, 3);
  put32(bmp, 54, 0xF800);
  put32(bmp, 58, 0x07E0);
  put32(bmp, 62, 0x001F);
  bmp[66] = char(0xFF);
  bmp[67] = 0x7F;
  WriteFileBytes(Dir.File("w.bmp"), bmp);
  Seq.BuildBmpSequence(Entries(Dir.Path(), {"w.bmp"}));
  TFastDIB img;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(img.GetPixel(0, 0), TFastDIB::MakeColor(248, 248, 248));
}

TEST_F(SequenceTest, UnreadableBmpFilesGiveFalseAndSayWhy) {
  WriteFileBytes(Dir.File("junk.bmp"), "not a bitmap at all");
  ASSERT_EQ(::mkfifo(Dir.File("pipe.bmp").c_str(), 0600), 0);
  Seq.BuildBmpSequence(Entries(Dir.Path(), {"junk.bmp", "gone.bmp", "pipe.bmp"}));
  const std::string reasons[] = {"not a BMP file", "No such file or directory", "not a regular file"};
  for (int i = 0; i < 3; ++i) {
    Seq.CurrentIndex = i;
    EXPECT_FALSE(Seq.FetchCurrentImage());
    EXPECT_EQ(Seq.CurrentImage, nullptr);
    EXPECT_NE(Seq.FetchError().Message().find(reasons[i]), std::string::npos) << Seq.FetchError().Message();
  }
}

}  // namespace
