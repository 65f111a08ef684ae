// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli stack: framing then combination of a generated planet video,
// written as BMP or FITS with its report; the results are checked pixel for
// pixel against frames found and combined here from the rendered images.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../framing/ReferenceScan.h"
#include "CliRun.h"
#include "image/FastDIB.h"
#include "image/HSLUtils.h"
#include "sequence/SamplePlanet.h"

namespace fs = std::filesystem;

namespace {

TCliRun RunStackCli(const std::string& args, const fs::path& dir) { return RunCli("stack " + args, dir); }

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

constexpr int kTolerance = 30;
constexpr int kMargin = 3;

class CliStack : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir_ = fs::temp_directory_path() / ("stellon-cli-stack-" + std::to_string(::getpid()));
    fs::remove_all(Dir_);
    fs::create_directories(Dir_);
    Opt_.Frames = 16;
    Opt_.Width = 128;
    Opt_.Height = 96;
    Opt_.Seed = 5;
    Opt_.EmptyFrames = {4};
    Opt_.PartialFrames = {9};
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Video(), Opt_, &error)) << error;
    std::ofstream(Ini()) << "[cadre]\ntolerance=250\nbordure=40\n";  // the options must override these
    FindFrames();
  }
  void TearDown() override { fs::remove_all(Dir_); }

  std::string Video() const { return (Dir_ / "planet.avi").string(); }
  std::string Ini() const { return (Dir_ / "stellon.ini").string(); }
  std::string Path(const std::string& name) const { return (Dir_ / name).string(); }
  std::string Common() const {
    return "'" + Video() + "' --ini '" + Ini() + "' --tolerance " + std::to_string(kTolerance) + " --margin " +
           std::to_string(kMargin) + " --simple";
  }

  // The frames automatic framing must make, from the rendered images.
  void FindFrames() {
    bool sizeSet = false;
    int fw = 0, fh = 0;
    TFastDIB img;
    for (int i = 0; i < Opt_.Frames; ++i) {
      RenderSampleFrame(Opt_, i, img);
      TRect r;
      if (!ReferenceScan(img, kTolerance, r)) continue;
      if (!sizeSet) sizeSet = true, fw = r.Right - r.Left, fh = r.Bottom - r.Top;
      const TRect f{r.Left - kMargin, r.Top - kMargin, r.Left + fw + kMargin, r.Top + fh + kMargin};
      if (f.Left < 0 || f.Top < 0 || f.Right >= Opt_.Width || f.Bottom >= Opt_.Height) continue;
      W_ = f.Width(), H_ = f.Height();
      std::vector<TColorBGR> px;
      for (int y = f.Top; y <= f.Bottom; ++y)
        for (int x = f.Left; x <= f.Right; ++x) px.push_back(img.GetPixel(y, x));
      Frames_.push_back(px);
      Used_.push_back(i);
    }
    ASSERT_GE(Used_.size(), 8u);
    ASSERT_LT(Used_.size(), size_t(Opt_.Frames)) << "the empty and the partial frame are not framed";
  }

  TColorBGR ExpectedMean(int x, int y) const {
    int s[3] = {};
    for (const auto& f : Frames_) {
      const TColorBGR c = f[size_t(y) * W_ + x];
      s[0] += c.b, s[1] += c.g, s[2] += c.r;
    }
    const int n = int(Frames_.size());
    return {uint8_t(s[0] / n), uint8_t(s[1] / n), uint8_t(s[2] / n)};
  }

  TColorBGR ExpectedKappa(int x, int y, int kappa, bool rejet) const {
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
    if (k < 1 && rejet) std::copy(all, all + 3, sum), k = n;
    if (k == 0) k = 1;
    auto ch = [k](int v) { return uint8_t(std::min(255.0, std::nearbyint(double(v) / k))); };
    return {ch(sum[0]), ch(sum[1]), ch(sum[2])};
  }

  std::vector<std::string> ExpectedReport(const char* title, const char* parameter) const {
    std::vector<std::string> lines{title, ""};
    if (parameter) lines.insert(lines.end(), {parameter, ""});
    lines.insert(lines.end(), {"AVI file images :" + Video(), "Total images count :" + std::to_string(Opt_.Frames),
                               "combined images :" + std::to_string(Used_.size()), "", "Images used for combinaison :"});
    for (int i : Used_) lines.push_back("Image" + std::to_string(i + 1));
    return lines;
  }

  // FITS data value of pixel (x, y) of the picture: the file starts at the bottom row.
  static int FitsValue(const std::string& raw, int bytes, int w, int h, int x, int y) {
    const size_t at = 2880 + (size_t(h - 1 - y) * w + x) * size_t(bytes);
    return bytes == 1 ? uint8_t(raw[at]) : uint8_t(raw[at]) * 256 + uint8_t(raw[at + 1]);
  }

  fs::path Dir_;
  TSampleOptions Opt_;
  int W_ = 0, H_ = 0;
  std::vector<std::vector<TColorBGR>> Frames_;
  std::vector<int> Used_;
};

// No image takes part: nothing is written, the exit status is 3 and standard
// error says why.
TEST_F(CliStack, NoImageTakingPartWritesNothingAndSaysWhy) {
  TSampleOptions none = Opt_;
  none.Frames = 0;
  ASSERT_TRUE(WriteSampleVideo(Path("empty.avi"), none, nullptr));
  const struct {
    std::string Args, Why;
  } cases[] = {
      {"'" + Path("empty.avi") + "'", "has no images"},
      {"'" + Video() + "'", "could be framed"},  // tolerance 250 from the file: nothing is that bright
  };
  for (const auto& c : cases) {
    for (const char* out : {"r.bmp", "r.fit"}) {
      const TCliRun r = RunStackCli(c.Args + " --ini '" + Ini() + "' -o '" + Path(out) + "' --report", Dir_);
      EXPECT_EQ(r.Status, 3) << c.Args;
      EXPECT_NE(r.Err.find(c.Why), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find("nothing written"), std::string::npos) << r.Err;
      EXPECT_FALSE(fs::exists(Path(out)) || fs::exists(Path("r.txt"))) << out;
    }
  }
}

}  // namespace

TEST_F(CliStack, MeanToBmpWithReport) {
  const TCliRun r = RunStackCli(Common() + " -o '" + Path("jup.bmp") + "' --report", Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string n = std::to_string(Used_.size());
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"framed: " + n + " of 16", "combined: " + n,
                                               "written: " + Path("jup.bmp"), "report: " + Path("jup.txt")}));
  TFastDIB out;
  ASSERT_TRUE(out.LoadFromFile(Path("jup.bmp")));
  ASSERT_EQ(out.Width(), W_);
  ASSERT_EQ(out.AbsHeight, H_);
  for (int y = 0; y < H_; ++y)
    for (int x = 0; x < W_; ++x) ASSERT_EQ(out.GetPixel(y, x), ExpectedMean(x, y)) << x << "," << y;
  EXPECT_EQ(ReadLines(Path("jup.txt")), ExpectedReport("Result combinaison by mean", nullptr));
}

TEST_F(CliStack, KappaToSixteenBitFits) {
  const TCliRun r = RunStackCli(Common() + " --method kappa --kappa 2 --fits-bits 16 -o '" + Path("k.FIT") + "'", Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_FALSE(fs::exists(Path("k.txt"))) << "no report unless asked";
  const std::string raw = ReadAll(Path("k.FIT"));
  const size_t data = size_t(W_) * H_ * 2;
  ASSERT_EQ(raw.size(), 2880 + (data + 2879) / 2880 * 2880);
  EXPECT_EQ(raw.substr(80, 30), "BITPIX  =                   16");
  int brighter = 0;
  for (int y = 0; y < H_; ++y)
    for (int x = 0; x < W_; ++x) {
      const TColorBGR c = ExpectedKappa(x, y, 2, false);
      ASSERT_EQ(FitsValue(raw, 2, W_, H_, x, y), (c.r + c.g + c.b) / 3) << x << "," << y;
      brighter += c.r > 60;
    }
  EXPECT_GT(brighter, W_ * H_ / 4) << "the planet fills the frame";
  FILE* p = ::popen(("fitsverify -q '" + Path("k.FIT") + "' 2>&1").c_str(), "r");
  ASSERT_TRUE(p);
  char buf[256] = {};
  const bool got = std::fgets(buf, sizeof buf, p) != nullptr;
  ::pclose(p);
  EXPECT_TRUE(got && std::string(buf).rfind("verification OK", 0) == 0) << buf;
}

TEST_F(CliStack, SplitFitsAndKappaReport) {
  const TCliRun r =
      RunStackCli(Common() + " --method kappa --kappa 1 --reject-mean --fits-split --report -o '" + Path("s.fit") + "'",
               Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string raws[3] = {ReadAll(Path("sR.fit")), ReadAll(Path("sV.fit")), ReadAll(Path("sB.fit"))};
  EXPECT_FALSE(fs::exists(Path("s.fit")));
  for (int y = 0; y < H_; y += 3)
    for (int x = 0; x < W_; x += 2) {
      const TColorBGR c = ExpectedKappa(x, y, 1, true);
      ASSERT_EQ(FitsValue(raws[0], 1, W_, H_, x, y), c.r);
      ASSERT_EQ(FitsValue(raws[1], 1, W_, H_, x, y), c.g);
      ASSERT_EQ(FitsValue(raws[2], 1, W_, H_, x, y), c.b);
    }
  EXPECT_EQ(ReadLines(Path("s.txt")), ExpectedReport("Result combinaison Kappa-Sigma", "Parameter :1"));
}

TEST_F(CliStack, ReplacesExistingFilesAndNamesTheReportFromTheRealExtension) {
  std::ofstream(Path("my.result.BMP")) << "old picture";
  std::ofstream(Path("my.result.txt")) << "old report";
  const TCliRun r = RunStackCli(Common() + " -o '" + Path("my.result.BMP") + "' --report", Dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  TFastDIB out;
  EXPECT_TRUE(out.LoadFromFile(Path("my.result.BMP")));
  EXPECT_EQ(ReadLines(Path("my.result.txt")), ExpectedReport("Result combinaison by mean", nullptr));

  std::ofstream(Path("again.fit")) << "old fits";
  ASSERT_EQ(RunStackCli(Common() + " -o '" + Path("again.fit") + "'", Dir_).Status, 0);
  EXPECT_EQ(ReadAll(Path("again.fit")).substr(0, 30), "SIMPLE  =                    T");
}

TEST_F(CliStack, RefusesBadArgumentsWithoutWritingAnything) {
  EXPECT_EQ(RunStackCli(Common(), Dir_).Status, 2) << "no -o";
  EXPECT_EQ(RunStackCli(Common() + " -o '" + Path("x.png") + "'", Dir_).Status, 2);
  EXPECT_EQ(RunStackCli(Common() + " -o '" + Path("x.bmp") + "' --method median", Dir_).Status, 2);
  EXPECT_EQ(RunStackCli(Common() + " -o '" + Path("x.fit") + "' --fits-bits 12", Dir_).Status, 2);
  EXPECT_EQ(RunStackCli(Common() + " -o '" + Path("x.bmp") + "' --kappa two", Dir_).Status, 2);
  EXPECT_EQ(RunStackCli(Common() + " -o '" + Path("x.bmp") + "' --simple --complex", Dir_).Status, 2);
  const TCliRun missing = RunStackCli("'" + Path("none.avi") + "' -o '" + Path("x.bmp") + "'", Dir_);
  EXPECT_EQ(missing.Status, 2);  // as info and frame: not a valid AVI file
  EXPECT_NE(missing.Err.find(Path("none.avi") + "is not a valid AVI file."), std::string::npos) << missing.Err;
  EXPECT_FALSE(fs::exists(Path("x.bmp")) || fs::exists(Path("x.png")) || fs::exists(Path("x.fit")));
  // A folder that does not exist: the write fails and says so.
  const TCliRun noDir = RunStackCli(Common() + " -o '" + Path("no/such/x.bmp") + "'", Dir_);
  EXPECT_EQ(noDir.Status, 1);
  EXPECT_NE(noDir.Err, "");
}
