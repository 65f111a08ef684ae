// SPDX-License-Identifier: GPL-3.0-or-later
// The SER capture reader (format in sources/SerFormat.h).
#pragma once

#include <memory>
#include <string>

#include "sources/ImageSource.h"

// Opens a SER file. Images are 24-bit: samples deeper than 8 bits are scaled
// from the declared depth's full range (a 12-bit capture's 0..4095) to
// 0..255, mono is grey, Bayer mosaics are demosaiced. The image count is the
// number of whole frames the file really holds, never more than the header
// promises. A file that is not a readable SER capture gives a failure naming
// the file and the reason, and no source.
TStatus OpenSerSource(const std::string& path, std::unique_ptr<TImageSource>& source);
