// SPDX-License-Identifier: GPL-3.0-or-later
// The picture control's painting per draw style and size mode, rendered offscreen into images prefilled with a
// colour the control never paints and compared pixel by pixel with where the picture must go; and the QImage
// view of a TFastDIB.
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
      const TColorBGR c = kind == Exact || kind == Tile ? TFastDIB::MakeColor(uint8_t(10 + 20 * x), uint8_t(10 + 20 * y), 7)
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
  void paint_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("bpp");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("control");
    QTest::addColumn<QRect>("target");
    QTest::addColumn<int>("kind");
    QTest::newRow("draw, smaller") << int(dsDraw) << int(smGDI) << 24 << QSize(4, 3) << QSize(10, 8) << QRect(0, 0, 4, 3) << int(Exact);
    QTest::newRow("draw, larger") << int(dsDraw) << int(smGDI) << 24 << QSize(12, 9) << QSize(10, 8) << QRect(0, 0, 12, 9) << int(Exact);
    QTest::newRow("centre, smaller") << int(dsCenter) << int(smGDI) << 24 << QSize(4, 3) << QSize(10, 8) << QRect(3, 2, 4, 3) << int(Exact);
    // Larger: centred at (-1, -1), truncated toward zero, and cropped.
    QTest::newRow("centre, larger") << int(dsCenter) << int(smFast) << 24 << QSize(7, 7) << QSize(4, 4) << QRect(-1, -1, 7, 7) << int(Exact);
    QTest::newRow("tile, 24 bits") << int(dsTile) << int(smGDI) << 24 << QSize(3, 2) << QSize(10, 7) << QRect() << int(Tile);
    QTest::newRow("tile, 8 bits") << int(dsTile) << int(smGDI) << 8 << QSize(3, 2) << QSize(10, 7) << QRect() << int(Tile);
    for (const auto& [mode, name, kind] : {std::tuple{smGDI, "GDI", Nearest}, std::tuple{smFast, "fast", Nearest},
                                           std::tuple{smBilinear, "bilinear", Blended}}) {
      const QByteArray m = name;
      QTest::newRow("stretch, " + m) << int(dsStretch) << int(mode) << 24 << QSize(8, 4) << QSize(20, 12) << QRect(0, 0, 20, 12) << int(kind);
      QTest::newRow("resize, bands above and below, " + m)
          << int(dsResize) << int(mode) << 24 << QSize(200, 100) << QSize(100, 100) << QRect(0, 25, 100, 50) << int(kind);
      // 0.001 columns wide rounds to none: only the background.
      QTest::newRow("resize, collapsed, " + m) << int(dsResize) << int(mode) << 24 << QSize(1, 1000) << QSize(100, 1) << QRect() << int(kind);
    }
    // Narrower: bands left and right, the offset 36.5 rounded to even.
    QTest::newRow("resize, bands at the sides") << int(dsResize) << int(smFast) << 24 << QSize(28, 50) << QSize(100, 50)
                                                << QRect(36, 0, 28, 50) << int(Nearest);
    // The bilinear resampler takes no 16-bit picture: resampled by nearest neighbour.
    QTest::newRow("bilinear, 16 bits") << int(dsStretch) << int(smBilinear) << 16 << QSize(8, 4) << QSize(20, 12)
                                       << QRect(0, 0, 20, 12) << int(Nearest);
    QTest::newRow("empty picture") << int(dsStretch) << int(smBilinear) << 24 << QSize(0, 0) << QSize(12, 9) << QRect() << int(Nearest);
  }

  void paint() {
    QFETCH(int, style);
    QFETCH(int, mode);
    QFETCH(int, bpp);
    QFETCH(QSize, picture);
    QFETCH(QSize, control);
    QFETCH(QRect, target);
    QFETCH(int, kind);
    TFastIMG c;
    c.resize(control);
    c.SetColor(QColor::fromRgb(kBackground));
    c.SetDrawStyle(TDrawStyle(style));
    c.SetSizeMode(TSizeMode(mode));
    c.SetBmp(Picture(picture, bpp, TKind(kind)));
    const TFastDIB pic = Picture(picture, 24, TKind(kind));  // the colours as 24 bits show them
    QImage img(control, QImage::Format_RGB32);
    img.fill(kUnpainted);
    c.render(&img);
    const QList<QRgb> quadrants{qRgb(0, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(0, 255, 255)};
    int blends = 0;
    for (int y = 0; y < control.height(); ++y)
      for (int x = 0; x < control.width(); ++x) {
        const QRgb got = img.pixel(x, y);
        if (kind == Tile) QCOMPARE(got, Source(pic, x % picture.width(), y % picture.height()));
        else if (!target.contains(x, y)) QCOMPARE(got, kBackground);
        else if (kind == Exact) QCOMPARE(got, Source(pic, x - target.x(), y - target.y()));
        else if (!quadrants.contains(got)) ++blends;
      }
    if (kind == Tile || kind == Exact || target.isEmpty()) return;
    QCOMPARE(blends > 0, kind == Blended);
    QCOMPARE(img.pixel(target.topLeft()), Source(pic, 0, 0));
    QCOMPARE(img.pixel(target.bottomRight()), Source(pic, picture.width() - 1, picture.height() - 1));
  }

  // The image of a buffer shares its pixels where Qt has the format; drawn, a pixel shows its own colour.
  void imageViewSharesThePixels() {
    for (const auto& [bpp, format] : {std::pair{8, 0}, std::pair{16, 555}, std::pair{16, 565}, std::pair{24, 0}, std::pair{32, 0}}) {
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
      QVERIFY2(screen.pixel(2, 1) == qRgb(0, 255, 0) && screen.pixel(0, 0) == qRgb(0, 0, 0), qPrintable(QString::number(format)));
    }
    TFastDIB odd;
    odd.SetSize(3, 3, 16, 444);
    odd.SetPixel(0, 0, TColorBGR{0, 0, 255});
    QVERIFY(!DibImageIsView(odd) && DibImage(odd).pixel(0, 0) == qRgb(240, 0, 0));  // four bits of red
    QVERIFY(DibImage(TFastDIB()).isNull());
  }
};

QTEST_MAIN(TestFastIMG)
#include "tst_fastimg.moc"
