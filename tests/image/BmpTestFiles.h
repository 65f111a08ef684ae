// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-made BMP files for the reader tests: every header field can be set to
// anything, including nonsense.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "image/FastDIB.h"

struct TBmpFields {
  int32_t width = 4;
  int32_t height = 2;  // negative: top-down
  uint16_t bpp = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;
  uint32_t clrUsed = 0;
  std::vector<TRGBQuad> palette;     // written after the header (4 bytes each; 3 in the core form)
  std::vector<uint32_t> masks;       // written before the palette when present (40-byte header)
  std::vector<uint8_t> pixels;       // the pixel data as stored
  int64_t offBitsDelta = 0;          // added to the natural pixel offset
  int32_t xPels = 0, yPels = 0;
};

inline std::vector<uint8_t> MakeBmp(const TBmpFields& s) {
  std::vector<uint8_t> f;
  auto u16 = [&](uint32_t v) { f.push_back(uint8_t(v)); f.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  const bool core = s.headerSize == 12;
  const size_t table = (s.headerSize == 40 ? s.masks.size() * 4 : 0) + s.palette.size() * (core ? 3 : 4);
  const uint32_t off = uint32_t(int64_t(14 + s.headerSize + table) + s.offBitsDelta);
  f.push_back('B');
  f.push_back('M');
  u32(uint32_t(off + s.pixels.size()));
  u32(0);
  u32(off);
  u32(s.headerSize);
  if (core) {
    u16(uint32_t(s.width));
    u16(uint32_t(s.height));
    u16(1);
    u16(s.bpp);
  } else {
    u32(uint32_t(s.width));
    u32(uint32_t(s.height));
    u16(1);
    u16(s.bpp);
    u32(s.compression);
    u32(uint32_t(s.pixels.size()));
    u32(uint32_t(s.xPels));
    u32(uint32_t(s.yPels));
    u32(s.clrUsed);
    u32(0);
    // Longer headers: masks go in the header after the first 40 bytes.
    for (uint32_t i = 40; i < s.headerSize; i += 4) u32(0);
  }
  if (s.headerSize > 40 && !s.masks.empty())
    for (size_t i = 0; i < s.masks.size(); ++i)
      for (int b = 0; b < 4; ++b) f[14 + 40 + 4 * i + size_t(b)] = uint8_t(s.masks[i] >> (8 * b));
  if (s.headerSize == 40)
    for (uint32_t m : s.masks) u32(m);
  for (const TRGBQuad& q : s.palette) {
    f.insert(f.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed});
    if (!core) f.push_back(0);
  }
  if (f.size() < off) f.resize(off, 0);  // a gap before the pixels; a negative delta only lies in bfOffBits
  f.insert(f.end(), s.pixels.begin(), s.pixels.end());
  return f;
}

inline bool Load(TFastDIB& d, const std::vector<uint8_t>& bytes) { return d.LoadFromMemory(bytes.data(), bytes.size()); }

inline std::vector<TRGBQuad> GreyPalette(int n) {
  std::vector<TRGBQuad> p;
  for (int i = 0; i < n; ++i) p.push_back(TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return p;
}
