// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {
class SettingsTest : public ::testing::Test {
 protected:
  std::string Slurp() const { return fixtures::ReadFileBytes(Ini); }
  void Put(const std::string& text) const { fixtures::WriteFileBytes(Ini, text); }
  TParamglob Defaults() const {
    TParamglob p;
    p.repertoire = Rep;
    return p;
  }
  TStatus Read() { return ReadSettings(Ini, Rep, P); }
  TStatus Write() const { return WriteSettings(Ini, P); }

  fixtures::TTempDir Tmp;
  const std::string Dir = Tmp.Path(), Ini = Tmp.File("stellon.ini"), Rep = Dir + "/";  // Rep: the default save folder
  TParamglob P;
};

const char* const kFreshFile =
    "[cadre]\ntolerance=30\ntolerance_automatique=0\ncalcul_simple=1\ncalcul_complexe=0\ncadrage_surface=0\n"
    "bordure=10\nRapport=1\nmemoire_copies_mo=-1\n"
    "[compositage]\nkappa=3\nrejet_kappa=0\ntexte_avec_compositage=0\n"
    "[repertoire]\nsauvegarde=@DIR@\nnumerotation_zero=1\n"
    "[Menu bar]\ntexte=0\nvisible=1\n"
    "[Sauvegarde]\nBitmap=1\nFits=0\n"
    "[Fits type]\n8 bits=1\n16 bits=0\nMoy RVB=1\nSep RVB=0\nObjet=\nTelescope=\nInstrument=QuickCam\nObservateur=\n"
    "Commentaire=\n"
    "[lucky]\nalignement_subpixel=0\npleine_profondeur=0\n";

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

std::string Subst(std::string s, const std::string& dir) {
  if (const size_t at = s.find("@DIR@"); at != std::string::npos) s.replace(at, 5, dir);
  return s;
}
}  // namespace

TEST_F(SettingsTest, NoFileGivesDefaultsAndTheFirstWriteHasEveryKey) {
  P.kappa = 9;  // must be reset
  ASSERT_TRUE(Read());
  EXPECT_EQ(P, Defaults());
  EXPECT_FALSE(fs::exists(Ini));  // reading never creates the file
  ASSERT_TRUE(Write());
  EXPECT_EQ(Slurp(), Subst(kFreshFile, Rep));
}

TEST_F(SettingsTest, EveryFieldSurvivesWriteAndRead) {
  TParamglob p{.tolerance = 200, .tolerance_automatique = true, .calcul_simple = false, .calcul_complexe = true,
               .cadrage_surface = true, .bordure = 0, .Rapport = false, .kappa = 7, .rejet_kappa = true,
               .texte_avec_compositage = true, .repertoire = Dir + "/", .barre_visible = false, .barre_texte = true,
               .numerotation_zero = false, .Bitmap = false, .Fits = true,
               .FITS = {false, true, false, true, " M 42 ", "\"C8\"", "ToUCam; = Pro", "Jean-Loup", std::string(300, 'x'), true},
               .alignement_subpixel = true, .memoire_copies_mo = 0};
  P = p;
  Put("; mine\r\n[Kelvaron]\r\nother=kept\r\n");  // what else the file holds stays, and its line ends
  ASSERT_TRUE(Write());
  P = TParamglob{};
  ASSERT_TRUE(Read());
  EXPECT_EQ(P, p);
  const std::string once = Slurp();
  EXPECT_EQ(once.rfind("; mine\r\n[Kelvaron]\r\nother=kept\r\n[cadre]\r\ntolerance=200\r\n", 0), 0u) << once;
  ASSERT_TRUE(Write());
  EXPECT_EQ(Slurp(), once) << "a second write changes nothing";
}

// One key of a Windows file -> the value written back: any case, decimal or hexadecimal ($FFFFFFFF
// is -1), not a number gives the default, ranges clamp, ANSI texts (Telescope) convert.
TEST_F(SettingsTest, ValueReadFromOneKey) {
  fs::create_directory(Dir + "/saves");
  const struct { const char *Section, *Key, *Text, *Read; } rows[] = {
      {"CADRE", " Tolerance ", " 45 ", "45"}, {"cadre", "tolerance", "abc", "30"}, {"cadre", "tolerance_automatique", "yes", "0"},
      {"cadre", "calcul_simple", "", "1"}, {"cadre", "bordure", "12x", "10"}, {"cadre", "Rapport", "0.5", "1"},
      {"compositage", "kappa", "99999999999", "3"}, {"compositage", "rejet_kappa", "1 1", "0"},
      {"Sauvegarde", "Bitmap", "$", "1"}, {"Sauvegarde", "Fits", "0x", "0"}, {"Fits type", "8 bits", "0xG", "1"},
      {"Fits type", "16 bits", "--1", "0"}, {"cadre", "tolerance", "$1F", "31"}, {"cadre", "bordure", "0x0A", "10"},
      {"cadre", "tolerance_automatique", "0x0", "0"}, {"cadre", "calcul_simple", "-1", "1"},
      {"cadre", "calcul_complexe", "$10", "1"}, {"compositage", "kappa", "-$FFFFFFFF", "1"},
      {"compositage", "rejet_kappa", "+2", "1"}, {"cadre", "tolerance", "-2147483648", "0"},
      {"compositage", "kappa", "2147483648", "3"}, {"cadre", "bordure", "-5", "0"},
      {"cadre", "bordure", "100", "100"}, {"cadre", "bordure", "$7FFFFFFF", "100"},
      {"cadre", "tolerance", "99999", "255"}, {"cadre", "tolerance", "-1", "0"}, {"cadre", "tolerance", "255", "255"},
      {"compositage", "kappa", "11", "10"}, {"compositage", "kappa", "-3", "0"}, {"compositage", "kappa", "0", "0"},
      {"lucky", "pleine_profondeur", "1", "1"}, {"lucky", "alignement_subpixel", "7", "1"},
      {"cadre", "memoire_copies_mo", "-7", "-1"}, {"cadre", "memoire_copies_mo", "99999999", "16777216"},
      {"Fits type", "Telescope", "T\xe9l\xe9scope\x80\xb0", "Téléscope€°"},
      {"Fits type", "Objet", "Téléscope", "Téléscope"}, {"repertoire", "sauvegarde", "@DIR@/saves", "@DIR@/saves"},
      {"repertoire", "sauvegarde", "C:\\Stellon\\", "@DIR@/"}, {"repertoire", "sauvegarde", "", "@DIR@/"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.Key) + "=" + r.Text);
    Put(std::string("[") + r.Section + "]\r\n" + r.Key + "=" + Subst(r.Text, Dir) + "\r\n");
    ASSERT_TRUE(Read());
    ASSERT_TRUE(WriteSettings(Tmp.File("out.ini"), P));
    TIniFile out;
    ASSERT_TRUE(out.Load(Tmp.File("out.ini")));
    EXPECT_EQ(out.ReadString(r.Section, r.Key), Subst(r.Read, Dir));
  }
}

// Not a settings file: refused naming it, defaults used, never written over; failed writes.
TEST_F(SettingsTest, UnusableFilesAndFailedWrites) {
  Put("[cadre]\ntolerance=77\n");
  fs::resize_file(Ini, IniFileLimit + 1);
  const std::string fifo = Tmp.File("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {Ini, fifo, Dir, std::string("/dev/zero")}) {
    P.tolerance = 1;
    const TStatus s = ReadSettings(path, Rep, P);
    ASSERT_FALSE(s) << path;
    EXPECT_NE(s.Message().find(path), std::string::npos) << s.Message();
    EXPECT_EQ(P, Defaults()) << path;
    EXPECT_FALSE(WriteSettings(path, P)) << path;
  }
  EXPECT_EQ(fs::file_size(Ini), IniFileLimit + 1);
  EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
  const std::string inFile = Ini + "/stellon.ini";  // its folder cannot exist
  const TStatus s = WriteSettings(inFile, P);
  EXPECT_FALSE(s);
  EXPECT_NE(s.Message().find(inFile), std::string::npos) << s.Message();
  EXPECT_EQ(SettingsWriteErrorText("/x/stellon.ini"), "Impossible d'écrire dans /x/stellon.ini");
}

// The user's configuration folder, unless a portable file is already beside the program.
TEST_F(SettingsTest, LocationIsTheConfigFolderUnlessAPortableFileExists) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string keep = saved ? saved : "", config = Dir + "/config/stellon/stellon.ini", program = Dir + "/bin/";
  ::setenv("XDG_CONFIG_HOME", (Dir + "/config").c_str(), 1);
  fs::create_directory(program);
  EXPECT_EQ(DefaultSettingsPath(program), config);  // writable, yet not used
  EXPECT_EQ(DefaultSettingsPath(""), config);
  ASSERT_TRUE(MakeParentDirectories(config));
  EXPECT_TRUE(fs::is_directory(Dir + "/config/stellon"));
  for (const char* bare : {"stellon.ini", "/stellon.ini"}) EXPECT_TRUE(MakeParentDirectories(bare)) << bare;
  fixtures::WriteFileBytes(program + "stellon.ini", "");
  EXPECT_EQ(DefaultSettingsPath(program), program + "stellon.ini");
  if (saved) ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
}

// Names in any case and blanks, the first section wins, one pair of quotes goes, '=' and ';'
// belong to the value; what is missing (or is no key line) gives the default.
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
}

// Edits keep everything else in place and the line ends; a missing file is an empty document, a
// save replaces the whole file.
TEST(IniFile, EditsLoadAndSave) {
  fixtures::TTempDir tmp;
  const std::string p = tmp.File("stellon.ini");
  TIniFile f, g;
  ASSERT_TRUE(f.Load(p));
  EXPECT_EQ(f.Text(), "");
  fixtures::WriteFileBytes(p, kWindowsFile);
  ASSERT_TRUE(f.Load(p));
  f.WriteString("Cadre", "TOLERANCE", "50");   // replaced where it stands, spelling kept
  f.WriteString("cadre", "kappa", "3");        // added after the section's last key
  f.WriteString("Sauvegarde", "Bitmap", "1");  // new section at the end
  ASSERT_TRUE(f.Save(p));
  std::string expected = kWindowsFile;
  expected.replace(expected.find("Tolerance = 45 "), 15, "Tolerance=50");
  expected.insert(expected.find("not a key line"), "kappa=3\r\n");
  ASSERT_TRUE(g.Load(p));
  EXPECT_EQ(g.Text(), expected + "[Sauvegarde]\r\nBitmap=1\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 1);  // no temporary left

  TIniFile lf;
  lf.Parse("\xEF\xBB\xBF[a]\nx=1");  // byte order mark, no final line end
  lf.WriteString("a", "y", "2");
  EXPECT_EQ(lf.ReadString("A", "X"), "1");
  EXPECT_EQ(lf.Text(), "\xEF\xBB\xBF[a]\nx=1\ny=2\n");
}

// Values come back as written; a line break becomes a blank; cut at the limit, never inside a character.
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
