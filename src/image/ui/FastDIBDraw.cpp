// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/ui/FastDIBDraw.h"

#include <QBrush>
#include <QList>
#include <QPainter>

namespace {

QList<QRgb> Palette(const TFastDIB& dib, int entries) {
  QList<QRgb> table(entries);
  for (int i = 0; i < entries; ++i) {
    const TRGBQuad& c = dib.Colors[i];
    table[i] = qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
  }
  return table;
}

QImage View(const TFastDIB& dib, QImage::Format format) {
  // A non-const pointer keeps the image writable in place: QImage then never
  // detaches (copies) on its own, not even when the colour table is set.
  return QImage(dib.Bits, dib.Width(), dib.AbsHeight, dib.RowSize, format);
}

QImage NibblesToIndexed8(const TFastDIB& dib) {
  QImage out(dib.Width(), dib.AbsHeight, QImage::Format_Indexed8);
  for (int y = 0; y < dib.AbsHeight; ++y) {
    const uint8_t* s = dib.Pixels8(y);
    uchar* d = out.scanLine(y);
    for (int x = 0; x < dib.Width(); ++x) d[x] = (x & 1) ? (s[x / 2] & 15) : (s[x / 2] >> 4);
  }
  out.setColorTable(Palette(dib, 16));
  return out;
}

QImage WordsToRgb32(const TFastDIB& dib) {
  QImage out(dib.Width(), dib.AbsHeight, QImage::Format_RGB32);
  for (int y = 0; y < dib.AbsHeight; ++y) {
    auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < dib.Width(); ++x) {
      const TColorBGR c = dib.GetPixel(y, x);
      d[x] = qRgb(c.r, c.g, c.b);
    }
  }
  return out;
}

}  // namespace

bool DibImageIsView(const TFastDIB& dib) {
  switch (dib.Bpp()) {
    case 1: case 8: case 24: case 32: return true;
    case 16: return dib.BitFormat == 555 || dib.BitFormat == 565;
    default: return false;
  }
}

QImage DibImage(const TFastDIB& dib) {
  if (!dib.Bits || dib.Width() < 1 || dib.AbsHeight < 1) return {};
  switch (dib.Bpp()) {
    case 1: {
      QImage img = View(dib, QImage::Format_Mono);  // most significant bit first, as in a DIB
      img.setColorTable(Palette(dib, 2));
      return img;
    }
    case 4:
      return NibblesToIndexed8(dib);
    case 8: {
      QImage img = View(dib, QImage::Format_Indexed8);
      img.setColorTable(Palette(dib, 256));
      return img;
    }
    case 16:
      if (dib.BitFormat == 555) return View(dib, QImage::Format_RGB555);
      if (dib.BitFormat == 565) return View(dib, QImage::Format_RGB16);
      return WordsToRgb32(dib);
    case 24:
      return View(dib, QImage::Format_BGR888);  // bytes blue, green, red
    case 32:
      return View(dib, QImage::Format_RGB32);  // 0xXXRRGGBB little-endian: blue, green, red, unused
    default:
      return {};
  }
}

void Draw(const TFastDIB& dib, QPainter& painter, int x, int y) {
  const QImage img = DibImage(dib);
  if (!img.isNull()) painter.drawImage(QPoint(x, y), img);
}

void StretchDraw(const TFastDIB& dib, QPainter& painter, int x, int y, int width, int height) {
  if (width < 1 || height < 1) return;
  const QImage img = DibImage(dib);
  if (img.isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // colour-on-colour: no blending
  painter.drawImage(QRect(x, y, width, height), img);
  painter.restore();
}

void TileDraw(const TFastDIB& dib, QPainter& painter, int x, int y, int width, int height) {
  if (width < 1 || height < 1) return;
  QImage img = DibImage(dib);
  if (img.isNull()) return;
  // A one-bit texture would be taken as a stipple in the brush colour.
  if (img.depth() == 1) img = img.convertToFormat(QImage::Format_RGB32);
  painter.save();
  painter.setBrushOrigin(x, y);
  painter.fillRect(QRect(x, y, width, height), QBrush(img));
  painter.restore();
}
