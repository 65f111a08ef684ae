// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/IniFile.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {
// The layout the Windows profile functions (and people editing by hand) produce.
const char* const kWindowsFile =
    "; Stellon settings\r\n"
    "orphan=1\r\n"
    "[CADRE]\r\n"
    "Tolerance = 45 \r\n"
    "  bordure=12\r\n"
    "not a key line\r\n"
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

// Names without regard to case or blanks, the first section of a name wins,
// one pair of enclosing quotes goes, '=' and ';' after the first '=' belong to
// the value; what is missing (or is no key line) gives the default.
TEST(IniFile, ReadsTheWindowsLayout) {
  TIniFile f;
  f.Parse(kWindowsFile);
  const struct { const char *Section, *Key, *Value; } rows[] = {
      {"cadre", "tolerance", "45"},      {"Cadre", "BORDURE", "12"},           {"Menu bar", "texte", "1"},
      {"fits type", "8 bits", "0"},      {"Fits type", "Objet", "  M 42  "},   {"Fits type", "Telescope", "C8"},
      {"Fits type", "Instrument", "\"QuickCam"}, {"Fits type", "Commentaire", "a=b ; not a comment"},
      {"cadre", "kappa", "?"},           {"Sauvegarde", "Bitmap", "?"},        {"", "orphan", "?"},
      {"cadre", "not a key line", "?"},  {"Menu bar", "bordure", "?"},         {"cadre", "; Stellon settings", "?"}};
  for (const auto& r : rows) EXPECT_EQ(f.ReadString(r.Section, r.Key, "?"), r.Value) << r.Section << "/" << r.Key;
  EXPECT_TRUE(f.HasSection("MENU BAR"));
  EXPECT_FALSE(f.HasSection("lucky"));
  EXPECT_TRUE(f.HasKey("menu bar", "Texte"));
  EXPECT_FALSE(f.HasKey("Menu bar", "bordure"));
}

TEST(IniFile, EditsKeepEverythingElseInPlaceAndTheLineEnds) {
  TIniFile f;
  f.Parse(kWindowsFile);
  f.WriteString("Cadre", "TOLERANCE", "50");   // replaced where it stands, spelling kept
  f.WriteString("cadre", "kappa", "3");        // added after the section's last key
  f.WriteString("Sauvegarde", "Bitmap", "1");  // new section at the end
  std::string expected = kWindowsFile;
  expected.replace(expected.find("Tolerance = 45 "), 15, "Tolerance=50");
  expected.insert(expected.find("not a key line"), "kappa=3\r\n");
  EXPECT_EQ(f.Text(), expected + "[Sauvegarde]\r\nBitmap=1\r\n");

  TIniFile lf;
  lf.Parse("\xEF\xBB\xBF[a]\nx=1");  // byte order mark, no final line end
  lf.WriteString("a", "y", "2");
  EXPECT_EQ(lf.ReadString("A", "X"), "1");
  EXPECT_TRUE(lf.DeleteKey("A", "X"));
  EXPECT_FALSE(lf.DeleteKey("a", "x"));
  EXPECT_FALSE(lf.DeleteKey("b", "x"));
  EXPECT_EQ(lf.Text(), "\xEF\xBB\xBF[a]\ny=2\n");
}

// Values come back as written (quoted when needed); a line break becomes a
// blank; values are cut at the buffer limit, never inside a UTF-8 character.
TEST(IniFile, ValuesReadBackAsWritten) {
  const std::string lim(IniValueLimit, 'b'), cut(IniValueLimit - 1, 'c');
  const struct { std::string Written, Read; } rows[] = {
      {"", ""}, {" lead", " lead"}, {"trail ", "trail "}, {"\"quoted\"", "\"quoted\""}, {"'single'", "'single'"},
      {"\"half", "\"half"}, {"a \"b\" c", "a \"b\" c"}, {"x=y;z", "x=y;z"}, {"Téléscope", "Téléscope"},
      {"\t tab \t", "\t tab \t"}, {"one\r\ntwo", "one  two"}, {std::string(3000, 'b'), lim}, {lim, lim},
      {cut + "é" + "zzz", cut}};
  TIniFile f;
  for (size_t i = 0; i < std::size(rows); ++i) f.WriteString("s", "k" + std::to_string(i), rows[i].Written);
  TIniFile g;
  g.Parse(f.Text());
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(g.ReadString("s", "k" + std::to_string(i), "?"), rows[i].Read) << i;
  EXPECT_EQ(g.ReadString("s", "missing", std::string(5000, 'd')).size(), IniValueLimit);
}

// A missing file is an empty document; a save replaces the whole file or,
// failing, leaves everything as it was and names the file.
TEST(IniFile, LoadAndSave) {
  fixtures::TTempDir tmp;
  const std::string p = tmp.File("stellon.ini"), plain = tmp.File("plain"), folder = tmp.File("folder.ini");
  TIniFile f;
  EXPECT_TRUE(f.Load(p));
  EXPECT_EQ(f.Text(), "");
  fixtures::WriteFileBytes(p, kWindowsFile);
  ASSERT_TRUE(f.Load(p));
  f.WriteString("cadre", "bordure", "20");
  ASSERT_TRUE(f.Save(p));
  TIniFile g;
  ASSERT_TRUE(g.Load(p));
  EXPECT_EQ(g.Text(), f.Text());
  EXPECT_EQ(g.ReadString("CADRE", "Bordure"), "20");

  fixtures::WriteFileBytes(plain, "old");
  fs::create_directory(folder);
  for (const std::string& bad : {folder, plain + "/stellon.ini", std::string()}) {
    const TStatus s = f.Save(bad);
    EXPECT_FALSE(s) << bad;
    EXPECT_NE(s.Message().find(bad), std::string::npos) << s.Message();
  }
  EXPECT_FALSE(TIniFile().Load(folder));
  EXPECT_EQ(fixtures::ReadFileBytes(plain), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 3);  // no temporary left
}
