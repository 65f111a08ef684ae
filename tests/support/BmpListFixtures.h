// SPDX-License-Identifier: GPL-3.0-or-later
// Small BMP files for the list tests: a valid header with the given facts,
// the rest of the file left as zeros (sparse when large).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

inline void PutLe(std::vector<uint8_t>& b, size_t at, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A BMP header of 40 bytes (or the 12-byte core header) declaring `bits`,
// `width` x `height`; the file is `fileSize` bytes (at least the header).
inline bool WriteBmpHeaderFile(const std::string& path, int bits, int32_t width, int32_t height,
                               uint64_t fileSize = 0, bool core = false) {
  std::vector<uint8_t> b(core ? 26 : 54, 0);
  b[0] = 'B';
  b[1] = 'M';
  PutLe(b, 2, uint32_t(fileSize), 4);
  PutLe(b, 10, uint32_t(b.size()), 4);
  if (core) {
    PutLe(b, 14, 12, 4);
    PutLe(b, 18, uint32_t(width), 2);
    PutLe(b, 20, uint32_t(height), 2);
    PutLe(b, 22, 1, 2);
    PutLe(b, 24, uint32_t(bits), 2);
  } else {
    PutLe(b, 14, 40, 4);
    PutLe(b, 18, uint32_t(width), 4);
    PutLe(b, 22, uint32_t(height), 4);
    PutLe(b, 26, 1, 2);
    PutLe(b, 28, uint32_t(bits), 2);
  }
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    if (!f) return false;
  }
  return fileSize <= b.size() || ::truncate(path.c_str(), off_t(fileSize)) == 0;
}

inline bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return bool(f);
}
