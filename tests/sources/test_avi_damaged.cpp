// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI source on damaged and hostile files: captures cut short, lying
// headers, damaged indexes, padding, files that are not AVI at all, pipes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

// A 24-bit 8x4 video of `n` pattern frames: 96 data bytes per chunk.
std::string Video(const TTempDir& dir, const std::string& name, int n) {
  TVideoWriterOptions o;
  o.Width = 8;
  o.Height = 4;
  std::vector<TFastDIB> frames;
  for (int i = 0; i < n; ++i) frames.push_back(Pattern24(8, 4, i));
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteVideo(path, o, frames));
  return path;
}

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(v >> (8 * i));
}

// The pattern seed of image i as read (-1 when it cannot be read).
int SeedOf(TImageSource& source, int i) {
  TFastDIB img;
  if (!source.ReadImage(i, img)) return -1;
  for (int seed = 0; seed < 16; ++seed) {
    const TFastDIB want = Pattern24(8, 4, seed);
    if (std::memcmp(img.Bits, want.Bits, want.Size()) == 0) return seed;
  }
  return -2;
}

// --- Damaged idx1 indexes of a 5-image video: a table ---------------------------

struct TIndexCase {
  const char* Name;
  // Rewrites the five 16-byte idx1 entries (entries[i] is entry i as written).
  void (*Damage)(std::string& idx1Entries);
  std::vector<int> Seeds;  // images read, in order
  int Skipped;             // entries left out
};

std::string Entry(const std::string& e, int i) { return e.substr(size_t(i) * 16, 16); }

const TIndexCase kIndexCases[] = {
    {"intact", [](std::string&) {}, {0, 1, 2, 3, 4}, 0},
    {"swapped", [](std::string& e) { e = Entry(e, 0) + Entry(e, 2) + Entry(e, 1) + Entry(e, 3) + Entry(e, 4); },
     {0, 2, 3, 4}, 1},
    {"repeated", [](std::string& e) { e = Entry(e, 0) + Entry(e, 1) + Entry(e, 1) + Entry(e, 3) + Entry(e, 4); },
     {0, 1, 3, 4}, 1},
    {"past_the_end", [](std::string& e) { Put32(e, 2 * 16 + 8, 0x7FFFFFF0u); }, {0, 1, 3, 4}, 1},
    // Most entries unusable: the chunks themselves are walked.
    {"reversed", [](std::string& e) { e = Entry(e, 4) + Entry(e, 3) + Entry(e, 2) + Entry(e, 1) + Entry(e, 0); },
     {0, 1, 2, 3, 4}, 4},
};

class DamagedIndex : public ::testing::TestWithParam<TIndexCase> {
 protected:
  TTempDir Dir;
};

TEST_P(DamagedIndex, UnusableEntriesAreSkippedAloneAndCounted) {
  const TIndexCase& c = GetParam();
  const std::string path = Video(Dir, "v.avi", 5);
  std::string bytes = ReadFileBytes(path);
  const size_t idx1 = bytes.find("idx1");
  ASSERT_NE(idx1, std::string::npos);
  std::string entries = bytes.substr(idx1 + 8, 5 * 16);
  c.Damage(entries);
  bytes.replace(idx1 + 8, 5 * 16, entries);
  WriteFileBytes(path, bytes);
  TOpenedSource s = OpenAvi(path);
  ASSERT_TRUE(s.Source) << s.Status.Message();
  EXPECT_EQ(s.Source->Facts().SkippedEntries, c.Skipped);
  std::vector<int> seeds;
  for (int i = 0; i < s.Source->Facts().ImageCount; ++i) seeds.push_back(SeedOf(*s.Source, i));
  EXPECT_EQ(seeds, c.Seeds);
}

INSTANTIATE_TEST_SUITE_P(Idx1, DamagedIndex, ::testing::ValuesIn(kIndexCases),
                         [](const auto& p) { return std::string(p.param.Name); });

// --- Other damage -----------------------------------------------------------------

class VideoDamaged : public ::testing::Test {
 protected:
  TTempDir Dir;
};

TEST_F(VideoDamaged, CaptureCutShortKeepsItsWholeFrames) {
  const std::string path = Video(Dir, "cut.avi", 10);
  const std::string whole = ReadFileBytes(path);
  const size_t movi = whole.find("movi");
  ASSERT_NE(movi, std::string::npos);
  // Four whole chunks of 8 + 96 bytes and half of the fifth; no index.
  WriteFileBytes(path, whole.substr(0, movi + 4 + 4 * 104 + 50));
  TOpenedSource s = OpenAvi(path);
  ASSERT_TRUE(s.Source);
  EXPECT_EQ(s.Source->Facts().ImageCount, 4);
  EXPECT_EQ(SeedOf(*s.Source, 3), 3);
}

TEST_F(VideoDamaged, WalkWithoutIndexStopsAtZeroPadding) {
  // Three whole chunks, then 8 MB of zeros, then a chunk that must not be reached.
  const std::string path = Video(Dir, "pad.avi", 5);
  const std::string whole = ReadFileBytes(path);
  const size_t movi = whole.find("movi");
  const std::string chunk4 = whole.substr(movi + 4 + 4 * 104, 104);
  WriteFileBytes(path, whole.substr(0, movi + 4 + 3 * 104) + std::string(8 << 20, '\0') + chunk4);
  TOpenedSource s = OpenAvi(path);
  ASSERT_TRUE(s.Source);
  EXPECT_EQ(s.Source->Facts().ImageCount, 3);
}

TEST_F(VideoDamaged, SparseFileOfGigabytesOpensAtOnce) {
  // The headers of a video, then a hole of 5 GB: nothing there to list. Reading
  // it 8 bytes at a time would not end within the test's time limit.
  const std::string path = Video(Dir, "sparse.avi", 2);
  std::string bytes = ReadFileBytes(path);
  const size_t movi = bytes.find("movi");
  bytes.resize(movi + 4);
  WriteFileBytes(path, bytes);
  if (::truncate(path.c_str(), off_t(5) << 30) != 0) GTEST_SKIP() << "cannot make a 5 GB sparse file here";
  TOpenedSource s = OpenAvi(path);
  ASSERT_TRUE(s.Source);
  EXPECT_EQ(s.Source->Facts().ImageCount, 0);
}

TEST_F(VideoDamaged, HeaderLengthDoesNotCountOnlyTheIndexDoes) {
  const std::string path = Video(Dir, "len.avi", 3);
  std::string bytes = ReadFileBytes(path);
  Put32(bytes, bytes.find("strh") + 8 + 32, 0xFFFFFFF0u);  // dwLength
  WriteFileBytes(path, bytes);
  EXPECT_EQ(ImageCountOf(path), 3);
}

TEST_F(VideoDamaged, ChunkOfTheWrongSizeIsNoImage) {
  const std::string path = Video(Dir, "size.avi", 2);
  std::string bytes = ReadFileBytes(path);
  Put32(bytes, bytes.find("strf") + 8 + 4, 9);  // biWidth 9: rows of 28 bytes, chunks of 96 no longer fit
  WriteFileBytes(path, bytes);
  EXPECT_EQ(ImageCountOf(path), 2);
  EXPECT_EQ(FrameDecoderOpens(path), 0);
}

TEST_F(VideoDamaged, AbsurdPictureSizesAreNotRead) {
  const std::string path = Video(Dir, "huge.avi", 1);
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

TEST_F(VideoDamaged, WhatIsNotAnAviIsRefusedWithTheUsualMessage) {
  const std::string text = Dir.File("text.avi");
  std::string riffNoStream = "RIFF0000AVI ";
  Put32(riffNoStream, 4, 4);
  const std::string notValid = "is not a valid AVI file.";
  for (const std::string& content : {std::string("RIFF but not really an AVI file, just words\n"), std::string(),
                                     riffNoStream}) {
    WriteFileBytes(text, content);
    EXPECT_EQ(OpenAvi(text).Status.Message(), text + notValid) << content;
  }
  EXPECT_EQ(OpenAvi(Dir.File("absent.avi")).Status.Message(), Dir.File("absent.avi") + notValid);
  EXPECT_EQ(OpenAvi(Dir.Path()).Status.Message(), Dir.Path() + notValid + " It is a folder.");
}

TEST_F(VideoDamaged, PipeIsRefusedWithoutWaitingForAWriter) {
  const std::string fifo = Dir.File("fifo.avi");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const TOpenedSource s = OpenAvi(fifo);
  EXPECT_FALSE(s.Source);
  EXPECT_EQ(s.Status.Message(), fifo + "is not a valid AVI file. It is not a regular file (a pipe or a device).");
  EXPECT_FALSE(OpenAvi("/dev/zero").Source);
}

}  // namespace
