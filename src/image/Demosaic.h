// SPDX-License-Identifier: GPL-3.0-or-later
// Colour from a raw Bayer mosaic: one 8-bit sample per pixel, each pixel
// behind one colour filter laid out in a repeating 2x2 pattern.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/FastDIB.h"
#include "image/Simd.h"

// The filter colours of the pattern's top-left 2x2 cell, read row by row.
enum class TBayerPattern { RGGB, GRBG, GBRG, BGGR };

// Bilinear demosaicing. Each pixel keeps its own sample for its filter
// colour; a missing colour is the rounded mean of the nearest samples of
// that colour (two or four neighbours inside the picture; at the edges only
// the neighbours that exist). `raw` has `height` rows of `width` samples,
// `stride` bytes apart. dst must already be a 24-bit picture of that size;
// otherwise it is left untouched. The mosaic may lie in dst's own pixels at
// their end (the last width * height bytes, stride = width): the picture then
// replaces it.
void DemosaicBilinear(const uint8_t* raw, int width, int height, ptrdiff_t stride, TBayerPattern pattern,
                      TFastDIB& dst, TSimd simd = BestSimd());
