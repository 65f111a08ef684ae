// SPDX-License-Identifier: GPL-3.0-or-later
// How the commands write files: --no-clobber refuses to replace an existing
// file, before writing anything, with exit status 1 and the file named
// (without it the file is replaced); a write beyond the file-size limit is a
// reported failure that leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "image/FastDIB.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

std::string Slurp(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct TWriteCase {
  const char* Name;
  const char* Args;                  // {v}: a video, {b}: a BMP, {d}: the folder
  std::vector<const char*> Existing;  // files of {d} there beforehand
  std::vector<const char*> Absent;    // files of {d} a refused run must not make
};

class CliNoClobber : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(CliNoClobber, RefusesAndKeepsTheFileThenReplacesWithoutIt) {
  const TWriteCase& c = GetParam();
  TTempDir dir;
  const std::string video = dir.File("v.avi"), bmp = dir.File("in.bmp");
  ASSERT_EQ(RunCli("sample '" + video + "' --frames 3 --size 64x48", dir.Path()).Status, 0);
  TFastDIB img;
  img.SetSize(4, 4, 24, 0);
  ASSERT_TRUE(img.SaveToFile(bmp));
  std::string args = c.Args;
  for (auto [key, value] : {std::pair<std::string, std::string>{"{v}", video}, {"{b}", bmp}, {"{d}", dir.Path()}})
    for (size_t at; (at = args.find(key)) != std::string::npos;) args.replace(at, key.size(), value);
  for (const char* e : c.Existing) std::ofstream(dir.File(e)) << "old";

  const TCliRun refused = RunCli(args + " --no-clobber", dir.Path());
  EXPECT_EQ(refused.Status, 1) << refused.Err;
  EXPECT_NE(refused.Err.find(dir.File(c.Existing[0]) + ": exists; not replaced (--no-clobber)"), std::string::npos)
      << refused.Err;
  for (const char* e : c.Existing) EXPECT_EQ(Slurp(dir.File(e)), "old") << e;
  for (const char* a : c.Absent) EXPECT_FALSE(std::filesystem::exists(dir.File(a))) << a;

  const TCliRun replaced = RunCli(args, dir.Path());
  EXPECT_EQ(replaced.Status, 0) << replaced.Err;
  for (const char* e : c.Existing) EXPECT_NE(Slurp(dir.File(e)), "old") << e;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliNoClobber,
    ::testing::Values(TWriteCase{"sample", "sample '{d}/out.avi' --frames 2 --size 32x32", {"out.avi"}, {}},
                      TWriteCase{"convert", "convert '{b}' '{d}/out.bmp'", {"out.bmp"}, {}},
                      TWriteCase{"extract", "extract '{v}' 1 '{d}/out.bmp'", {"out.bmp"}, {}},
                      TWriteCase{"stack_split", "stack '{v}' -o '{d}/out.fit' --fits-split --margin 2",
                                 {"outV.fit"}, {"outR.fit", "outB.fit"}},
                      TWriteCase{"stack_report", "stack '{v}' -o '{d}/out.bmp' --report --margin 2", {"out.txt"},
                                 {"out.bmp"}}),
    [](const ::testing::TestParamInfo<TWriteCase>& p) { return std::string(p.param.Name); });

// The program ignores SIGXFSZ: past the limit the write fails, the command
// says why and exits 1, and neither the file nor a temporary is left.
TEST(CliWrites, FileSizeLimitIsAReportedFailure) {
  TTempDir dir;
  const std::string out = dir.File("big.avi");
  const std::string cmd = "ulimit -f 64; '" + std::string(STELLON_CLI) + "' sample '" + out +
                          "' --frames 20 --size 320x240 2>'" + dir.File("err.txt") + "'";
  const int raw = std::system(("sh -c \"" + cmd + "\"").c_str());
  ASSERT_TRUE(WIFEXITED(raw)) << "killed by a signal";
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_NE(Slurp(dir.File("err.txt")).find(std::strerror(EFBIG)), std::string::npos) << Slurp(dir.File("err.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // err.txt alone
}

}  // namespace
