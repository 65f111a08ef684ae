// SPDX-License-Identifier: GPL-3.0-or-later
// BMP lists: the facts of a BMP file as the list windows show them, the folder listing, and Kelvaron
// list reading (header forms, missing files and their question, lists written on Windows, hostile lists).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "sequence/BmpInfo.h"
#include "sequence/KelvaronList.h"
#include "support/BmpListFixtures.h"
#include "support/VideoFixtures.h"

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
  const std::string dimensions = c.ExpectBits == -1 ? "" : BmpDimensionsText(info.Width, info.Height);
  EXPECT_EQ(std::make_tuple(info.BitCount, BmpColorText(info.BitCount), info.SizeText, info.DateText.empty(), dimensions),
            std::make_tuple(c.ExpectBits, std::string(c.Color), std::string(c.SizeKo), c.ExpectBits == -1, std::string(c.Dimensions)));
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


std::string Expand(std::string text, const std::string& dir) {
  for (size_t at; (at = text.find("$D")) != std::string::npos;) text.replace(at, 2, dir);
  return text;
}

struct TListCase {
  const char* Name;
  const char* List;                   // $D is the test folder
  std::vector<const char*> Files;     // BMP files present in $D
  std::vector<TMsgButton> Answers;    // answers to the missing-file questions
  std::vector<const char*> Expected;  // "Name|Directory" of each entry ($D allowed)
  size_t Asked;
  bool Aborted;
  const char* Failure;                // end of the failure text, or null
};

class KelvaronListTest : public ::testing::TestWithParam<TListCase> {};

TEST_P(KelvaronListTest, Reads) {
  const TListCase& c = GetParam();
  TTempDir dir;
  ::mkdir(dir.File("sub.bmp").c_str(), 0700);
  ::mkfifo(dir.File("pipe.bmp").c_str(), 0600);
  for (const char* f : c.Files) ASSERT_TRUE(WriteBmpHeaderFile(dir.File(f), 24, 4, 3));
  const std::string list = dir.File("night.lst");
  ASSERT_TRUE(WriteTextFile(list, Expand(c.List, dir.Path())));

  std::vector<std::string> asked;
  size_t next = 0;
  TKelvaronResult r = ReadKelvaronList(list, [&](const std::string& text) {
    asked.push_back(text);
    return next < c.Answers.size() ? c.Answers[next++] : TMsgButton::Yes;
  });
  if (c.Failure) {
    EXPECT_EQ(r.Status.Message(), "File :" + list + c.Failure);
    return;
  }
  ASSERT_EQ(std::make_tuple(r.Status.Message(), asked.size(), r.Aborted, r.Entries->Count()),
            std::make_tuple(std::string(), c.Asked, c.Aborted, int(c.Expected.size())));
  for (int i = 0; i < r.Entries->Count(); ++i) {
    const TBMPList* e = r.Entries->Objects(i);
    EXPECT_EQ(e->Name + "|" + e->Directory, Expand(c.Expected[size_t(i)], dir.Path())) << i;
    EXPECT_EQ(r.Entries->Strings(i), std::to_string(i + 1) + " - " + e->Name);
    EXPECT_EQ(e->ColorText + " " + e->Dimensions, "16M 4x3");
  }
}

using B = TMsgButton;
const TListCase kLists[] = {
    {"NoHeaderSixLines", "0\n$D/\na.bmp\n3\n4\n5\n6\n$D/\nb.bmp\n", {"a.bmp", "b.bmp"}, {}, {"a.bmp|$D", "b.bmp|$D"}, 0, false, nullptr},
    {"HeaderFirstSixStepThree", "1\nx\nx\n5\n3\nu\n$D/\nb.bmp\nu\n$D/\na.bmp\n", {"a.bmp", "b.bmp"}, {}, {"b.bmp|$D", "a.bmp|$D"}, 0, false, nullptr},
    {"DirectoryWithoutSeparator", "0\n$D\na.bmp\n", {"a.bmp"}, {}, {"a.bmp|$D"}, 0, false, nullptr},
    {"WindowsListFoundBesideIt", "0\r\nC:\\obs\\\r\na.bmp\r\n", {"a.bmp"}, {}, {"a.bmp|$D"}, 0, false, nullptr},
    {"AbsoluteFolderElsewhere", "0\n$D/sub.bmp/\nc.bmp\n", {"sub.bmp/c.bmp"}, {}, {"c.bmp|$D/sub.bmp"}, 0, false, nullptr},
    {"RelativeFolder", "0\n.\\\na.bmp\n", {"a.bmp"}, {}, {"a.bmp|$D"}, 0, false, nullptr},
    {"Latin1Name", "0\n$D/\n\xE9t\xE9.bmp\n", {"\xC3\xA9t\xC3\xA9.bmp"}, {}, {"\xC3\xA9t\xC3\xA9.bmp|$D"}, 0, false, nullptr},
    {"MissingYesSkips", "0\n/no/\nx.bmp\n3\n4\n5\n6\n$D/\nb.bmp\n", {"b.bmp"}, {B::Yes}, {"b.bmp|$D"}, 1, false, nullptr},
    {"MissingClosedSkips", "0\n/no/\nx.bmp\n3\n4\n5\n6\n$D/\nb.bmp\n", {"b.bmp"}, {B::None}, {"b.bmp|$D"}, 1, false, nullptr},
    {"MissingAbortStops", "0\n/no/\nx.bmp\n3\n4\n5\n6\n$D/\nb.bmp\n", {"b.bmp"}, {B::Abort}, {}, 1, true, nullptr},
    {"MissingAllSkipsLater", "0\n/no/\nx.bmp\n3\n4\n5\n6\n/no/\ny.bmp\n9\n10\n11\n12\n$D/\nb.bmp\n", {"b.bmp"}, {B::All}, {"b.bmp|$D"}, 1, false, nullptr},
    {"DirectoryAndFifoAreMissing", "0\n$D/\nsub.bmp\n3\n4\n5\n6\n$D/\npipe.bmp\n", {}, {}, {}, 2, false, nullptr},
    {"FirstPastTheEnd", "1\nx\nx\n100\n3\n", {}, {}, {}, 0, false, nullptr},
    {"StepOne", "1\nx\nx\n5\n1\n$D/\n$D/\na.bmp\nz\n", {"a.bmp"}, {}, {"a.bmp|$D"}, 1, false, nullptr},
    {"HeaderDigitsBeforeJunk", "1\nx\nx\n5abc\n3x\nu\n$D/\na.bmp\n", {"a.bmp"}, {}, {"a.bmp|$D"}, 0, false, nullptr},
    {"NotANumber", "abc\n$D/\na.bmp\n", {"a.bmp"}, {}, {}, 0, false, "\nis not a Kelvaron file."},
    {"Empty", "", {}, {}, {}, 0, false, "\nis not a Kelvaron file."},
    {"BinaryGarbage", "\x7f\x45LF\x02\x01\x01\n\xff\xfe\n", {}, {}, {}, 0, false, "\nis not a Kelvaron file."},
    {"HeaderTooShort", "1\nx\nx\n5\n", {}, {}, {}, 0, false, "\nis not a Kelvaron file."},
    {"StepZero", "1\nx\nx\n5\n0\n", {}, {}, {}, 0, false, "\nis not a Kelvaron file."},
    {"FirstNegative", "1\nx\nx\n-1\n3\n", {}, {}, {}, 0, false, "\nis not a Kelvaron file."},
};
INSTANTIATE_TEST_SUITE_P(Lists, KelvaronListTest, ::testing::ValuesIn(kLists),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(KelvaronList, MessagesNameTheFiles) {
  TTempDir dir;
  const std::string list = dir.File("night.lst");
  ASSERT_TRUE(WriteTextFile(list, "0\n/no/where/\nx.bmp\n"));
  std::string asked;
  ReadKelvaronList(list, [&](const std::string& t) { return asked = t, B::Yes; });
  EXPECT_EQ(asked, "File /no/where/x.bmpnot existe.\nIgnore this file and continue loading");
  for (const std::string& bad : {dir.File("none.lst"), dir.Path()}) {
    TKelvaronResult r = ReadKelvaronList(bad, nullptr);
    EXPECT_EQ(r.Status.Message(), "Kelvaron file :\n\"" + bad + "\"\nnot existe.");
  }
  EXPECT_EQ(KelvaronCaption("Stellon v0.49c (US)", "C:\\obs\\jupiter.lst"), "Stellon v0.49c (US) - jupiter.lst (Kelvaron)");
}

TEST(KelvaronList, HostileSizesStayBounded) {
  TTempDir dir;
  const std::string list = dir.File("big.lst");
  {
    // A 10 MB folder line, then ten million short lines with one entry every 1000.
    std::ofstream f(list, std::ios::binary);
    f << "1\nx\nx\n5\n1000\nu\n" << std::string(10 << 20, 'a') << "\nx.bmp\n";
    const std::string chunk(100000, '\n');
    for (int i = 0; i < 100; ++i) f << chunk;
  }
  std::vector<size_t> asked;
  TKelvaronResult r = ReadKelvaronList(list, [&](const std::string& t) {
    asked.push_back(t.size());
    return asked.size() == 1 ? B::Yes : B::All;
  });
  ASSERT_TRUE(r.Status.ok());
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_LT(asked[0], 1000u);  // the long path is shortened in the question
  EXPECT_EQ(r.Entries->Count(), 0);
}

struct TIntCase {
  const char* Text;
  bool Ok;
  int64_t Value;
  int64_t Prefix;
};
class ListIntegerTest : public ::testing::TestWithParam<TIntCase> {};
TEST_P(ListIntegerTest, Parses) {
  int64_t v = -777;
  EXPECT_EQ(ParseListInteger(GetParam().Text, v), GetParam().Ok);
  EXPECT_TRUE(!GetParam().Ok || v == GetParam().Value) << v;
  EXPECT_EQ(ListIntegerPrefix(GetParam().Text), GetParam().Prefix);
}
INSTANTIATE_TEST_SUITE_P(Numbers, ListIntegerTest,
                         ::testing::Values(TIntCase{"0", true, 0, 0}, TIntCase{"  12", true, 12, 12},
                                           TIntCase{"-7", true, -7, -7}, TIntCase{"+3", true, 3, 3},
                                           TIntCase{"$1F", true, 31, 31}, TIntCase{"0x10", true, 16, 16},
                                           TIntCase{"0X1f", true, 31, 31}, TIntCase{"010", true, 10, 10},
                                           TIntCase{"12 ", false, 0, 12}, TIntCase{"", false, 0, 0},
                                           TIntCase{"5abc", false, 0, 5}, TIntCase{"abc", false, 0, 0},
                                           TIntCase{"99999999999999999999", false, 0, INT64_MAX}));

struct TCmdCase {
  std::vector<std::string> Params;
  bool Requested;
  const char* Name;
  bool Ok;
};
class KelvaronCommandLineTest : public ::testing::TestWithParam<TCmdCase> {};
TEST_P(KelvaronCommandLineTest, Parses) {
  const TCmdCase& c = GetParam();
  const TKelvaronCommandLine cmd = ParseKelvaronCommandLine(c.Params);
  EXPECT_EQ(cmd.Requested, c.Requested);
  if (!c.Requested) return;
  EXPECT_EQ(cmd.Name, c.Name);
  EXPECT_EQ(cmd.Status.Message(), c.Ok ? "" : std::string("File :\n\"") + c.Name + "\"\nnot a Kelvaron file.");
}
INSTANTIATE_TEST_SUITE_P(Forms, KelvaronCommandLineTest,
                         ::testing::Values(TCmdCase{{"/kelvaron", "\"/obs/night.lst\""}, true, "/obs/night.lst", true},
                                           TCmdCase{{"/KELVARON", "/obs/NIGHT.LST"}, true, "/obs/NIGHT.LST", true},
                                           TCmdCase{{"/KELVARON", "/obs/night.txt"}, true, "/obs/night.txt", false},
                                           TCmdCase{{"/KELVARON", "\""}, true, "\"", false},
                                           TCmdCase{{"/KELVARON", ".lst"}, true, ".lst", false},
                                           TCmdCase{{"/KELVARON"}, false, "", true},
                                           TCmdCase{{"night.lst", "x"}, false, "", true}));

}  // namespace
