// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/AtomicFile.h"
#include "base/Overwrite.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tmp.Path().empty());
    Dir = Tmp.Path();
  }
  static std::string Slurp(const fs::path& p) { return fixtures::ReadFileBytes(p.string()); }
  static void Put(const fs::path& p, const std::string& text) { fixtures::WriteFileBytes(p.string(), text); }
  static TStatus WriteAll(const std::string& path, const std::string& text) {
    TAtomicFile f;
    if (TStatus s = f.Open(path); !s) return s;
    if (TStatus s = f.Write(text.data(), text.size()); !s) return s;
    return f.Commit();
  }
  // Entries of a folder whose name holds ".tmp": what a writer must never leave.
  static int Temporaries(const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.path().filename().string().find(".tmp") != std::string::npos;
    return n;
  }
  fixtures::TTempDir Tmp;
  fs::path Dir;
};

// The refusal rule alone, with the results access() can give: the
// administrator passes every access() check, so the mode bits decide for them.
struct TRefusalCase {
  mode_t Mode;
  int AccessError;
  int Expected;
};
class ReplaceRefusalTest : public ::testing::TestWithParam<TRefusalCase> {};
TEST_P(ReplaceRefusalTest, Rule) {
  EXPECT_EQ(ReplaceRefusal(GetParam().Mode, GetParam().AccessError), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Modes, ReplaceRefusalTest,
                         ::testing::Values(TRefusalCase{S_IFREG | 0644, 0, 0},
                                           TRefusalCase{S_IFREG | 0200, 0, 0},
                                           TRefusalCase{S_IFREG | 0444, 0, EACCES},  // root, read-only file
                                           TRefusalCase{S_IFREG | 0644, EACCES, EACCES},
                                           TRefusalCase{S_IFREG | 0644, EROFS, EROFS},
                                           TRefusalCase{S_IFDIR | 0755, 0, EISDIR},
                                           TRefusalCase{S_IFCHR | 0666, 0, EPERM},
                                           TRefusalCase{S_IFIFO | 0666, 0, EPERM}));

TEST_F(AtomicFileTest, NewAndExistingFilesKeepOrGetTheirMode) {
  const fs::path fresh = Dir / "new.bin", old = Dir / "old.bin";
  Put(old, "previous content");
  ::chmod(old.c_str(), 0640);
  ASSERT_TRUE(WriteAll(fresh.string(), "abc"));
  ASSERT_TRUE(WriteAll(old.string(), "xy"));
  EXPECT_EQ(Slurp(fresh), "abc");
  EXPECT_EQ(Slurp(old), "xy");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
  ASSERT_EQ(::stat(old.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Temporaries(Dir), 0);
}

TEST_F(AtomicFileTest, SymbolicLinkIsFollowedAndTheRealFileReplacedBesideItself) {
  fs::create_directory(Dir / "real");
  const fs::path real = Dir / "real/data.bin", link = Dir / "link.bin", chain = Dir / "chain.bin";
  Put(real, "old");
  fs::create_symlink(real, link);
  fs::create_symlink(link, chain);
  TAtomicFile f;
  ASSERT_TRUE(f.Open(chain.string()));
  EXPECT_EQ(fs::path(f.TempPath()).parent_path(), Dir / "real");
  ASSERT_TRUE(f.Write("new", 3));
  ASSERT_TRUE(f.Commit());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::is_symlink(chain));
  EXPECT_EQ(Slurp(real), "new");
  EXPECT_EQ(Temporaries(Dir) + Temporaries(Dir / "real"), 0);
}

// Destinations that are refused, and stay exactly as they were.
TEST_F(AtomicFileTest, RefusedDestinationsAreLeftAlone) {
  const fs::path fifo = Dir / "fifo", dir = Dir / "folder", ro = Dir / "readonly.bin", dangling = Dir / "dangling";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  fs::create_directory(dir);
  Put(ro, "keep");
  ::chmod(ro.c_str(), 0444);
  fs::create_symlink(Dir / "missing", dangling);
  struct TCase {
    fs::path Path;
    const char* Reason;
  };
  for (const TCase& c : {TCase{fifo, "not a regular file"}, TCase{"/dev/null", "not a regular file"},
                         TCase{dir, std::strerror(EISDIR)}, TCase{ro, std::strerror(EACCES)},
                         TCase{dangling, std::strerror(ENOENT)}, TCase{Dir / "no/such/x", std::strerror(ENOENT)}}) {
    const TStatus s = WriteAll(c.Path.string(), "data");
    ASSERT_FALSE(s) << c.Path;
    EXPECT_EQ(s.Message().rfind(c.Path.string() + ": ", 0), 0u) << s.Message();
    EXPECT_NE(s.Message().find(c.Reason), std::string::npos) << s.Message();
  }
  EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
  EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
  EXPECT_EQ(Slurp(ro), "keep");
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_FALSE(fs::exists(Dir / "missing"));
  EXPECT_EQ(Temporaries(Dir), 0);
}

// A write beyond the file-size limit is an error (the program ignores
// SIGXFSZ), the temporary is removed and the old file stays.
TEST_F(AtomicFileTest, WriteBeyondTheSizeLimitFailsAndCleansUp) {
  const fs::path p = Dir / "big.bin";
  Put(p, "old");
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const TStatus s = WriteAll(p.string(), std::string(10000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  ASSERT_FALSE(s);
  EXPECT_NE(s.Message().find(std::strerror(EFBIG)), std::string::npos) << s.Message();
  EXPECT_EQ(Slurp(p), "old");
  EXPECT_EQ(Temporaries(Dir), 0);
}

TEST_F(AtomicFileTest, SetIsRenamedOnlyWhenEveryFileIsComplete) {
  fs::create_directory(Dir / "b.bin");  // the second destination cannot be written
  {
    TAtomicFileSet set;
    TStatus s;
    TAtomicFile* a = set.Add((Dir / "a.bin").string(), s);
    ASSERT_TRUE(a && s);
    ASSERT_TRUE(a->Write("a", 1));
    EXPECT_EQ(set.Add((Dir / "b.bin").string(), s), nullptr);
    EXPECT_FALSE(s);
  }  // the caller gives up: the set goes
  EXPECT_FALSE(fs::exists(Dir / "a.bin"));
  EXPECT_EQ(Temporaries(Dir), 0);

  TAtomicFileSet set;
  TStatus s;
  for (const char* n : {"x.bin", "y.bin"}) ASSERT_TRUE(set.Add((Dir / n).string(), s)->Write(n, 1));
  EXPECT_FALSE(fs::exists(Dir / "x.bin"));
  ASSERT_TRUE(set.CommitAll());
  EXPECT_EQ(Slurp(Dir / "x.bin") + Slurp(Dir / "y.bin"), "xy");
}

TEST_F(AtomicFileTest, OverwritePolicy) {
  const fs::path there = Dir / "there", absent = Dir / "absent";
  Put(there, "");
  std::string asked;
  const auto yes = TOverwritePolicy::Asking([&](const std::string& p) { return asked += p, true; });
  const auto no = TOverwritePolicy::Asking([](const std::string&) { return false; });
  EXPECT_TRUE(TOverwritePolicy::Replace().MayWrite(there));
  EXPECT_FALSE(TOverwritePolicy::Keep().MayWrite(there));
  EXPECT_TRUE(TOverwritePolicy::Keep().MayWrite(absent));
  EXPECT_FALSE(no.MayWrite(there));
  EXPECT_TRUE(no.MayWrite(absent));  // nothing to ask
  EXPECT_TRUE(yes.MayWrite(there));
  EXPECT_EQ(asked, there.string());
}

}  // namespace
