// SPDX-License-Identifier: GPL-3.0-or-later
// BMP file layout shared by the reader and writer (BmpFile.cpp) and the RLE
// decoder (BmpRle.cpp). Internal to the image library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/ByteOrder.h"
#include "image/FastDIB.h"

namespace bmp {

using le::I32;
using le::U16;
using le::U32;

constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr size_t kFileHeader = 14;
enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

// What the headers of a BMP file say, checked for consistency with itself.
// Sizes in bytes, offsets from the start of the file.
struct TFacts {
  uint32_t OffBits = 0;       // start of the pixel data
  uint32_t HeaderSize = 0;    // 12 (core form) or >= 40
  int32_t Width = 0;          // 1..kMaxSide
  int32_t AbsHeight = 0;      // 1..kMaxSide
  bool TopDown = false;       // stored height negative: first row is the top
  int Bpp = 0;                // 1, 4, 8, 16, 24, 32
  uint32_t Compression = 0;   // kRgb, kRle8 (8 bits), kRle4 (4 bits), kBitFields (16, 32 bits)
  int64_t RowSize = 0;        // padded bytes per stored row
  int64_t ImageBytes = 0;     // RowSize * AbsHeight
  int BitFormat = 0;          // for SetSize: 555/565/... for 16 bits, 888 for 32, 0 otherwise
  uint32_t Masks[3] = {};     // red, green, blue masks of the stored pixels (16 and 32 bits)
  bool Repack = false;        // stored masks differ from the standard layout of BitFormat
  size_t PaletteOffset = 0;
  int PaletteEntries = 0;     // entries present in the file, at most 256
  int PaletteEntrySize = 4;   // 3 in the core form
  uint32_t ClrUsed = 0, ClrImportant = 0;
  int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
};

// Reads and checks the headers in data[0, size). The pixel data need not be
// present: the caller checks it against OffBits. False for anything that is
// not a BMP this reader handles.
bool ParseHeaders(const uint8_t* data, size_t size, TFacts& facts);

// Decodes RLE8 (four = false) or RLE4 data into dib, whose rows are top-down:
// the first decoded row (file order) is the bottom row. Pixels outside the
// picture are dropped; decoding ends at the end-of-bitmap code, when the rows
// are used up or when the data runs out.
void DecodeRle(const uint8_t* data, size_t size, bool four, TFastDIB& dib);

}  // namespace bmp
