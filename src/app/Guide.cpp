// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Guide.h"

#include <filesystem>
#include <system_error>

std::string GuidePath(const std::string& programDir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path installed = fs::path(programDir) / ".." / "share" / "doc" / "stellon" / "guide.md";
  if (fs::is_regular_file(installed, ec)) return fs::weakly_canonical(installed, ec).string();
#ifdef STELLON_SOURCE_GUIDE
  if (fs::is_regular_file(STELLON_SOURCE_GUIDE, ec)) return STELLON_SOURCE_GUIDE;
#endif
  return {};
}
