// SPDX-License-Identifier: GPL-3.0-or-later
// Depth conversion into 24-bit pictures.
#pragma once

#include "image/FastDIB.h"

// Fills dst, a 24-bit picture already sized to src's Width and AbsHeight, with
// the colours of src (1, 4, 8, 16, 24 or 32 bits). Rows are taken in storage
// order (row 0 to row 0); nothing is flipped. Palettised depths read src's
// colour table, 16 bits unpacks with src's shifts exactly as GetPixel does (the
// low bits of each channel come back as 0), 32 bits drops the fourth byte.
// When dst is not 24-bit of src's size, or src has another depth or no pixels,
// dst is left untouched. Destination first, source second.
void ConvertTo24(TFastDIB& dst, const TFastDIB& src);
