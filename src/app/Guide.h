// SPDX-License-Identifier: GPL-3.0-or-later
// Where the user guide (guide.md, with its screenshots/ folder) is found.
#pragma once

#include <string>

// The installed guide, <programDir>/../share/doc/stellon/guide.md, else the
// guide of the source tree the program was built from (a program run from its
// build folder). Empty when neither exists.
std::string GuidePath(const std::string& programDir);
