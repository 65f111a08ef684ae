// SPDX-License-Identifier: GPL-3.0-or-later
// The complex image mode's preparation of a picture for detection: the merged
// contrast and gamma table, then the four-point diagonal smoothing at distance
// 2, done in one pass over the rows.
#pragma once

#include "image/Effects.h"
#include "image/FastDIB.h"

// The merged table LightnessTable(0), ContrastTable(256), AdditionTable(0),
// GammaTable(1.2), built once.
const TLut& DetectionLut();

// `work` becomes exactly what copying `image` (24 or 32 bits), mapping it
// through DetectionLut (EnhanceForDetection) and then DiagonalBlur(work, 2)
// gives, the smoothing's in-place reading order included: rows already
// smoothed are read as smoothed. Done row by row: each row is mapped just
// before the smoothing first needs it, so the picture is walked once while it
// is in the cache; inner rows are smoothed 16 bytes at a time. `work` is
// resized only when its size or depth differs, so a caller can keep it from
// one image to the next. Other depths: work is a plain copy, enhanced and
// smoothed through the image library.
void EnhanceAndBlur(const TFastDIB& image, TFastDIB& work);
