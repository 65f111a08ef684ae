// SPDX-License-Identifier: GPL-3.0-or-later
// FastSize: resizing one TFastDIB into another in integer fixed point.
//
// The caller sizes the destination beforehand, with the source's depth: the
// destination's Width and AbsHeight are the target size. A destination
// smaller than 1x1, an empty source or a depth mismatch leaves the
// destination unchanged. Source and destination must be different objects.
#pragma once

#include "image/FastDIB.h"

// Nearest neighbour with 16.16 steps: destination column x takes source
// column (x * step) >> 16, step = (source width << 16) / destination width,
// and the same for rows. 8, 16, 24 and 32 bits; equal sizes are a block copy
// (any depth).
void ResizeNearest(const TFastDIB& src, TFastDIB& dest);

// Bilinear with 17.15 steps over (source size - 1), so the last destination
// column and row stay inside the source. 8 bits (byte values, palette indexes
// included), 24 and 32 bits (three channels; a destination pixel's fourth
// byte is not written). A source one pixel wide goes to ResizeNearest; 16
// bits and lower depths are left alone.
void ResizeBilinear(const TFastDIB& src, TFastDIB& dest);
