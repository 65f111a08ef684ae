// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP Suite (public test files by Jason Summers): good files must decode
// like their reference renderings, questionable and bad ones must never crash
// or go out of bounds. Files we write are read back by QImage, an independent
// reader.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "BmpTestFiles.h"
#include "image/Convert.h"

#ifdef STELLON_HAVE_QTGUI
#include <QImage>
#endif

namespace fs = std::filesystem;

namespace {

const fs::path kSuite = fs::path(STELLON_TESTS_DATA) / "bmpsuite";

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TFastDIB To24(const TFastDIB& d) {
  TFastDIB out;
  out.SetSize(d.Width(), d.AbsHeight, 24, 0);
  ConvertTo24(out, d);
  return out;
}

std::vector<fs::path> FilesOf(const char* folder) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(kSuite / folder))
    if (e.path().extension() == ".bmp") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

#ifdef STELLON_HAVE_QTGUI
QImage ReadWithQt(const std::vector<uint8_t>& bytes) {
  QImage q;
  q.loadFromData(bytes.data(), int(bytes.size()), "BMP");
  return q.convertToFormat(QImage::Format_RGB888);
}

// Compares a 24-bit picture with a reference, each channel of the reference
// cut to the bits the file stores (`bits` red, green, blue: a 5-bit channel is
// compared on its top 5 bits).
::testing::AssertionResult SameAs(const TFastDIB& ours, const QImage& ref, int bits = 888) {
  if (ref.isNull()) return ::testing::AssertionFailure() << "reference unreadable";
  if (ref.width() != ours.Width() || ref.height() != ours.AbsHeight)
    return ::testing::AssertionFailure() << "size " << ours.Width() << "x" << ours.AbsHeight << " vs " << ref.width()
                                         << "x" << ref.height();
  auto cut = [](int v, int n) { return v & (0xFF << (8 - n)) & 0xFF; };
  const int nr = bits / 100, ng = bits / 10 % 10, nb = bits % 10;
  for (int y = 0; y < ours.AbsHeight; ++y) {
    const uchar* r = ref.constScanLine(y);
    for (int x = 0; x < ours.Width(); ++x) {
      const TColorBGR c = ours.GetPixel(y, x);
      const TColorBGR want{uint8_t(cut(r[3 * x + 2], nb)), uint8_t(cut(r[3 * x + 1], ng)), uint8_t(cut(r[3 * x], nr))};
      if (!(c == want))
        return ::testing::AssertionFailure() << "pixel (" << x << "," << y << "): " << int(c.r) << "," << int(c.g) << ","
                                             << int(c.b) << " vs " << int(want.r) << "," << int(want.g) << "," << int(want.b);
    }
  }
  return ::testing::AssertionSuccess();
}
#endif

}  // namespace

TEST(BmpSuite, GoodFilesMatchTheirReferences) {
#ifndef STELLON_HAVE_QTGUI
  GTEST_SKIP() << "needs QImage to read the PNG references";
#else
  // Files rendered by another file's reference (see bmpsuite.html).
  const std::map<std::string, std::string> shared = {
      {"pal1wb", "pal1"}, {"pal4rle", "pal4"}, {"pal8-0", "pal8"}, {"pal8rle", "pal8"}, {"pal8topdown", "pal8"},
      {"pal8os2", "pal8"}, {"pal8v4", "pal8"}, {"pal8v5", "pal8"}, {"pal8nonsquare", "pal8nonsquare-e"},
      {"rgb16-565pal", "rgb16-565"}, {"rgb16bfdef", "rgb16"}, {"rgb24pal", "rgb24"}, {"rgb32", "rgb24"},
      {"rgb32bf", "rgb24"}, {"rgb32bfdef", "rgb24"}};
  const auto files = FilesOf("g");
  ASSERT_GE(files.size(), 27u);
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    const std::string stem = f.stem().string();
    const auto it = shared.find(stem);
    const fs::path ref = kSuite / "reference" / ((it == shared.end() ? stem : it->second) + ".png");
    ASSERT_TRUE(fs::exists(ref));
    TFastDIB d;
    ASSERT_TRUE(d.LoadFromFile(f.string()));
    const QImage q = QImage(QString::fromStdString(ref.string())).convertToFormat(QImage::Format_RGB888);
    // 16-bit pixels keep only the stored bits of each channel.
    EXPECT_TRUE(SameAs(To24(d), q, d.Bpp() == 16 ? d.BitFormat : 888));
  }
#endif
}

TEST(BmpSuite, QuestionableAndBadFilesNeverCrash) {
  int loaded = 0, refused = 0;
  for (const char* folder : {"q", "b"})
    for (const fs::path& f : FilesOf(folder)) {
      SCOPED_TRACE(f.string());
      const auto bytes = ReadAll(f);
      TFastDIB d;
      d.SetSize(1, 1, 24, 0);
      const bool ok = d.LoadFromMemory(bytes.data(), bytes.size());
      TFastDIB viaFile;
      EXPECT_EQ(viaFile.LoadFromFile(f.string()), ok);  // the file path agrees with the memory path
      if (!ok) {
        ++refused;
        EXPECT_EQ(d.Width(), 1);
        continue;
      }
      ++loaded;
      ASSERT_GE(d.Width(), 1);
      ASSERT_LE(int64_t(d.Width()) * d.AbsHeight, TFastDIB::kMaxPixels);
      // What loaded converts and saves; the saved file loads again alike.
      const TFastDIB c = To24(d);
      std::ostringstream os;
      d.SaveToStream(os);
      TFastDIB again;
      const std::string s = os.str();
      ASSERT_TRUE(again.LoadFromMemory(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
      const TFastDIB c2 = To24(again);
      EXPECT_EQ(std::memcmp(c.Bits, c2.Bits, c.Size()), 0);
    }
  // Both kinds occur: the reader neither refuses everything nor takes all.
  EXPECT_GT(loaded, 30);
  EXPECT_GT(refused, 10);
  // The deliberately broken ones that cannot make a picture.
  for (const char* name : {"b/badbitcount.bmp", "b/badwidth.bmp", "b/reallybig.bmp", "b/shortfile.bmp",
                           "b/rletopdown.bmp", "b/rgb16-880.bmp"}) {
    TFastDIB d;
    EXPECT_FALSE(d.LoadFromFile((kSuite / name).string())) << name;
  }
}

TEST(BmpSuite, EveryFormWeWriteIsReadByQImage) {
#ifndef STELLON_HAVE_QTGUI
  GTEST_SKIP() << "needs QImage";
#else
  // Each stored form, from files of the suite: core-form palettes (1, 4, 8),
  // 40-byte form with a colour count, 16-bit 555 and 565 (bit fields), 24 and 32.
  for (const char* name : {"pal1bg", "pal4", "pal4rle", "pal8", "pal8os2", "pal8w125", "rgb16", "rgb16-565",
                           "rgb24", "rgb24pal", "rgb32", "rgb32bf"}) {
    SCOPED_TRACE(name);
    TFastDIB d;
    ASSERT_TRUE(d.LoadFromFile((kSuite / "g" / (std::string(name) + ".bmp")).string()));
    std::ostringstream os;
    d.SaveToStream(os);
    const std::string s = os.str();
    const std::vector<uint8_t> bytes(s.begin(), s.end());
    const QImage q = ReadWithQt(bytes);
    ASSERT_FALSE(q.isNull());
    EXPECT_TRUE(SameAs(To24(d), q, d.Bpp() == 16 ? d.BitFormat : 888));
  }
  // And a synthetic 565 picture with every channel value.
  TFastDIB d;
  d.SetSize(64, 32, 16, 565);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) d.SetPixel(y, x, TFastDIB::MakeColor(uint8_t(y * 8), uint8_t(x * 4), uint8_t(255 - y * 8)));
  std::ostringstream os;
  d.SaveToStream(os);
  const std::string s = os.str();
  EXPECT_TRUE(SameAs(To24(d), ReadWithQt({s.begin(), s.end()}), 565));
#endif
}
