// SPDX-License-Identifier: GPL-3.0-or-later
// FastFX: image effects on TFastDIB pictures.
//
// Point operations go through 256-entry lookup tables (one per colour channel,
// given in the order red, green, blue although the bytes of a pixel stand blue,
// green, red in memory). 16-bit pictures are mapped through a 65536-entry word
// table built once per call. Geometry works in 16.16 fixed point with one
// floating computation per destination row.
//
// Everything works in place on one picture, or from a source into a
// destination that the caller has sized beforehand (source first, destination
// second). Unsupported depths leave the pictures unchanged; nothing reports an
// error. Single-threaded.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "image/FastDIB.h"

// Entry v is the new value of a channel whose old value is v.
using TLut = std::array<uint8_t, 256>;
// Entry w is the new 16-bit pixel for the old pixel w (128 KB: build on the heap).
using TLut16 = std::array<uint16_t, 65536>;

// Saturation tables. Grey is indexed by the sum of the three channels
// (0..765) and holds avg - Scale[avg] with avg = sum / 3; a channel c becomes
// clamp(Scale[c] + Grey[sum], 0, 255).
struct TSatTable {
  int32_t Grey[768];
  uint16_t Scale[256];
};

// --- Table makers (every entry clamped to 0..255) ------------------------------
void ContrastTable(int amount, TLut& lut);   // 0 = identity, 256 = strong contrast about 128
void LightnessTable(int amount, TLut& lut);  // 0 = identity, 256 = all white, -256 = all black
void AdditionTable(int amount, TLut& lut);   // adds amount (magnitude limited to 255)
void GammaTable(double gamma, TLut& lut);    // 255 * (v/255)^(1/gamma); gamma > 1 brightens

// Composition: the result applies luts[0], then luts[1], ... An empty list
// gives the identity.
void MergeLUTs(std::span<const TLut> luts, TLut& result);
void MergeLUTs(std::initializer_list<TLut> luts, TLut& result);
void MergeLUTs16(std::span<const TLut16> luts, TLut16& result);

// Maps every pixel (24, 32, 16 bits) or the palette (1, 4, 8 bits) through
// the channel tables. The fourth byte of a 32-bit pixel is left alone.
void ApplyLUT(TFastDIB& dib, const TLut& red, const TLut& green, const TLut& blue);

// amount 256 leaves colours unchanged, 0 gives grey, 512 doubles the
// distance of each channel from the pixel's mean.
void SaturationTable(int amount, TSatTable& table);
void ApplySaturation(TFastDIB& dib, const TSatTable& table);
// Saturation, then the channel tables, in one pass.
void ApplySaturationLUT(TFastDIB& dib, const TSatTable& table, const TLut& red, const TLut& green,
                        const TLut& blue);

// Four-point smoothing at distance |amount|, in place: each channel becomes the
// mean (truncated) of the pixels at the corners (x +- d, y +- d), clamped to
// the picture. Rows run from the top and pixels from the left, and pixels
// already replaced are read as replaced (rows above, pixels to the left).
// 8, 16, 24 and 32 bits.
void DiagonalBlur(TFastDIB& dib, int amount);

// --- Rotation (angles in degrees; positive turns clockwise on screen) -------
// Sizes dest to hold src turned by angle, with src's depth and format.
void RotateSize(const TFastDIB& src, TFastDIB& dest, double angle);
// Turns src about the point (cx, cy) of dest, src centred in dest. Destination
// pixels that fall outside src keep their bytes. Both pictures must have the
// same depth (8, 16, 24 or 32 bits); otherwise nothing happens.
void Rotate(const TFastDIB& src, TFastDIB& dest, int cx, int cy, double angle);
// As Rotate, but every destination pixel is written: positions outside src
// wrap round so that the picture repeats like tiles.
void RotateWrap(const TFastDIB& src, TFastDIB& dest, int cx, int cy, double angle);
