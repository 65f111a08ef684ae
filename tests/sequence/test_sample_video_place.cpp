// SPDX-License-Identifier: GPL-3.0-or-later
// Where the start-up sample video goes: the first folder that takes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sequence/SamplePlanet.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {

struct TPlaceCase {
  const char* Name;
  bool FirstBlocked;   // the first folder lies under a plain file
  bool SecondBlocked;
  bool FirstHasVideo;  // a sample is already in the first folder
  int Expected;        // folder used (0, 1), or -1 for a failure
};

class SampleVideoPlace : public ::testing::TestWithParam<TPlaceCase> {};

TEST_P(SampleVideoPlace, FirstFolderThatTakesIt) {
  const TPlaceCase& c = GetParam();
  fixtures::TTempDir dir;
  std::ofstream(dir.File("plain")) << "x";
  const std::string folders[2] = {dir.File(c.FirstBlocked ? "plain/cache" : "cache/stellon"),
                                  dir.File(c.SecondBlocked ? "plain/tmp" : "tmp/stellon-1")};
  if (c.FirstHasVideo) {
    fs::create_directories(folders[0]);
    std::ofstream(folders[0] + "/sample.avi") << "kept";
  }
  TSampleOptions options;
  options.Frames = 2;
  options.Width = options.Height = 16;
  std::string path;
  const TStatus status = EnsureSampleVideoIn({folders[0], folders[1]}, options, path);
  if (c.Expected < 0) {
    ASSERT_FALSE(status);
    EXPECT_NE(status.Message().find(folders[0] + ": Not a directory"), std::string::npos) << status.Message();
    EXPECT_NE(status.Message().find(folders[1] + ": Not a directory"), std::string::npos) << status.Message();
    return;
  }
  ASSERT_TRUE(status) << status.Message();
  EXPECT_EQ(path, folders[c.Expected] + "/sample.avi");
  if (c.FirstHasVideo) EXPECT_EQ(fs::file_size(path), 4u);  // kept, not written again
  else EXPECT_GT(fs::file_size(path), 1000u);
  EXPECT_FALSE(fs::exists(folders[1 - c.Expected] + "/sample.avi"));
}

INSTANTIATE_TEST_SUITE_P(Folders, SampleVideoPlace,
                         ::testing::Values(TPlaceCase{"CacheWritable", false, false, false, 0},
                                           TPlaceCase{"CacheKeepsItsVideo", false, false, true, 0},
                                           TPlaceCase{"CacheBlockedTempTakesIt", true, false, false, 1},
                                           TPlaceCase{"NeitherTellsBoth", true, true, false, -1}),
                         [](const ::testing::TestParamInfo<TPlaceCase>& i) { return std::string(i.param.Name); });

}  // namespace

TEST(SampleVideoFolder, RelativeOneIsPassedOver) {
  std::string path;
  const TStatus status = EnsureSampleVideoIn({"", "stellon-relative"}, TSampleOptions(), path);
  ASSERT_FALSE(status);
  EXPECT_NE(status.Message().find("stellon-relative: not an absolute folder"), std::string::npos) << status.Message();
  EXPECT_FALSE(fs::exists("stellon-relative"));
}
