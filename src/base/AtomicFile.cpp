// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

std::string FileErrorText(const std::string& path, const std::string& what, int err) {
  std::string text = path + ": ";
  if (!what.empty()) text += what + ": ";
  return text + std::strerror(err);
}

int ReplaceRefusal(mode_t mode, int accessError) {
  if (S_ISDIR(mode)) return EISDIR;
  if (!S_ISREG(mode)) return EPERM;  // "Operation not permitted": see the header
  if (accessError != 0) return accessError;
  if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
  return 0;
}

TAtomicFile::~TAtomicFile() { Discard(); }

void TAtomicFile::Discard() {
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
  if (!TempPath_.empty()) ::unlink(TempPath_.c_str());
  TempPath_.clear();
}

TStatus TAtomicFile::Fail(int err, const std::string& what) {
  Discard();
  Error_ = TStatus::Fail(FileErrorText(Path_, what, err));
  return Error_;
}

TStatus TAtomicFile::Open(const std::string& path) {
  Discard();
  Path_ = path;
  Target_ = path;
  Error_ = TStatus::Ok();
  if (path.empty()) return Error_ = TStatus::Fail("no file name given");

  struct stat lst {};
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return Fail(errno, "cannot follow the link");
    Target_ = real;
    std::free(real);
  }
  struct stat st {};
  const bool replacing = ::stat(Target_.c_str(), &st) == 0;
  if (replacing) {
    const int accessError = ::access(Target_.c_str(), W_OK) == 0 ? 0 : errno;
    if (const int refusal = ReplaceRefusal(st.st_mode, accessError)) {
      const char* what = refusal == EPERM ? "not a regular file" : "cannot replace";
      Error_ = TStatus::Fail(FileErrorText(path, what, refusal));
      return Error_;
    }
  }
  // The temporary lives in the destination's folder so that the final rename
  // stays within one file system.
  std::string name = Target_ + ".tmpXXXXXX";
  Fd_ = ::mkstemp(name.data());
  if (Fd_ < 0) return Fail(errno, "cannot create");
  TempPath_ = name;
  // mkstemp makes the file private: give it the permissions of the file it
  // replaces, or the usual ones. A file system without modes is no reason to fail.
  mode_t mode;
  if (replacing) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  (void)::fchmod(Fd_, mode);
  return TStatus::Ok();
}

TStatus TAtomicFile::Write(const void* data, size_t size) {
  if (!Error_) return Error_;
  if (Fd_ < 0) return Fail(EBADF, "not open");
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = ::write(Fd_, p, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return Fail(errno, "cannot write");
    }
    if (done == 0) return Fail(ENOSPC, "cannot write");
    p += done;
    size -= size_t(done);
  }
  return TStatus::Ok();
}

TStatus TAtomicFile::Finish(bool flushToDisk) {
  if (!Error_) return Error_;
  if (Fd_ < 0) return TempPath_.empty() ? Fail(EBADF, "not open") : TStatus::Ok();
  if (flushToDisk && ::fsync(Fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(errno, "cannot write");
  const int fd = Fd_;
  Fd_ = -1;
  if (::close(fd) != 0) return Fail(errno, "cannot write");
  return TStatus::Ok();
}

TStatus TAtomicFile::Publish() {
  if (!Error_) return Error_;
  if (Fd_ >= 0 || TempPath_.empty()) return Fail(EBADF, "not finished");
  if (::rename(TempPath_.c_str(), Target_.c_str()) != 0) return Fail(errno, "cannot write");
  TempPath_.clear();
  return TStatus::Ok();
}

TStatus TAtomicFile::Commit(bool flushToDisk) {
  if (TStatus s = Finish(flushToDisk); !s) return s;
  return Publish();
}

TAtomicFile* TAtomicFileSet::Add(const std::string& path, TStatus& status) {
  auto file = std::make_unique<TAtomicFile>();
  status = file->Open(path);
  if (!status) return nullptr;
  Files_.push_back(std::move(file));
  return Files_.back().get();
}

TStatus TAtomicFileSet::CommitAll(bool flushToDisk) {
  // Every file complete and closed first: only then does any name change.
  for (auto& f : Files_)
    if (TStatus s = f->Finish(flushToDisk); !s) return s;
  for (auto& f : Files_)
    if (TStatus s = f->Publish(); !s) return s;
  return TStatus::Ok();
}
