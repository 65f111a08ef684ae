// SPDX-License-Identifier: GPL-3.0-or-later
// Test helper: the object scan written out pixel by pixel, straight from its
// description (ColorLightness of every pixel against the tolerance), to check
// the row scanner of the program and to predict what framing must find.
#pragma once

#include "image/FastDIB.h"
#include "image/HSLUtils.h"
#include "sequence/AviList.h"

inline bool ReferenceScan(const TFastDIB& img, int tolerance, TRect& rect) {
  const int w = img.Width(), h = img.AbsHeight;
  int left = w, right = 0, top = 0, bottom = h;
  bool started = false, bottomFound = false;
  for (int y = 0; y < h; ++y) {
    bool rowBright = false, prev = false;
    int prevX = 0;
    for (int x = 0; x < w; ++x) {
      const bool b = ColorLightness(img.GetPixel(y, x)) > tolerance;
      rowBright = rowBright || b;
      if (b && !prev && prevX < left) left = prevX;
      if (!b && prev && x > right) right = x;
      prev = b;
      prevX = x;
    }
    if (!rowBright && started && !bottomFound) {
      bottom = y;
      bottomFound = true;
    }
    if (!rowBright && !started) top = y;
    if (rowBright && !started) started = true;
  }
  if (!(started && bottomFound && left != w && right != 0)) return false;
  rect = {left, top, right, bottom};
  return true;
}
