// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OpenFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

TOpenKind OpenKindOf(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".avi") return TOpenKind::Avi;
  if (ext == ".lst") return TOpenKind::KelvaronList;
  return TOpenKind::Unknown;
}
