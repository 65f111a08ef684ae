// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP-list source: one BMP file per image, in the order given (a list
// built in the BMP list dialog or read from a Kelvaron list). Each file is
// read when its image is asked for; 16-bit pixels are always taken as 5-5-5,
// whatever masks the file declares, and every image is given in 24 bits.
#pragma once

#include <string>
#include <vector>

#include "sources/ImageSource.h"

// A source over `paths` (full paths). Facts give the count and the size and
// depth of the first file when it can be read; images are named
// "3 - jup003.bmp" (number from 1, file name without folder).
std::unique_ptr<TImageSource> OpenBmpList(std::vector<std::string> paths);
