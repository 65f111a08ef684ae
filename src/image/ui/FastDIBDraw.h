// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing a TFastDIB with a QPainter, and a QImage view of its pixels.
//
// TFastDIB itself stays free of Qt; these free functions play the part of its
// Draw, StretchDraw and TileDraw on a display. Coordinates are the painter's
// (pixels, y downwards); rectangles are given as left, top, width, height.
#pragma once

#include <QImage>

#include "image/FastDIB.h"

class QPainter;

// A QImage over the buffer's own pixel memory, without copying, for 1, 8,
// 16 (BitFormat 555 or 565), 24 and 32 bits; RowSize is its bytes per line,
// the colour table becomes the image's colour table (1 and 8 bits), and the
// fourth byte of a 32-bit pixel is taken as unused. Other layouts (4 bits,
// other 16-bit bit fields) give a converted copy in an 8- or 32-bit format.
// An empty buffer gives a null image.
// The view is valid only while the buffer keeps its pixels (no SetSize, no
// destruction); painting into it writes the buffer's pixels.
QImage DibImage(const TFastDIB& dib);

// True when DibImage(dib) shares the buffer's memory rather than copying it.
bool DibImageIsView(const TFastDIB& dib);

// Copies the picture 1:1 with its top-left corner at (x, y).
void Draw(const TFastDIB& dib, QPainter& painter, int x, int y);

// Scales the picture into the rectangle with fast (non-smoothed) scaling.
// An empty picture or a rectangle smaller than 1x1 draws nothing.
void StretchDraw(const TFastDIB& dib, QPainter& painter, int x, int y, int width, int height);

// Fills the rectangle with copies of the picture, the first one at (x, y).
// An empty picture draws nothing.
void TileDraw(const TFastDIB& dib, QPainter& painter, int x, int y, int width, int height);
