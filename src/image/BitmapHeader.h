// SPDX-License-Identifier: GPL-3.0-or-later
// The bitmap information header: the BITMAPINFOHEADER (or the older 12-byte
// core header) that follows the file header of a BMP file and that forms the
// format of an AVI video stream. One reader for both.
#pragma once

#include <cstddef>
#include <cstdint>

struct TBitmapHeader {
  uint32_t HeaderSize = 0;    // 12 (core form) or the stated size, >= 40
  int32_t Width = 0;          // 1..TFastDIB::kMaxSide
  int32_t AbsHeight = 0;      // 1..TFastDIB::kMaxSide
  bool TopDown = false;       // stored height negative: the first row is the top
  int BitCount = 0;
  uint32_t Compression = 0;   // 0 none, 1 RLE8, 2 RLE4, 3 bit fields, or a codec's four-character code
  uint32_t ClrUsed = 0, ClrImportant = 0;
  int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
};

// Reads the header at p[0, n). Only the fields are needed, not the whole of a
// longer header. False when n is too short for the form the size field names,
// or when the picture is empty or larger than a TFastDIB may be (sides over
// kMaxSide, more than kMaxPixels pixels).
bool ReadBitmapHeader(const uint8_t* p, size_t n, TBitmapHeader& out);
