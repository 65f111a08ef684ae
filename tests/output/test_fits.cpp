// SPDX-License-Identifier: GPL-3.0-or-later
// FITS writer: files read back by cfitsio and checked by fitsverify; the header cards as text.
#include <gtest/gtest.h>

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <cstdlib>
#include <ctime>

#include "output/Fits.h"
#include "platform/Messages.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;
using fixtures::ReadFileBytes;

namespace {

// Pixel (x, y) is blue x, green y, red x + y (mod 256).
TFastDIB Pattern(int w, int h, int bpp = 24) {
  TFastDIB img;
  img.SetSize(w, h, bpp, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixel(y, x, {uint8_t(x), uint8_t(y), uint8_t(x + y)});
  return img;
}

// Blue, green and red of pixel (x, y) of a full-depth picture, 0 to 255.
float FullAt(int x, int y, int c) { return std::min(255.0f, float(x) * 10.25f + float(y) * 31.5f + float(c) * 0.375f); }

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
  // Physical values (BZERO applied) in FITS order: the first row is the bottom one.
  std::vector<double> Pixels(long n) {
    std::vector<double> px(static_cast<size_t>(n));
    long first[2] = {1, 1};
    if (n > 0) fits_read_pix(F, TDOUBLE, first, n, nullptr, px.data(), nullptr, &Status);
    return px;
  }
};

// fitsverify's verdict: no error and no warning.
::testing::AssertionResult Verify(const std::string& path) {
  FILE* p = ::popen(("fitsverify '" + path + "' 2>&1").c_str(), "r");
  std::string out;
  char buf[512];
  while (p && std::fgets(buf, sizeof buf, p)) out += buf;
  if (p && ::pclose(p) == 0 && out.find("Verification found 0 warning(s) and 0 error(s)") != std::string::npos)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << out;
}

class FitsTest : public ::testing::Test {
 protected:
  FitsTest() {  // texts to quote, cut and replace (fitsverify checks them in every kind of file)
    Opt.Fits = {.Objet = "Jupiter's moon", .Telescope = std::string(100, 'T'), .Instrument = std::string(67, 'i') + "'x",
                .Observateur = "J\xC3\xA9r\xC3\xB4me\tB.", .Commentaire = std::string(90, 'c')};
  }
  std::string Path(const std::string& name) const { return Tmp.File(name); }
  fixtures::TTempDir Tmp;
  TFitsOptions Opt;  // default FITS parameters; an existing file is replaced
};

}  // namespace

// Every kind of file: size, BITPIX and scale, every pixel upright (row 1 is the bottom), zero fill, fitsverify.
TEST_F(FitsTest, EveryKindOfFileReadsBackUpright) {
  enum TKind { Mean8, Mean16, Split, Float, Scaled16 };
  const struct { const char* Name; TKind Kind; int W, H, Bpp; long Bitpix, DataMax; uintmax_t Size; } rows[] = {
      {"8-bit mean", Mean8, 640, 480, 24, 8, 255, 2880 + 107 * 2880},
      {"16-bit mean", Mean16, 640, 480, 24, 16, 255, 2880 + 214 * 2880},
      {"full records, no padding", Mean8, 1440, 2, 24, 8, 255, 5760},
      {"32-bit picture", Mean8, 9, 4, 32, 8, 255, 5760},
      {"empty picture", Mean8, 0, 0, 24, 8, 255, 2880},
      {"split planes", Split, 5, 3, 24, 8, 255, 5760},
      {"full depth, floats", Float, 7, 5, 0, -32, 255, 5760},
      {"full depth, scaled 16 bits", Scaled16, 7, 5, 0, 16, 65535, 5760}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    const std::time_t before = std::time(nullptr);
    TFullDepthImage full;
    full.Resize(r.W, r.H);
    for (size_t i = 0; i < full.Bgr.size(); ++i) full.Bgr[i] = FullAt(int(i / 3) % r.W, int(i / 3) / r.W, int(i % 3));
    Opt.Fits.Bits8 = r.Kind != Mean16;
    Opt.Fits.Bits16 = !Opt.Fits.Bits8;
    const TFitsDepth depth = r.Kind == Float ? TFitsDepth::Float32 : TFitsDepth::Scaled16;
    int written = 0;
    ASSERT_TRUE(r.Kind == Split ? EcrireFitsRVB(Path("T"), "0003", Pattern(r.W, r.H), Opt, &written)
                : r.Kind == Float || r.Kind == Scaled16 ? EcrireFitsFull(Path("f.fit"), "", kFitsMean, full, depth, Opt)
                                                        : EcrireFits(Path("f.fit"), "", kFitsMean, Pattern(r.W, r.H, r.Bpp), Opt));
    EXPECT_EQ(written, r.Kind == Split ? 3 : 0);
    const std::vector<std::pair<std::string, int>> files =  // name, component
        r.Kind == Split ? std::vector<std::pair<std::string, int>>{{Path("TR0003.fit"), kFitsRed}, {Path("TV0003.fit"), kFitsGreen},
                                                                  {Path("TB0003.fit"), kFitsBlue}}
                        : std::vector<std::pair<std::string, int>>{{Path("f.fit"), kFitsMean}};
    for (const auto& [f, component] : files) {
      EXPECT_EQ(fs::file_size(f), r.Size);
      const size_t dataEnd = 2880 + size_t(r.W * r.H) * size_t(std::abs(r.Bitpix) / 8);
      EXPECT_EQ(ReadFileBytes(f).find_first_not_of('\0', dataEnd), std::string::npos) << "zero fill";
      Fits in(f);
      ASSERT_EQ(in.Status, 0);
      EXPECT_EQ(std::tuple(in.Long("BITPIX"), in.Long("NAXIS1"), in.Long("NAXIS2"), in.Long("DATAMAX"), in.Long("THRESH"), in.Str("OBJECT")),
                std::tuple(r.Bitpix, long(r.W), long(r.H), r.DataMax, r.DataMax, std::string("Jupiter's moon")));
      std::tm t{};  // the moment of writing, read as UTC
      ASSERT_TRUE(strptime(in.Str("DATE-OBS").c_str(), "%Y-%m-%dT%H:%M:%S", &t)) << in.Str("DATE-OBS");
      EXPECT_GE(timegm(&t), before);
      EXPECT_LE(timegm(&t), std::time(nullptr));
      const std::vector<double> px = in.Pixels(long(r.W) * r.H);
      ASSERT_EQ(in.Status, 0);
      for (int fy = 0, i = 0; fy < r.H; ++fy)
        for (int x = 0; x < r.W; ++x, ++i) {
          const int y = r.H - 1 - fy;
          const int b = x & 255, g = y & 255, rd = (x + y) & 255;
          double want = component == kFitsRed ? rd : component == kFitsGreen ? g : component == kFitsBlue ? b : (b + g + rd) / 3;
          if (r.Kind == Float || r.Kind == Scaled16) {
            want = float((double(FullAt(x, y, 0)) + FullAt(x, y, 1) + FullAt(x, y, 2)) / 3.0);
            if (r.Kind == Scaled16) want = std::nearbyint(want * 257);
          }
          ASSERT_EQ(px[size_t(i)], want) << x << "," << y;
        }
      EXPECT_TRUE(r.W == 0 ? ::testing::AssertionSuccess() : Verify(f));
    }
  }
}

// Integers right-justified to column 30; quotes doubled, texts cut to keep the closing quote in
// column 80, other characters replaced; dates in UTC whatever the local zone.
TEST_F(FitsTest, HeaderCards) {
  const std::string zone = std::getenv("TZ") ? std::getenv("TZ") : "";
  ::setenv("TZ", "Asia/Tokyo", 1);
  ::tzset();
  const std::vector<std::string> cards = FitsHeaderCards(Opt.Fits, 64, 1024, kFitsMean, std::string(75, 'k'), 1778629530);
  zone.empty() ? ::unsetenv("TZ") : ::setenv("TZ", zone.c_str(), 1);
  ::tzset();
  EXPECT_EQ(cards, (std::vector<std::string>{
                       "SIMPLE  =                    T", "BITPIX  =                    8", "NAXIS   =                    2",
                       "NAXIS1  =                   64", "NAXIS2  =                 1024", "DATAMAX =                  255",
                       "DATAMIN =                    0", "THRESH  =                  255", "THRESL  =                    0",
                       "DATE-OBS= '2026-05-12T23:45:30'", "OBJECT  = 'Jupiter''s moon'",
                       "TELESCOP= '" + std::string(68, 'T') + "'", "INSTRUME= '" + std::string(67, 'i') + "'",
                       "OBSERVER= 'J?r?me?B.'", "COMMENT  2026-05-12 23:45:30UTC", "COMMENT   " + std::string(70, 'c'),
                       "COMMENT   " + std::string(70, 'k'), "DATE    = '2026-05-12'",
                       "HISTORY   FITS Created by STELLON  2026-05-12 23:45:30",
                       "HISTORY   Pixels values are mean from original RGB ", "END"}));
  // In the block each card starts its 80 columns, the rest blank.
  const std::string block = FitsHeaderBlock(cards);
  ASSERT_EQ(block.size(), 2880u);
  EXPECT_EQ(block.substr(3 * 80, 80), cards[3] + std::string(80 - cards[3].size(), ' '));
  EXPECT_EQ(block.substr(21 * 80), std::string(15 * 80, ' '));
  // One component: its comment, no mean card.
  const std::vector<std::string> red = FitsHeaderCards(Opt.Fits, 5, 5, kFitsRed, "Red componant", 0);
  ASSERT_EQ(red.size(), 20u);
  EXPECT_EQ(red[16], "COMMENT   Red componant");
  EXPECT_EQ(red[18].substr(0, 7), "HISTORY");
}

// Asked through the message interface, only Yes replaces; declining is no error and other planes go
// on; the command line's --no-clobber keeps without asking.
TEST_F(FitsTest, AnExistingFileIsReplacedOnlyWhenThePolicySaysSo) {
  TScriptedMessages msgs;
  TMessagesScope scope(msgs);
  Opt.Overwrite = AskReplaceFile();
  const std::string f = Path("old.fit");
  fixtures::WriteFileBytes(f, "precious");
  fixtures::WriteFileBytes(Path("SV.fit"), "keep");
  msgs.Answers = {TMsgButton::No, TMsgButton::None, TMsgButton::No, TMsgButton::Yes};
  bool written[2] = {true, true};
  int planes = 0;
  for (bool& w : written) EXPECT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(3, 3), Opt, &w));
  EXPECT_TRUE(EcrireFitsRVB(Path("S"), "", Pattern(3, 3), Opt, &planes));
  EXPECT_EQ(ReadFileBytes(f) + ReadFileBytes(Path("SV.fit")), "preciouskeep");
  EXPECT_FALSE(written[0] || written[1]);
  EXPECT_EQ(planes, 2);
  EXPECT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(3, 3), Opt));
  EXPECT_EQ(fs::file_size(f), 5760u);
  ASSERT_EQ(msgs.Asked.size(), 4u);
  EXPECT_EQ(msgs.Asked[0].Text, "Replace file" + f);
  EXPECT_EQ(msgs.Asked[0].Buttons, (std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::No}));
  EXPECT_EQ(msgs.Asked[0].Icon, TMsgIcon::Warning);
  Opt.Overwrite = TOverwritePolicy::Keep();
  fixtures::WriteFileBytes(f, "kept");
  EXPECT_TRUE(EcrireFits(f, "", kFitsMean, Pattern(4, 4), Opt));
  EXPECT_EQ(ReadFileBytes(f), "kept");
  EXPECT_EQ(msgs.Asked.size(), 4u);
}

// The three planes are written all or none; what cannot be written at all is refused.
TEST_F(FitsTest, FailuresAndRefusals) {
  fs::create_directory(Path("PV.fit"));
  const TStatus s = EcrireFitsRVB(Path("P"), "", Pattern(3, 3), Opt);
  ASSERT_FALSE(s);
  EXPECT_NE(s.Message().find(Path("PV.fit")), std::string::npos) << s.Message();
  EXPECT_EQ(std::distance(fs::directory_iterator(Tmp.Path()), fs::directory_iterator()), 1);
  EXPECT_THROW((void)EcrireFits(Path("c.fit"), "", 4, Pattern(2, 2), Opt), std::invalid_argument);
  EXPECT_THROW((void)EcrireFits(Path("g.fit"), "", kFitsMean, Pattern(2, 2, 8), Opt), std::invalid_argument);
  EXPECT_FALSE(fs::exists(Path("c.fit")) || fs::exists(Path("g.fit")));
}
