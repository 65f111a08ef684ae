// SPDX-License-Identifier: GPL-3.0-or-later
// An unrounded colour picture: per pixel the blue, green and red values as
// floats on the 0..255 scale of 8-bit pictures, rows from the top, no padding.
// Combinations fill it beside their 8-bit result when full depth is wanted.
#pragma once

#include <cstddef>
#include <vector>

struct TFullDepthImage {
  int Width = 0;
  int Height = 0;
  std::vector<float> Bgr;  // Width * Height * 3 values
  void Resize(int w, int h) {
    Width = w;
    Height = h;
    Bgr.assign(size_t(w) * size_t(h) * 3, 0.0f);
  }
  const float* Pixel(int x, int y) const { return Bgr.data() + (size_t(y) * size_t(Width) + size_t(x)) * 3; }
};
