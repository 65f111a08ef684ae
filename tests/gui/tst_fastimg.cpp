// SPDX-License-Identifier: GPL-3.0-or-later
// The picture control's painting per draw style and size mode, pixel by pixel; the QImage view of a TFastDIB.
#include <QPainter>
#include <QtTest>

#include "image/ui/FastDIBDraw.h"
#include "image/ui/FastIMG.h"

namespace {
const QRgb kUnpainted = qRgb(255, 0, 255), kBackground = qRgb(0, 0, 200);
enum TKind { Exact, Nearest, Blended, Tile };  // how the picture fills the target rectangle

QRgb Source(const TFastDIB& d, int x, int y) {
  const TColorBGR c = d.GetPixel(y, x);
  return qRgb(c.r, c.g, c.b);
}

// Exact and tiled pictures: every pixel its own colour (palette entries at 8 bits); scaled ones: four quadrants.
TFastDIB Picture(QSize size, int bpp, TKind kind) {
  TFastDIB d;
  d.SetSize(size.width(), size.height(), bpp, 0);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) {
      const bool right = 2 * x >= size.width(), low = 2 * y >= size.height();
      const TColorBGR c = kind == Exact || kind == Tile
                              ? TFastDIB::MakeColor(uint8_t(10 + 20 * x), uint8_t(10 + 20 * y), 7)
                              : TColorBGR{uint8_t(right ? 255 : 0), uint8_t(low ? 255 : 0), 0};
      if (bpp != 8) {
        d.SetPixel(y, x, c);
        continue;
      }
      const int i = y * size.width() + x;
      d.Colors[i] = TRGBQuad{c.b, c.g, c.r, 0};
      d.Pixels8(y)[x] = uint8_t(i);
    }
  return d;
}
}  // namespace

class TestFastIMG : public QObject {
  Q_OBJECT

 private slots:
  void paint() {
    const QRect none;
    const struct {  // Target: where the picture goes
      const char* Name; TDrawStyle Style; TSizeMode Mode; int Bpp; QSize Picture, Control; QRect Target; TKind Kind;
    } cases[] = {
        {"draw, smaller", dsDraw, smGDI, 24, {4, 3}, {10, 8}, {0, 0, 4, 3}, Exact},
        {"draw, larger", dsDraw, smGDI, 24, {12, 9}, {10, 8}, {0, 0, 12, 9}, Exact},
        {"centre, smaller", dsCenter, smGDI, 24, {4, 3}, {11, 9}, {3, 3, 4, 3}, Exact},
        {"centre, larger: truncated toward zero", dsCenter, smFast, 24, {7, 7}, {4, 4}, {-1, -1, 7, 7}, Exact},
        {"tile", dsTile, smGDI, 24, {3, 2}, {10, 7}, none, Tile},
        {"tile, 8 bits", dsTile, smGDI, 8, {3, 2}, {10, 7}, none, Tile},
        {"stretch", dsStretch, smGDI, 24, {8, 4}, {20, 12}, {0, 0, 20, 12}, Nearest},
        {"stretch, fast", dsStretch, smFast, 24, {8, 4}, {20, 12}, {0, 0, 20, 12}, Nearest},
        {"stretch, bilinear", dsStretch, smBilinear, 24, {8, 4}, {20, 12}, {0, 0, 20, 12}, Blended},
        {"stretch, bilinear, 16 bits: nearest", dsStretch, smBilinear, 16, {8, 4}, {20, 12}, {0, 0, 20, 12}, Nearest},
        {"resize: bands above and below", dsResize, smGDI, 24, {200, 100}, {100, 100}, {0, 25, 100, 50}, Nearest},
        {"resize, fast", dsResize, smFast, 24, {200, 100}, {100, 100}, {0, 25, 100, 50}, Nearest},
        {"resize, bilinear", dsResize, smBilinear, 24, {200, 100}, {100, 100}, {0, 25, 100, 50}, Blended},
        {"resize: side bands, 36.5 to even", dsResize, smFast, 24, {27, 50}, {100, 50}, {36, 0, 27, 50}, Nearest},
        {"resize: 0.001 columns wide is none", dsResize, smGDI, 24, {1, 1000}, {100, 1}, none, Nearest},
        {"resize, fast: none", dsResize, smFast, 24, {1, 1000}, {100, 1}, none, Nearest},
        {"resize, bilinear: none", dsResize, smBilinear, 24, {1, 1000}, {100, 1}, none, Nearest},
        {"empty picture", dsStretch, smBilinear, 24, {0, 0}, {12, 9}, none, Nearest}};
    const QList<QRgb> quadrants{qRgb(0, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(0, 255, 255)};
    for (const auto& k : cases) {
      TFastIMG c;
      c.resize(k.Control);
      c.SetColor(QColor::fromRgb(kBackground));
      c.SetDrawStyle(k.Style);
      c.SetSizeMode(k.Mode);
      c.SetBmp(Picture(k.Picture, k.Bpp, k.Kind));
      const TFastDIB pic = Picture(k.Picture, 24, k.Kind);  // the colours as 24 bits show them
      QImage img(k.Control, QImage::Format_RGB32);
      img.fill(kUnpainted);
      c.render(&img);
      QString wrong;
      int blends = 0;
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
          const QRgb got = img.pixel(x, y);
          const QRgb want = k.Kind == Tile                 ? Source(pic, x % pic.Width(), y % pic.AbsHeight)
                            : !k.Target.contains(x, y)     ? kBackground
                            : k.Kind == Exact              ? Source(pic, x - k.Target.x(), y - k.Target.y())
                            : quadrants.contains(got)      ? got
                                                           : (++blends, got);
          if (got != want && wrong.isEmpty()) wrong = QString("(%1, %2) is %3").arg(x).arg(y).arg(got, 0, 16);
        }
      if (!k.Target.isEmpty() && (k.Kind == Nearest || k.Kind == Blended)) {
        if ((blends > 0) != (k.Kind == Blended)) wrong += QString(" %1 blended pixels").arg(blends);
        if (img.pixel(k.Target.topLeft()) != Source(pic, 0, 0) ||
            img.pixel(k.Target.bottomRight()) != Source(pic, pic.Width() - 1, pic.AbsHeight - 1))
          wrong += " corners";
      }
      QVERIFY2(wrong.isEmpty(), qPrintable(k.Name + QString(": ") + wrong));
    }
  }

  // The image of a buffer shares its pixels where Qt has the format; drawn, a pixel shows its own colour.
  void imageViewSharesThePixels() {
    for (const auto& [bpp, format] : {std::pair{8, 0}, {16, 555}, {16, 565}, {24, 0}, {32, 0}}) {
      TFastDIB d;
      d.SetSize(5, 3, bpp, format);
      if (bpp == 8) d.Colors[9] = TRGBQuad{0, 255, 0, 0}, d.Pixels8(1)[2] = 9;
      else d.SetPixel(1, 2, TColorBGR{0, 255, 0});
      if (bpp == 32) d.Pixels32(1)[2].a = 0;  // the unused byte as files leave it
      const QImage view = DibImage(d);
      QVERIFY(DibImageIsView(d) && view.constBits() == d.Bits && int(view.bytesPerLine()) == int(d.RowSize));
      QImage screen(5, 3, QImage::Format_RGB32);
      screen.fill(kUnpainted);
      QPainter p(&screen);
      Draw(d, p, 0, 0);
      p.end();
      QVERIFY2(screen.pixel(2, 1) == qRgb(0, 255, 0) && screen.pixel(0, 0) == qRgb(0, 0, 0), QByteArray::number(bpp));
    }
    TFastDIB odd;  // a format Qt has not: converted
    odd.SetSize(3, 3, 16, 444);
    odd.SetPixel(0, 0, TColorBGR{0, 0, 255});
    QVERIFY(!DibImageIsView(odd) && DibImage(odd).pixel(0, 0) == qRgb(240, 0, 0));  // four bits of red
    QVERIFY(DibImage(TFastDIB()).isNull());
  }
};

QTEST_MAIN(TestFastIMG)
#include "tst_fastimg.moc"
