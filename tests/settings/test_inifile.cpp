// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings/IniFile.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {
class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tmp.Path().empty());
    Dir = Tmp.Path();
  }
  static std::string Slurp(const fs::path& p) { return fixtures::ReadFileBytes(p.string()); }
  static void Put(const fs::path& p, const std::string& text) { fixtures::WriteFileBytes(p.string(), text); }
  // Files of Dir other than the ones named: what a failed save must not leave.
  size_t EntryCount() const { return size_t(std::distance(fs::directory_iterator(Dir), fs::directory_iterator())); }

  fixtures::TTempDir Tmp;
  fs::path Dir;
};

// The layout the Windows profile functions (and people editing by hand) produce.
const char* const kWindowsFile =
    "; Stellon settings\r\n"
    "[CADRE]\r\n"
    "Tolerance = 45 \r\n"
    "  bordure=12\r\n"
    "\r\n"
    "[ Menu Bar ]\r\n"
    "TEXTE=1\r\n"
    "[Fits type]\r\n"
    "8 Bits=0\r\n"
    "Objet=\"  M 42  \"\r\n"
    "Telescope='C8'\r\n"
    "Instrument=\"QuickCam\r\n"
    "Commentaire=a=b ; not a comment\r\n"
    "[cadre]\r\n"
    "tolerance=99\r\n";
}  // namespace

TEST_F(IniFileTest, ReadsWindowsLayoutWithoutRegardToCaseOrBlanks) {
  TIniFile f;
  f.Parse(kWindowsFile);
  EXPECT_EQ(f.ReadString("cadre", "tolerance", "x"), "45");  // first section of that name wins
  EXPECT_EQ(f.ReadString("Cadre", "BORDURE"), "12");
  EXPECT_EQ(f.ReadString("Menu bar", "texte"), "1");
  EXPECT_EQ(f.ReadString("fits type", "8 bits"), "0");
  // One pair of enclosing quotes goes, the blanks inside stay.
  EXPECT_EQ(f.ReadString("Fits type", "Objet"), "  M 42  ");
  EXPECT_EQ(f.ReadString("Fits type", "Telescope"), "C8");
  // An unbalanced quote is part of the value; so are '=' and ';' after the first '='.
  EXPECT_EQ(f.ReadString("Fits type", "Instrument"), "\"QuickCam");
  EXPECT_EQ(f.ReadString("Fits type", "Commentaire"), "a=b ; not a comment");
  // Missing section or key gives the default; the comment line is no key.
  EXPECT_EQ(f.ReadString("cadre", "kappa", "3"), "3");
  EXPECT_EQ(f.ReadString("Sauvegarde", "Bitmap", "1"), "1");
  EXPECT_FALSE(f.HasKey("cadre", "; Stellon settings"));
  EXPECT_TRUE(f.HasSection("MENU BAR"));
  EXPECT_FALSE(f.HasKey("Menu bar", "bordure"));  // keys belong to their own section only
}

TEST_F(IniFileTest, KeysBeforeAnySectionAndLinesWithoutEqualsAreIgnored) {
  TIniFile f;
  f.Parse("orphan=1\nnot a key line\n[s]\nk=v\nalso not a key\n");
  EXPECT_EQ(f.ReadString("", "orphan", "d"), "d");
  EXPECT_EQ(f.ReadString("s", "k"), "v");
  EXPECT_EQ(f.ReadString("s", "also not a key", "d"), "d");
}

TEST_F(IniFileTest, EditsKeepEverythingElseInPlaceAndTheLineEnds) {
  TIniFile f;
  f.Parse(kWindowsFile);
  f.WriteString("Cadre", "TOLERANCE", "50");          // replaced where it stands, spelling kept
  f.WriteString("cadre", "kappa", "3");               // added after the section's last key
  f.WriteString("Sauvegarde", "Bitmap", "1");          // new section at the end
  const std::string expected =
      "; Stellon settings\r\n"
      "[CADRE]\r\n"
      "Tolerance=50\r\n"
      "  bordure=12\r\n"
      "kappa=3\r\n"
      "\r\n"
      "[ Menu Bar ]\r\n"
      "TEXTE=1\r\n"
      "[Fits type]\r\n"
      "8 Bits=0\r\n"
      "Objet=\"  M 42  \"\r\n"
      "Telescope='C8'\r\n"
      "Instrument=\"QuickCam\r\n"
      "Commentaire=a=b ; not a comment\r\n"
      "[cadre]\r\n"
      "tolerance=99\r\n"
      "[Sauvegarde]\r\n"
      "Bitmap=1\r\n";
  EXPECT_EQ(f.Text(), expected);

  TIniFile lf;
  lf.Parse("[a]\nx=1");  // no final line end
  lf.WriteString("a", "y", "2");
  EXPECT_EQ(lf.Text(), "[a]\nx=1\ny=2\n");
  EXPECT_TRUE(lf.DeleteKey("A", "X"));
  EXPECT_FALSE(lf.DeleteKey("a", "x"));
  EXPECT_EQ(lf.Text(), "[a]\ny=2\n");
}

TEST_F(IniFileTest, ValuesReadBackExactlyAsWritten) {
  const std::string values[] = {"",         " lead",          "trail ",     "\"quoted\"", "'single'",
                                "\"half",   "a \"b\" c",      "x=y;z",      "Téléscope",  "\t tab \t"};
  TIniFile f;
  for (size_t i = 0; i < std::size(values); ++i) f.WriteString("s", "k" + std::to_string(i), values[i]);
  TIniFile g;
  g.Parse(f.Text());
  for (size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(g.ReadString("s", "k" + std::to_string(i), "default"), values[i]) << i;
  // A line break cannot live in a line: it becomes a blank instead of a broken file.
  f.WriteString("s", "multi", "one\r\ntwo");
  g.Parse(f.Text());
  EXPECT_EQ(g.ReadString("s", "multi"), "one  two");
  EXPECT_EQ(g.ReadString("s", "k0", "default"), "");  // an empty value is not a missing key
}

TEST_F(IniFileTest, ValuesAreCutAtTheBufferLimit) {
  TIniFile f;
  f.WriteString("s", "long", std::string(3000, 'a'));
  f.WriteString("s", "exact", std::string(IniValueLimit, 'b'));
  // 2046 ASCII bytes then a 2-byte character: the character does not fit whole.
  f.WriteString("s", "utf8", std::string(IniValueLimit - 1, 'c') + "é" + "zzz");
  EXPECT_EQ(f.ReadString("s", "long"), std::string(IniValueLimit, 'a'));
  EXPECT_EQ(f.ReadString("s", "exact"), std::string(IniValueLimit, 'b'));
  EXPECT_EQ(f.ReadString("s", "utf8"), std::string(IniValueLimit - 1, 'c'));
  EXPECT_EQ(f.ReadString("s", "missing", std::string(5000, 'd')).size(), IniValueLimit);
}

TEST_F(IniFileTest, ByteOrderMarkIsSkippedAndKept) {
  TIniFile f;
  f.Parse("\xEF\xBB\xBF[cadre]\nkappa=4\n");
  EXPECT_EQ(f.ReadString("cadre", "kappa"), "4");
  EXPECT_EQ(f.Text(), "\xEF\xBB\xBF[cadre]\nkappa=4\n");
}

TEST_F(IniFileTest, LoadSaveRoundTripAndMissingFile) {
  const fs::path p = Dir / "stellon.ini";
  TIniFile f;
  EXPECT_TRUE(f.Load(p.string()));  // missing: empty document
  EXPECT_EQ(f.Text(), "");
  Put(p, kWindowsFile);
  ASSERT_TRUE(f.Load(p.string()));
  f.WriteString("cadre", "bordure", "20");
  const TStatus saved = f.Save(p.string());
  ASSERT_TRUE(saved) << saved.Message();
  const std::string text = Slurp(p);
  EXPECT_NE(text.find("bordure=20\r\n"), std::string::npos);
  EXPECT_EQ(text.rfind("; Stellon settings\r\n", 0), 0u);
  EXPECT_EQ(EntryCount(), 1u);  // no temporary file left
  TIniFile g;
  ASSERT_TRUE(g.Load(p.string()));
  EXPECT_EQ(g.ReadString("CADRE", "Bordure", "?"), "20");
}

TEST_F(IniFileTest, FailedSaveReportsAndLeavesOldFileIntact) {
  TIniFile f;
  f.Parse("[a]\nk=new\n");
  // The path names a directory; then a folder that cannot exist (its parent is a file).
  const fs::path d = Dir / "stellon.ini";
  fs::create_directory(d);
  const fs::path file = Dir / "plain";
  Put(file, "old");
  for (const fs::path& bad : {d, file / "stellon.ini", fs::path()}) {
    const TStatus s = f.Save(bad.string());
    EXPECT_FALSE(s) << bad;
    EXPECT_NE(s.Message().find(bad.string()), std::string::npos) << s.Message();
  }
  EXPECT_TRUE(fs::is_directory(d));
  EXPECT_FALSE(TIniFile().Load(d.string()));
  EXPECT_EQ(Slurp(file), "old");
  EXPECT_EQ(EntryCount(), 2u);  // the directory and the file: no temporary left behind
}
