// SPDX-License-Identifier: GPL-3.0-or-later
// Run-length decoding of 4- and 8-bit BMP pixel data.
#include <algorithm>
#include <cstring>

#include "image/BmpFormat.h"

namespace bmp {
namespace {

// Writes pixel x of a 4-bit row: even columns are the high nibble of byte x/2.
inline void PutNibble(uint8_t* row, int x, unsigned v) {
  uint8_t& b = row[x >> 1];
  b = (x & 1) ? uint8_t((b & 0xF0) | (v & 15)) : uint8_t((b & 0x0F) | (v << 4));
}

}  // namespace

void DecodeRle(const uint8_t* p, size_t n, bool four, TFastDIB& dib) {
  const int width = dib.Width(), height = dib.AbsHeight;
  if (!dib.Bits || width < 1 || height < 1) return;
  // x never goes beyond width: everything past the row's end is clipped anyway,
  // and saturating keeps long runs of codes from overflowing it.
  int x = 0, y = 0;
  size_t i = 0;
  auto advance = [&](int count) { x = int(std::min<int64_t>(int64_t(x) + count, width)); };
  while (y < height && i + 2 <= n) {
    const unsigned count = p[i], value = p[i + 1];
    i += 2;
    uint8_t* row = dib.Scanlines[size_t(height - 1 - y)];
    if (count > 0) {
      const int inside = std::min<int>(int(count), width - x);
      if (four) {
        for (int k = 0; k < inside; ++k) PutNibble(row, x + k, (k & 1) ? value & 15 : value >> 4);
      } else if (inside > 0) {
        std::memset(row + x, int(value), size_t(inside));
      }
      advance(int(count));
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      if (i + 2 > n) break;
      advance(p[i]);
      y += p[i + 1];
      i += 2;
    } else {  // literal run of `value` pixels, padded to an even number of bytes
      const size_t bytes = four ? (value + 1) / 2 : value;
      const size_t have = std::min(bytes, n - i);
      const int inside = std::min<int>(int(value), width - x);
      if (four) {
        for (int k = 0; k < inside && size_t(k / 2) < have; ++k) {
          const unsigned b = p[i + size_t(k / 2)];
          PutNibble(row, x + k, (k & 1) ? b & 15 : b >> 4);
        }
      } else if (inside > 0) {
        std::memcpy(row + x, p + i, std::min(size_t(inside), have));
      }
      if (have < bytes) break;  // the data ends inside the run
      i += bytes + (bytes & 1);
      advance(int(value));
    }
  }
}

}  // namespace bmp
