#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/ParamGlob.h"

namespace fs = std::filesystem;

namespace {
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "stellon_settings_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    Dir = tmpl;
    Ini = Dir / "stellon.ini";
    SetIniPath(Ini.string());
    ParamGlob = TParamglob{};
  }
  void TearDown() override {
    SetIniPath("");
    std::error_code ec;
    fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Dir, ec);
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Put(const std::string& text) const {
    std::ofstream out(Ini, std::ios::binary);
    out << text;
  }
  static TParamglob Defaults() {
    TParamglob p;
    p.repertoire = DefaultRepertoire();
    return p;
  }

  fs::path Dir, Ini;
};

const char* const kFreshFile =
    "[cadre]\n"
    "tolerance=30\n"
    "tolerance_automatique=0\n"
    "calcul_simple=1\n"
    "calcul_complexe=0\n"
    "bordure=10\n"
    "Rapport=1\n"
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
    "Commentaire=\n";
}  // namespace

TEST_F(SettingsTest, NoFileGivesDefaultsAndFirstWriteHasAll24Keys) {
  ParamGlob.kappa = 9;  // must be reset
  LireParamGlob();
  const TParamglob d = Defaults();
  EXPECT_EQ(ParamGlob, d);
  EXPECT_EQ(ParamGlob.tolerance, 30);
  EXPECT_EQ(ParamGlob.bordure, 10);
  EXPECT_EQ(ParamGlob.FITS.Instrument, "QuickCam");
  ASSERT_FALSE(ParamGlob.repertoire.empty());
  EXPECT_EQ(ParamGlob.repertoire.back(), '/');
  EXPECT_TRUE(fs::is_directory(ParamGlob.repertoire));
  EXPECT_FALSE(fs::exists(Ini));  // reading never creates the file

  ASSERT_TRUE(EcrireParamGlob());
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
  ParamGlob = p;
  ASSERT_TRUE(EcrireParamGlob());
  ParamGlob = TParamglob{};
  LireParamGlob();
  EXPECT_EQ(ParamGlob, p);

  // A second write over the file changes nothing.
  const std::string once = Slurp(Ini);
  ASSERT_TRUE(EcrireParamGlob());
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
  LireParamGlob();
  EXPECT_EQ(ParamGlob.tolerance, 45);
  EXPECT_TRUE(ParamGlob.tolerance_automatique);
  EXPECT_FALSE(ParamGlob.calcul_simple);
  EXPECT_TRUE(ParamGlob.calcul_complexe);
  EXPECT_EQ(ParamGlob.repertoire, DefaultRepertoire());  // a Windows path does not exist here
  EXPECT_FALSE(ParamGlob.numerotation_zero);
  EXPECT_TRUE(ParamGlob.barre_texte);
  EXPECT_FALSE(ParamGlob.barre_visible);
  EXPECT_FALSE(ParamGlob.FITS.Bits8);
  EXPECT_TRUE(ParamGlob.FITS.Bits16);
  EXPECT_FALSE(ParamGlob.FITS.MoyRVB);
  EXPECT_TRUE(ParamGlob.FITS.SepRVB);
  EXPECT_EQ(ParamGlob.FITS.Objet, "Jupiter");
  EXPECT_EQ(ParamGlob.FITS.Telescope, "Téléscope C8");  // ANSI text of a Windows file
  EXPECT_EQ(ParamGlob.FITS.Instrument, "QuickCam");     // missing key
  EXPECT_EQ(ParamGlob.kappa, 3);                        // missing section

  ParamGlob.tolerance = 46;
  ASSERT_TRUE(EcrireParamGlob());
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
  LireParamGlob();
  EXPECT_EQ(ParamGlob, Defaults());
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
  LireParamGlob();
  EXPECT_EQ(ParamGlob.tolerance, 31);
  EXPECT_EQ(ParamGlob.bordure, 10);
  EXPECT_FALSE(ParamGlob.tolerance_automatique);
  EXPECT_TRUE(ParamGlob.calcul_simple);    // non-zero is true
  EXPECT_TRUE(ParamGlob.calcul_complexe);
  EXPECT_EQ(ParamGlob.kappa, 1);           // $FFFFFFFF is -1, so its negation is 1
  EXPECT_TRUE(ParamGlob.rejet_kappa);

  Put("[cadre]\ntolerance=-2147483648\n[compositage]\nkappa=2147483648\n");
  LireParamGlob();
  EXPECT_EQ(ParamGlob.tolerance, INT32_MIN);
  EXPECT_EQ(ParamGlob.kappa, 3);  // out of range: default
}

TEST_F(SettingsTest, MarginIsBroughtIntoTheDialogRange) {
  for (auto [text, expected] : {std::pair{"-5", 0}, {"0", 0}, {"100", 100}, {"101", 100}, {"$7FFFFFFF", 100}}) {
    Put(std::string("[cadre]\nbordure=") + text + "\ntolerance=300\n");
    LireParamGlob();
    EXPECT_EQ(ParamGlob.bordure, expected) << text;
    EXPECT_EQ(ParamGlob.tolerance, 300);  // other values are taken as they are
  }
}

TEST_F(SettingsTest, ExistingDirectoryIsKeptAsTyped) {
  const fs::path d = Dir / "saves";
  fs::create_directory(d);
  Put("[repertoire]\nsauvegarde=" + d.string() + "\n");
  LireParamGlob();
  EXPECT_EQ(ParamGlob.repertoire, d.string());
  Put("[repertoire]\nsauvegarde=\n");
  LireParamGlob();
  EXPECT_EQ(ParamGlob.repertoire, DefaultRepertoire());
}

TEST_F(SettingsTest, FailedWriteLeavesFileAndSettingsUnchanged) {
  Put("[cadre]\ntolerance=77\n");
  LireParamGlob();
  const std::string before = Slurp(Ini);
  const TParamglob inMemory = ParamGlob;

  // A directory where the file should be.
  const fs::path asDir = Dir / "folder.ini";
  fs::create_directory(asDir);
  SetIniPath(asDir.string());
  EXPECT_FALSE(EcrireParamGlob());
  EXPECT_TRUE(fs::is_directory(asDir));

  // A folder that cannot exist.
  SetIniPath((Ini / "stellon.ini").string());
  EXPECT_FALSE(EcrireParamGlob());

  EXPECT_EQ(ParamGlob, inMemory);
  EXPECT_EQ(Slurp(Ini), before);
  EXPECT_EQ(IniWriteErrorText("/x/stellon.ini"), "Impossible d'écrire dans /x/stellon.ini");
}

TEST_F(SettingsTest, FailedWriteInReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Put("[cadre]\ntolerance=77\n");
  LireParamGlob();
  ParamGlob.tolerance = 5;
  fs::permissions(Dir, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(EcrireParamGlob());
  fs::permissions(Dir, fs::perms::owner_all);
  EXPECT_EQ(Slurp(Ini), "[cadre]\ntolerance=77\n");
}

TEST(SettingsLocation, IniOptionAndDefaultPlace) {
  char a0[] = "stellon", a1[] = "--ini", a2[] = "/tmp/x.ini", a3[] = "/KELVARON", a4[] = "list.lst";
  char* argv[] = {a0, a1, a2, a3, a4, nullptr};
  int argc = 5;
  EXPECT_TRUE(TakeIniOption(argc, argv));
  ASSERT_EQ(argc, 3);
  EXPECT_STREQ(argv[1], "/KELVARON");
  EXPECT_STREQ(argv[2], "list.lst");
  EXPECT_EQ(argv[3], nullptr);
  EXPECT_EQ(IniPath(), "/tmp/x.ini");

  char b1[] = "--ini=/tmp/y.ini";
  char* argv2[] = {a0, b1, nullptr};
  int argc2 = 2;
  EXPECT_TRUE(TakeIniOption(argc2, argv2));
  EXPECT_EQ(argc2, 1);
  EXPECT_EQ(IniPath(), "/tmp/y.ini");
  EXPECT_FALSE(TakeIniOption(argc2, argv2));

  SetIniPath("");
  // This test program's folder is writable: a portable install keeps its file there.
  const fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
  EXPECT_EQ(IniPath(), (exeDir / "stellon.ini").string());
  EXPECT_EQ(DefaultRepertoire(), exeDir.string() + "/");
}
