// SPDX-License-Identifier: GPL-3.0-or-later
// TFastDIB: the one pixel container of the program.
//
// A device-independent bitmap held in our own aligned heap block. Rows are
// stored top-down (row 0 is the top of the picture), each padded to a multiple
// of 4 bytes; Scanlines[y] points at row y. The header in Info always carries a
// negative height to say so. Pixels are addressed row first, then column.
//
// Ownership: a TFastDIB owns its pixel block and its row table; it is movable
// but not copyable (copy pixels explicitly with CopyFrom when a second picture
// is wanted). Single-threaded use only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/Status.h"

// One pixel of a 24- or 32-bit picture: blue, green, red, in memory order.
struct TColorBGR {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  friend bool operator==(const TColorBGR&, const TColorBGR&) = default;
};
static_assert(sizeof(TColorBGR) == 3);

// A 32-bit pixel: the three colour bytes and one byte the library leaves alone.
struct TColorBGRA {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  uint8_t a = 0;
};
static_assert(sizeof(TColorBGRA) == 4);

// One colour-table entry (RGBQUAD layout).
struct TRGBQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};
static_assert(sizeof(TRGBQuad) == 4);

#pragma pack(push, 1)
// The 40-byte BITMAPINFOHEADER, field for field.
struct TBitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(TBitmapInfoHeader) == 40);

// Header followed by a 256-entry colour table, as handed to a display.
// For 16 and 32 bits the first three entries hold the red, green and blue masks.
struct TBitmapInfo {
  TBitmapInfoHeader Header;
  TRGBQuad Colors[256];
};
static_assert(sizeof(TBitmapInfo) == 40 + 1024);

enum class TPenStyle { Solid, Dot };

class TFastDIB {
 public:
  // Largest side and pixel count we accept anywhere (files, videos, SetSize).
  static constexpr int kMaxSide = 32767;
  static constexpr int64_t kMaxPixels = int64_t(1) << 28;

  TFastDIB();   // Create: empty, no pixels
  ~TFastDIB();  // Destroy
  TFastDIB(const TFastDIB&) = delete;
  TFastDIB& operator=(const TFastDIB&) = delete;
  TFastDIB(TFastDIB&& other) noexcept;
  TFastDIB& operator=(TFastDIB&& other) noexcept;

  // --- Declared state --------------------------------------------------------
  int32_t RowSize = 0;    // bytes per stored row, a multiple of 4
  int32_t AbsHeight = 0;  // number of rows
  int32_t Gap = 0;        // padding bytes at the end of each row
  int32_t BitFormat = 0;  // red/green/blue bit counts as decimal digits (555, 565, 888); 0 = not set
  uint8_t* Bits = nullptr;             // first byte of the pixel block (owned), null when empty
  TBitmapInfo Info;                    // header + colour table
  TRGBQuad* Colors = Info.Colors;      // the colour table inside Info
  std::vector<uint8_t*> Scanlines;     // one pointer per row, row 0 (top) first
  uint8_t BShr = 0, GShr = 0, GShl = 0, RShr = 0, RShl = 0;  // 16-bit pack/unpack shifts

  // --- Header-derived properties ---------------------------------------------
  int32_t Width() const { return Info.Header.biWidth; }
  int32_t Bpp() const { return Info.Header.biBitCount; }
  uint32_t Size() const { return Info.Header.biSizeImage; }  // RowSize * AbsHeight

  // Typed views of row y (no bounds checks: 0 <= y < AbsHeight).
  uint8_t* Pixels8(int y) const { return Scanlines[size_t(y)]; }
  uint16_t* Pixels16(int y) const { return reinterpret_cast<uint16_t*>(Scanlines[size_t(y)]); }
  TColorBGR* Pixels24(int y) const { return reinterpret_cast<TColorBGR*>(Scanlines[size_t(y)]); }
  TColorBGRA* Pixels32(int y) const { return reinterpret_cast<TColorBGRA*>(Scanlines[size_t(y)]); }

  // (Re)allocates the pixels. bpp 0 means the screen depth (24 here); format 0
  // means ScreenBitFormat() for 16 bits and 888 for 32. Same four values: no-op,
  // pixels kept. Otherwise the new block starts zeroed. Sizes beyond kMaxSide or
  // kMaxPixels, or an allocation failure, leave Bits null with no rows listed.
  void SetSize(int width, int height, int bpp, int format);

  // Single pixels, row first. 16, 24 and 32 bits only; no coordinate checks.
  void SetPixel(int y, int x, TColorBGR c);
  TColorBGR GetPixel(int y, int x) const;
  static TColorBGR MakeColor(uint8_t red, uint8_t green, uint8_t blue) { return TColorBGR{blue, green, red}; }

  // Same size, depth, format, colour table and pixels as src.
  void CopyFrom(const TFastDIB& src);

  void FlipVertical();

  // 1-pixel line drawing into the pixels (16, 24 and 32 bits). Like a display
  // pen: LineTo draws from the current position up to, not including, the end
  // point, which becomes the current position. Drawing is clipped to the
  // picture. A dotted pen repeats 3 pixels of its colour and 3 of the opaque
  // white background, the pattern running on across LineTo calls and
  // restarting at MoveTo. Wider pens draw as 1 pixel.
  void SetPen(TPenStyle style, int width, TColorBGR color);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);

  // BMP files. LoadFromFile throws std::system_error when the file cannot be
  // opened; a file that is not a usable BMP leaves the buffer unchanged and
  // returns false. SaveToFile writes through TAtomicFile (an existing file is
  // replaced; the caller decides beforehand whether it may be) and tells why
  // when the file cannot be written completely; no partial file is then left
  // under the chosen name.
  bool LoadFromFile(const std::string& fileName);
  bool LoadFromStream(std::istream& stream);
  bool LoadFromMemory(const uint8_t* data, size_t size);
  TStatus SaveToFile(const std::string& fileName) const;
  void SaveToStream(std::ostream& stream) const;  // throws on a stream failure

  static int ScreenBitFormat() { return 565; }
  static int MasksToBitFormat(uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

  // Pen state (the GDI pen and current position).
  TPenStyle PenStyle = TPenStyle::Solid;
  int PenWidth = 0;  // 0 until SetPen
  TColorBGR PenColor{};
  int PenX = 0, PenY = 0;

 private:
  void Release();
  void SetMasksAndShifts();
  uint8_t* Block_ = nullptr;  // owned, aligned allocation behind Bits
  int DashPos_ = 0;           // position in the dotted pen's 6-pixel pattern
};
