// The video-file service on damaged and hostile files: captures cut short,
// lying headers and indexes, files that are not AVI at all, misuse of handles.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

class VideoDamaged : public ::testing::Test {
 protected:
  void SetUp() override {
    AVIFileInit();
    ASSERT_FALSE(Dir.Path().empty());
  }
  void TearDown() override { AVIFileExit(); }

  // A 24-bit 8x4 video of `n` pattern frames: 96 data bytes per chunk.
  std::string Video(const std::string& name, int n) {
    TVideoWriterOptions o;
    o.Width = 8;
    o.Height = 4;
    std::vector<TFastDIB> frames;
    for (int i = 0; i < n; ++i) frames.push_back(Pattern24(8, 4, i));
    const std::string path = Dir.File(name);
    EXPECT_TRUE(WriteVideo(path, o, frames));
    return path;
  }
  static uint32_t Length(const std::string& path) {
    TAviStreamInfo info;
    return StreamInfoOf(path, info) ? info.dwLength : 0xFFFFFFFFu;
  }
  static void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(v >> (8 * i));
  }

  TTempDir Dir;
};

TEST_F(VideoDamaged, CaptureCutShortKeepsItsWholeFrames) {
  const std::string path = Video("cut.avi", 10);
  const std::string whole = ReadFileBytes(path);
  const size_t movi = whole.find("movi");
  ASSERT_NE(movi, std::string::npos);
  // Four whole chunks of 8 + 96 bytes and half of the fifth; no index.
  WriteFileBytes(path, whole.substr(0, movi + 4 + 4 * 104 + 50));
  EXPECT_EQ(Length(path), 4u);
  const TFetched f3 = FetchDib(path, 3);
  ASSERT_FALSE(f3.Dib.empty());
  const TDibView v = ViewDib(f3.Dib);
  const TFastDIB want = Pattern24(8, 4, 3);
  EXPECT_EQ(std::memcmp(v.Pixels, want.Scanlines[3], 24), 0);  // bottom row first
  EXPECT_TRUE(FetchDib(path, 4).Dib.empty());
}

TEST_F(VideoDamaged, FfmpegFileCutShortIsScanned) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  const std::string path = Dir.File("ff.avi");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=s=32x16:r=10:d=2 -c:v rawvideo -pix_fmt bgr24 '" + path + "'"));
  EXPECT_EQ(Length(path), 20u);
  const std::string whole = ReadFileBytes(path);
  WriteFileBytes(path, whole.substr(0, whole.size() / 2));
  const uint32_t n = Length(path);
  EXPECT_GT(n, 5u);
  EXPECT_LT(n, 11u);
  EXPECT_FALSE(FetchDib(path, int(n) - 1).Dib.empty());
  EXPECT_TRUE(FetchDib(path, int(n)).Dib.empty());
}

TEST_F(VideoDamaged, HeaderLengthDoesNotCountOnlyTheIndexDoes) {
  const std::string path = Video("len.avi", 3);
  std::string bytes = ReadFileBytes(path);
  const size_t strh = bytes.find("strh");
  Put32(bytes, strh + 8 + 32, 0xFFFFFFF0u);  // dwLength
  WriteFileBytes(path, bytes);
  EXPECT_EQ(Length(path), 3u);
}

TEST_F(VideoDamaged, IndexPointingPastTheFileIsCut) {
  const std::string path = Video("idx.avi", 3);
  std::string bytes = ReadFileBytes(path);
  const size_t idx1 = bytes.find("idx1");
  ASSERT_NE(idx1, std::string::npos);
  // Third entry's offset far past the end; then an index claiming a million entries.
  Put32(bytes, idx1 + 8 + 2 * 16 + 8, 0x7FFFFFF0u);
  WriteFileBytes(path, bytes);
  EXPECT_EQ(Length(path), 2u);
  Put32(bytes, idx1 + 4, 16 * 1000000);
  WriteFileBytes(path, bytes);
  EXPECT_EQ(Length(path), 2u);
}

TEST_F(VideoDamaged, OverlappingIndexEntriesStopTheList) {
  const std::string path = Video("dup.avi", 4);
  std::string bytes = ReadFileBytes(path);
  const size_t idx1 = bytes.find("idx1");
  // Entry 2 repeats entry 1's offset.
  std::memcpy(&bytes[idx1 + 8 + 2 * 16 + 8], &bytes[idx1 + 8 + 16 + 8], 4);
  WriteFileBytes(path, bytes);
  EXPECT_EQ(Length(path), 2u);
}

TEST_F(VideoDamaged, ChunkOfTheWrongSizeIsNoFrame) {
  const std::string path = Video("size.avi", 2);
  std::string bytes = ReadFileBytes(path);
  const size_t strf = bytes.find("strf");
  Put32(bytes, strf + 8 + 4, 9);  // biWidth 9: rows of 28 bytes, chunks of 96 no longer fit
  WriteFileBytes(path, bytes);
  EXPECT_EQ(Length(path), 2u);
  EXPECT_TRUE(FetchDib(path, 0).Dib.empty());
}

TEST_F(VideoDamaged, AbsurdPictureSizesHaveNoDecoder) {
  const std::string path = Video("huge.avi", 1);
  const std::string good = ReadFileBytes(path);
  const size_t strf = good.find("strf");
  for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{40000, 4}, {8, 0x80000000u}, {32767, 32767}, {0, 4}}) {
    std::string bytes = good;
    Put32(bytes, strf + 8 + 4, w);
    Put32(bytes, strf + 8 + 8, h);
    WriteFileBytes(path, bytes);
    EXPECT_EQ(FrameDecoderOpens(path), 0) << w << "x" << h;
  }
}

TEST_F(VideoDamaged, NonAviFilesAreRefused) {
  PAVIFILE file = reinterpret_cast<PAVIFILE>(1);
  const std::string text = Dir.File("text.avi");
  WriteFileBytes(text, "RIFF but not really an AVI file, just words\n");
  EXPECT_EQ(AVIFileOpen(&file, text.c_str(), 0, nullptr), AVIERR_FILEREAD);
  EXPECT_EQ(file, nullptr);
  WriteFileBytes(text, "");
  EXPECT_EQ(AVIFileOpen(&file, text.c_str(), 0, nullptr), AVIERR_FILEREAD);
  EXPECT_EQ(AVIFileOpen(&file, Dir.Path().c_str(), 0, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpen(&file, Dir.File("absent.avi").c_str(), 0, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpen(&file, nullptr, 0, nullptr), AVIERR_BADPARAM);
  EXPECT_EQ(AVIFileOpen(nullptr, text.c_str(), 0, nullptr), AVIERR_BADPARAM);
  // A RIFF AVI without streams opens but has no stream to give.
  std::string riff = "RIFF0000AVI ";
  Put32(riff, 4, 4);
  WriteFileBytes(text, riff);
  ASSERT_EQ(AVIFileOpen(&file, text.c_str(), 0, nullptr), AVIERR_OK);
  PAVISTREAM stream = reinterpret_cast<PAVISTREAM>(1);
  EXPECT_EQ(AVIFileGetStream(file, &stream, 0, 0), AVIERR_NODATA);
  EXPECT_EQ(stream, nullptr);
  AVIFileRelease(file);
}

TEST_F(VideoDamaged, HandlesMayBeReleasedOutOfOrder) {
  const std::string path = Video("order.avi", 2);
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpen(&file, path.c_str(), 0, nullptr), AVIERR_OK);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileGetStream(file, &stream, 0, 0), AVIERR_OK);
  PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
  ASSERT_NE(frames, nullptr);
  EXPECT_EQ(AVIFileRelease(file), 2u);  // the stream and the decoder still hold it
  AVIStreamRelease(stream);
  EXPECT_NE(AVIStreamGetFrame(frames, 1), nullptr);
  EXPECT_EQ(AVIStreamGetFrameSize(frames), 40u + 96u);
  EXPECT_EQ(AVIStreamGetFrame(frames, 2), nullptr);
  EXPECT_EQ(AVIStreamGetFrameSize(frames), 0u);
  EXPECT_EQ(AVIStreamGetFrameClose(frames), AVIERR_OK);
  EXPECT_EQ(AVIStreamGetFrame(nullptr, 0), nullptr);
  EXPECT_EQ(AVIStreamInfo(nullptr, nullptr, 140), AVIERR_BADPARAM);
}

TEST_F(VideoDamaged, FileChangedInPlaceIsParsedAgain) {
  const std::string path = Video("inplace.avi", 3);
  EXPECT_EQ(Length(path), 3u);
  // Same inode, new content and size.
  const std::string other = ReadFileBytes(Video("five.avi", 5));
  WriteFileBytes(path, other);
  EXPECT_EQ(Length(path), 5u);
  // Same size and modification time, one pixel changed: read afresh.
  std::string bytes = ReadFileBytes(path);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const size_t movi = bytes.find("movi");
  bytes[movi + 4 + 8] = char(bytes[movi + 4 + 8] ^ 0x55);  // first pixel byte of image 0
  WriteFileBytes(path, bytes);
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const TFetched fetched = FetchDib(path, 0);
  const TDibView v = ViewDib(fetched.Dib);
  ASSERT_NE(v.Pixels, nullptr);
  EXPECT_EQ(v.Pixels[0], uint8_t(bytes[movi + 4 + 8]));
}

}  // namespace
