// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Resample.h"

#include <cstring>
#include <vector>

// Steps and accumulators are kept in 64 bits: for the sizes a TFastDIB accepts
// they give exactly the 32-bit results, and no size can overflow them.
namespace {

bool Usable(const TFastDIB& d) { return d.Bits && d.Width() >= 1 && d.AbsHeight >= 1; }

// Common checks; true when there is nothing (more) to do. Equal sizes are a
// block copy of the source's rows, padding included.
bool TrivialOrRefused(const TFastDIB& src, TFastDIB& dest) {
  if (&src == &dest || !Usable(src) || !Usable(dest) || src.Bpp() != dest.Bpp()) return true;
  if (src.Width() == dest.Width() && src.AbsHeight == dest.AbsHeight) {
    std::memcpy(dest.Bits, src.Bits, src.Size());
    return true;
  }
  return false;
}

template <int Step>
void Nearest(const TFastDIB& src, TFastDIB& dest) {
  const int dw = dest.Width(), dh = dest.AbsHeight;
  const int64_t sx = (int64_t(src.Width()) << 16) / dw;
  const int64_t sy = (int64_t(src.AbsHeight) << 16) / dh;
  // Byte offset of the source pixel of each destination column, once per call.
  std::vector<int32_t> offset(static_cast<size_t>(dw));
  int64_t xacc = 0;
  for (int x = 0; x < dw; ++x, xacc += sx) offset[size_t(x)] = int32_t((xacc >> 16) * Step);
  int64_t yacc = 0;
  for (int y = 0; y < dh; ++y, yacc += sy) {
    const uint8_t* s = src.Scanlines[size_t(yacc >> 16)];
    uint8_t* d = dest.Scanlines[size_t(y)];
    for (int x = 0; x < dw; ++x, d += Step) std::memcpy(d, s + offset[size_t(x)], Step);
  }
}

// One destination row from the source rows p0 (upper) and p1 (lower), with
// fy the lower row's weight in 1/32768.
template <int Step, int Channels>
void BilinearRow(uint8_t* __restrict d, const uint8_t* __restrict p0, const uint8_t* __restrict p1,
                 const int32_t* __restrict offset, const int32_t* __restrict fxs, int dw, int32_t fy) {
  const int32_t gy = 32768 - fy;
  for (int x = 0; x < dw; ++x, d += Step) {
    const int32_t fx = fxs[x];
    const int32_t w01 = (fx * gy) >> 15, w00 = gy - w01;
    const int32_t w11 = (fx * fy) >> 15, w10 = fy - w11;
    const uint8_t* a = p0 + offset[x];
    const uint8_t* b = p1 + offset[x];
    for (int c = 0; c < Channels; ++c)
      d[c] = uint8_t((a[c] * w00 + a[c + Step] * w01 + b[c] * w10 + b[c + Step] * w11) >> 15);
  }
}

template <int Step, int Channels>
void Bilinear(const TFastDIB& src, TFastDIB& dest) {
  const int sh = src.AbsHeight, dw = dest.Width(), dh = dest.AbsHeight;
  const int64_t sx = (int64_t(src.Width() - 1) << 15) / dw;
  const int64_t sy = (int64_t(sh - 1) << 15) / dh;
  std::vector<int32_t> offset(static_cast<size_t>(dw)), fxs(static_cast<size_t>(dw));
  int64_t xacc = 0;
  for (int x = 0; x < dw; ++x, xacc += sx) {
    offset[size_t(x)] = int32_t((xacc >> 15) * Step);
    fxs[size_t(x)] = int32_t(xacc & 0x7FFF);
  }
  int64_t yacc = 0;
  for (int y = 0; y < dh; ++y, yacc += sy) {
    const int64_t r0 = yacc >> 15, r1 = sh == 1 ? r0 : r0 + 1;
    const int32_t fy = int32_t(yacc & 0x7FFF);
    const uint8_t* p0 = src.Scanlines[size_t(r0)];
    const uint8_t* p1 = src.Scanlines[size_t(r1)];
    BilinearRow<Step, Channels>(dest.Scanlines[size_t(y)], p0, p1, offset.data(), fxs.data(), dw, fy);
  }
}

}  // namespace

void ResizeNearest(const TFastDIB& src, TFastDIB& dest) {
  if (TrivialOrRefused(src, dest)) return;
  switch (src.Bpp()) {
    case 8: Nearest<1>(src, dest); break;
    case 16: Nearest<2>(src, dest); break;
    case 24: Nearest<3>(src, dest); break;
    case 32: Nearest<4>(src, dest); break;
    default: break;
  }
}

void ResizeBilinear(const TFastDIB& src, TFastDIB& dest) {
  if (src.Width() == 1) {
    ResizeNearest(src, dest);
    return;
  }
  if (TrivialOrRefused(src, dest)) return;
  switch (src.Bpp()) {
    case 8: Bilinear<1, 1>(src, dest); break;
    case 24: Bilinear<3, 3>(src, dest); break;
    case 32: Bilinear<4, 3>(src, dest); break;
    default: break;
  }
}
