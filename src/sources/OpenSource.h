// SPDX-License-Identifier: GPL-3.0-or-later
// OpenImageSource: opens a capture file by what it holds, through the one
// table of formats in OpenSource.cpp.
#pragma once

#include <string>

#include "sources/ImageSource.h"

// The source for `path`, or the message saying why it cannot be opened. A
// file that no format claims is offered to the AVI reader, whose message
// ("…is not a valid AVI file.") is the one users know.
TOpenedSource OpenImageSource(const std::string& path);
