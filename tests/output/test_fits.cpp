// SPDX-License-Identifier: GPL-3.0-or-later
// FITS writer: files read back by cfitsio and checked by fitsverify, raw bytes
// checked where the layout matters (record padding, byte order, card columns).
#include <gtest/gtest.h>

#include <fitsio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "output/Fits.h"
#include "platform/Messages.h"

namespace fs = std::filesystem;

namespace {

class FitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("stellon_fits_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Path(const std::string& name) const { return (Dir / name).string(); }
  fs::path Dir;
  TFitsOptions Opt;  // default FITS parameters; an existing file is replaced
};

// A W x H picture whose pixel (x, y) is (blue x, green y, red x + y), mod 256.
TFastDIB Pattern(int w, int h) {
  TFastDIB img;
  img.SetSize(w, h, 24, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixel(y, x, {uint8_t(x), uint8_t(y), uint8_t(x + y)});
  return img;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Card(const std::string& file, int index) { return ReadAll(file).substr(size_t(index) * 80, 80); }

std::string Trim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

struct Fits {
  fitsfile* F = nullptr;
  int Status = 0;
  explicit Fits(const std::string& path) { fits_open_file(&F, path.c_str(), READONLY, &Status); }
  ~Fits() {
    int s = 0;
    if (F) fits_close_file(F, &s);
  }
  long Long(const char* key) {
    long v = -1;
    fits_read_key(F, TLONG, key, &v, nullptr, &Status);
    return v;
  }
  std::string Str(const char* key) {
    char v[FLEN_VALUE] = {};
    fits_read_key(F, TSTRING, key, v, nullptr, &Status);
    return v;
  }
  // Pixels in FITS order: first row is the bottom one.
  std::vector<long> Pixels(long w, long h) {
    std::vector<long> px(size_t(w * h));
    long first[2] = {1, 1};
    fits_read_pix(F, TLONG, first, w * h, nullptr, px.data(), nullptr, &Status);
    return px;
  }
};

// fitsverify's verdict: true when it finds neither error nor warning (its
// report is left in `out`).
bool Verify(const std::string& path, std::string& out) {
  out.clear();
  FILE* p = ::popen(("fitsverify '" + path + "' 2>&1").c_str(), "r");
  if (!p) return false;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  const int rc = ::pclose(p);
  return rc == 0 && out.find("Verification found 0 warning(s) and 0 error(s)") != std::string::npos;
}

TEST_F(FitsTest, EightBitMeanFileReadsBackUprightWithItsHeader) {
  Opt.Fits.Objet = "Jupiter";
  Opt.Fits.Telescope = "C8";
  Opt.Fits.Observateur = "Ann";
  Opt.Fits.Commentaire = "seeing 3/5";
  const TFastDIB img = Pattern(640, 480);
  const std::string f = Path("jup.fit");
  ASSERT_TRUE(EcrireFits(f, "", kFitsMean, img, Opt));
  EXPECT_EQ(fs::file_size(f), 311040u);  // 2880 + 107 x 2880
  const std::string raw = ReadAll(f);
  EXPECT_EQ(raw.substr(2880 + 307200), std::string(960, '\0'));

  Fits in(f);
  ASSERT_EQ(in.Status, 0);
  EXPECT_EQ(in.Long("BITPIX"), 8);
  EXPECT_EQ(in.Long("NAXIS"), 2);
  EXPECT_EQ(in.Long("NAXIS1"), 640);
  EXPECT_EQ(in.Long("NAXIS2"), 480);
  EXPECT_EQ(in.Long("DATAMAX"), 255);
  EXPECT_EQ(in.Long("DATAMIN"), 0);
  EXPECT_EQ(in.Str("OBJECT"), "Jupiter");
  EXPECT_EQ(in.Str("TELESCOP"), "C8");
  EXPECT_EQ(in.Str("INSTRUME"), "QuickCam");
  EXPECT_EQ(in.Str("OBSERVER"), "Ann");
  const std::vector<long> px = in.Pixels(640, 480);
  ASSERT_EQ(in.Status, 0);
  for (int fy = 0; fy < 480; fy += 7)
    for (int x = 0; x < 640; x += 5) {
      const int y = 479 - fy;  // FITS row 1 is the bottom row of the picture
      ASSERT_EQ(px[size_t(fy) * 640 + x], ((x & 255) + (y & 255) + ((x + y) & 255)) / 3) << x << "," << y;
    }
  std::string report;
  EXPECT_TRUE(Verify(f, report)) << report;
}

TEST_F(FitsTest, SixteenBitValuesAreBigEndianWithoutScaling) {
  Opt.Fits.Bits8 = false;
  Opt.Fits.Bits16 = true;
  TFastDIB img = Pattern(640, 480);
  img.SetPixel(479, 0, {200, 200, 200});  // bottom-left: the first value of the file
  const std::string f = Path("a16.fit");
  ASSERT_TRUE(EcrireFits(f, "", kFitsMean, img, Opt));
  EXPECT_EQ(fs::file_size(f), 2880u + 214u * 2880u);
  const std::string raw = ReadAll(f);
  EXPECT_EQ(uint8_t(raw[2880]), 0);
  EXPECT_EQ(uint8_t(raw[2881]), 200);
  Fits in(f);
  EXPECT_EQ(in.Long("BITPIX"), 16);
  long bzero = 0;
  int st = 0;
  fits_read_key(in.F, TLONG, "BZERO", &bzero, nullptr, &st);
  EXPECT_EQ(st, KEY_NO_EXIST);
  const std::vector<long> px = in.Pixels(640, 480);
  ASSERT_EQ(in.Status, 0);
  EXPECT_EQ(px[0], 200);
  EXPECT_EQ(px[size_t(479) * 640 + 639], (639 % 256 + 0 + (639 % 256)) / 3) << "last value: the top-right pixel";
  std::string report;
  EXPECT_TRUE(Verify(f, report)) << report;
}

TEST_F(FitsTest, RecordsArePaddedOnlyWhenNotFullAndAnEmptyImageGivesTheHeaderAlone) {
  const std::string exact = Path("exact.fit");
  ASSERT_TRUE(EcrireFits(exact, "", kFitsMean, Pattern(1440, 2), Opt));
  EXPECT_EQ(fs::file_size(exact), 5760u);
  const std::string raw = ReadAll(exact);
  EXPECT_EQ(uint8_t(raw.back()), ((1439 % 256) + 0 + (1439 % 256)) / 3) << "last value: top-right, no padding";

  const std::string empty = Path("empty.fit");
  ASSERT_TRUE(EcrireFits(empty, "", kFitsMean, TFastDIB{}, Opt));
  EXPECT_EQ(fs::file_size(empty), 2880u);
}

TEST_F(FitsTest, MeanOfComponentsTruncates) {
  TFastDIB img;
  img.SetSize(2, 1, 24, 0);
  img.SetPixel(0, 0, {255, 255, 255});
  img.SetPixel(0, 1, {2, 1, 1});  // blue 2, green 1, red 1
  const std::string f = Path("m.fit");
  ASSERT_TRUE(EcrireFits(f, "", kFitsMean, img, Opt));
  const std::string raw = ReadAll(f);
  EXPECT_EQ(uint8_t(raw[2880]), 255);
  EXPECT_EQ(uint8_t(raw[2881]), 1);
}

TEST_F(FitsTest, CardsInOrderWithIntegersRightJustifiedToColumn30) {
  Opt.Fits.Commentaire = "note";
  const std::vector<std::string> cards = FitsHeaderCards(Opt.Fits, 64, 1024, kFitsMean, "", 1778577330);
  ASSERT_EQ(cards.size(), 20u) << "a mean file has 20 cards, END last";
  EXPECT_EQ(cards[0], "SIMPLE  =                    T");
  EXPECT_EQ(cards[1], "BITPIX  =                    8");
  EXPECT_EQ(cards[2], "NAXIS   =                    2");
  EXPECT_EQ(cards[3], "NAXIS1  =                   64");
  EXPECT_EQ(cards[4], "NAXIS2  =                 1024");
  EXPECT_EQ(cards[5], "DATAMAX =                  255");
  EXPECT_EQ(cards[6], "DATAMIN =                    0");
  EXPECT_EQ(cards[7], "THRESH  =                  255");
  EXPECT_EQ(cards[8], "THRESL  =                    0");
  EXPECT_EQ(cards[9], "DATE-OBS= '2026-05-12T09:15:30'");
  EXPECT_EQ(cards[10], "OBJECT  = ''");
  EXPECT_EQ(cards[11], "TELESCOP= ''");
  EXPECT_EQ(cards[12], "INSTRUME= 'QuickCam'");
  EXPECT_EQ(cards[13], "OBSERVER= ''");
  EXPECT_EQ(cards[14], "COMMENT  2026-05-12 09:15:30UTC");
  EXPECT_EQ(cards[15], "COMMENT   note");
  EXPECT_EQ(cards[16], "DATE    = '2026-05-12'");
  EXPECT_EQ(cards[17], "HISTORY   FITS Created by STELLON  2026-05-12 09:15:30");
  EXPECT_EQ(cards[18], "HISTORY   Pixels values are mean from original RGB ");
  EXPECT_EQ(cards[19], "END");

  // In a file: each card at the start of its 80 columns, the rest blank.
  const std::string block = FitsHeaderBlock(cards);
  ASSERT_EQ(block.size(), 2880u);
  EXPECT_EQ(block.substr(3 * 80, 80), cards[3] + std::string(80 - cards[3].size(), ' '));
  EXPECT_EQ(block.substr(20 * 80), std::string(16 * 80, ' '));

  // A one-component file with a comment also has 20 cards: the comment, no mean card.
  const std::vector<std::string> red = FitsHeaderCards(Opt.Fits, 5, 5, kFitsRed, "Red componant", 0);
  ASSERT_EQ(red.size(), 20u);
  EXPECT_EQ(red[16], "COMMENT   Red componant");
  EXPECT_EQ(red[18].substr(0, 7), "HISTORY");
  EXPECT_EQ(red[19], "END");
}

TEST_F(FitsTest, DatesAreIsoInUtcAndTheSameInEveryCard) {
  const std::string f = Path("d.fit");
  const std::time_t before = std::time(nullptr);
  ASSERT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(3, 3), Opt));
  const std::time_t after = std::time(nullptr);
  Fits in(f);
  const std::string obs = in.Str("DATE-OBS"), date = in.Str("DATE");
  ASSERT_TRUE(std::regex_match(obs, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)"))) << obs;
  EXPECT_EQ(date, obs.substr(0, 10));
  // Read by cfitsio as a UTC date-time, it lies between the two clock readings.
  int yr, mo, dy, hr, mn, st = 0;
  double sec;
  fits_str2time(const_cast<char*>(obs.c_str()), &yr, &mo, &dy, &hr, &mn, &sec, &st);
  ASSERT_EQ(st, 0);
  std::tm t{};
  t.tm_year = yr - 1900, t.tm_mon = mo - 1, t.tm_mday = dy, t.tm_hour = hr, t.tm_min = mn, t.tm_sec = int(sec);
  const std::time_t stamped = timegm(&t);
  EXPECT_GE(stamped, before);
  EXPECT_LE(stamped, after);
  const std::string clock = obs.substr(0, 10) + " " + obs.substr(11);
  EXPECT_EQ(Trim(Card(f, 14)), "COMMENT  " + clock + "UTC");
  EXPECT_EQ(Trim(Card(f, 17)), "HISTORY   FITS Created by STELLON  " + clock);
}

TEST_F(FitsTest, QuotesAreDoubledLongTextsCutAndOtherCharactersReplaced) {
  Opt.Fits.Objet = "Jupiter's moon";
  Opt.Fits.Telescope = std::string(100, 'T');
  Opt.Fits.Instrument = std::string(67, 'i') + "'x";  // the doubled quote would pass column 79
  Opt.Fits.Observateur = "J\xC3\xA9r\xC3\xB4me\tB.";  // UTF-8 accents and a tab
  Opt.Fits.Commentaire = std::string(90, 'c');
  const std::string f = Path("q.fit");
  ASSERT_TRUE(EcrireFits(f, std::string(75, 'k'), kFitsMean, Pattern(4, 4), Opt));

  EXPECT_EQ(Trim(Card(f, 10)), "OBJECT  = 'Jupiter''s moon'");
  EXPECT_EQ(Card(f, 11), "TELESCOP= '" + std::string(68, 'T') + "'");
  EXPECT_EQ(Trim(Card(f, 12)), "INSTRUME= '" + std::string(67, 'i') + "'");
  EXPECT_EQ(Trim(Card(f, 13)), "OBSERVER= 'J?r?me?B.'");
  EXPECT_EQ(Card(f, 15), "COMMENT   " + std::string(70, 'c'));
  EXPECT_EQ(Card(f, 16), "COMMENT   " + std::string(70, 'k'));
  EXPECT_EQ(Trim(Card(f, 17)).substr(0, 10), "DATE    = ") << "the next card is untouched";

  Fits in(f);
  EXPECT_EQ(in.Str("OBJECT"), "Jupiter's moon");
  EXPECT_EQ(in.Str("TELESCOP"), std::string(68, 'T'));
  EXPECT_EQ(in.Status, 0);
  std::string report;
  EXPECT_TRUE(Verify(f, report)) << report;
}

TEST_F(FitsTest, SplitWritesThreeComponentFiles) {
  TFastDIB img;
  img.SetSize(2, 2, 24, 0);
  img.SetPixel(1, 0, {30, 20, 10});  // bottom-left: blue 30, green 20, red 10
  const std::string base = Path("Temp");
  int written = 0;
  ASSERT_TRUE(EcrireFitsRVB(base, "0003", img, Opt, &written));
  EXPECT_EQ(written, 3);
  const struct {
    const char* Name;
    const char* Comment;
    int Value;
  } files[] = {{"TempR0003.fit", "Red componant", 10}, {"TempV0003.fit", "Green componant", 20},
               {"TempB0003.fit", "Bleu componant", 30}};
  for (const auto& e : files) {
    const std::string f = Path(e.Name);
    ASSERT_TRUE(fs::exists(f)) << e.Name;
    EXPECT_EQ(Trim(Card(f, 16)), std::string("COMMENT   ") + e.Comment);
    EXPECT_EQ(ReadAll(f).substr(0, 2880).find("Pixels values are mean"), std::string::npos);
    Fits in(f);
    EXPECT_EQ(in.Pixels(2, 2)[0], e.Value) << e.Name;
    std::string report;
    EXPECT_TRUE(Verify(f, report)) << report;
  }
}

// The windows' policy asks "Replace file<name>" through the message interface;
// only Yes replaces. Declining is not an error.
TEST_F(FitsTest, AnExistingFileIsReplacedOnlyWhenThePolicySaysSo) {
  TScriptedMessages msgs;
  TMessagesScope scope(msgs);
  Opt.Overwrite = AskReplaceFile();
  const std::string f = Path("old.fit");
  { std::ofstream(f) << "precious"; }
  for (TMsgButton answer : {TMsgButton::No, TMsgButton::None}) {  // None: the box was closed
    msgs.Answers = {answer};
    bool written = true;
    EXPECT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(3, 3), Opt, &written));
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(f), "precious");
  }
  ASSERT_EQ(msgs.Asked.size(), 2u);
  EXPECT_EQ(msgs.Asked[0].Text, "Replace file" + f);
  EXPECT_EQ(msgs.Asked[0].Buttons, (std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::No}));
  EXPECT_EQ(msgs.Asked[0].Icon, TMsgIcon::Warning);
  msgs.Answers = {TMsgButton::Yes};
  EXPECT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(3, 3), Opt));
  EXPECT_EQ(fs::file_size(f), 5760u);

  // Split: declining one file does not stop the others.
  { std::ofstream(Path("SV.fit")) << "keep"; }
  msgs.Answers = {TMsgButton::No};
  int written = 0;
  EXPECT_TRUE(EcrireFitsRVB(Path("S"), "", Pattern(3, 3), Opt, &written));
  EXPECT_EQ(written, 2);
  EXPECT_EQ(ReadAll(Path("SV.fit")), "keep");
  EXPECT_TRUE(fs::exists(Path("SR.fit")) && fs::exists(Path("SB.fit")));

  // The command line's --no-clobber: keep without asking.
  Opt.Overwrite = TOverwritePolicy::Keep();
  EXPECT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(4, 4), Opt));
  EXPECT_EQ(fs::file_size(f), 5760u);
  EXPECT_EQ(msgs.Asked.size(), 4u);
}

// The three planes are written all or none: a plane that cannot be written
// leaves no other plane behind.
TEST_F(FitsTest, AFailedPlaneLeavesNoPlane) {
  fs::create_directory(Path("PV.fit"));
  const TStatus s = EcrireFitsRVB(Path("P"), "", Pattern(3, 3), Opt);
  ASSERT_FALSE(s);
  EXPECT_NE(s.Message().find(Path("PV.fit")), std::string::npos) << s.Message();
  EXPECT_FALSE(fs::exists(Path("PR.fit")) || fs::exists(Path("PB.fit")));
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

TEST_F(FitsTest, RefusesWhatItCannotWrite) {
  EXPECT_THROW((void)EcrireFits(Path("c.fit"), "", 4, Pattern(2, 2), Opt), std::invalid_argument);
  TFastDIB grey;
  grey.SetSize(2, 2, 8, 0);
  EXPECT_THROW((void)EcrireFits(Path("g.fit"), "", kFitsMean, grey, Opt), std::invalid_argument);
  EXPECT_FALSE(fs::exists(Path("c.fit")) || fs::exists(Path("g.fit")));
}

}  // namespace
