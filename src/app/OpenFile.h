// SPDX-License-Identifier: GPL-3.0-or-later
// What a file handed to the program from outside (its command line, the file
// manager's "Open with", a drop on the window) is opened as.
#pragma once

#include <string>

enum class TOpenKind {
  Avi,            // ".avi": a video
  KelvaronList,   // ".lst": a Kelvaron image list
  Unknown,        // anything else
};

// By the name's extension, in any case.
TOpenKind OpenKindOf(const std::string& path);
