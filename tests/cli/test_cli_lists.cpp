// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli reads BMP files and Kelvaron lists wherever it reads a video.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/CliRun.h"
#include "image/FastDIB.h"

namespace {

namespace fs = std::filesystem;

class CliListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir_ = fs::temp_directory_path() / ("stellon_cli_lists_" + std::to_string(::getpid()));
    fs::create_directories(Dir_);
    // Three 100x80 pictures with a bright square that moves by one pixel.
    for (int i = 0; i < 3; ++i) {
      TFastDIB d;
      d.SetSize(100, 80, 24, 0);
      for (int y = 30; y < 40; ++y)
        for (int x = 40 + i; x < 50 + i; ++x) d.Pixels24(y)[x] = TColorBGR{200, 200, 200};
      ASSERT_TRUE(d.SaveToFile(P("p" + std::to_string(i + 1) + ".bmp")).ok());
    }
    std::ofstream(P("night.lst")) << "0\r\n" << Dir_.string() << "\\\r\np3.bmp\r\n3\r\n4\r\n5\r\n6\r\n"
                                  << "C:\\obs\\\r\np1.bmp\r\n3\r\n4\r\n5\r\n6\r\n/gone/\r\nx.bmp\r\n";
  }
  void TearDown() override { fs::remove_all(Dir_); }
  std::string P(const std::string& name) const { return (Dir_ / name).string(); }
  TCliRun Run(const std::string& args) { return RunCli(args, Dir_); }
  fs::path Dir_;
};

TEST_F(CliListsTest, InfoExtractFrameStackAndSaveTakeListsAndFiles) {
  const std::string bmps = P("p1.bmp") + " " + P("p2.bmp") + " " + P("p3.bmp");
  TCliRun r = Run("info " + bmps);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"frames: 3", "width: 100", "height: 80", "bits: 24", "format: BMP"}));

  r = Run("info " + P("night.lst"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Lines.at(0), "frames: 2");
  EXPECT_NE(r.Err.find("File /gone/x.bmpnot existe."), std::string::npos);

  r = Run("extract " + P("night.lst") + " 2 " + P("out.bmp"));  // image 2 of the list is p1.bmp
  ASSERT_EQ(r.Status, 0) << r.Err;
  TFastDIB a, b;
  ASSERT_TRUE(a.LoadFromFile(P("out.bmp")) && b.LoadFromFile(P("p1.bmp")));
  EXPECT_TRUE(std::equal(a.Bits, a.Bits + a.Size(), b.Bits));

  r = Run("frame --quiet --margin 4 --ini " + P("none.ini") + " " + bmps);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Lines.size(), 4u);
  EXPECT_EQ(r.Lines.at(1).rfind("2 ok ", 0), 0u) << r.Out;

  r = Run("stack --quiet --margin 4 --ini " + P("none.ini") + " " + P("night.lst") + " -o " + P("r.bmp"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(fs::exists(P("r.bmp")));

  fs::create_directories(P("out"));
  r = Run("save --quiet --ini " + P("none.ini") + " " + P("night.lst") + " " + P("out"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"written: " + P("out/Temp0001.bmp"), "written: " + P("out/Temp0002.bmp")}));
  EXPECT_EQ(Run("save " + bmps + " " + P("p1.bmp")).Status, 2);  // the last argument must be a folder
}

TEST_F(CliListsTest, UnreadableInputsAreTold) {
  std::ofstream(P("notes.bmp")) << "not a bitmap";
  std::ofstream(P("empty.lst")) << "0\n/gone/\nx.bmp\n";
  const std::pair<std::string, std::string> cases[] = {
      {"info " + P("p1.bmp") + " " + P("notes.bmp"), "notes.bmp: not a readable BMP file"},
      {"info " + P("none.lst"), "not existe."},
      {"info " + P("empty.lst"), "no listed image file exists"},
      {"info " + P("p1.bmp"), ""},
  };
  for (const auto& [args, told] : cases) {
    const TCliRun r = Run(args);
    EXPECT_EQ(r.Status, told.empty() ? 0 : 2) << args;
    EXPECT_NE(r.Err.find(told), std::string::npos) << r.Err;
  }
}

}  // namespace
