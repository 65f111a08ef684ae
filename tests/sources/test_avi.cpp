// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI source on uncompressed video: exact pictures at every depth; damaged or hostile files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "image/Convert.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

struct TDepthCase {
  const char* Name;
  TVideoCodec Codec;
  int Bpp, Colours;  // Pal8: palette entries written, 0 for biClrUsed 0 with 256
};
class AviDepth : public ::testing::TestWithParam<TDepthCase> {};

// Width 5: every depth has padded rows.
TEST_P(AviDepth, ImagesAreTheStoredPicturesTopDown) {
  const TDepthCase& c = GetParam();
  TVideoWriterOptions o;
  o.Codec = c.Codec;
  o.Width = 5;
  o.Height = 3;
  const int bpp = c.Bpp, colours = c.Colours ? c.Colours : 256;
  for (int i = 0; bpp == 8 && i < colours; ++i) o.Palette.push_back(TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0});
  o.ClrUsedZero = bpp == 8 && c.Colours == 0;
  std::vector<TFastDIB> frames(2);
  for (int i = 0; i < 2; ++i) {
    frames[size_t(i)].SetSize(5, 3, bpp, bpp == 16 ? 555 : bpp == 32 ? 888 : 0);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        if (bpp == 8) frames[size_t(i)].Pixels8(y)[x] = uint8_t((x + 3 * y + i) % colours);
        else frames[size_t(i)].SetPixel(y, x, Pattern24(5, 3, i).GetPixel(y, x));
  }
  TTempDir dir;
  const std::string path = dir.File("v.avi");
  ASSERT_TRUE(WriteVideo(path, o, frames));
  TOpenedSource s = OpenAvi(path);
  ASSERT_TRUE(s.Source) << s.Status.Message();
  const TSourceFacts& f = s.Source->Facts();  // 8 bits come out through the palette and 16 as 5-5-5, in 24 bits
  EXPECT_EQ(std::make_tuple(f.Format, f.ImageCount, f.Width, f.Height, f.SkippedEntries),
            std::make_tuple(std::string("AVI"), 2, 5, 3, 0));
  for (int i : {1, 0, 1}) {
    TFastDIB img, want, src;
    ASSERT_TRUE(s.Source->ReadImage(i, img)) << i;
    src.CopyFrom(frames[size_t(i)]);
    for (size_t k = 0; bpp == 8 && k < o.Palette.size(); ++k) src.Colors[k] = o.Palette[k];
    if (bpp == 32) want.CopyFrom(src);
    else want.SetSize(5, 3, 24, 0), ConvertTo24(want, src);
    ASSERT_EQ(std::make_pair(img.Bpp(), img.Size()), std::make_pair(want.Bpp(), want.Size()));
    EXPECT_EQ(std::memcmp(img.Bits, want.Bits, want.Size()), 0) << "image " << i;
  }
  TFastDIB img;
  EXPECT_FALSE(s.Source->ReadImage(2, img));
  EXPECT_FALSE(s.Source->ReadImage(-1, img));
}

INSTANTIATE_TEST_SUITE_P(Depths, AviDepth,
                         ::testing::Values(TDepthCase{"pal256", TVideoCodec::Pal8, 8, 256}, TDepthCase{"pal16", TVideoCodec::Pal8, 8, 16},
                                           TDepthCase{"palzero", TVideoCodec::Pal8, 8, 0}, TDepthCase{"rgb555", TVideoCodec::Rgb555, 16, 0},
                                           TDepthCase{"bgr24", TVideoCodec::Bgr24, 24, 0}, TDepthCase{"bgra32", TVideoCodec::Bgra32, 32, 0}),
                         [](const auto& p) { return std::string(p.param.Name); });

// The five 16-byte idx1 entries rewritten from the written ones in the given order.
void Reorder(std::string& b, std::initializer_list<int> order) {
  const size_t at = b.find("idx1") + 8;
  const std::string old = b.substr(at, 5 * 16);
  size_t to = at;
  for (int i : order) b.replace(to, 16, old.substr(size_t(i) * 16, 16)), to += 16;
}
std::string Le(uint64_t v, int n) {
  std::string s(size_t(n), '\0');
  for (int i = 0; i < n; ++i) s[size_t(i)] = char(v >> (8 * i));
  return s;
}
void Put32(std::string& s, size_t at, uint32_t v) { s.replace(at, 4, Le(v, 4)); }
// OpenDML indexes ("indx" ending the strl; idx1 renamed) listing chunks 0, 2 and 4 from a base offset:
// the standard index itself, or a super index pointing at it at the end of the file.
// `declared`: the entries the standard index says it holds (more than its size allows is not believed).
void OpenDml(std::string& b, bool super, uint32_t declared = 3) {
  b.replace(b.find("idx1"), 4, "JUNK");
  const size_t at = b.find("movi") - 8, grow = super ? 48 : 56, movi = at + grow + 8;  // where "movi" lands
  const std::string standard = Le(2, 2) + Le(0x100, 2) + Le(declared, 4) + "00db" + Le(movi, 8) + Le(0, 4) + Le(12, 4) + Le(96, 4) +
                               Le(12 + 2 * 104, 4) + Le(96, 4) + Le(12 + 4 * 104, 4) + Le(96, 4);
  const std::string indx = super ? "indx" + Le(40, 4) + Le(4, 2) + Le(0, 2) + Le(1, 4) + "00db" + Le(0, 8) + Le(0, 4) +
                                       Le(b.size() + grow, 8) + Le(56, 4) + Le(3, 4)
                                 : "indx" + Le(48, 4) + standard;
  b.insert(at, indx);
  if (super) b += "ix00" + Le(48, 4) + standard;
  for (const size_t size : {size_t(4), size_t(16), b.find("strl") - 4}) {  // RIFF, hdrl and strl grow
    uint32_t v;
    std::memcpy(&v, &b[size], 4);  // little-endian like the file
    Put32(b, size, v + uint32_t(indx.size()));
  }
}
size_t Movi(const std::string& b) { return b.find("movi") + 4; }  // chunks of 8 + 96 bytes follow
void Size(std::string& b, uint32_t w, uint32_t h) {
  Put32(b, b.find("strf") + 12, w);
  Put32(b, b.find("strf") + 16, h);
}

struct THostileAvi {
  const char* Name;
  int Frames;                     // 8x4 24-bit pattern frames written (frame i with seed i)
  unsigned Dropped;               // bit i: frame i written as a dropped (empty) chunk
  void (*Damage)(std::string&);   // applied to the file's bytes
  std::vector<int> Seeds;         // seed of each image read, -1 unreadable; empty with Refused
  int Skipped;                    // index entries left out
  bool Refused = false;
  off_t Extend = 0;               // file grown (sparse) to this size
};

const THostileAvi kHostile[] = {
    {"Intact", 5, 0, [](std::string&) {}, {0, 1, 2, 3, 4}, 0},
    {"IndexSwapped", 5, 0, [](std::string& b) { Reorder(b, {0, 2, 1, 3, 4}); }, {0, 2, 3, 4}, 1},
    {"IndexRepeated", 5, 0, [](std::string& b) { Reorder(b, {0, 1, 1, 3, 4}); }, {0, 1, 3, 4}, 1},
    {"IndexPastTheEnd", 5, 0, [](std::string& b) { Put32(b, b.find("idx1") + 8 + 2 * 16 + 8, 0x7FFFFFF0u); }, {0, 1, 3, 4}, 1},
    // Most entries unusable: the chunks themselves are walked.
    {"IndexReversed", 5, 0, [](std::string& b) { Reorder(b, {4, 3, 2, 1, 0}); }, {0, 1, 2, 3, 4}, 4},
    {"OpenDmlStandardIndex", 5, 0, [](std::string& b) { OpenDml(b, false); }, {0, 2, 4}, 0},
    {"OpenDmlSuperIndex", 5, 0, [](std::string& b) { OpenDml(b, true); }, {0, 2, 4}, 0},
    {"OpenDmlIndexClaimingMore", 5, 0, [](std::string& b) { OpenDml(b, false, 1000); }, {0, 2, 4}, 0},
    {"CutShortNoIndex", 10, 0, [](std::string& b) { b.resize(Movi(b) + 4 * 104 + 50); }, {0, 1, 2, 3}, 0},
    {"WalkStopsAtZeroPadding", 5, 0,
     [](std::string& b) { b = b.substr(0, Movi(b) + 3 * 104) + std::string(8 << 20, '\0') + b.substr(Movi(b) + 4 * 104, 104); },
     {0, 1, 2}, 0},
    {"SparseGigabytesOpenAtOnce", 2, 0, [](std::string& b) { b.resize(Movi(b)); }, {}, 0, false, off_t(5) << 30},
    {"HeaderLengthIgnored", 3, 0, [](std::string& b) { Put32(b, b.find("strh") + 8 + 32, 0xFFFFFFF0u); }, {0, 1, 2}, 0},
    {"ChunkOfTheWrongSize", 2, 0, [](std::string& b) { Size(b, 9, 4); }, {-1, -1}, 0},
    {"WidthAbsurd", 1, 0, [](std::string& b) { Size(b, 40000, 4); }, {-1}, 0},
    {"HeightAbsurd", 1, 0, [](std::string& b) { Size(b, 8, 0x80000000u); }, {-1}, 0},
    {"AreaAbsurd", 1, 0, [](std::string& b) { Size(b, 32767, 32767); }, {-1}, 0},
    {"WidthZero", 1, 0, [](std::string& b) { Size(b, 0, 4); }, {-1}, 0},
    {"UnknownCodec", 1, 0, [](std::string& b) { b.replace(b.find("strf") + 8 + 16, 4, "QQQQ"); }, {-1}, 0},
    {"DroppedFrameRepeatsThePrevious", 4, 0b0101, [](std::string&) {}, {-1, 1, 1, 3}, 0},
    {"ZeroLengthStream", 0, 0, [](std::string&) {}, {}, 0},
    {"Text", 1, 0, [](std::string& b) { b = "RIFF but not really an AVI file, just words\n"; }, {}, 0, true},
    {"Empty", 1, 0, [](std::string& b) { b.clear(); }, {}, 0, true},
    {"RiffWithoutStream", 1, 0, [](std::string& b) { b = std::string("RIFF\4\0\0\0AVI ", 12); }, {}, 0, true},
};

class AviHostile : public ::testing::TestWithParam<THostileAvi> {};

TEST_P(AviHostile, RefusedOrReadAsFarAsWholeImagesGo) {
  const THostileAvi& c = GetParam();
  TTempDir dir;
  const std::string path = dir.File("v.avi");
  {
    TVideoWriterOptions o;
    o.Width = 8;
    o.Height = 4;
    TVideoWriter w;
    ASSERT_TRUE(w.Open(path, o, nullptr));
    for (int i = 0; i < c.Frames; ++i)
      ASSERT_TRUE(c.Dropped >> i & 1 ? w.WriteDroppedFrame(nullptr) : w.WriteFrame(Pattern24(8, 4, i), nullptr));
    ASSERT_TRUE(w.Close(nullptr));
  }
  std::string bytes = ReadFileBytes(path);
  c.Damage(bytes);
  WriteFileBytes(path, bytes);
  if (c.Extend && ::truncate(path.c_str(), c.Extend) != 0) GTEST_SKIP() << "cannot make a large sparse file here";
  TOpenedSource s = OpenAvi(path);
  ASSERT_EQ(s.Source == nullptr, c.Refused) << s.Status.Message();
  if (c.Refused) {
    EXPECT_EQ(s.Status.Message(), path + "is not a valid AVI file.");
    return;
  }
  EXPECT_EQ(s.Source->Facts().SkippedEntries, c.Skipped);
  std::vector<int> seeds;
  for (int i = 0; i < s.Source->Facts().ImageCount; ++i) {
    TFastDIB img;
    int seed = s.Source->ReadImage(i, img) ? -2 : -1;
    for (int k = 0; seed == -2 && k < 16; ++k) seed = PackedBgr(img) == PackedBgr(Pattern24(8, 4, k)) ? k : -2;
    seeds.push_back(seed);
  }
  EXPECT_EQ(seeds, c.Seeds);
}

INSTANTIATE_TEST_SUITE_P(Files, AviHostile, ::testing::ValuesIn(kHostile), [](const auto& p) { return std::string(p.param.Name); });

TEST(AviNotAFile, RefusedWithTheReasonAndWithoutWaiting) {
  TTempDir dir;
  const std::string fifo = dir.File("fifo.avi"), notValid = "is not a valid AVI file.";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OpenAvi(fifo).Status.Message(), fifo + notValid + " It is not a regular file (a pipe or a device).");
  EXPECT_EQ(OpenAvi(dir.Path()).Status.Message(), dir.Path() + notValid + " It is a folder.");
  EXPECT_EQ(OpenAvi(dir.File("absent.avi")).Status.Message(), dir.File("absent.avi") + notValid);
}

}  // namespace
