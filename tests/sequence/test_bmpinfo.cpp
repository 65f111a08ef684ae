// SPDX-License-Identifier: GPL-3.0-or-later
// The facts of a BMP file as the list windows show them, and the list copies.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/BmpListFixtures.h"
#include "support/VideoFixtures.h"
#include "sequence/BmpInfo.h"

namespace {
using fixtures::TTempDir;

struct TInfoCase {
  const char* Name;
  int Bits;  // written into the header; -2: not a BMP, -3: a directory, -4: a FIFO, -5: header cut short
  int32_t Width, Height;
  uint64_t FileSize;
  bool Core;
  int ExpectBits;
  const char* Color;
  const char* Dimensions;
  const char* SizeKo;
};

class BmpInfoTest : public ::testing::TestWithParam<TInfoCase> {};

TEST_P(BmpInfoTest, Facts) {
  const TInfoCase& c = GetParam();
  TTempDir dir;
  const std::string path = dir.File("f.bmp");
  bool made = false;
  if (c.Bits == -2) made = WriteTextFile(path, std::string(100, 'x'));
  else if (c.Bits == -3) made = ::mkdir(path.c_str(), 0700) == 0;
  else if (c.Bits == -4) made = ::mkfifo(path.c_str(), 0600) == 0;  // must not block
  else if (c.Bits == -5) made = WriteTextFile(path, std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x28\0\0\0", 18));
  else made = WriteBmpHeaderFile(path, c.Bits, c.Width, c.Height, c.FileSize, c.Core);
  ASSERT_TRUE(made);
  const TBmpInfo info = GetBmpInfo(path);
  EXPECT_EQ(info.BitCount, c.ExpectBits);
  EXPECT_EQ(BmpColorText(info.BitCount), c.Color);
  EXPECT_EQ(info.SizeText, c.SizeKo);
  EXPECT_EQ(info.DateText.empty(), c.ExpectBits == -1);
  if (c.ExpectBits != -1) {
    EXPECT_EQ(BmpDimensionsText(info.Width, info.Height), c.Dimensions);
  }
}

const TInfoCase kInfo[] = {
    {"Mono", 1, 8, 8, 0, false, 1, "2", "8x8", "0"},
    {"Sixteen", 4, 8, 8, 0, false, 4, "16", "8x8", "0"},
    {"Palette", 8, 640, 480, 0, false, 8, "256", "640x480", "0"},
    {"Fifteen", 15, 2, 2, 0, false, 15, "15 Bits", "2x2", "0"},
    {"HighColour", 16, 2, 2, 0, false, 16, "65K", "2x2", "0"},
    {"TrueColour", 24, 1500, 1000, 4500054, false, 24, "16M", "1500x1000", "4394"},
    {"ThirtyTwo", 32, 3, 5, 2048, false, 32, "65M", "3x5", "2"},
    {"TopDown", 24, 3, -5, 0, false, 24, "16M", "3x5", "0"},
    {"CoreHeader", 8, 300, 200, 0, true, 8, "256", "300x200", "0"},
    {"NotBmp", -2, 0, 0, 0, false, -1, "UNK", "", ""},
    {"Directory", -3, 0, 0, 0, false, -1, "UNK", "", ""},
    {"Fifo", -4, 0, 0, 0, false, -1, "UNK", "", ""},
    {"CutShort", -5, 0, 0, 0, false, -1, "UNK", "", ""},
};
INSTANTIATE_TEST_SUITE_P(Files, BmpInfoTest, ::testing::ValuesIn(kInfo),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(BmpInfo, ExtensionTestAndListing) {
  for (const auto& [name, bmp] : std::vector<std::pair<std::string, bool>>{
           {"A.BMP", true}, {"b.bmp", true}, {"c.Bmp", true}, {".bmp", false}, {"c.txt", false}, {"x.bmpx", false},
           {"c.xmp", false}, {"c.bxp", false}, {"c.bmx", false}, {"c_bmp", false}})
    EXPECT_EQ(IsBmpFileName(name), bmp) << name;
  TTempDir dir;
  ASSERT_TRUE(WriteBmpHeaderFile(dir.File("A.BMP"), 24, 1, 1));
  ASSERT_TRUE(WriteBmpHeaderFile(dir.File("b.bmp"), 8, 1, 1));
  ASSERT_TRUE(WriteBmpHeaderFile(dir.File(".bmp"), 8, 1, 1));
  ASSERT_TRUE(WriteTextFile(dir.File("c.txt"), "x"));
  std::vector<std::string> names;
  for (const TBmpFolderRow& row : ListBmpFolder(dir.Path())) names.push_back(row.Name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.BMP", "b.bmp"}));
  EXPECT_TRUE(ListBmpFolder(dir.File("missing")).empty());
}

}  // namespace
