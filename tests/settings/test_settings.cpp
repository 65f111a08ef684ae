// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tmp.Path().empty());
    Dir = Tmp.Path();
    Ini = Dir / "stellon.ini";
    Rep = Dir.string() + "/";
  }
  static std::string Slurp(const fs::path& p) { return fixtures::ReadFileBytes(p.string()); }
  void Put(const std::string& text) const {
    std::ofstream out(Ini, std::ios::binary);
    out << text;
  }
  TParamglob Defaults() const {
    TParamglob p;
    p.repertoire = Rep;
    return p;
  }
  TStatus Read() { return ReadSettings(Ini.string(), Rep, P); }
  TStatus Write() const { return WriteSettings(Ini.string(), P); }

  fixtures::TTempDir Tmp;
  fs::path Dir, Ini;
  std::string Rep;  // the default save directory
  TParamglob P;
};

const char* const kFreshFile =
    "[cadre]\n"
    "tolerance=30\n"
    "tolerance_automatique=0\n"
    "calcul_simple=1\n"
    "calcul_complexe=0\n"
    "cadrage_surface=0\n"
    "bordure=10\n"
    "Rapport=1\n"
    "memoire_copies_mo=-1\n"
    "[compositage]\n"
    "kappa=3\n"
    "rejet_kappa=0\n"
    "texte_avec_compositage=0\n"
    "[repertoire]\n"
    "sauvegarde=@DIR@\n"
    "numerotation_zero=1\n"
    "[Menu bar]\n"
    "texte=0\n"
    "visible=1\n"
    "[Sauvegarde]\n"
    "Bitmap=1\n"
    "Fits=0\n"
    "[Fits type]\n"
    "8 bits=1\n"
    "16 bits=0\n"
    "Moy RVB=1\n"
    "Sep RVB=0\n"
    "Objet=\n"
    "Telescope=\n"
    "Instrument=QuickCam\n"
    "Observateur=\n"
    "Commentaire=\n"
    "[lucky]\n"
    "alignement_subpixel=0\n"
    "pleine_profondeur=0\n";
}  // namespace

TEST_F(SettingsTest, NoFileGivesDefaultsAndFirstWriteHasAll28Keys) {
  P.kappa = 9;  // must be reset
  ASSERT_TRUE(Read());
  const TParamglob d = Defaults();
  EXPECT_EQ(P, d);
  EXPECT_EQ(P.tolerance, 30);
  EXPECT_EQ(P.bordure, 10);
  EXPECT_EQ(P.FITS.Instrument, "QuickCam");
  ASSERT_FALSE(P.repertoire.empty());
  EXPECT_EQ(P.repertoire.back(), '/');
  EXPECT_TRUE(fs::is_directory(P.repertoire));
  EXPECT_FALSE(fs::exists(Ini));  // reading never creates the file

  ASSERT_TRUE(Write());
  std::string expected = kFreshFile;
  expected.replace(expected.find("@DIR@"), 5, d.repertoire);
  EXPECT_EQ(Slurp(Ini), expected);
}

TEST_F(SettingsTest, EveryFieldSurvivesWriteAndRead) {
  TParamglob p;
  p.tolerance = 200;
  p.tolerance_automatique = true;
  p.calcul_simple = false;
  p.calcul_complexe = true;
  p.cadrage_surface = true;
  p.bordure = 0;
  p.Rapport = false;
  p.kappa = 7;
  p.rejet_kappa = true;
  p.texte_avec_compositage = true;
  p.repertoire = Dir.string() + "/";
  p.barre_visible = false;
  p.barre_texte = true;
  p.numerotation_zero = false;
  p.Bitmap = false;
  p.Fits = true;
  p.FITS = {false, true, false, true, " M 42 ", "\"C8\"", "ToUCam; = Pro", "Jean-Loup", std::string(300, 'x')};
  p.FITS.PleineProfondeur = true;
  p.alignement_subpixel = true;
  p.memoire_copies_mo = 0;
  P = p;
  ASSERT_TRUE(Write());
  P = TParamglob{};
  ASSERT_TRUE(Read());
  EXPECT_EQ(P, p);

  // A second write over the file changes nothing.
  const std::string once = Slurp(Ini);
  ASSERT_TRUE(Write());
  EXPECT_EQ(Slurp(Ini), once);
}

TEST_F(SettingsTest, WindowsFileReadsAndKeepsItsShapeWhenWritten) {
  Put("; written by Stellon for Windows\r\n"
      "[CADRE]\r\n"
      "TOLERANCE=45\r\n"
      " Tolerance_Automatique = 1 \r\n"
      "calcul_simple=0\r\n"
      "calcul_complexe=1\r\n"
      "[repertoire]\r\n"
      "sauvegarde=C:\\Program Files\\Stellon\\\r\n"
      "numerotation_zero=0\r\n"
      "[menu bar]\r\n"
      "texte=1\r\n"
      "visible=0\r\n"
      "[Kelvaron]\r\n"
      "other=kept\r\n"
      "[Fits type]\r\n"
      "8 bits=0\r\n"
      "16 bits=1\r\n"
      "moy rvb=0\r\n"
      "SEP RVB=1\r\n"
      "Objet=Jupiter\r\n"
      "Telescope=T\xe9l\xe9scope C8\r\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.tolerance, 45);
  EXPECT_TRUE(P.tolerance_automatique);
  EXPECT_FALSE(P.calcul_simple);
  EXPECT_TRUE(P.calcul_complexe);
  EXPECT_EQ(P.repertoire, Rep);  // a Windows path does not exist here
  EXPECT_FALSE(P.numerotation_zero);
  EXPECT_TRUE(P.barre_texte);
  EXPECT_FALSE(P.barre_visible);
  EXPECT_FALSE(P.FITS.Bits8);
  EXPECT_TRUE(P.FITS.Bits16);
  EXPECT_FALSE(P.FITS.MoyRVB);
  EXPECT_TRUE(P.FITS.SepRVB);
  EXPECT_EQ(P.FITS.Objet, "Jupiter");
  EXPECT_EQ(P.FITS.Telescope, "Téléscope C8");  // ANSI text of a Windows file
  EXPECT_EQ(P.FITS.Instrument, "QuickCam");     // missing key
  EXPECT_EQ(P.kappa, 3);                        // missing section

  P.tolerance = 46;
  ASSERT_TRUE(Write());
  const std::string text = Slurp(Ini);
  EXPECT_EQ(text.rfind("; written by Stellon for Windows\r\n[CADRE]\r\nTOLERANCE=46\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Kelvaron]\r\nother=kept\r\n"), std::string::npos);
  EXPECT_NE(text.find("Telescope=Téléscope C8\r\n"), std::string::npos);
  EXPECT_EQ(text.find("[Menu bar]"), std::string::npos);  // the existing section was used
  EXPECT_EQ(text.find('\n', 0), text.find("\r\n", 0) + 1);
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n') ++lf, crlf += (i > 0 && text[i - 1] == '\r');
  EXPECT_EQ(lf, crlf);
}

TEST_F(SettingsTest, ValuesThatAreNotNumbersGiveTheDefault) {
  Put("[cadre]\n"
      "tolerance=abc\n"
      "tolerance_automatique=yes\n"
      "calcul_simple=\n"
      "bordure=12x\n"
      "Rapport=0.5\n"
      "[compositage]\n"
      "kappa=99999999999\n"
      "rejet_kappa=1 1\n"
      "[Sauvegarde]\n"
      "Bitmap=$\n"
      "Fits=0x\n"
      "[Fits type]\n"
      "8 bits=0xG\n"
      "16 bits=--1\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P, Defaults());
}

TEST_F(SettingsTest, IntegersInDecimalOrHexadecimal) {
  Put("[cadre]\n"
      "tolerance=$1F\n"
      "bordure=0x0A\n"
      "tolerance_automatique=0x0\n"
      "calcul_simple=-1\n"
      "calcul_complexe=$10\n"
      "[compositage]\n"
      "kappa=-$FFFFFFFF\n"
      "rejet_kappa=+2\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.tolerance, 31);
  EXPECT_EQ(P.bordure, 10);
  EXPECT_FALSE(P.tolerance_automatique);
  EXPECT_TRUE(P.calcul_simple);    // non-zero is true
  EXPECT_TRUE(P.calcul_complexe);
  EXPECT_EQ(P.kappa, 1);           // $FFFFFFFF is -1, so its negation is 1
  EXPECT_TRUE(P.rejet_kappa);

  Put("[cadre]\ntolerance=-2147483648\n[compositage]\nkappa=2147483648\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.tolerance, 0);  // INT32_MIN read, then clamped
  EXPECT_EQ(P.kappa, 3);  // out of range: default
}

// Values outside the Parameters dialog's ranges are brought into them, the
// same for the window and the command line.
struct TClampCase {
  const char* Key;
  const char* Text;
  int32_t TParamglob::*Field;
  int32_t Expected;
};
class SettingsClamp : public SettingsTest, public ::testing::WithParamInterface<TClampCase> {};
TEST_P(SettingsClamp, ReadValueIsBroughtIntoTheDialogRange) {
  const TClampCase& c = GetParam();
  Put(std::string("[cadre]\n") + (c.Field == &TParamglob::kappa ? "[compositage]\n" : "") + c.Key + "=" + c.Text + "\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.*c.Field, c.Expected) << c.Key << "=" << c.Text;
}
INSTANTIATE_TEST_SUITE_P(
    Ranges, SettingsClamp,
    ::testing::Values(TClampCase{"bordure", "-5", &TParamglob::bordure, 0},
                      TClampCase{"bordure", "100", &TParamglob::bordure, 100},
                      TClampCase{"bordure", "$7FFFFFFF", &TParamglob::bordure, 100},
                      TClampCase{"tolerance", "99999", &TParamglob::tolerance, 255},
                      TClampCase{"tolerance", "-1", &TParamglob::tolerance, 0},
                      TClampCase{"tolerance", "255", &TParamglob::tolerance, 255},
                      TClampCase{"kappa", "11", &TParamglob::kappa, 10},
                      TClampCase{"kappa", "-3", &TParamglob::kappa, 0},
                      TClampCase{"kappa", "0", &TParamglob::kappa, 0},
                      TClampCase{"memoire_copies_mo", "-7", &TParamglob::memoire_copies_mo, -1},
                      TClampCase{"memoire_copies_mo", "0", &TParamglob::memoire_copies_mo, 0},
                      TClampCase{"memoire_copies_mo", "99999999", &TParamglob::memoire_copies_mo, 16 << 20}));

// A settings file that is not one is refused with a message naming it; the
// defaults are used and nothing is read past the limit.
TEST_F(SettingsTest, UnusableFileGivesDefaultsAndAMessage) {
  fs::resize_file((Put("[cadre]\ntolerance=77\n"), Ini), IniFileLimit + 1);
  const fs::path fifo = Dir / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {Ini.string(), fifo.string(), Dir.string(), std::string("/dev/zero")}) {
    P.tolerance = 1;
    const TStatus s = ReadSettings(path, Rep, P);
    ASSERT_FALSE(s) << path;
    EXPECT_NE(s.Message().find(path), std::string::npos) << s.Message();
    EXPECT_EQ(P, Defaults()) << path;
    EXPECT_FALSE(WriteSettings(path, P)) << path;  // and never written over
  }
  EXPECT_EQ(fs::file_size(Ini), IniFileLimit + 1);
  EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
}
TEST_F(SettingsTest, ExistingDirectoryIsKeptAsTyped) {
  const fs::path d = Dir / "saves";
  fs::create_directory(d);
  Put("[repertoire]\nsauvegarde=" + d.string() + "\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.repertoire, d.string());
  Put("[repertoire]\nsauvegarde=\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.repertoire, Rep);
}

TEST_F(SettingsTest, FailedWriteLeavesFileAndSettingsUnchanged) {
  Put("[cadre]\ntolerance=77\n");
  ASSERT_TRUE(Read());
  const std::string before = Slurp(Ini);
  const TParamglob inMemory = P;
  P.tolerance = 5;
  const fs::path asDir = Dir / "folder.ini";  // a directory where the file should be
  fs::create_directory(asDir);
  for (const fs::path& bad : {asDir, Ini / "stellon.ini"}) {  // the second's folder cannot exist
    const TStatus s = WriteSettings(bad.string(), P);
    EXPECT_FALSE(s) << bad;
    EXPECT_NE(s.Message().find(bad.string()), std::string::npos) << s.Message();
  }
  EXPECT_TRUE(fs::is_directory(asDir));
  EXPECT_EQ(Slurp(Ini), before);
  P = inMemory;
  EXPECT_EQ(SettingsWriteErrorText("/x/stellon.ini"), "Impossible d'écrire dans /x/stellon.ini");
}

// The installed program keeps its settings in the user's configuration folder;
// only a portable file already beside the program is used instead.
TEST_F(SettingsTest, LocationIsTheConfigFolderUnlessAPortableFileExists) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string keep = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
  const std::string program = (Dir / "bin").string() + "/";
  fs::create_directory(Dir / "bin");
  EXPECT_EQ(DefaultSettingsPath(program), (Dir / "config/stellon/stellon.ini").string());  // writable, yet not used
  EXPECT_EQ(DefaultSettingsPath(""), (Dir / "config/stellon/stellon.ini").string());
  ASSERT_TRUE(MakeParentDirectories(DefaultSettingsPath(program)));
  EXPECT_TRUE(fs::is_directory(Dir / "config/stellon"));
  // A name with no folder, or at the root, has nothing to create.
  for (const char* bare : {"stellon.ini", "/stellon.ini"}) EXPECT_TRUE(MakeParentDirectories(bare)) << bare;
  EXPECT_FALSE(fs::exists("stellon.ini"));
  std::ofstream(Dir / "bin/stellon.ini") << "";
  EXPECT_EQ(DefaultSettingsPath(program), program + "stellon.ini");
  if (saved) ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
}
