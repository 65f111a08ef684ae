// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI source: our RIFF index reader (AviIndex) and frame decoders
// (AviRaw, AviCodec) behind TImageSource. The file is opened and its index
// read once; the descriptor and the decoder stay open with the source.
#pragma once

#include <string>

#include "sources/ImageSource.h"

class TFileReader;

// Opens `path` as an AVI video whose first stream is video. The failure
// message is the path immediately followed by "is not a valid AVI file."
// (and, for a pipe, a device or a folder, the reason after it).
TOpenedSource OpenAvi(const std::string& path);
// The same over `file`, already opened on `path` (so that it is opened once).
TOpenedSource OpenAvi(const std::string& path, TFileReader&& file);
