// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "BmpTestFiles.h"

namespace {

std::vector<uint8_t> Save(const TFastDIB& d) {
  std::ostringstream os;
  d.SaveToStream(os);
  const std::string s = os.str();
  return {s.begin(), s.end()};
}

uint32_t At32(const std::vector<uint8_t>& f, size_t i) {
  return uint32_t(f[i]) | uint32_t(f[i + 1]) << 8 | uint32_t(f[i + 2]) << 16 | uint32_t(f[i + 3]) << 24;
}
uint16_t At16(const std::vector<uint8_t>& f, size_t i) { return uint16_t(f[i] | f[i + 1] << 8); }

// A picture whose every pixel byte depends on its place, at any depth.
TFastDIB Pattern(int w, int h, int bpp, int fmt = 0) {
  TFastDIB d;
  d.SetSize(w, h, bpp, fmt);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < d.RowSize - d.Gap; ++i) d.Pixels8(y)[i] = uint8_t(y * 31 + i * 7 + 1);
  if (bpp <= 8)
    for (int i = 0; i < (1 << bpp); ++i) d.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
  return d;
}

// Same size, depth, format and pixel bytes (padding aside).
void ExpectSamePixels(const TFastDIB& a, const TFastDIB& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.AbsHeight, b.AbsHeight);
  ASSERT_EQ(a.Bpp(), b.Bpp());
  EXPECT_EQ(a.BitFormat, b.BitFormat);
  const int used = (a.Bpp() * a.Width() + 7) / 8;
  for (int y = 0; y < a.AbsHeight; ++y) ASSERT_EQ(std::memcmp(a.Pixels8(y), b.Pixels8(y), size_t(used)), 0) << "row " << y;
}

std::string TempDir() {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("stellon-bmp-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace

TEST(BmpWrite, TwentyFourBitFileIsBottomUpWithFiftyFourBytesOfHeaders) {
  TFastDIB d;
  d.SetSize(5, 3, 24, 0);
  for (int y = 0; y < 3; ++y) d.SetPixel(y, 0, TFastDIB::MakeColor(uint8_t(10 * y), 1, 2));
  const auto f = Save(d);
  ASSERT_EQ(f.size(), 54u + 16u * 3);  // RowSize 16
  EXPECT_EQ(At32(f, 2), f.size());
  EXPECT_EQ(At32(f, 10), 54u);
  EXPECT_EQ(At32(f, 14), 40u);
  EXPECT_EQ(At32(f, 22), 3u);  // positive height
  EXPECT_EQ(At32(f, 30), 0u);  // uncompressed
  EXPECT_EQ(At32(f, 34), 48u);
  EXPECT_EQ(At32(f, 46), 0u);
  EXPECT_EQ(f[54 + 2], 20);       // first stored row: the bottom one (red 20)
  EXPECT_EQ(f[54 + 32 + 2], 0);   // last stored row: the top one
  // The buffer itself is untouched by saving.
  EXPECT_EQ(d.GetPixel(0, 0).r, 0);
  EXPECT_EQ(d.Info.Header.biHeight, -3);
  TFastDIB back;
  ASSERT_TRUE(Load(back, f));
  ExpectSamePixels(d, back);
  EXPECT_EQ(back.Info.Header.biHeight, -3);
}

TEST(BmpWrite, PalettedImagesUseTheCoreFormWithoutAColourCount) {
  for (int bpp : {1, 4, 8}) {
    const TFastDIB d = Pattern(7, 3, bpp);
    const auto f = Save(d);
    const size_t head = 14 + 12 + 3 * (size_t(1) << bpp);
    EXPECT_EQ(At32(f, 10), head) << bpp;
    EXPECT_EQ(f.size(), head + d.Size());
    EXPECT_EQ(At32(f, 14), 12u);
    EXPECT_EQ(At16(f, 18), 7);
    EXPECT_EQ(At16(f, 20), 3);
    EXPECT_EQ(At16(f, 24), bpp);
    EXPECT_EQ(f[26 + 3 + 2], 3);  // palette entry 1: blue, green, red
    TFastDIB back;
    ASSERT_TRUE(Load(back, f));
    ExpectSamePixels(d, back);
    for (int i = 0; i < (1 << bpp); ++i) EXPECT_EQ(back.Colors[i], d.Colors[i]);
    EXPECT_EQ(back.Info.Header.biClrUsed, 0u);
  }
  EXPECT_EQ(At32(Save(Pattern(2, 2, 8)), 10), 14u + 12 + 768);
}

TEST(BmpWrite, LoadedColourCountAndDensityAreKept) {
  TBmpFields s;
  s.width = 3;
  s.bpp = 8;
  s.clrUsed = 5;
  s.palette = GreyPalette(5);
  s.xPels = 3780;
  s.yPels = 1890;
  s.pixels = {0, 1, 4, 0, 2, 3, 1, 0};
  TFastDIB d;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.Info.Header.biClrUsed, 5u);
  EXPECT_EQ(d.Pixels8(0)[1], 3);  // top row is the second stored row
  const auto f = Save(d);
  EXPECT_EQ(At32(f, 14), 40u);  // a colour count needs the 40-byte form
  EXPECT_EQ(At32(f, 10), 54u + 5 * 4);
  EXPECT_EQ(At32(f, 38), 3780u);
  EXPECT_EQ(At32(f, 42), 1890u);
  EXPECT_EQ(At32(f, 46), 5u);
  TFastDIB back;
  ASSERT_TRUE(Load(back, f));
  ExpectSamePixels(d, back);
  EXPECT_EQ(back.Colors[4], (TRGBQuad{4, 4, 4, 0}));
}

TEST(BmpRead, SixteenBitFormatsFromTheMasks) {
  TBmpFields s;
  s.width = 2;
  s.height = 1;
  s.bpp = 16;
  s.pixels = {0x1F, 0x00, 0x00, 0xF8};  // pure blue, pure red
  TFastDIB d;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.BitFormat, 555);  // no bit fields

  s.compression = 3;
  s.masks = {0xF800, 0x07E0, 0x001F};
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.BitFormat, 565);
  EXPECT_EQ(d.GetPixel(0, 0), TFastDIB::MakeColor(0, 0, 248));
  EXPECT_EQ(d.GetPixel(0, 1), TFastDIB::MakeColor(248, 0, 0));

  // Masks inside a V4 header.
  s.headerSize = 108;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.BitFormat, 565);

  // Same counts in another order: moved into the standard layout.
  s.headerSize = 40;
  s.masks = {0x001F, 0x07E0, 0xF800};
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.GetPixel(0, 0), TFastDIB::MakeColor(248, 0, 0));
  EXPECT_EQ(d.GetPixel(0, 1), TFastDIB::MakeColor(0, 0, 248));
}

TEST(BmpRead, ThirtyTwoBitMasksAreBroughtToStandardBytes) {
  TBmpFields s;
  s.width = 1;
  s.height = 1;
  s.bpp = 32;
  s.compression = 3;
  s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the first byte
  s.pixels = {10, 20, 30, 0};
  TFastDIB d;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.BitFormat, 888);
  EXPECT_EQ(d.GetPixel(0, 0), TFastDIB::MakeColor(10, 20, 30));
  s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};  // 10 bits each: keep the top 8
  const uint32_t v = (1023u << 20) | (512u << 10) | 3u;
  s.pixels = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.GetPixel(0, 0), TFastDIB::MakeColor(255, 128, 0));
}

TEST(BmpRoundTrip, EveryDepthAndFormat) {
  struct Case { int w, h, bpp, fmt; };
  for (Case c : {Case{9, 3, 1, 0}, Case{5, 4, 4, 0}, Case{6, 2, 8, 0}, Case{3, 3, 16, 555}, Case{3, 3, 16, 565},
                 Case{7, 5, 24, 0}, Case{2, 3, 32, 888}}) {
    const TFastDIB d = Pattern(c.w, c.h, c.bpp, c.fmt);
    TFastDIB back;
    ASSERT_TRUE(Load(back, Save(d))) << c.bpp;
    ExpectSamePixels(d, back);
  }
  // A 565 picture must not come back as 555.
  const auto f = Save(Pattern(3, 3, 16, 565));
  EXPECT_EQ(At32(f, 30), 3u);
  EXPECT_EQ(At32(f, 54), 0xF800u);
  EXPECT_EQ(At32(f, 10), 66u);
}

TEST(BmpRead, TopDownFilesComeOutTheRightWayUp) {
  TBmpFields s;
  s.width = 1;
  s.height = -3;
  s.pixels = {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0};
  TFastDIB d;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.AbsHeight, 3);
  EXPECT_EQ(d.GetPixel(0, 0).b, 1);  // first stored row is the top
  EXPECT_EQ(d.GetPixel(2, 0).b, 3);
  s.height = 3;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.GetPixel(0, 0).b, 3);
}

TEST(BmpRead, UnusableFilesLeaveTheBufferAlone) {
  TBmpFields good;
  good.width = 2;
  good.height = 2;
  good.pixels.assign(16, 7);
  std::vector<std::pair<const char*, std::vector<uint8_t>>> bad;
  auto with = [&](const char* why, auto change) {
    TBmpFields s = good;
    change(s);
    bad.emplace_back(why, MakeBmp(s));
  };
  with("bit count 2", [](TBmpFields& s) { s.bpp = 2; });
  with("bit count 0", [](TBmpFields& s) { s.bpp = 0; });
  with("RLE8 with 24 bits", [](TBmpFields& s) { s.compression = 1; });
  with("bit fields with 24 bits", [](TBmpFields& s) { s.compression = 3; s.masks = {0xFF0000, 0xFF00, 0xFF}; });
  with("JPEG inside", [](TBmpFields& s) { s.compression = 4; });
  with("zero width", [](TBmpFields& s) { s.width = 0; });
  with("negative width", [](TBmpFields& s) { s.width = -2; });
  with("width too large", [](TBmpFields& s) { s.width = 32768; });
  with("height of INT32_MIN", [](TBmpFields& s) { s.height = INT32_MIN; });
  with("too many pixels", [](TBmpFields& s) { s.width = 32767; s.height = 32767; });
  with("truncated pixels", [](TBmpFields& s) { s.pixels.resize(15); });
  with("pixels start inside the header", [](TBmpFields& s) { s.offBitsDelta = -10; });
  with("pixels start past the end", [](TBmpFields& s) { s.offBitsDelta = 1000; s.pixels.clear(); });
  with("header size 20", [](TBmpFields& s) { s.headerSize = 20; });
  with("header longer than the file", [](TBmpFields& s) { s.headerSize = 4000; s.pixels.clear(); });
  with("RLE top-down", [](TBmpFields& s) { s.bpp = 8; s.compression = 1; s.height = -2; });
  with("empty 16-bit mask", [](TBmpFields& s) { s.bpp = 16; s.compression = 3; s.masks = {0xFF00, 0xFF, 0}; });
  with("overlapping masks", [](TBmpFields& s) { s.bpp = 16; s.compression = 3; s.masks = {0xF800, 0x0FE0, 0x1F}; });
  with("holey mask", [](TBmpFields& s) { s.bpp = 16; s.compression = 3; s.masks = {0xF400, 0x07E0, 0x1F}; });
  with("16-bit channel of 9 bits", [](TBmpFields& s) { s.bpp = 16; s.compression = 3; s.masks = {0xC000, 0x3FE0, 0x1F}; });
  std::vector<uint8_t> notBm = MakeBmp(good);
  notBm[0] = 'M';
  bad.emplace_back("not BM", notBm);
  const std::vector<uint8_t> whole = MakeBmp(good);
  bad.emplace_back("header cut short", std::vector<uint8_t>(whole.begin(), whole.begin() + 30));
  bad.emplace_back("pixels cut short", std::vector<uint8_t>(whole.begin(), whole.end() - 1));
  bad.emplace_back("two bytes", std::vector<uint8_t>{'B', 'M'});

  for (const auto& [why, bytes] : bad) {
    TFastDIB d;
    d.SetSize(3, 1, 24, 0);
    d.SetPixel(0, 2, TFastDIB::MakeColor(9, 8, 7));
    uint8_t* const bits = d.Bits;
    EXPECT_FALSE(Load(d, bytes)) << why;
    EXPECT_EQ(d.Bits, bits) << why;
    EXPECT_EQ(d.Width(), 3) << why;
    EXPECT_EQ(d.GetPixel(0, 2), TFastDIB::MakeColor(9, 8, 7)) << why;
  }
  TFastDIB d;
  EXPECT_FALSE(d.LoadFromMemory(nullptr, 0));
  EXPECT_TRUE(Load(d, MakeBmp(good)));  // the unchanged fields load
}

TEST(BmpRead, PaletteIsTakenOnlyFromBeforeThePixels) {
  TBmpFields s;
  s.width = 4;
  s.height = 1;
  s.bpp = 8;
  s.clrUsed = 256;
  s.palette = GreyPalette(2);  // says 256 colours, holds 2
  s.pixels = {0, 1, 200, 255};
  TFastDIB d;
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.Colors[1], (TRGBQuad{1, 1, 1, 0}));
  EXPECT_EQ(d.Colors[2], TRGBQuad{});  // not the pixel bytes
  s.clrUsed = 1000;  // absurd count: clamped
  ASSERT_TRUE(Load(d, MakeBmp(s)));
  EXPECT_EQ(d.Info.Header.biClrUsed, 256u);
  EXPECT_EQ(Save(d).size(), 54u + 1024 + 4);
}

TEST(BmpStream, MemoryStreamsFromTheStartOtherStreamsFromTheirPosition) {
  const TFastDIB d = Pattern(3, 2, 24);
  const auto f = Save(d);
  std::stringstream mem(std::string(f.begin(), f.end()));
  mem.seekg(17);
  TFastDIB a;
  ASSERT_TRUE(a.LoadFromStream(mem));
  ExpectSamePixels(d, a);

  const std::string path = TempDir() + "/two.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << "XYZ";
    out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
  }
  std::ifstream in(path, std::ios::binary);
  TFastDIB b;
  b.SetSize(1, 1, 24, 0);
  EXPECT_FALSE(b.LoadFromStream(in));  // "XY" is not "BM": nothing read
  EXPECT_EQ(in.tellg(), 0);
  EXPECT_EQ(b.Width(), 1);
  in.seekg(3);
  ASSERT_TRUE(b.LoadFromStream(in));
  ExpectSamePixels(d, b);
}

TEST(BmpFile, SaveAndLoadThroughFiles) {
  const std::string dir = TempDir();
  const TFastDIB d = Pattern(11, 7, 8);
  ASSERT_TRUE(d.SaveToFile(dir + "/p.bmp"));
  TFastDIB back;
  ASSERT_TRUE(back.LoadFromFile(dir + "/p.bmp"));
  ExpectSamePixels(d, back);
  // Overwriting keeps no temporary files behind.
  ASSERT_TRUE(Pattern(2, 2, 24).SaveToFile(dir + "/p.bmp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

TEST(BmpFile, MissingFileThrowsWithTheSystemReason) {
  TFastDIB d;
  try {
    d.LoadFromFile("/nonexistent-folder/x.bmp");
    FAIL() << "no exception";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/x.bmp"), std::string::npos);
  }
  EXPECT_THROW(d.LoadFromFile("/"), std::system_error);  // a folder cannot be read
}

TEST(BmpFile, UnwritableDestinationIsReportedWithTheSystemReason) {
  const std::string dir = TempDir();
  // A "folder" that is a plain file: nobody, not even root, can create in it.
  std::ofstream(dir + "/plain") << "x";
  const TStatus s = Pattern(4, 4, 24).SaveToFile(dir + "/plain/out.bmp");
  ASSERT_FALSE(s);
  EXPECT_NE(s.Message().find(dir + "/plain/out.bmp"), std::string::npos) << s.Message();
  EXPECT_NE(s.Message().find(std::strerror(ENOTDIR)), std::string::npos) << s.Message();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

TEST(BmpStream, SaveToStreamReportsAWriteFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
  std::ofstream full("/dev/full", std::ios::binary);
  full.rdbuf()->pubsetbuf(nullptr, 0);
  EXPECT_THROW(Pattern(64, 64, 24).SaveToStream(full), std::system_error);
}
