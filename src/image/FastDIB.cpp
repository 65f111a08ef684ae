// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/FastDIB.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {
constexpr size_t kAlign = 64;

// Bytes of a padded row of `width` pixels at `bpp` bits.
int32_t RowBytes(int64_t width, int bpp) { return int32_t(((int64_t(bpp) * width + 31) & ~int64_t(31)) / 8); }
}  // namespace

TFastDIB::TFastDIB() {
  Info.Header = TBitmapInfoHeader{};
  Colors = Info.Colors;
}

TFastDIB::~TFastDIB() { Release(); }

TFastDIB::TFastDIB(TFastDIB&& other) noexcept { *this = std::move(other); }

TFastDIB& TFastDIB::operator=(TFastDIB&& other) noexcept {
  if (this == &other) return *this;
  Release();
  RowSize = std::exchange(other.RowSize, 0);
  AbsHeight = std::exchange(other.AbsHeight, 0);
  Gap = std::exchange(other.Gap, 0);
  BitFormat = std::exchange(other.BitFormat, 0);
  Bits = std::exchange(other.Bits, nullptr);
  Block_ = std::exchange(other.Block_, nullptr);
  Info = other.Info;
  Colors = Info.Colors;
  Scanlines = std::move(other.Scanlines);
  other.Scanlines.clear();
  BShr = other.BShr; GShr = other.GShr; GShl = other.GShl; RShr = other.RShr; RShl = other.RShl;
  PenStyle = other.PenStyle; PenWidth = other.PenWidth; PenColor = other.PenColor;
  PenX = other.PenX; PenY = other.PenY;
  other.Info.Header = TBitmapInfoHeader{};
  return *this;
}

void TFastDIB::Release() {
  if (Block_) ::operator delete[](Block_, std::align_val_t(kAlign));
  Block_ = nullptr;
  Bits = nullptr;
  Scanlines.clear();
}

void TFastDIB::SetSize(int width, int height, int bpp, int format) {
  if (bpp == 0) bpp = 24;  // the "screen depth" of an off-screen program
  if (format == 0) {
    if (bpp == 16) format = ScreenBitFormat();
    else if (bpp == 32) format = 888;
  }
  const int absHeight = height < 0 ? -height : height;
  if (bpp == Bpp() && width == Width() && absHeight == AbsHeight && format == BitFormat) return;

  Release();
  TBitmapInfoHeader& h = Info.Header;
  BitFormat = format;
  h.biSize = 40;
  h.biPlanes = 1;
  h.biBitCount = uint16_t(bpp);
  h.biCompression = 0;

  const bool sane = width >= 0 && width <= kMaxSide && absHeight <= kMaxSide &&
                    int64_t(width) * absHeight <= kMaxPixels &&
                    (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32);
  if (!sane) {
    // Refused: an empty buffer of the requested depth.
    h.biWidth = 0;
    h.biHeight = 0;
    h.biSizeImage = 0;
    RowSize = Gap = AbsHeight = 0;
    SetMasksAndShifts();
    return;
  }

  h.biWidth = width;
  h.biHeight = -absHeight;
  AbsHeight = absHeight;
  RowSize = RowBytes(width, bpp);
  if (bpp < 8) Gap = RowSize - width / (8 / bpp);
  else if (bpp == 8) Gap = RowSize - width;
  else Gap = RowSize - (bpp / 8) * width;
  const int64_t bytes = int64_t(RowSize) * AbsHeight;
  h.biSizeImage = uint32_t(bytes);
  SetMasksAndShifts();

  if (bytes > 0) {
    Block_ = static_cast<uint8_t*>(::operator new[](size_t(bytes), std::align_val_t(kAlign), std::nothrow));
    if (!Block_) {
      // Out of memory: no pixels and no rows, callers see an empty picture.
      h.biWidth = 0;
      h.biHeight = 0;
      h.biSizeImage = 0;
      RowSize = Gap = AbsHeight = 0;
      return;
    }
    std::memset(Block_, 0, size_t(bytes));
    Bits = Block_;
  }
  Scanlines.resize(size_t(AbsHeight));
  for (int y = 0; y < AbsHeight; ++y) Scanlines[size_t(y)] = Bits + int64_t(y) * RowSize;
}

void TFastDIB::SetMasksAndShifts() {
  const int bpp = Bpp();
  if (bpp != 16 && bpp != 32) return;
  const int r = BitFormat / 100, g = (BitFormat / 10) % 10, b = BitFormat % 10;
  const uint32_t all = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  auto shr = [&](int n) -> uint32_t { return n >= bpp ? 0u : (n <= 0 ? all : all >> n); };
  const uint32_t blue = shr(bpp - b);
  const uint32_t green = shr(bpp - b - g) & ~blue;
  const uint32_t red = shr(bpp - b - g - r) & ~(blue | green);
  auto put = [&](int i, uint32_t m) { std::memcpy(static_cast<void*>(&Colors[i]), &m, 4); };
  put(0, red);
  put(1, green);
  put(2, blue);
  BShr = uint8_t(8 - b);
  GShr = uint8_t(8 - g);
  GShl = uint8_t(b);
  RShr = uint8_t(8 - r);
  RShl = uint8_t(b + g);
}

int TFastDIB::MasksToBitFormat(uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
  if (redMask == 0 || greenMask == 0 || blueMask == 0) return 0;
  auto count = [](uint32_t m) {
    m >>= std::countr_zero(m);
    int n = 0;
    while (m) {
      ++n;
      m >>= 1;
    }
    return n;
  };
  return count(redMask) * 100 + count(greenMask) * 10 + count(blueMask);
}

void TFastDIB::SetPixel(int y, int x, TColorBGR c) {
  switch (Bpp()) {
    case 16:
      Pixels16(y)[x] = uint16_t(((c.r >> RShr) << RShl) | ((c.g >> GShr) << GShl) | (c.b >> BShr));
      break;
    case 24:
      Pixels24(y)[x] = c;
      break;
    case 32: {
      TColorBGRA& p = Pixels32(y)[x];
      p.b = c.b;
      p.g = c.g;
      p.r = c.r;
      break;
    }
    default:
      break;
  }
}

TColorBGR TFastDIB::GetPixel(int y, int x) const {
  TColorBGR c;
  switch (Bpp()) {
    case 16: {
      const uint32_t w = Pixels16(y)[x];
      c.b = uint8_t((w & 255) << BShr);
      c.g = uint8_t(((w >> GShl) & 255) << GShr);
      c.r = uint8_t(((w >> RShl) & 255) << RShr);
      break;
    }
    case 24:
      c = Pixels24(y)[x];
      break;
    case 32: {
      const TColorBGRA& p = Pixels32(y)[x];
      c = TColorBGR{p.b, p.g, p.r};
      break;
    }
    default:
      break;
  }
  return c;
}

void TFastDIB::CopyFrom(const TFastDIB& src) {
  if (&src == this) return;
  SetSize(src.Width(), src.AbsHeight, src.Bpp(), src.BitFormat);
  std::memcpy(Info.Colors, src.Info.Colors, sizeof(Info.Colors));
  Info.Header.biClrUsed = src.Info.Header.biClrUsed;
  Info.Header.biClrImportant = src.Info.Header.biClrImportant;
  Info.Header.biXPelsPerMeter = src.Info.Header.biXPelsPerMeter;
  Info.Header.biYPelsPerMeter = src.Info.Header.biYPelsPerMeter;
  if (Bits && src.Bits && Size() == src.Size()) std::memcpy(Bits, src.Bits, Size());
}

void TFastDIB::FlipVertical() {
  if (AbsHeight < 2 || !Bits) return;
  std::vector<uint8_t> tmp(static_cast<size_t>(RowSize));
  for (int i = 0, j = AbsHeight - 1; i < j; ++i, --j) {
    std::memcpy(tmp.data(), Scanlines[size_t(i)], size_t(RowSize));
    std::memcpy(Scanlines[size_t(i)], Scanlines[size_t(j)], size_t(RowSize));
    std::memcpy(Scanlines[size_t(j)], tmp.data(), size_t(RowSize));
  }
}

void TFastDIB::SetPen(TPenStyle style, int width, TColorBGR color) {
  PenStyle = style;
  PenWidth = width < 1 ? 1 : width;
  PenColor = color;
  DashPos_ = 0;
}

void TFastDIB::MoveTo(int x, int y) {
  PenX = x;
  PenY = y;
  DashPos_ = 0;
}

void TFastDIB::LineTo(int x, int y) {
  // Bresenham from the current position, end point excluded.
  const bool drawable = Bits && (Bpp() == 16 || Bpp() == 24 || Bpp() == 32);
  const TColorBGR white{255, 255, 255};
  int64_t cx = PenX, cy = PenY;
  const int64_t dx = std::abs(int64_t(x) - cx), dy = -std::abs(int64_t(y) - cy);
  const int sx = cx < x ? 1 : -1, sy = cy < y ? 1 : -1;
  int64_t err = dx + dy;
  while (!(cx == x && cy == y)) {
    if (drawable && cx >= 0 && cy >= 0 && cx < Width() && cy < AbsHeight) {
      TColorBGR c = PenColor;
      if (PenStyle == TPenStyle::Dot && (DashPos_ % 6) >= 3) c = white;
      SetPixel(int(cy), int(cx), c);
    }
    DashPos_ = (DashPos_ + 1) % 6;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      cx += sx;
    }
    if (e2 <= dx) {
      err += dx;
      cy += sy;
    }
  }
  PenX = x;
  PenY = y;
}
