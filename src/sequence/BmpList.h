// SPDX-License-Identifier: GPL-3.0-or-later
// TBMPList: one BMP file of a BMP or Kelvaron sequence.
#pragma once

#include <string>

#include "sequence/OwnedList.h"

class TBMPList {
 public:
  std::string Name;        // file name without directory
  std::string SizeKo;      // file size / 1024, decimal
  std::string Date;        // last-write date and time, user's short date + long time
  std::string ColorText;   // "2", "16", "256", "65K", "16M", "65M", "<n> Bits" or "UNK"
  std::string Dimensions;  // "<width>x<height>"
  std::string Directory;   // folder holding the file
  bool Empty = true;       // holds no file

  void SetData(const std::string& name, const std::string& size, const std::string& date, const std::string& color,
               const std::string& dimensions, const std::string& directory) {
    if (name.empty()) {
      *this = TBMPList{};
      return;
    }
    Name = name;
    SizeKo = size;
    Date = date;
    ColorText = color;
    Dimensions = dimensions;
    Directory = directory;
    Empty = false;
  }
};

using TBmpEntryList = TOwnedStringList<TBMPList>;
