// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli frame|stack --surface --region L,T,R,B [--reference N]: a
// textured video whose images are windows cut at known places.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "CliRun.h"
#include "platform/VideoWriter.h"

namespace fs = std::filesystem;

namespace {

// Window i of the video is cut at (kCut[i].x, kCut[i].y) from one texture.
constexpr int kCut[4][2] = {{40, 30}, {45, 28}, {30, 40}, {52, 33}};

class CliSurface : public ::testing::TestWithParam<std::tuple<const char*, int, const char*>> {
 protected:
  static void SetUpTestSuite() {
    Dir_ = fs::temp_directory_path() / ("stellon-cli-surface-" + std::to_string(::getpid()));
    fs::create_directories(Dir_);
    const int tw = 240, th = 200;
    std::mt19937 rng(21);
    std::vector<int> tex(size_t(tw) * th);
    for (int& v : tex) v = int(rng() % 256);
    TVideoWriterOptions o;
    o.Width = 128;
    o.Height = 96;
    TVideoWriter w;
    std::string error;
    ASSERT_TRUE(w.Open((Dir_ / "moon.avi").string(), o, &error)) << error;
    for (const auto& cut : kCut) {
      TFastDIB d;
      d.SetSize(o.Width, o.Height, 24, 0);
      for (int y = 0; y < o.Height; ++y)
        for (int x = 0; x < o.Width; ++x) {
          // a 2 x 2 box blur keeps the texture smooth enough for the halved levels
          const int sx = x + cut[0], sy = y + cut[1];
          const int v = (tex[size_t(sy) * tw + sx] + tex[size_t(sy) * tw + sx + 1] + tex[size_t(sy + 1) * tw + sx] +
                         tex[size_t(sy + 1) * tw + sx + 1]) / 4;
          d.SetPixel(y, x, TColorBGR{uint8_t(v), uint8_t(v), uint8_t(v)});
        }
      ASSERT_TRUE(w.WriteFrame(d, &error)) << error;
    }
    ASSERT_TRUE(w.Close(&error)) << error;
  }
  static void TearDownTestSuite() { fs::remove_all(Dir_); }
  static fs::path Dir_;
};
fs::path CliSurface::Dir_;

TEST_P(CliSurface, Prints) {
  const auto& [args, status, expected] = GetParam();
  const std::string video = (Dir_ / "moon.avi").string(), out = (Dir_ / "stack.bmp").string();
  std::string line = args;
  for (const auto& [key, value] : {std::pair{"VIDEO", video}, std::pair{"OUT", out}, std::pair{"DIR", Dir_.string()}})
    if (const size_t at = line.find(key); at != std::string::npos) line.replace(at, std::string(key).size(), value);
  const TCliRun r = RunCli(line + " --quiet --ini '" + (Dir_ / "none.ini").string() + "'", Dir_);
  EXPECT_EQ(r.Status, status) << r.Err;
  EXPECT_NE((r.Out + r.Err).find(expected), std::string::npos) << r.Out << r.Err;
}

// Region (20,20)-(59,49) of image 1 sits in image i at 20 + 40 - cut x, 20 + 30 - cut y.
INSTANTIATE_TEST_SUITE_P(
    Cli, CliSurface,
    ::testing::Values(
        std::tuple{"frame VIDEO --surface --region 20,20,59,49 --margin 2", 0,
                   "1 ok 18 18 61 51\n2 ok 13 20 56 53\n3 ok 28 8 71 41\n4 ok 6 15 49 48\nframe-size: 44 34\n"},
        std::tuple{"frame VIDEO --surface --region 15,22,54,51 --reference 2 --margin 0", 0,
                   "1 ok 20 20 59 49\n2 ok 15 22 54 51\n"},
        std::tuple{"frame VIDEO --surface --region 20,20,59,49 --margin 15", 0, "4 out-of-limit\n"},
        std::tuple{"stack VIDEO --output OUT --surface --region 20,20,59,49 --margin 2", 0, "framed: 4 of 4\ncombined: 4\n"},
        std::tuple{"save VIDEO DIR --surface --region 20,20,59,49 --margin 2", 0, "Temp0004.bmp\n"},
        std::tuple{"frame VIDEO --region 20,20,59,49", 2, "--region requires --surface"},
        std::tuple{"frame VIDEO --surface", 2, "--surface requires --region"},
        std::tuple{"frame VIDEO --surface --region 20,20,59", 2, "--region"},
        std::tuple{"frame VIDEO --surface --region 100,20,140,49", 2, "is not inside reference image 1 (128x96)"},
        std::tuple{"frame VIDEO --surface --region 20,20,59,49 --reference 5", 2, "reference image 5 is not in"}));

}  // namespace
