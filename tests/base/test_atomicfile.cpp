// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "base/AtomicFile.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;
using fixtures::ReadFileBytes;

namespace {

TStatus WriteAll(const fs::path& path, const std::string& text) {
  TAtomicFile f;
  if (TStatus s = f.Open(path.string()); !s) return s;
  if (TStatus s = f.Write(text.data(), text.size()); !s) return s;
  return f.Commit();
}

// Entries whose name holds ".tmp": what a writer must never leave behind.
int Temporaries(const fs::path& dir) {
  int n = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) n += e.path().filename().string().find(".tmp") != std::string::npos;
  return n;
}

mode_t Mode(const fs::path& p) { return mode_t(fs::status(p).permissions()) & 07777; }

}  // namespace

// The refusal rule for each result of access() (the administrator passes it: the mode bits decide).
TEST(AtomicFile, ReplaceRefusalRule) {
  const struct { mode_t Mode; int Access, Expected; } rows[] = {
      {S_IFREG | 0644, 0, 0},           {S_IFREG | 0200, 0, 0},         {S_IFREG | 0444, 0, EACCES},
      {S_IFREG | 0644, EACCES, EACCES}, {S_IFREG | 0644, EROFS, EROFS}, {S_IFDIR | 0755, 0, EISDIR},
      {S_IFCHR | 0666, 0, EPERM},       {S_IFIFO | 0666, 0, EPERM}};
  for (const auto& r : rows) EXPECT_EQ(ReplaceRefusal(r.Mode, r.Access), r.Expected) << std::oct << r.Mode;
}

// A new file gets the usual mode, a replaced one keeps its own, a chain of links leads to the real file.
TEST(AtomicFile, WritesNewReplacedAndLinkedFiles) {
  fixtures::TTempDir tmp;
  const fs::path dir = tmp.Path(), fresh = dir / "new.bin", old = dir / "old.bin", real = dir / "real/data.bin";
  fixtures::WriteFileBytes(old.string(), "previous content");
  ::chmod(old.c_str(), 0640);
  fs::create_directory(dir / "real");
  fixtures::WriteFileBytes(real.string(), "old");
  fs::create_symlink(real, dir / "link.bin");
  fs::create_symlink(dir / "link.bin", dir / "chain.bin");
  ASSERT_TRUE(WriteAll(fresh, "abc"));
  ASSERT_TRUE(WriteAll(old, "xy"));
  TAtomicFile f;
  ASSERT_TRUE(f.Open((dir / "chain.bin").string()));
  EXPECT_EQ(fs::path(f.TempPath()).parent_path(), dir / "real");
  ASSERT_TRUE(f.Write("new", 3) && f.Commit());
  EXPECT_EQ(ReadFileBytes(fresh.string()) + ReadFileBytes(old.string()) + ReadFileBytes(real.string()), "abcxynew");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(Mode(fresh), 0666u & ~mask);
  EXPECT_EQ(Mode(old), 0640u);
  EXPECT_TRUE(fs::is_symlink(dir / "link.bin") && fs::is_symlink(dir / "chain.bin"));
  EXPECT_EQ(Temporaries(dir), 0);
}

// Refusals and failed writes: file and reason named, the destination as it was, no temporary.
TEST(AtomicFile, RefusalsAndFailuresLeaveEverythingAsItWas) {
  fixtures::TTempDir tmp;
  const fs::path dir = tmp.Path(), fifo = dir / "fifo", ro = dir / "readonly.bin", big = dir / "big.bin";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  fs::create_directory(dir / "folder");
  fixtures::WriteFileBytes(ro.string(), "keep");
  ::chmod(ro.c_str(), 0444);
  fixtures::WriteFileBytes(big.string(), "old");
  fs::create_symlink(dir / "missing", dir / "dangling");
  const struct { fs::path Path; const char* Reason; size_t Size = 4; } rows[] = {
      {fifo, "not a regular file"}, {"/dev/null", "not a regular file"}, {dir / "folder", std::strerror(EISDIR)},
      {ro, std::strerror(EACCES)}, {dir / "dangling", std::strerror(ENOENT)}, {dir / "no/such/x", std::strerror(ENOENT)},
      {big, std::strerror(EFBIG), 10000}};  // past the file-size limit (the program ignores SIGXFSZ)
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  for (const auto& r : rows) {
    rlimit limit = saved;
    if (r.Size > 4) limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const TStatus s = WriteAll(r.Path, std::string(r.Size, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ASSERT_FALSE(s) << r.Path;
    EXPECT_EQ(s.Message().rfind(r.Path.string() + ": ", 0), 0u) << s.Message();
    EXPECT_NE(s.Message().find(r.Reason), std::string::npos) << s.Message();
  }
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
  EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
  EXPECT_EQ(ReadFileBytes(ro.string()) + ReadFileBytes(big.string()), "keepold");
  EXPECT_TRUE(fs::is_symlink(dir / "dangling") && !fs::exists(dir / "missing"));
  EXPECT_EQ(Temporaries(dir), 0);
}

TEST(AtomicFile, SetIsRenamedOnlyWhenEveryFileIsComplete) {
  fixtures::TTempDir tmp;
  const fs::path dir = tmp.Path();
  fs::create_directory(dir / "b.bin");  // the second destination cannot be written
  {
    TAtomicFileSet set;
    TStatus s;
    TAtomicFile* a = set.Add((dir / "a.bin").string(), s);
    ASSERT_TRUE(a && s && a->Write("a", 1));
    EXPECT_EQ(set.Add((dir / "b.bin").string(), s), nullptr);
    EXPECT_FALSE(s);
  }  // the caller gives up: the set goes
  EXPECT_FALSE(fs::exists(dir / "a.bin"));
  EXPECT_EQ(Temporaries(dir), 0);
  TAtomicFileSet set;
  TStatus s;
  for (const char* n : {"x.bin", "y.bin"}) ASSERT_TRUE(set.Add((dir / n).string(), s)->Write(n, 1));
  EXPECT_FALSE(fs::exists(dir / "x.bin"));
  ASSERT_TRUE(set.CommitAll());
  EXPECT_EQ(ReadFileBytes((dir / "x.bin").string()) + ReadFileBytes((dir / "y.bin").string()), "xy");
}
