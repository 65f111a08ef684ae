// SPDX-License-Identifier: GPL-3.0-or-later
// TFileReader: one file opened for reading, with positional reads checked
// against its size. Only regular files are opened: a pipe, a device or a
// folder is refused at once (opening it never waits for a writer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Status.h"

// Reads exactly n bytes of descriptor fd at pos, going on after a signal;
// false on an error or an early end of the file.
bool PreadFull(int fd, void* dst, size_t n, int64_t pos);

class TFileReader {
 public:
  TFileReader() = default;
  ~TFileReader();
  TFileReader(TFileReader&& other) noexcept;
  TFileReader& operator=(TFileReader&& other) noexcept;
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  // Opens `path`. The failure says why, after the path: "x.avi: not a regular file".
  TStatus Open(const std::string& path);
  bool IsOpen() const { return Fd_ >= 0; }
  int64_t Size() const { return Size_; }

  // Reads exactly n bytes at pos; false when the file does not hold them.
  bool ReadAt(int64_t pos, void* dst, size_t n) const;
  // Reads count * rowBytes bytes at pos, rowBytes into each of rows[0..count)
  // in turn (scattered reads, no copy between). False when the file does not hold them.
  bool ReadRowsAt(int64_t pos, uint8_t* const* rows, size_t count, size_t rowBytes) const;

 private:
  int Fd_ = -1;
  int64_t Size_ = 0;
};

// Reads of small pieces that move forward through a file (chunk headers of a
// walk), served from one block read at a time instead of one read each.
class TForwardReader {
 public:
  explicit TForwardReader(const TFileReader& file, size_t block = 64 * 1024) : File_(file), Block_(block) {}
  bool ReadAt(int64_t pos, void* dst, size_t n);

 private:
  const TFileReader& File_;
  size_t Block_;
  int64_t BufPos_ = 0;
  std::vector<uint8_t> Buf_;
};

// True for a four-character code that can name a RIFF chunk: four printable
// ASCII characters ("00dc", "LIST", "JUNK", "ix00"). Zero padding, or the
// bytes of a picture, are not one.
bool IsChunkTag(uint32_t tag);
