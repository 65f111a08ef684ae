// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and checking BMP headers. Every size and offset is checked against
// the bytes at hand and the buffer's limits before anything is allocated.
#include <algorithm>
#include <bit>

#include "image/BitmapHeader.h"
#include "image/BmpFormat.h"

namespace bmp {
namespace {

bool Contiguous(uint32_t m) {
  if (m == 0) return false;
  const uint32_t x = m >> std::countr_zero(m);
  return (x & (x + 1)) == 0;
}

// Masks of the stored pixels -> BitFormat of the buffer, and whether the
// pixels must be moved into the standard layout while loading. 16-bit layouts
// keep their bit counts (they must fit the three-digit format, at most 8 bits a
// channel); 32-bit pixels are always brought to 888.
bool CheckMasks(TFacts& f) {
  const uint32_t r = f.Masks[0], g = f.Masks[1], b = f.Masks[2];
  if (!Contiguous(r) || !Contiguous(g) || !Contiguous(b)) return false;
  if ((r & g) || (r & b) || (g & b)) return false;
  if (f.Bpp == 16) {
    if ((r | g | b) > 0xFFFF) return false;
    const int nr = std::popcount(r), ng = std::popcount(g), nb = std::popcount(b);
    if (nr > 8 || ng > 8 || nb > 8) return false;
    f.BitFormat = nr * 100 + ng * 10 + nb;
    const uint32_t sb = (1u << nb) - 1, sg = ((1u << ng) - 1) << nb, sr = ((1u << nr) - 1) << (nb + ng);
    f.Repack = !(r == sr && g == sg && b == sb);
  } else {
    f.BitFormat = 888;
    f.Repack = !(r == 0xFF0000 && g == 0x00FF00 && b == 0x0000FF);
  }
  return true;
}

}  // namespace

bool ParseHeaders(const uint8_t* d, size_t n, TFacts& f) {
  f = TFacts{};
  if (n < kFileHeader + 4 || d[0] != 'B' || d[1] != 'M') return false;
  f.OffBits = U32(d + 10);
  TBitmapHeader h;
  if (!ReadBitmapHeader(d + kFileHeader, n - kFileHeader, h)) return false;
  f.HeaderSize = h.HeaderSize;
  f.Width = h.Width;
  f.AbsHeight = h.AbsHeight;
  f.TopDown = h.TopDown;
  f.Bpp = h.BitCount;
  f.Compression = h.Compression;
  f.XPelsPerMeter = h.XPelsPerMeter;
  f.YPelsPerMeter = h.YPelsPerMeter;
  f.ClrUsed = h.ClrUsed;
  f.ClrImportant = h.ClrImportant;
  if (f.HeaderSize == kCoreHeader) {
    f.PaletteOffset = kFileHeader + kCoreHeader;
    f.PaletteEntrySize = 3;
  } else {
    // Longer headers (V4, V5, OS/2 2.x) begin with the same 40 bytes.
    if (n - kFileHeader < f.HeaderSize) return false;
    f.PaletteOffset = kFileHeader + f.HeaderSize;
    // With a 40-byte header the three masks follow it; longer headers hold
    // them in the same place, inside the header.
    if (f.Compression == kBitFields && f.HeaderSize == kInfoHeader) f.PaletteOffset += 12;
    f.PaletteEntrySize = 4;
  }

  switch (f.Bpp) {
    case 1: case 24: if (f.Compression != kRgb) return false; break;
    case 4: if (f.Compression != kRgb && f.Compression != kRle4) return false; break;
    case 8: if (f.Compression != kRgb && f.Compression != kRle8) return false; break;
    case 16: case 32: if (f.Compression != kRgb && f.Compression != kBitFields) return false; break;
    default: return false;
  }
  // Run-length data is always stored bottom-up.
  if (f.TopDown && (f.Compression == kRle8 || f.Compression == kRle4)) return false;
  f.RowSize = ((int64_t(f.Bpp) * f.Width + 31) & ~int64_t(31)) / 8;
  f.ImageBytes = f.RowSize * f.AbsHeight;

  // The pixels cannot start inside the headers or the masks.
  if (f.OffBits < f.PaletteOffset) return false;

  if (f.Bpp == 16 || f.Bpp == 32) {
    if (f.Compression == kBitFields) {
      if (n < kFileHeader + kInfoHeader + 12) return false;
      for (int i = 0; i < 3; ++i) f.Masks[i] = U32(d + kFileHeader + kInfoHeader + 4 * i);
      if (!CheckMasks(f)) return false;
    } else {
      f.BitFormat = f.Bpp == 16 ? 555 : 888;
    }
  }

  // The colour table: as many entries as the file says (all 2^bpp when it says
  // nothing), no more than 256 and no more than lie between it and the pixels.
  if (f.Bpp <= 8 || f.Bpp == 24) {
    int64_t entries = f.ClrUsed != 0 ? int64_t(f.ClrUsed) : (f.Bpp <= 8 ? int64_t(1) << f.Bpp : 0);
    const size_t end = std::min<size_t>(f.OffBits, n);
    const int64_t room = end > f.PaletteOffset ? int64_t((end - f.PaletteOffset) / size_t(f.PaletteEntrySize)) : 0;
    f.PaletteEntries = int(std::min<int64_t>({entries, room, 256}));
  }
  return true;
}

}  // namespace bmp

bool ReadBitmapHeader(const uint8_t* p, size_t n, TBitmapHeader& h) {
  using namespace bmp;
  h = TBitmapHeader{};
  if (n < 4) return false;
  h.HeaderSize = U32(p);
  int64_t height = 0;
  if (h.HeaderSize == kCoreHeader) {
    if (n < kCoreHeader) return false;
    h.Width = U16(p + 4);
    height = U16(p + 6);
    h.BitCount = U16(p + 10);
  } else if (h.HeaderSize >= kInfoHeader) {
    if (n < kInfoHeader) return false;
    h.Width = I32(p + 4);
    height = I32(p + 8);
    h.BitCount = U16(p + 14);
    h.Compression = U32(p + 16);
    h.XPelsPerMeter = I32(p + 24);
    h.YPelsPerMeter = I32(p + 28);
    h.ClrUsed = U32(p + 32);
    h.ClrImportant = U32(p + 36);
  } else {
    return false;
  }
  h.TopDown = height < 0;
  const int64_t absHeight = height < 0 ? -height : height;
  if (h.Width < 1 || h.Width > TFastDIB::kMaxSide || absHeight < 1 || absHeight > TFastDIB::kMaxSide) return false;
  if (int64_t(h.Width) * absHeight > TFastDIB::kMaxPixels) return false;
  h.AbsHeight = int32_t(absHeight);
  return true;
}
