// SPDX-License-Identifier: GPL-3.0-or-later
// Rotation by an arbitrary angle in 16.16 fixed point.
//
// The destination pixel (x, y) takes the source pixel at
//   (cx + (x - cx) cos a - (y - cy) sin a - dx,  cy + (x - cx) sin a + (y - cy) cos a - dy)
// with a = -angle and (dx, dy) half the difference of the two sizes, so the
// source sits centred in the destination and a positive angle turns the
// picture clockwise on screen (rows run downwards). Angles are worked in
// extended precision once per row; the accumulators are 64-bit so that no
// picture size the buffer accepts can overflow them.
#include <cmath>
#include <cstring>
#include <numbers>

#include "image/Effects.h"

namespace {

using Real = long double;
constexpr Real kDegree = std::numbers::pi_v<Real> / 180;

int64_t RoundFixed(Real v) { return std::llrint(v * 65536); }  // to nearest, halves to even

// Floor modulo: the integer part of a 16.16 position wrapped into [0, n).
inline int Wrap(int64_t fixed, int n) {
  const int64_t i = (fixed >> 16) % n;
  return int(i < 0 ? i + n : i);
}

template <int Step, bool WrapAround>
void RotatePixels(const TFastDIB& src, TFastDIB& dest, int cx, int cy, Real angle) {
  const Real a = -angle * kDegree;
  const Real sn = std::sin(a), cs = std::cos(a);
  const int sw = src.Width(), sh = src.AbsHeight, dw = dest.Width();
  const Real dx = Real(dw - sw) / 2, dy = Real(dest.AbsHeight - sh) / 2;
  const int64_t is = RoundFixed(sn), ic = RoundFixed(cs);
  for (int y = 0; y < dest.AbsHeight; ++y) {
    const Real ry = Real(y) - cy;
    int64_t X = RoundFixed(-Real(cx) * cs + cx - ry * sn - dx);
    int64_t Y = RoundFixed(-Real(cx) * sn + cy + ry * cs - dy);
    uint8_t* p = dest.Scanlines[size_t(y)];
    if constexpr (WrapAround) {
      // |ic| and |is| are at most 65536, so from one column to the next the
      // integer part of a position moves by at most one: the wrapped index
      // follows it without a division per pixel.
      int64_t nx = X >> 16, ny = Y >> 16;
      int wx = Wrap(X, sw), wy = Wrap(Y, sh);
      for (int x = 0; x < dw; ++x, p += Step) {
        std::memcpy(p, src.Scanlines[size_t(wy)] + int64_t(wx) * Step, Step);
        X += ic;
        Y += is;
        const int64_t mx = X >> 16, my = Y >> 16;
        wx += int(mx - nx);
        wy += int(my - ny);
        nx = mx;
        ny = my;
        if (wx >= sw) wx -= sw;
        else if (wx < 0) wx += sw;
        if (wy >= sh) wy -= sh;
        else if (wy < 0) wy += sh;
      }
    } else {
      for (int x = 0; x < dw; ++x, p += Step, X += ic, Y += is) {
        const int64_t sx = X >> 16, sy = Y >> 16;
        if (sx >= 0 && sx < sw && sy >= 0 && sy < sh) std::memcpy(p, src.Scanlines[size_t(sy)] + sx * Step, Step);
      }
    }
  }
}

template <bool WrapAround>
void RotateAny(const TFastDIB& src, TFastDIB& dest, int cx, int cy, double angle) {
  if (!src.Bits || !dest.Bits || src.Width() < 1 || src.AbsHeight < 1 || dest.Width() < 1 || dest.AbsHeight < 1)
    return;
  if (src.Bpp() != dest.Bpp() || &src == &dest || !std::isfinite(angle)) return;
  switch (dest.Bpp()) {
    case 8: RotatePixels<1, WrapAround>(src, dest, cx, cy, angle); break;
    case 16: RotatePixels<2, WrapAround>(src, dest, cx, cy, angle); break;
    case 24: RotatePixels<3, WrapAround>(src, dest, cx, cy, angle); break;
    case 32: RotatePixels<4, WrapAround>(src, dest, cx, cy, angle); break;
    default: break;
  }
}

}  // namespace

void RotateSize(const TFastDIB& src, TFastDIB& dest, double angle) {
  if (!std::isfinite(angle)) return;
  const Real a = std::fabs(Real(angle)) * kDegree;
  const Real c = std::fabs(std::cos(a)), s = std::fabs(std::sin(a));
  const Real w = src.Width(), h = src.AbsHeight;
  dest.SetSize(int(std::llrint(c * w + s * h)), int(std::llrint(s * w + c * h)), src.Bpp(), src.BitFormat);
}

void Rotate(const TFastDIB& src, TFastDIB& dest, int cx, int cy, double angle) {
  RotateAny<false>(src, dest, cx, cy, angle);
}

void RotateWrap(const TFastDIB& src, TFastDIB& dest, int cx, int cy, double angle) {
  RotateAny<true>(src, dest, cx, cy, angle);
}
