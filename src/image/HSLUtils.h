// SPDX-License-Identifier: GPL-3.0-or-later
// Colour utilities: hue/saturation/lightness, pixel lightness and length, and
// the mean and spread of a list of values.
#pragma once

#include "image/FastDIB.h"

#include <cstdint>

// colorRef: red in bits 0-7, green in bits 8-15, blue in bits 16-23 (a Windows
// COLORREF). Hue, saturation and lightness come back in [0, 1); a grey gives
// hue and saturation 0.
void RGBtoHSL(uint32_t colorRef, double& hue, double& saturation, double& lightness);

// Lightness 0-255 of a pixel: (max + min) / 2 of its three bytes, computed
// exactly in integers, a half rounded to the even neighbour (so 127.5 -> 128,
// 0.5 -> 0). This is 255 * L of RGBtoHSL rounded half to even, without the
// floating-point error that can push an exact half either way.
int ColorLightness(TColorBGR c);

// Length of the pixel seen as a vector: sqrt(r^2 + g^2 + b^2).
double ColorNorm(TColorBGR c);

// Mean of count values; 0 when count < 1. Summed relative to the first value,
// so a list of equal values has exactly that value as its mean.
double MeanOf(const double* values, int count);

// sqrt(sum of (v - mean)^2) / count: the square root is taken BEFORE dividing
// by the count (this is not the standard deviation). 0 when count < 1; exactly
// 0 for equal values.
double SpreadOf(const double* values, int count);
