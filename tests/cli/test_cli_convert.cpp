// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliRun.h"
#include "image/Convert.h"
#include "image/FastDIB.h"

namespace fs = std::filesystem;

namespace {

class CliConvert : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("stellon-cli-convert-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    // An 8-bit picture with a 3-entry palette, saved by the library.
    src_.SetSize(5, 3, 8, 0);
    for (int i = 0; i < 3; ++i) src_.Colors[i] = TRGBQuad{uint8_t(50 * i), uint8_t(10 + i), uint8_t(200 - i), 0};
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) src_.Pixels8(y)[x] = uint8_t((x + y) % 3);
    ASSERT_TRUE(src_.SaveToFile(Path("in.bmp")));
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::string Q(const char* name) const { return "'" + Path(name) + "'"; }

  fs::path dir_;
  TFastDIB src_;
};

}  // namespace

TEST_F(CliConvert, KeepsTheDepthOrConvertsTo24) {
  TCliRun r = RunCli("convert " + Q("in.bmp") + " " + Q("same.bmp"), dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  TFastDIB same;
  ASSERT_TRUE(same.LoadFromFile(Path("same.bmp")));
  EXPECT_EQ(same.Bpp(), 8);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(same.Pixels8(y)[x], src_.Pixels8(y)[x]);

  r = RunCli("convert --to24 " + Q("in.bmp") + " " + Q("rgb.bmp"), dir_);
  ASSERT_EQ(r.Status, 0) << r.Err;
  TFastDIB rgb, want;
  ASSERT_TRUE(rgb.LoadFromFile(Path("rgb.bmp")));
  EXPECT_EQ(rgb.Bpp(), 24);
  want.SetSize(5, 3, 24, 0);
  ConvertTo24(want, src_);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(rgb.GetPixel(y, x), want.GetPixel(y, x));
  EXPECT_EQ(fs::file_size(Path("rgb.bmp")), 54u + 16 * 3);
}

TEST_F(CliConvert, NotABmpExitsTwoNamingTheFile) {
  std::ofstream(Path("text.bmp")) << "hello, not a picture";
  const TCliRun r = RunCli("convert " + Q("text.bmp") + " " + Q("out.bmp"), dir_);
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find(Path("text.bmp")), std::string::npos) << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
  EXPECT_FALSE(fs::exists(Path("out.bmp")));
}

TEST_F(CliConvert, UnreadableInputExitsOneWithTheReason) {
  const TCliRun r = RunCli("convert " + Q("missing.bmp") + " " + Q("out.bmp"), dir_);
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("No such file or directory"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("missing.bmp"), std::string::npos) << r.Err;
}

TEST_F(CliConvert, WriteFailureExitsOne) {
  std::ofstream(Path("plain")) << "x";
  const TCliRun r = RunCli("convert " + Q("in.bmp") + " " + Q("plain") + "/out.bmp", dir_);
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("Not a directory"), std::string::npos) << r.Err;
}

TEST_F(CliConvert, WrongArgumentsExitTwo) {
  EXPECT_EQ(RunCli("convert " + Q("in.bmp"), dir_).Status, 2);
  EXPECT_EQ(RunCli("convert --to24", dir_).Status, 2);
}
