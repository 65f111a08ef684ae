// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Convert.h"

#include <array>
#include <cstring>
#include <memory>

namespace {

// Palettised sources: `perByte` pixels per source byte, a table of 256 entries
// of perByte colours, most significant pixel first. Whole bytes copy one table
// entry; the `Width mod perByte` pixels left at the end of a row are the first
// pixels of the next byte's entry. Never reads past the bytes the row holds.
template <int Bits>
void ConvertPacked(TFastDIB& dst, const TFastDIB& src) {
  constexpr int perByte = 8 / Bits;
  constexpr int entryBytes = 3 * perByte;
  constexpr unsigned mask = (1u << Bits) - 1;
  std::array<TColorBGR, 1 << Bits> pal;
  for (size_t i = 0; i < pal.size(); ++i) pal[i] = {src.Colors[i].rgbBlue, src.Colors[i].rgbGreen, src.Colors[i].rgbRed};
  auto table = std::make_unique<uint8_t[]>(256 * entryBytes);
  for (unsigned n = 0; n < 256; ++n)
    for (int k = 0; k < perByte; ++k) {
      const unsigned index = (n >> (8 - Bits * (k + 1))) & mask;
      std::memcpy(&table[n * entryBytes + 3 * k], &pal[index], 3);
    }
  const int width = src.Width();
  const int whole = width / perByte, rest = width % perByte;
  for (int y = 0; y < src.AbsHeight; ++y) {
    const uint8_t* s = src.Pixels8(y);
    uint8_t* d = dst.Pixels8(y);
    for (int i = 0; i < whole; ++i, d += entryBytes) std::memcpy(d, &table[size_t(s[i]) * entryBytes], entryBytes);
    if (rest) std::memcpy(d, &table[size_t(s[whole]) * entryBytes], size_t(3 * rest));
  }
}

void Convert8(TFastDIB& dst, const TFastDIB& src) {
  std::array<TColorBGR, 256> pal;
  for (size_t i = 0; i < 256; ++i) pal[i] = {src.Colors[i].rgbBlue, src.Colors[i].rgbGreen, src.Colors[i].rgbRed};
  const int width = src.Width();
  for (int y = 0; y < src.AbsHeight; ++y) {
    const uint8_t* s = src.Pixels8(y);
    TColorBGR* d = dst.Pixels24(y);
    for (int x = 0; x < width; ++x) d[x] = pal[s[x]];
  }
}

void Convert16(TFastDIB& dst, const TFastDIB& src) {
  // The shifts come from a three-digit BitFormat; anything outside 0..8 cannot
  // describe a 16-bit layout and would make the shifts meaningless.
  if (src.BShr > 8 || src.GShr > 8 || src.RShr > 8 || src.GShl > 16 || src.RShl > 16) return;
  auto table = std::make_unique<TColorBGR[]>(65536);
  for (uint32_t v = 0; v < 65536; ++v)
    table[v] = {uint8_t((v & 255) << src.BShr), uint8_t(((v >> src.GShl) & 255) << src.GShr),
                uint8_t(((v >> src.RShl) & 255) << src.RShr)};
  const int width = src.Width();
  for (int y = 0; y < src.AbsHeight; ++y) {
    const uint16_t* s = src.Pixels16(y);
    TColorBGR* d = dst.Pixels24(y);
    for (int x = 0; x < width; ++x) d[x] = table[s[x]];
  }
}

void Convert32(TFastDIB& dst, const TFastDIB& src) {
  const int width = src.Width();
  for (int y = 0; y < src.AbsHeight; ++y) {
    const uint8_t* s = src.Pixels8(y);
    uint8_t* d = dst.Pixels8(y);
    for (int x = 0; x < width; ++x, s += 4, d += 3) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
}

}  // namespace

void ConvertTo24(TFastDIB& dst, const TFastDIB& src) {
  if (&dst == &src || dst.Bpp() != 24 || dst.Width() != src.Width() || dst.AbsHeight != src.AbsHeight) return;
  if (!dst.Bits || !src.Bits || src.Width() < 1 || src.AbsHeight < 1) return;
  switch (src.Bpp()) {
    case 1: ConvertPacked<1>(dst, src); break;
    case 4: ConvertPacked<4>(dst, src); break;
    case 8: Convert8(dst, src); break;
    case 16: Convert16(dst, src); break;
    case 24: std::memcpy(dst.Bits, src.Bits, dst.Size()); break;
    case 32: Convert32(dst, src); break;
    default: break;
  }
}
