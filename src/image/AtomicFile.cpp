#include "image/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

TAtomicFile::TAtomicFile(const std::string& path) : Path_(path) {
  struct stat st {};
  const bool replacing = ::stat(path.c_str(), &st) == 0;
  if (replacing && S_ISDIR(st.st_mode)) throw std::system_error(EISDIR, std::generic_category(), "cannot write " + path);
  // The temporary lives in the destination's folder so that the final rename
  // stays within one file system.
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".tmpXXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  Fd_ = ::mkstemp(name.data());
  if (Fd_ < 0) throw std::system_error(errno, std::generic_category(), "cannot create " + path);
  TempPath_ = name.data();
  // mkstemp makes the file private: give it the permissions of the file it
  // replaces, or the usual ones. A file system without modes is no reason to fail.
  mode_t mode;
  if (replacing && S_ISREG(st.st_mode)) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  (void)::fchmod(Fd_, mode);
}

TAtomicFile::~TAtomicFile() {
  if (Fd_ >= 0) ::close(Fd_);
  if (!Committed_ && !TempPath_.empty()) ::unlink(TempPath_.c_str());
}

void TAtomicFile::Fail(int err, const std::string& what) {
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
  ::unlink(TempPath_.c_str());
  TempPath_.clear();
  throw std::system_error(err, std::generic_category(), what);
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

void TAtomicFile::Commit(bool flushToDisk) {
  if (flushToDisk && ::fsync(Fd_) != 0 && errno != EINVAL && errno != EROFS) Fail(errno, "cannot flush " + Path_);
  const int fd = Fd_;
  Fd_ = -1;
  if (::close(fd) != 0) Fail(errno, "cannot write " + Path_);
  if (::rename(TempPath_.c_str(), Path_.c_str()) != 0) Fail(errno, "cannot write " + Path_);
  Committed_ = true;
}
