// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP-list source: facts of the first file, names, every depth read in 24 bits, unreadable files say why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "sources/BmpListSource.h"
#include "support/BmpListFixtures.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

TEST(BmpListSource, FactsNamesPixelsAndReasons) {
  TTempDir dir;
  // First file: a core header and nothing else (26 bytes): its facts still count.
  ASSERT_TRUE(WriteBmpHeaderFile(dir.File("core.bmp"), 8, 300, 200, 0, true));
  TFastDIB grey;
  grey.SetSize(3, 2, 8, 0);
  for (int i = 0; i < 256; ++i) grey.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  grey.Pixels8(0)[0] = 200;
  grey.Pixels8(1)[2] = 50;
  ASSERT_TRUE(grey.SaveToFile(dir.File("g.bmp")));
  ASSERT_TRUE(Pattern24(4, 3, 5).SaveToFile(dir.File("c.bmp")));
  // A 1x1 16-bit bit-field BMP with 5-6-5 masks holding 0x7FFF: read as 5-5-5, whatever the masks say.
  std::string w(14 + 40 + 12 + 4, '\0');
  for (const auto& [at, v] : std::vector<std::pair<size_t, uint32_t>>{
           {0, 0x4D42}, {2, 70}, {10, 66}, {14, 40}, {18, 1}, {22, 1}, {26, 1}, {28, 16}, {30, 3},
           {54, 0xF800}, {58, 0x07E0}, {62, 0x001F}, {66, 0x7FFF}})
    for (int i = 0; i < 4 && at + size_t(i) < w.size(); ++i) w[at + size_t(i)] = char(v >> (8 * i));
  WriteFileBytes(dir.File("w.bmp"), w);
  WriteFileBytes(dir.File("junk.bmp"), "not a bitmap at all");
  ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);

  const std::vector<std::string> names{"core.bmp", "g.bmp", "c.bmp", "w.bmp", "junk.bmp", "gone.bmp", "pipe.bmp"};
  std::vector<std::string> paths;
  for (const std::string& n : names) paths.push_back(dir.File(n));
  const std::unique_ptr<TImageSource> s = OpenBmpList(paths);
  const TSourceFacts& f = s->Facts();
  EXPECT_EQ(std::make_tuple(f.Format, f.ImageCount, f.Width, f.Height, f.BitsPerPixel),
            std::make_tuple(std::string("BMP"), 7, 300, 200, 8));
  EXPECT_EQ(s->DisplayName(1), "2 - g.bmp");
  TFastDIB img;
  ASSERT_TRUE(s->ReadImage(1, img) && img.Bpp() == 24);
  EXPECT_TRUE(img.GetPixel(0, 0) == TFastDIB::MakeColor(200, 200, 200) && img.GetPixel(1, 2) == TFastDIB::MakeColor(50, 50, 50));
  ASSERT_TRUE(s->ReadImage(2, img));
  EXPECT_EQ(PackedBgr(img), PackedBgr(Pattern24(4, 3, 5)));
  ASSERT_TRUE(s->ReadImage(3, img));
  EXPECT_EQ(img.GetPixel(0, 0), TFastDIB::MakeColor(248, 248, 248));
  const char* reasons[] = {"not a BMP file", "No such file or directory", "not a regular file"};
  for (int i = 4; i < 7; ++i) {
    const TStatus st = s->ReadImage(i, img);
    EXPECT_NE(st.Message().find(reasons[i - 4]), std::string::npos) << st.Message();
  }
  EXPECT_FALSE(s->ReadImage(7, img));
  EXPECT_EQ(OpenBmpList({dir.File("junk.bmp")})->Facts().Width, 0);
}
