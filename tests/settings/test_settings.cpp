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
    "bordure=10\nRapport=1\n"
    "[compositage]\nkappa=3\nrejet_kappa=0\ntexte_avec_compositage=0\n"
    "[repertoire]\nsauvegarde=@DIR@\nnumerotation_zero=1\n"
    "[Menu bar]\ntexte=0\nvisible=1\n"
    "[Sauvegarde]\nBitmap=1\nFits=0\n"
    "[Fits type]\n8 bits=1\n16 bits=0\nMoy RVB=1\nSep RVB=0\nObjet=\nTelescope=\nInstrument=QuickCam\nObservateur=\n"
    "Commentaire=\n"
    "[lucky]\nalignement_subpixel=0\npleine_profondeur=0\n";

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
               .alignement_subpixel = true};
  P = p;
  ASSERT_TRUE(Write());
  P = TParamglob{};
  ASSERT_TRUE(Read());
  EXPECT_EQ(P, p);
  const std::string once = Slurp();
  ASSERT_TRUE(Write());
  EXPECT_EQ(Slurp(), once) << "a second write changes nothing";
}

// One key in a file -> the value read, as the program writes it back (numbers
// in decimal, flags as 0/1): numbers in decimal or hexadecimal, what is not a
// number gives the default, the dialog's ranges clamp, Windows texts convert.
TEST_F(SettingsTest, ValueReadFromOneKey) {
  fs::create_directory(Dir + "/saves");
  const struct { const char *Section, *Key, *Text, *Read; } rows[] = {
      {"cadre", "tolerance", "abc", "30"}, {"cadre", "tolerance_automatique", "yes", "0"},
      {"cadre", "calcul_simple", "", "1"}, {"cadre", "bordure", "12x", "10"}, {"cadre", "Rapport", "0.5", "1"},
      {"compositage", "kappa", "99999999999", "3"}, {"compositage", "rejet_kappa", "1 1", "0"},
      {"Sauvegarde", "Bitmap", "$", "1"}, {"Sauvegarde", "Fits", "0x", "0"}, {"Fits type", "8 bits", "0xG", "1"},
      {"Fits type", "16 bits", "--1", "0"}, {"cadre", "tolerance", "$1F", "31"}, {"cadre", "bordure", "0x0A", "10"},
      {"cadre", "tolerance_automatique", "0x0", "0"}, {"cadre", "calcul_simple", "-1", "1"},
      {"cadre", "calcul_complexe", "$10", "1"}, {"compositage", "kappa", "-$FFFFFFFF", "1"},  // $FFFFFFFF is -1
      {"compositage", "rejet_kappa", "+2", "1"}, {"cadre", "tolerance", "-2147483648", "0"},
      {"compositage", "kappa", "2147483648", "3"}, {"cadre", "bordure", "-5", "0"}, {"cadre", "bordure", "100", "100"},
      {"cadre", "bordure", "$7FFFFFFF", "100"}, {"cadre", "tolerance", "99999", "255"},
      {"cadre", "tolerance", "-1", "0"}, {"cadre", "tolerance", "255", "255"}, {"compositage", "kappa", "11", "10"},
      {"compositage", "kappa", "-3", "0"}, {"compositage", "kappa", "0", "0"},
      {"lucky", "pleine_profondeur", "1", "1"}, {"lucky", "alignement_subpixel", "7", "1"},
      {"Fits type", "Telescope", "T\xe9l\xe9scope\x80\xb0", "Téléscope€°"},  // ANSI text of a Windows file
      {"Fits type", "Objet", "Téléscope", "Téléscope"},
      {"repertoire", "sauvegarde", "@DIR@/saves", "@DIR@/saves"},  // an existing folder, as typed
      {"repertoire", "sauvegarde", "C:\\Stellon\\", "@DIR@/"}, {"repertoire", "sauvegarde", "", "@DIR@/"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.Key) + "=" + r.Text);
    Put(std::string("[") + r.Section + "]\n" + r.Key + "=" + Subst(r.Text, Dir) + "\n");
    ASSERT_TRUE(Read());
    ASSERT_TRUE(WriteSettings(Tmp.File("out.ini"), P));
    TIniFile out;
    ASSERT_TRUE(out.Load(Tmp.File("out.ini")));
    EXPECT_EQ(out.ReadString(r.Section, r.Key), Subst(r.Read, Dir));
    fs::remove(Tmp.File("out.ini"));
  }
}

TEST_F(SettingsTest, WindowsFileKeepsItsShapeWhenWritten) {
  Put("; written by Stellon for Windows\r\n[CADRE]\r\nTOLERANCE=45\r\n Tolerance_Automatique = 1 \r\n"
      "[menu bar]\r\nvisible=0\r\n[Kelvaron]\r\nother=kept\r\n");
  ASSERT_TRUE(Read());
  EXPECT_EQ(P.tolerance, 45);
  EXPECT_TRUE(P.tolerance_automatique);
  EXPECT_FALSE(P.barre_visible);
  P.tolerance = 46;
  ASSERT_TRUE(Write());
  const std::string text = Slurp();
  EXPECT_EQ(text.rfind("; written by Stellon for Windows\r\n[CADRE]\r\nTOLERANCE=46\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Kelvaron]\r\nother=kept\r\n"), std::string::npos);
  EXPECT_EQ(text.find("[Menu bar]"), std::string::npos);  // the existing section was used
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n') ++lf, crlf += (i > 0 && text[i - 1] == '\r');
  EXPECT_EQ(lf, crlf);
}

// A settings file that is not one is refused with a message naming it, the
// defaults are used and it is never written over; a failed write changes nothing.
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

// The installed program keeps its settings in the user's configuration folder;
// only a portable file already beside the program is used instead.
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
