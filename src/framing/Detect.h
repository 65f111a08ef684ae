// SPDX-License-Identifier: GPL-3.0-or-later
// Object detection: finds the bright object on the dark background of an image
// by thresholding the lightness of its pixels.
//
// Coordinates are pixel columns (x, 0 at the left) and rows (y, 0 at the top
// row as displayed); rectangles have inclusive bounds. None of these routines
// reads settings or windows: the caller passes what they need.
#pragma once

#include <cstdint>

#include "image/FastDIB.h"
#include "sequence/AviList.h"

class TSequence;

// How one detection runs: the image mode (complex: enhance and smooth a copy
// first) and whether the threshold is computed from the image.
struct TDetectOptions {
  bool ComplexMode = false;
  bool AutoTolerance = false;
};

// Complex image mode: every channel value v becomes gamma(contrast(v)) through
// the merged tables LightnessTable(0), ContrastTable(256), AdditionTable(0),
// GammaTable(1.2), applied in place to `image` (any depth ApplyLUT handles).
void EnhanceForDetection(TFastDIB& image);

// Automatic threshold of `image` (24 or 32 bits; other depths are read through
// a 24-bit conversion). threshold is set to 0 first; over all pixels the
// lightness values are summed (64-bit, so any image size is exact) and their
// maximum kept; with n pixels, mean = sum div n and
//   complex mode: (maximum + mean) div 2,   otherwise: (4 * mean + maximum) div 5.
// False (threshold left at 0) when the image has no pixel.
bool AutoTolerance(const TFastDIB& image, int32_t& threshold, bool complexMode);

// Sum (64-bit) and maximum of the ColorLightness values of every pixel of
// `image`; false (both 0) when it has no pixel.
bool LightnessTotals(const TFastDIB& image, int64_t& sum, int32_t& maximum);

// The threshold scan alone, on `image` as it is (no enhancement): a pixel is
// bright when its ColorLightness is strictly greater than `tolerance`. Writes
// rect only when an object is found (see DetectObject).
bool ScanForObject(const TFastDIB& image, int32_t tolerance, TRect& rect);

// Working memory of the complex mode: the enhanced, smoothed copy. Kept from
// one image to the next by a caller that detects many images of one size, so
// the copy is not allocated again for each.
struct TDetectScratch {
  TFastDIB Work;
};

// Finds the object of `image` (24-bit as a rule; 32-bit and other depths are
// accepted). `image` itself is never changed: in complex mode the work is done
// on a copy, enhanced (EnhanceForDetection) then blurred (DiagonalBlur 2).
// With AutoTolerance, `tolerance` is first replaced by AutoTolerance of that
// copy; otherwise it is only read.
//
// The result, written to rect only when found:
//   left   - the column just before the leftmost start of a bright run over all
//            rows (0 when a run starts in column 0);
//   right  - the column just after the rightmost end of a bright run over all
//            rows; a run that reaches the last column does not count;
//   top    - the last dark row above the first row with a bright pixel (0 when
//            row 0 has one);
//   bottom - the first dark row after that band of bright rows.
// Found when a band started and ended and left != Width and right != 0; so an
// object touching the bottom edge, or whose every run reaches the right edge,
// is not found.
bool DetectObject(const TFastDIB& image, TRect& rect, int32_t& tolerance, const TDetectOptions& options,
                  TDetectScratch* scratch = nullptr);

// The same with the sequence's working Tolerance.
bool DetectObject(const TFastDIB& image, TRect& rect, TSequence& sequence, const TDetectOptions& options,
                  TDetectScratch* scratch = nullptr);
