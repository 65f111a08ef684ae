// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli frame, stack, save, rank and align checked against frames found and combined here.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include "../framing/FramingFixtures.h"
#include "CliRun.h"
#include "image/HSLUtils.h"

namespace fs = std::filesystem;
using namespace fixtures;
using TLines = std::vector<std::string>;

namespace {

constexpr int kTolerance = 30, kMargin = 3;

class CliPlanet : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir_ = new TTempDir;
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Video(), Opt_, &error)) << error;
    // The frames automatic framing must make: the first object found fixes the size.
    int fw = -1, fh = 0;
    TFastDIB img;
    for (int i = 0; i < Opt_.Frames; ++i) {
      RenderSampleFrame(Opt_, i, img);
      const std::string n = std::to_string(i + 1);
      TRect r;
      if (!ReferenceScan(img, kTolerance, r)) {
        Lines_.push_back(n + " not-found");
        continue;
      }
      if (fw < 0) fw = r.Right - r.Left, fh = r.Bottom - r.Top;
      const TRect f{r.Left - kMargin, r.Top - kMargin, r.Left + fw + kMargin, r.Top + fh + kMargin};
      if (f.Left < 0 || f.Top < 0 || f.Right >= Opt_.Width || f.Bottom >= Opt_.Height) {
        Lines_.push_back(n + " out-of-limit");
        continue;
      }
      char line[80];
      std::snprintf(line, sizeof line, "%s ok %d %d %d %d", n.c_str(), f.Left, f.Top, f.Right, f.Bottom);
      Lines_.emplace_back(line);
      W_ = f.Width(), H_ = f.Height();
      Frames_.emplace_back();
      for (int y = f.Top; y <= f.Bottom; ++y)
        for (int x = f.Left; x <= f.Right; ++x) Frames_.back().push_back(img.GetPixel(y, x));
      Used_.push_back(i);
    }
    Lines_.push_back("frame-size: " + std::to_string(W_) + " " + std::to_string(H_));
  }
  static void TearDownTestSuite() { delete Dir_; }
  static std::string File(const std::string& name) { return Dir_->File(name); }
  static std::string Video() { return File("planet.avi"); }
  static TCliRun Run(const std::string& command, const std::string& more) {
    return RunCli(command + " " + Video() + " --quiet --ini " + File("none.ini") + " --tolerance " +
                      std::to_string(kTolerance) + " --margin " + std::to_string(kMargin) + " --simple " + more,
                  Dir_->Path());
  }
  static TColorBGR Mean(int x, int y) {
    int s[3] = {};
    for (const auto& f : Frames_) {
      const TColorBGR c = f[size_t(y) * W_ + x];
      s[0] += c.b, s[1] += c.g, s[2] += c.r;
    }
    const int n = int(Frames_.size());
    return {uint8_t(s[0] / n), uint8_t(s[1] / n), uint8_t(s[2] / n)};
  }
  // Kappa-sigma on the colour norms; `reject`: a pixel whose colours are all rejected gets the mean of all.
  static TColorBGR Kappa(int x, int y, int kappa, bool reject) {
    std::vector<double> norms;
    for (const auto& f : Frames_) norms.push_back(ColorNorm(f[size_t(y) * W_ + x]));
    const int n = int(norms.size());
    const double m = MeanOf(norms.data(), n), s = SpreadOf(norms.data(), n);
    int sum[3] = {}, all[3] = {}, k = 0;
    for (int i = 0; i < n; ++i) {
      const TColorBGR c = Frames_[size_t(i)][size_t(y) * W_ + x];
      all[0] += c.b, all[1] += c.g, all[2] += c.r;
      if (std::fabs(m - norms[size_t(i)]) <= kappa * s) sum[0] += c.b, sum[1] += c.g, sum[2] += c.r, ++k;
    }
    if (k < 1 && reject) std::copy(all, all + 3, sum), k = n;
    k = std::max(k, 1);
    auto ch = [k](int v) { return uint8_t(std::min(255.0, std::nearbyint(double(v) / k))); };
    return {ch(sum[0]), ch(sum[1]), ch(sum[2])};
  }
  static TLines Report(const char* title, const char* parameter) {
    TLines lines{title, ""};
    if (parameter) lines.insert(lines.end(), {parameter, ""});
    lines.insert(lines.end(), {"AVI file images :" + Video(), "Total images count :" + std::to_string(Opt_.Frames),
                               "combined images :" + std::to_string(Used_.size()), "", "Images used for combinaison :"});
    for (int i : Used_) lines.push_back("Image" + std::to_string(i + 1));
    return lines;
  }
  // FITS data value of pixel (x, y): the file starts at the bottom row.
  static int FitsValue(const std::string& raw, int bytes, int x, int y) {
    const size_t at = 2880 + (size_t(H_ - 1 - y) * W_ + x) * size_t(bytes);
    return bytes == 1 ? uint8_t(raw[at]) : uint8_t(raw[at]) * 256 + uint8_t(raw[at + 1]);
  }
  static inline TTempDir* Dir_ = nullptr;
  static inline const TSampleOptions Opt_ = CliPlanetOptions();
  static inline TLines Lines_;
  static inline int W_ = 0, H_ = 0;
  static inline std::vector<std::vector<TColorBGR>> Frames_;
  static inline std::vector<int> Used_;
};

TEST_F(CliPlanet, FramePrintsOneLinePerImageThenTheFrameSize) {
  for (const char* kind : {" ok ", " not-found", " out-of-limit"})  // the video has every kind of line
    EXPECT_TRUE(std::any_of(Lines_.begin(), Lines_.end(), [&](auto& l) { return l.find(kind) != l.npos; })) << kind;
  ASSERT_GE(Used_.size(), 6u);
  // The settings file's values (tolerance 250: nothing is that bright) are overridden by the options.
  std::ofstream(File("far.ini")) << "[cadre]\ntolerance=250\nbordure=40\n";
  const TCliRun r = RunCli("frame " + Video() + " --ini " + File("far.ini") + " --tolerance 30 --margin 3 --simple", Dir_->Path());
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Lines, Lines_);
}

// Mean to BMP, kappa-sigma to 16-bit FITS, kappa-sigma with rejected means to one FITS per colour.
TEST_F(CliPlanet, StackWritesTheCombinationComputedHere) {
  const std::string n = std::to_string(Used_.size()), framed = "framed: " + n + " of 12", combined = "combined: " + n;
  TCliRun r = Run("stack", "-o " + File("m.bmp") + " --report");
  EXPECT_EQ(r.Lines, (TLines{framed, combined, "written: " + File("m.bmp"), "report: " + File("m.txt")})) << r.Err;
  TFastDIB bmp;
  ASSERT_TRUE(bmp.LoadFromFile(File("m.bmp")));
  ASSERT_EQ(std::pair(bmp.Width(), bmp.AbsHeight), std::pair(W_, H_));
  EXPECT_EQ(SplitLines(ReadFileBytes(File("m.txt"))), Report("Result combinaison by mean", nullptr));
  r = Run("stack", "--method kappa --kappa 2 --fits-bits 16 -o " + File("k.FIT"));
  EXPECT_EQ(r.Lines, (TLines{framed, combined, "written: " + File("k.FIT")})) << r.Err;
  EXPECT_FALSE(fs::exists(File("k.txt"))) << "no report unless asked";
  const std::string k = ReadFileBytes(File("k.FIT"));
  ASSERT_EQ(k.size(), 2880 + (size_t(W_) * H_ * 2 + 2879) / 2880 * 2880);
  EXPECT_EQ(k.substr(80, 30), "BITPIX  =                   16");
  r = Run("stack", "--method kappa --kappa 1 --reject-mean --fits-split --report -o " + File("s.fit"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string split[3] = {ReadFileBytes(File("sR.fit")), ReadFileBytes(File("sV.fit")),
                                 ReadFileBytes(File("sB.fit"))};
  EXPECT_FALSE(fs::exists(File("s.fit")));
  EXPECT_EQ(SplitLines(ReadFileBytes(File("s.txt"))), Report("Result combinaison Kappa-Sigma", "Parameter :1"));
  int bright = 0;
  for (int y = 0; y < H_; ++y)
    for (int x = 0; x < W_; ++x) {
      ASSERT_EQ(bmp.GetPixel(y, x), Mean(x, y)) << x << "," << y;
      const TColorBGR c = Kappa(x, y, 2, false), s = Kappa(x, y, 1, true);
      ASSERT_EQ(FitsValue(k, 2, x, y), (c.r + c.g + c.b) / 3) << x << "," << y;
      ASSERT_EQ((TColorBGR{uint8_t(FitsValue(split[2], 1, x, y)), uint8_t(FitsValue(split[1], 1, x, y)),
                           uint8_t(FitsValue(split[0], 1, x, y))}), s) << x << "," << y;
      bright += c.r > 60;
    }
  EXPECT_GT(bright, W_ * H_ / 4) << "the planet fills the frame";
}

// Every image, or the framed ones, or their frames' contents, under the names asked.
TEST_F(CliPlanet, SaveWritesTheFilesItPrints) {
  const struct {
    const char* Options;
    const char* Name;  // printf format of the file names
    int First;
    bool FramedOnly, Inside;
  } cases[] = {{"", "Temp%04d.bmp", 1, false, false},
               {"--prefix J --start 9 --fits", "J%04d.fit", 9, false, false},
               {"--ticked-by-framing", "Temp%04d.bmp", 1, true, false},
               {"--inside-frame", "Temp%04d.bmp", 1, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Options);
    const std::string out = File("out");
    fs::remove_all(out);
    fs::create_directory(out);
    const TCliRun r = Run("save", out + " " + c.Options);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const size_t count = c.FramedOnly ? Used_.size() : size_t(Opt_.Frames);
    TLines printed;
    std::set<std::string> names;
    for (size_t i = 0; i < count; ++i) {
      char name[40];
      std::snprintf(name, sizeof name, c.Name, c.First + int(i));
      printed.push_back("written: " + out + "/" + name);
      names.insert(name);
      TFastDIB img;
      if (c.Name[4] == '%') {
        ASSERT_TRUE(img.LoadFromFile(out + "/" + name));
        EXPECT_EQ(std::pair(img.Width(), img.AbsHeight), c.Inside ? std::pair(W_, H_) : std::pair(160, 120));
      }
    }
    EXPECT_EQ(r.Lines, printed);
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(out)) found.insert(e.path().filename().string());
    EXPECT_EQ(found, names);
  }
}

// rank: sharp images score above blurred ones; align: position differences are the true shifts.
TEST_F(CliPlanet, RankAndAlignMeasureTheFramedImages) {
  const TCliRun rank = Run("rank", ""), align = Run("align", "");
  ASSERT_EQ(rank.Lines.size(), size_t(Opt_.Frames));
  ASSERT_EQ(align.Lines.size(), size_t(Opt_.Frames));
  double lowestSharp = 1e9, highestBlurred = 0, x0 = 0, y0 = 0;
  for (int i = 0; i < Opt_.Frames; ++i) {
    const std::string n = std::to_string(i + 1);
    if (std::find(Used_.begin(), Used_.end(), i) == Used_.end()) {
      EXPECT_EQ(rank.Lines[size_t(i)], n + " none");
      EXPECT_EQ(align.Lines[size_t(i)], n + " none");
      continue;
    }
    std::istringstream rl(rank.Lines[size_t(i)]), al(align.Lines[size_t(i)]);
    std::string n1, n2;
    double score = 0, x = 0, y = 0;
    ASSERT_TRUE((rl >> n1 >> score) && (al >> n2 >> x >> y) && n1 == n && n2 == n) << n;
    if (Opt_.BlurSigmas[size_t(i)] > 0) highestBlurred = std::max(highestBlurred, score);
    else lowestSharp = std::min(lowestSharp, score);
    const TSampleFrame f = SampleFrameInfo(Opt_, i);
    if (i == Used_[0]) x0 = x - f.X, y0 = y - f.Y;
    EXPECT_NEAR(x - f.X, x0, 0.1) << n;
    EXPECT_NEAR(y - f.Y, y0, 0.1) << n;
  }
  EXPECT_GT(lowestSharp, highestBlurred);
}

// --best keeps P% (rounded up); --full-depth FITS; --align frame is the default, subpixel differs.
TEST_F(CliPlanet, StackKeepsTheBestAndAligns) {
  const size_t n = Used_.size(), half = (n + 1) / 2;
  const std::string framed = "framed: " + std::to_string(n) + " of 12";
  EXPECT_EQ(Run("stack", "--best 50 -o " + File("b.bmp")).Lines,
            (TLines{framed, "best: " + std::to_string(half) + " of " + std::to_string(n),
                    "combined: " + std::to_string(half), "written: " + File("b.bmp")}));
  EXPECT_EQ(Run("stack", "--best 1 -o " + File("b.bmp")).Lines.at(1), "best: 1 of " + std::to_string(n));
  for (const auto& [options, bitpix] : {std::pair{"--align subpixel --full-depth", "-32"},
                                        std::pair{"--full-depth --fits-bits 16", "16"}}) {
    ASSERT_EQ(Run("stack", std::string(options) + " -o " + File("f.fit")).Status, 0) << options;
    EXPECT_EQ(ReadFileBytes(File("f.fit")).substr(80, 30), "BITPIX  = " + std::string(20 - std::strlen(bitpix), ' ') + bitpix);
  }
  for (const auto& [align, out] : {std::pair{"", "plain.bmp"}, {"--align frame", "frame.bmp"}, {"--align subpixel", "sub.bmp"}})
    ASSERT_EQ(Run("stack", std::string(align) + " -o " + File(out)).Status, 0) << align;
  EXPECT_EQ(ReadFileBytes(File("plain.bmp")), ReadFileBytes(File("frame.bmp")));
  EXPECT_NE(ReadFileBytes(File("plain.bmp")), ReadFileBytes(File("sub.bmp")));
}

}  // namespace
