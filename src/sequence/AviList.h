// SPDX-License-Identifier: GPL-3.0-or-later
// TAviList: the record of one image of the open sequence.
//
// Rectangles are Left, Top, Right, Bottom with inclusive bounds, in pixel
// columns and rows of the image counted from its top-left corner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sequence/FrameBlockPool.h"

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left + 1; }   // pixels across, bounds inclusive
  int32_t Height() const { return Bottom - Top + 1; }  // pixels down, bounds inclusive
  friend bool operator==(const TRect&, const TRect&) = default;
};

class TAviList {
 public:
  bool Checked = false;   // ticked in the image list; takes part in combinations
  bool HasFrame = false;  // FrameRect and FramePixels count only while set
  TRect FrameRect;        // the frame with its margin; lies inside the image
  TRect ObjectRect;       // the normalised object rectangle, before the margin
  bool IsBmpFile = false; // a BMP file; otherwise the video image at this record's position
  std::string FileName;   // full path of the BMP file

  // Copy of the pixels of FrameRect: blue, green, red bytes, rows from Top to
  // Bottom, each from Left to Right, no padding, plus one unused trailing byte.
  // Empty when there is none. FramePixelsRect is the rectangle the block was
  // captured from, so a reader can always tell the block's own size.
  TFramePixels FramePixels;
  TRect FramePixelsRect;

  bool HasFramePixels() const { return !FramePixels.empty(); }
};
