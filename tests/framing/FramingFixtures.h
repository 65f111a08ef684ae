// SPDX-License-Identifier: GPL-3.0-or-later
// Framing test helpers: the object scan written out pixel by pixel from its description (ColorLightness
// of every pixel against the tolerance), a frame's expected pixel copy, a sequence over written BMP files.
#pragma once

#include <gtest/gtest.h>

#include "image/FastDIB.h"
#include "image/HSLUtils.h"
#include "sequence/AviList.h"
#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

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

// The pixel copy of `r` in `img` a frame must hold: rows of blue, green, red, and a trailing 0.
inline TFramePixels FrameBytes(const TFastDIB& img, const TRect& r) {
  TFramePixels out;
  for (int y = r.Top; y <= r.Bottom; ++y)
    for (int x = r.Left; x <= r.Right; ++x) {
      const TColorBGR c = img.GetPixel(y, x);
      out.insert(out.end(), {c.b, c.g, c.r});
    }
  out.push_back(0);
  return out;
}

// `s` over n BMP files p0.bmp, p1.bmp, ... written into `dir`, file i holding picture(i).
template <class F>
void BmpSequence(TSequence& s, const fixtures::TTempDir& dir, int n, F picture) {
  auto entries = std::make_unique<TBmpEntryList>();
  for (int i = 0; i < n; ++i) {
    const std::string name = "p" + std::to_string(i) + ".bmp";
    ASSERT_TRUE(picture(i).SaveToFile(dir.File(name)));
    auto e = std::make_unique<TBMPList>();
    e->SetData(name, "", "", "", "", dir.Path());
    entries->Add(name, std::move(e));
  }
  s.BuildBmpSequence(std::move(entries));
}
