// SPDX-License-Identifier: GPL-3.0-or-later
// BMP files: our forms read back (also by QImage), hand-made, hostile and RLE files, the BMP Suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <tuple>

#include "image/Convert.h"
#include "image/FastDIB.h"
#include "support/VideoFixtures.h"

#ifdef STELLON_HAVE_QTGUI
#include <QImage>
#endif

namespace fs = std::filesystem;

namespace {

// Every header field of a hand-made file can be set to anything, nonsense included.
struct TBmpFields {
  int32_t width = 2, height = 2;  // negative: top-down
  uint16_t bpp = 24;
  uint32_t compression = 0, headerSize = 40, clrUsed = 0;
  std::vector<TRGBQuad> palette = {};  // after the header (3 bytes each in the core form)
  std::vector<uint32_t> masks = {};    // after a 40-byte header, inside a longer one
  std::vector<uint8_t> pixels = std::vector<uint8_t>(16, 7);
  int64_t offBitsDelta = 0;  // added to the natural pixel offset
};

std::vector<uint8_t> MakeBmp(const TBmpFields& s) {
  std::vector<uint8_t> f{'B', 'M'};
  auto u16 = [&](uint32_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  const bool core = s.headerSize == 12;
  const size_t table = (s.headerSize == 40 ? s.masks.size() * 4 : 0) + s.palette.size() * (core ? 3 : 4);
  const uint32_t off = uint32_t(int64_t(14 + s.headerSize + table) + s.offBitsDelta);
  u32(uint32_t(off + s.pixels.size())), u32(0), u32(off), u32(s.headerSize);
  if (core) {
    u16(uint32_t(s.width)), u16(uint32_t(s.height)), u16(1), u16(s.bpp);
  } else {
    u32(uint32_t(s.width)), u32(uint32_t(s.height)), u16(1), u16(s.bpp), u32(s.compression);
    u32(uint32_t(s.pixels.size())), u32(0), u32(0), u32(s.clrUsed), u32(0);
    for (uint32_t i = 40; i < s.headerSize; i += 4) u32(i - 40 < 4 * s.masks.size() ? s.masks[(i - 40) / 4] : 0);
  }
  if (s.headerSize == 40)
    for (uint32_t m : s.masks) u32(m);
  for (const TRGBQuad& q : s.palette) {
    f.insert(f.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed});
    if (!core) f.push_back(0);
  }
  if (f.size() < off) f.resize(off, 0);  // a gap before the pixels; a negative delta only lies in bfOffBits
  f.insert(f.end(), s.pixels.begin(), s.pixels.end());
  return f;
}

bool Load(TFastDIB& d, const std::vector<uint8_t>& bytes) { return d.LoadFromMemory(bytes.data(), bytes.size()); }

std::vector<TRGBQuad> IndexPalette(int n) {
  std::vector<TRGBQuad> p;
  for (int i = 0; i < n; ++i) p.push_back(TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return p;
}

std::vector<uint8_t> Save(const TFastDIB& d) {
  std::ostringstream os;
  d.SaveToStream(os);
  const std::string s = os.str();
  return {s.begin(), s.end()};
}

uint32_t At32(const std::vector<uint8_t>& f, size_t i) {
  return uint32_t(f[i]) | uint32_t(f[i + 1]) << 8 | uint32_t(f[i + 2]) << 16 | uint32_t(f[i + 3]) << 24;
}

// A picture whose every pixel byte depends on its place, at any depth.
TFastDIB Pattern(int w, int h, int bpp, int fmt = 0) {
  TFastDIB d;
  d.SetSize(w, h, bpp, fmt);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < d.RowSize - d.Gap; ++i) d.Pixels8(y)[i] = uint8_t(y * 31 + i * 7 + 1);
  for (int i = 0; i < 256 && bpp <= 8; ++i) d.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
  return d;
}

// Pixels of a picture as 0xRRGGBB, top row first.
std::vector<uint32_t> Colours(const TFastDIB& d) {
  TFastDIB c;
  c.SetSize(d.Width(), d.AbsHeight, 24, 0);
  ConvertTo24(c, d);
  std::vector<uint32_t> v;
  for (int y = 0; y < c.AbsHeight; ++y)
    for (int x = 0; x < c.Width(); ++x) v.push_back(uint32_t(c.Pixels24(y)[x].r) << 16 | c.Pixels24(y)[x].g << 8 | c.Pixels24(y)[x].b);
  return v;
}

::testing::AssertionResult Same(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << a.size() << " vs " << b.size() << " pixels";
  const auto m = std::mismatch(a.begin(), a.end(), b.begin());
  if (m.first == a.end()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel " << (m.first - a.begin()) << ": " << std::hex << *m.first << " vs " << *m.second;
}

// Same size, depth, format and pixel bytes (padding aside).
void ExpectSamePixels(const TFastDIB& a, const TFastDIB& b) {
  ASSERT_EQ(std::tuple(a.Width(), a.AbsHeight, a.Bpp(), a.BitFormat), std::tuple(b.Width(), b.AbsHeight, b.Bpp(), b.BitFormat));
  for (int y = 0; y < a.AbsHeight; ++y)
    ASSERT_EQ(std::memcmp(a.Pixels8(y), b.Pixels8(y), size_t((a.Bpp() * a.Width() + 7) / 8)), 0) << "row " << y;
}

#ifdef STELLON_HAVE_QTGUI
// A picture read by QImage, each channel cut to the bits a format of `bits` stores (565: the top 5, 6, 5).
std::vector<uint32_t> QtColours(QImage q, int bits = 888) {
  q = q.convertToFormat(QImage::Format_RGB32);
  auto top = [](int n) { return (0xFF00u >> n) & 0xFF; };
  const uint32_t mask = top(bits / 100) << 16 | top(bits / 10 % 10) << 8 | top(bits % 10);
  std::vector<uint32_t> v;
  for (int y = 0; y < q.height(); ++y)
    for (int x = 0; x < q.width(); ++x) v.push_back(q.pixel(x, y) & mask);
  return v;
}

::testing::AssertionResult QImageReads(const TFastDIB& d) {
  const std::vector<uint8_t> f = Save(d);
  QImage q;
  if (!q.loadFromData(f.data(), int(f.size()), "BMP")) return ::testing::AssertionFailure() << "QImage refuses it";
  return Same(Colours(d), QtColours(q, d.Bpp() == 16 ? d.BitFormat : 888));
}
#endif

}  // namespace

// Each stored form: the headers, rows bottom-up, the picture back through our reader and QImage.
TEST(Bmp, EveryFormWeWriteReadsBack) {
  // ClrUsed: the picture's colour count, Kept: the one written and read back.
  const struct { int W, H, Bpp, Fmt; uint32_t ClrUsed, Head, OffBits, Compression, Kept; } rows[] = {
      {9, 3, 1, 0, 0, 12, 14 + 12 + 6, 0, 0},     {5, 4, 4, 0, 0, 12, 14 + 12 + 48, 0, 0},  // core form, full palette
      {7, 3, 8, 0, 0, 12, 14 + 12 + 768, 0, 0},   {3, 2, 8, 0, 5, 40, 54 + 20, 0, 5},       // a colour count: 40 bytes
      {3, 3, 16, 555, 0, 40, 54, 0, 0},           {3, 3, 16, 565, 9, 40, 54 + 12, 3, 0},    // 565 says so with masks
      {7, 5, 24, 0, 2, 40, 54 + 8, 0, 2},         {2, 3, 32, 888, 7, 40, 54, 0, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Bpp * 1000 + r.Fmt);
    TFastDIB d = Pattern(r.W, r.H, r.Bpp, r.Fmt);
    d.Info.Header.biClrUsed = r.ClrUsed;
    d.Info.Header.biXPelsPerMeter = 3780;
    const auto f = Save(d);
    ASSERT_EQ(f.size(), r.OffBits + d.Size());
    EXPECT_EQ(std::tuple(At32(f, 2), At32(f, 6), At32(f, 10), At32(f, 14)), std::tuple(uint32_t(f.size()), 0u, r.OffBits, r.Head));
    EXPECT_EQ(std::memcmp(f.data() + r.OffBits, d.Scanlines[size_t(r.H - 1)], size_t(d.RowSize)), 0) << "bottom row first";
    if (r.Head == 40) {  // height, compression, density, colour count, red mask
      EXPECT_EQ(std::tuple(At32(f, 22), At32(f, 30), At32(f, 38), At32(f, 46), r.Compression ? At32(f, 54) : 0),
                std::tuple(uint32_t(r.H), r.Compression, 3780u, r.Kept, r.Compression ? 0xF800u : 0));
    }
    TFastDIB back;
    ASSERT_TRUE(Load(back, f));
    ExpectSamePixels(Pattern(r.W, r.H, r.Bpp, r.Fmt), back);
    EXPECT_EQ(back.Info.Header.biHeight, -r.H);
    EXPECT_EQ(back.Info.Header.biClrUsed, r.Kept);
    for (int i = 0; r.Bpp <= 8 && i < (r.Kept ? int(r.Kept) : 1 << r.Bpp); ++i) EXPECT_EQ(back.Colors[i], d.Colors[i]);
#ifdef STELLON_HAVE_QTGUI
    EXPECT_TRUE(QImageReads(back));  // indices past a colour count are black to both
#endif
  }
}

// Hand-made files that load: the format and the colours of the pixels, top row first.
TEST(Bmp, HandMadeFilesDecode) {
  const uint32_t v10 = (1023u << 20) | (512u << 10) | 3u;  // 10 bits a channel: the top 8 are kept
  const struct { const char* Why; TBmpFields F; int Fmt; std::vector<uint32_t> Pixels; uint32_t ClrUsed = 0; } rows[] = {
      {"16 bits without masks", {2, 1, 16, 0, 40, 0, {}, {}, {0x1F, 0, 0, 0x7C}}, 555, {0xF8, 0xF80000}},
      {"565 masks", {2, 1, 16, 3, 40, 0, {}, {0xF800, 0x7E0, 0x1F}, {0x1F, 0, 0, 0xF8}}, 565, {0xF8, 0xF80000}},
      {"masks in a V4 header", {2, 1, 16, 3, 108, 0, {}, {0xF800, 0x7E0, 0x1F}, {0x1F, 0, 0, 0xF8}}, 565, {0xF8, 0xF80000}},
      {"masks in another order", {2, 1, 16, 3, 40, 0, {}, {0x1F, 0x7E0, 0xF800}, {0x1F, 0, 0, 0xF8}}, 565, {0xF80000, 0xF8}},
      {"green above red", {2, 1, 16, 3, 40, 0, {}, {0x3E0, 0xFC00, 0x1F}, {0xE0, 0x03, 0, 0xFC}}, 565, {0xF80000, 0xFC00}},
      {"32 bits, red first", {1, 1, 32, 3, 40, 0, {}, {0xFF, 0xFF00, 0xFF0000}, {10, 20, 30, 0}}, 888, {0x0A141E}},
      {"32 bits of 10-bit channels", {1, 1, 32, 3, 40, 0, {}, {0x3FF00000, 0xFFC00, 0x3FF},
                                      {uint8_t(v10), uint8_t(v10 >> 8), uint8_t(v10 >> 16), uint8_t(v10 >> 24)}}, 888, {0xFF8000}},
      {"top-down", {1, -3, 24, 0, 40, 0, {}, {}, {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0}}, 0, {0x010101, 0x020202, 0x030303}},
      {"says 256 colours, holds 2", {4, 1, 8, 0, 40, 256, IndexPalette(2), {}, {0, 1, 200, 255}}, 0, {0, 0x010101, 0, 0}, 256},
      {"absurd colour count", {4, 1, 8, 0, 40, 1000, IndexPalette(2), {}, {0, 1, 200, 255}}, 0, {0, 0x010101, 0, 0}, 256}};
  for (const auto& r : rows) {
    TFastDIB d;
    ASSERT_TRUE(Load(d, MakeBmp(r.F))) << r.Why;
    EXPECT_EQ(d.BitFormat, r.Fmt) << r.Why;
    EXPECT_TRUE(Same(Colours(d), r.Pixels)) << r.Why;
    EXPECT_EQ(d.Info.Header.biClrUsed, r.ClrUsed) << r.Why;
  }
}

// RLE8/RLE4 -> palette indices, top row first: every escape, clipped at the edges, cut data.
TEST(Bmp, RunLengthData) {
  const struct { int W, H, Bpp; std::vector<uint8_t> Data; std::vector<uint32_t> Indices; } rows[] = {
      {6, 3, 8, {3, 9, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 7, 0, 1, 5, 5}, {0, 0, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 1, 2, 3}},
      {4, 2, 8, {255, 1, 0, 5, 2, 2, 2, 2, 2, 0, 0, 0, 2, 3, 0, 3, 4, 5, 6, 0, 0, 0, 9, 9, 0, 0}, {3, 3, 4, 5, 1, 1, 1, 1}},
      {3, 2, 8, {1, 4, 0, 2, 200, 200, 1, 9}, {0, 0, 0, 4, 0, 0}},  // delta out of the picture
      {3, 2, 8, {1, 4, 0, 2, 255, 0, 1, 9}, {0, 0, 0, 4, 0, 0}},    // x clipped
      {3, 2, 8, {0, 4, 8, 7}, {0, 0, 0, 8, 7, 0}},                  // literal cut
      {3, 2, 8, {2, 6, 0}, {0, 0, 0, 6, 6, 0}},                     // odd byte left
      {3, 2, 8, {}, {0, 0, 0, 0, 0, 0}},                            // nothing at all
      {2, 1, 8, {0, 2, 1}, {0, 0}},                                 // delta cut
      {7, 1, 4, {3, 0x12, 3, 0x34, 0, 1}, {1, 2, 1, 3, 4, 3, 0}},   // a run from an odd column starts high
      {6, 1, 4, {1, 0xF0, 0, 3, 0xAB, 0xC0, 2, 0x56}, {15, 10, 11, 12, 5, 6}},
      {6, 1, 4, {0, 5, 0x12, 0x34, 0x50, 0x00, 1, 0x99}, {1, 2, 3, 4, 5, 9}},
      {3, 2, 4, {9, 0x12, 0, 0, 0, 6, 0x34, 0x56, 0x78, 0}, {3, 4, 5, 1, 2, 1}},
      {5, 1, 4, {0, 3, 0x12, 0x34}, {1, 2, 3, 0, 0}},               // the pad nibble is not a pixel
      {5, 1, 4, {0, 9, 0x12}, {1, 2, 0, 0, 0}}};  // literal runs off the data
  for (const auto& r : rows) {
    TBmpFields s{r.W, r.H, uint16_t(r.Bpp), r.Bpp == 8 ? 1u : 2u, 40, 0, IndexPalette(1 << r.Bpp), {}, r.Data};
    std::vector<uint32_t> grey;
    for (uint32_t i : r.Indices) grey.push_back(i * 0x010101);
    TFastDIB d;
    ASSERT_TRUE(Load(d, MakeBmp(s)));
    EXPECT_TRUE(Same(Colours(d), grey)) << r.W << "x" << r.H << " " << r.Bpp;
  }
  TFastDIB d;  // the data offset past the end of the file: a picture all the same, empty
  EXPECT_TRUE(Load(d, MakeBmp({.bpp = 8, .compression = 1, .palette = IndexPalette(256), .pixels = {}, .offBitsDelta = 10})));
}

TEST(Bmp, UnusableFilesLeaveTheBufferAlone) {
  const std::vector<uint8_t> whole = MakeBmp(TBmpFields{}), seven(15, 7);
  std::vector<uint8_t> notBm = whole;
  notBm[0] = 'M';
  std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
      {"not BM", notBm}, {"two bytes", {'B', 'M'}}, {"header cut short", {whole.begin(), whole.begin() + 30}},
      {"pixels cut short", {whole.begin(), whole.end() - 1}}};
  const std::pair<const char*, TBmpFields> fields[] = {
      {"bit count 2", {.bpp = 2}}, {"bit count 0", {.bpp = 0}}, {"RLE8 with 24 bits", {.compression = 1}},
      {"bit fields with 24 bits", {.compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}}},
      {"JPEG inside", {.compression = 4}}, {"zero width", {.width = 0}}, {"negative width", {.width = -2}},
      {"width too large", {.width = 32768}}, {"height of INT32_MIN", {.height = INT32_MIN}},
      {"too many pixels", {.width = 32767, .height = 32767}}, {"truncated pixels", {.pixels = seven}},
      {"pixels start inside the header", {.offBitsDelta = -10}}, {"pixels past the end", {.pixels = {}, .offBitsDelta = 1000}},
      {"header size 20", {.headerSize = 20}}, {"header longer than the file", {.headerSize = 4000, .pixels = {}}},
      {"RLE top-down", {.height = -2, .bpp = 8, .compression = 1}},
      {"empty 16-bit mask", {.bpp = 16, .compression = 3, .masks = {0xFF00, 0xFF, 0}}},
      {"overlapping masks", {.bpp = 16, .compression = 3, .masks = {0xF800, 0x0FE0, 0x1F}}},
      {"red and blue overlap", {.bpp = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x1800}}},
      {"holey mask", {.bpp = 16, .compression = 3, .masks = {0xF400, 0x07E0, 0x1F}}},
      {"16-bit channel of 9 bits", {.bpp = 16, .compression = 3, .masks = {0xC000, 0x3FE0, 0x1F}}}};
  for (const auto& [why, f] : fields) bad.emplace_back(why, MakeBmp(f));
  for (const auto& [why, bytes] : bad) {
    TFastDIB d = Pattern(3, 1, 24);
    uint8_t* const bits = d.Bits;
    EXPECT_FALSE(Load(d, bytes)) << why;
    EXPECT_EQ(d.Bits, bits) << why;
    ExpectSamePixels(d, Pattern(3, 1, 24));
  }
  TFastDIB d;
  EXPECT_FALSE(d.LoadFromMemory(nullptr, 0));
  EXPECT_TRUE(Load(d, whole));  // the unchanged fields load
}

// Memory streams read from their start, others from their position (put back on no BMP); file failures.
TEST(Bmp, StreamsAndFiles) {
  fixtures::TTempDir tmp;
  const TFastDIB d = Pattern(3, 2, 24);
  const auto f = Save(d);
  std::stringstream mem(std::string(f.begin(), f.end()));
  mem.seekg(17);
  TFastDIB a;
  ASSERT_TRUE(a.LoadFromStream(mem));
  ExpectSamePixels(d, a);
  fixtures::WriteFileBytes(tmp.File("two.bin"), "XYZ" + std::string(f.begin(), f.end()));
  std::ifstream in(tmp.File("two.bin"), std::ios::binary);
  EXPECT_FALSE(a.LoadFromStream(in));  // "XY" is not "BM": nothing read
  EXPECT_EQ(in.tellg(), 0);
  EXPECT_EQ(a.Width(), 3);
  in.seekg(3);
  ASSERT_TRUE(a.LoadFromStream(in));
  ExpectSamePixels(d, a);

  const TFastDIB p8 = Pattern(11, 7, 8);
  ASSERT_TRUE(Pattern(2, 2, 24).SaveToFile(tmp.File("p.bmp")));
  ASSERT_TRUE(p8.SaveToFile(tmp.File("p.bmp")));  // over the first: no temporary left
  ASSERT_TRUE(a.LoadFromFile(tmp.File("p.bmp")));
  ExpectSamePixels(p8, a);
  fixtures::WriteFileBytes(tmp.File("plain"), "x");
  const TStatus s = d.SaveToFile(tmp.File("plain/out.bmp"));
  ASSERT_FALSE(s);
  EXPECT_NE(s.Message().find(tmp.File("plain/out.bmp") + ": "), std::string::npos) << s.Message();
  EXPECT_NE(s.Message().find(std::strerror(ENOTDIR)), std::string::npos) << s.Message();
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), {}), 3);
  for (const char* path : {"/nonexistent-folder/x.bmp", "/"}) {  // a missing file, a folder
    try {
      ADD_FAILURE() << a.LoadFromFile(path);
    } catch (const std::system_error& e) {
      EXPECT_EQ(e.code(), std::error_code(path[1] ? ENOENT : EISDIR, std::generic_category()));
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

const fs::path kSuite = fs::path(STELLON_TESTS_DATA) / "bmpsuite";

std::vector<fs::path> SuiteFiles(const char* folder) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(kSuite / folder))
    if (e.path().extension() == ".bmp") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Good files decode like their references, and what we write of them QImage reads alike.
TEST(BmpSuite, GoodFilesMatchTheirReferences) {
#ifndef STELLON_HAVE_QTGUI
  GTEST_SKIP() << "needs QImage to read the PNG references";
#else
  const std::map<std::string, std::string> shared = {  // files rendered by another file's reference
      {"pal1wb", "pal1"}, {"pal4rle", "pal4"}, {"pal8-0", "pal8"}, {"pal8rle", "pal8"}, {"pal8topdown", "pal8"},
      {"pal8os2", "pal8"}, {"pal8v4", "pal8"}, {"pal8v5", "pal8"}, {"pal8nonsquare", "pal8nonsquare-e"},
      {"rgb16-565pal", "rgb16-565"}, {"rgb16bfdef", "rgb16"}, {"rgb24pal", "rgb24"}, {"rgb32", "rgb24"},
      {"rgb32bf", "rgb24"}, {"rgb32bfdef", "rgb24"}};
  const auto files = SuiteFiles("g");
  ASSERT_GE(files.size(), 27u);
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    const auto it = shared.find(f.stem().string());
    const fs::path ref = kSuite / "reference" / ((it == shared.end() ? f.stem().string() : it->second) + ".png");
    TFastDIB d;
    ASSERT_TRUE(d.LoadFromFile(f.string()));
    EXPECT_TRUE(Same(Colours(d), QtColours(QImage(QString::fromStdString(ref.string())), d.Bpp() == 16 ? d.BitFormat : 888)));
    EXPECT_TRUE(QImageReads(d));
  }
#endif
}

// Questionable and bad files: no crash, file and memory readers agree, what loads saves and loads alike.
TEST(BmpSuite, QuestionableAndBadFilesNeverCrash) {
  int loaded = 0, refused = 0;
  for (const char* folder : {"q", "b"})
    for (const fs::path& f : SuiteFiles(folder)) {
      SCOPED_TRACE(f.string());
      const std::string bytes = fixtures::ReadFileBytes(f.string());
      TFastDIB d = Pattern(1, 1, 24), viaFile, again;
      const bool ok = Load(d, {bytes.begin(), bytes.end()});
      EXPECT_EQ(viaFile.LoadFromFile(f.string()), ok);
      (ok ? loaded : refused)++;
      EXPECT_TRUE(ok || d.Width() == 1) << "a refused file leaves the buffer";
      ASSERT_TRUE(!ok || (int64_t(d.Width()) * d.AbsHeight <= TFastDIB::kMaxPixels && Load(again, Save(d))));
      EXPECT_TRUE(!ok || Same(Colours(again), Colours(d)));
    }
  EXPECT_GT(loaded, 30);  // the reader neither refuses everything nor takes all
  EXPECT_GT(refused, 10);
}
