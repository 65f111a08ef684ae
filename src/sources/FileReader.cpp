// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

TFileReader::~TFileReader() {
  if (Fd_ >= 0) ::close(Fd_);
}

TFileReader::TFileReader(TFileReader&& other) noexcept
    : Fd_(std::exchange(other.Fd_, -1)), Size_(std::exchange(other.Size_, 0)) {}

TFileReader& TFileReader::operator=(TFileReader&& other) noexcept {
  if (this != &other) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = std::exchange(other.Fd_, -1);
    Size_ = std::exchange(other.Size_, 0);
  }
  return *this;
}

TStatus TFileReader::Open(const std::string& path) {
  *this = TFileReader{};
  // O_NONBLOCK: opening a FIFO must not wait for a writer before fstat can refuse it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return TStatus::Fail(path + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return TStatus::Fail(path + ": " + std::strerror(err));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return TStatus::Fail(path + ": " + (S_ISDIR(st.st_mode) ? "a folder" : "not a regular file (a pipe or a device)"));
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  Fd_ = fd;
  Size_ = int64_t(st.st_size);
  return TStatus::Ok();
}

bool PreadFull(int fd, void* dst, size_t n, int64_t pos) {
  auto* p = static_cast<uint8_t*>(dst);
  while (n > 0) {
    const ssize_t got = ::pread(fd, p, n, off_t(pos));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    pos += got;
    n -= size_t(got);
  }
  return true;
}

bool TFileReader::ReadAt(int64_t pos, void* dst, size_t n) const {
  if (Fd_ < 0 || pos < 0 || pos > Size_ || int64_t(n) > Size_ - pos) return false;
  return PreadFull(Fd_, dst, n, pos);
}

bool TFileReader::ReadRowsAt(int64_t pos, uint8_t* const* rows, size_t count, size_t rowBytes) const {
  if (Fd_ < 0 || pos < 0 || pos > Size_ || (rowBytes > 0 && count > size_t(Size_ - pos) / rowBytes)) return false;
  constexpr size_t kBatch = 512;  // under IOV_MAX
  iovec iov[kBatch];
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(kBatch, count - done);
    for (size_t i = 0; i < n; ++i) iov[i] = iovec{rows[done + i], rowBytes};
    ssize_t got;
    do got = ::preadv(Fd_, iov, int(n), off_t(pos));
    while (got < 0 && errno == EINTR);
    if (got <= 0) return false;
    const size_t whole = size_t(got) / rowBytes;
    done += whole;
    pos += int64_t(whole * rowBytes);
    if (whole < n) {  // a short read: finish that row plainly
      const size_t part = size_t(got) % rowBytes;
      if (!ReadAt(pos + int64_t(part), rows[done] + part, rowBytes - part)) return false;
      ++done;
      pos += int64_t(rowBytes);
    }
  }
  return true;
}

bool TForwardReader::ReadAt(int64_t pos, void* dst, size_t n) {
  if (pos >= BufPos_ && pos - BufPos_ + int64_t(n) <= int64_t(Buf_.size())) {
    std::memcpy(dst, Buf_.data() + (pos - BufPos_), n);
    return true;
  }
  if (n > Block_ || pos < 0 || pos > File_.Size()) return File_.ReadAt(pos, dst, n);
  Buf_.resize(size_t(std::min<int64_t>(int64_t(Block_), File_.Size() - pos)));
  BufPos_ = pos;
  if (Buf_.size() < n || !File_.ReadAt(pos, Buf_.data(), Buf_.size())) {
    Buf_.clear();
    return false;
  }
  std::memcpy(dst, Buf_.data(), n);
  return true;
}

bool IsChunkTag(uint32_t tag) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(tag >> (8 * i));
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}
