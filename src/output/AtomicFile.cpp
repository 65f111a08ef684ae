#include "output/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace {
[[noreturn]] void Fail(int err, const std::string& what) { throw std::system_error(err, std::generic_category(), what); }
}  // namespace

TAtomicFile::TAtomicFile(const std::string& path) : Path_(path) {
  // The temporary lives in the destination's folder so that the final rename
  // stays within one file system.
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".tmpXXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  Fd_ = ::mkstemp(name.data());
  if (Fd_ < 0) Fail(errno, "cannot create " + path);
  TempPath_ = name.data();
  // mkstemp makes the file private; give it the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(Fd_, 0666 & ~mask);
}

TAtomicFile::~TAtomicFile() {
  if (Fd_ >= 0) ::close(Fd_);
  if (!Committed_ && !TempPath_.empty()) ::unlink(TempPath_.c_str());
}

void TAtomicFile::Write(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = ::write(Fd_, p, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      Fail(errno, "cannot write " + Path_);
    }
    if (done == 0) Fail(ENOSPC, "cannot write " + Path_);
    p += done;
    size -= size_t(done);
  }
}

void TAtomicFile::Commit() {
  const int fd = Fd_;
  Fd_ = -1;
  if (::close(fd) != 0) Fail(errno, "cannot write " + Path_);
  if (::rename(TempPath_.c_str(), Path_.c_str()) != 0) Fail(errno, "cannot write " + Path_);
  Committed_ = true;
}
