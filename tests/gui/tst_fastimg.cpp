// SPDX-License-Identifier: GPL-3.0-or-later
// TFastIMG placement and fill per draw style, size modes, AutoSize, and the
// QImage view of a TFastDIB. Rendered offscreen into images prefilled with a
// colour the control never paints, so unpainted pixels show up.
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "image/ui/FastDIBDraw.h"
#include "image/ui/FastIMG.h"

namespace {

const QRgb kUnpainted = qRgb(255, 0, 255);
const QColor kBackground(0, 0, 200);
const TColorBGR kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0};

TFastDIB Solid(int w, int h, TColorBGR c, int bpp = 24) {
  TFastDIB d;
  d.SetSize(w, h, bpp, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) d.SetPixel(y, x, c);
  return d;
}

// Pixel (x, y) gets a colour that names its position.
TFastDIB Numbered(int w, int h) {
  TFastDIB d;
  d.SetSize(w, h, 24, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) d.SetPixel(y, x, TFastDIB::MakeColor(uint8_t(10 + 20 * x), uint8_t(10 + 20 * y), 7));
  return d;
}

QRgb Rgb(TColorBGR c) { return qRgb(c.r, c.g, c.b); }

QImage Render(TFastIMG& w) {
  QImage img(w.size(), QImage::Format_RGB32);
  img.fill(kUnpainted);
  w.render(&img);
  return img;
}

std::unique_ptr<TFastIMG> Control(int w, int h, TDrawStyle style, TSizeMode mode = smGDI) {
  auto c = std::make_unique<TFastIMG>();
  c->resize(w, h);
  c->SetColor(kBackground);
  c->SetDrawStyle(style);
  c->SetSizeMode(mode);
  return c;
}

// Counts pixels of a colour inside and outside a rectangle.
int Count(const QImage& img, QRgb colour, const QRect& area, bool inside) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (area.contains(x, y) == inside && img.pixel(x, y) == colour) ++n;
  return n;
}

}  // namespace

class TestFastIMG : public QObject {
  Q_OBJECT

 private slots:
  void defaults() {
    TFastIMG c;
    QCOMPARE(c.size(), QSize(100, 100));
    QCOMPARE(c.DrawStyle(), dsDraw);
    QCOMPARE(c.SizeMode(), smGDI);
    QCOMPARE(c.AutoSize(), false);
    QCOMPARE(c.Picture(), QStringLiteral("(None)"));
    QCOMPARE(c.Bmp().Width(), 0);
  }

  void emptyPicturePaintsBackground() {
    auto c = Control(12, 9, dsStretch, smBilinear);
    const QImage img = Render(*c);
    QCOMPARE(Count(img, kBackground.rgb(), img.rect(), true), 12 * 9);
  }

  void drawPlacesAtOriginAndFillsTheRest() {
    auto c = Control(10, 8, dsDraw);
    c->SetBmp(Solid(4, 3, kRed));
    QImage img = Render(*c);
    QCOMPARE(Count(img, Rgb(kRed), QRect(0, 0, 4, 3), true), 12);
    QCOMPARE(Count(img, kBackground.rgb(), QRect(0, 0, 4, 3), false), 80 - 12);

    c->SetBmp(Solid(30, 30, kGreen));  // larger than the control: no fill
    img = Render(*c);
    QCOMPARE(Count(img, Rgb(kGreen), img.rect(), true), 80);
  }

  void centreSmallerAndLargerPictures() {
    auto c = Control(10, 8, dsCenter);
    c->SetBmp(Solid(4, 3, kRed));
    QImage img = Render(*c);
    const QRect at(3, 2, 4, 3);  // (10 - 4) / 2, (8 - 3) / 2
    QCOMPARE(Count(img, Rgb(kRed), at, true), 12);
    QCOMPARE(Count(img, kBackground.rgb(), at, false), 80 - 12);

    // Larger: centred at (-1, -1) (truncated toward zero) and cropped.
    auto big = Control(4, 4, dsCenter);
    big->SetBmp(Numbered(7, 7));
    img = Render(*big);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) QCOMPARE(img.pixel(x, y), Rgb(big->Bmp().GetPixel(y + 1, x + 1)));
  }

  void tileRepeatsFromTheOrigin() {
    for (int bpp : {8, 24}) {
      auto c = Control(10, 7, dsTile);
      TFastDIB tile = Numbered(3, 2);
      if (bpp == 8) {
        TFastDIB indexed;
        indexed.SetSize(3, 2, 8, 0);
        for (int i = 0; i < 6; ++i) {
          const TColorBGR col = tile.GetPixel(i / 3, i % 3);
          indexed.Colors[i] = TRGBQuad{col.b, col.g, col.r, 0};
          indexed.Pixels8(i / 3)[i % 3] = uint8_t(i);
        }
        tile = std::move(indexed);
      }
      c->SetBmp(std::move(tile));
      const TFastDIB ref = Numbered(3, 2);
      const QImage img = Render(*c);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 10; ++x) QCOMPARE(img.pixel(x, y), Rgb(ref.GetPixel(y % 2, x % 3)));
    }
  }

  void stretchFillsTheControlInEveryMode() {
    for (TSizeMode mode : {smGDI, smFast, smBilinear}) {
      auto c = Control(10, 6, dsStretch, mode);
      TFastDIB pic = Solid(2, 1, kRed);
      pic.SetPixel(0, 1, kGreen);
      c->SetBmp(std::move(pic));
      const QImage img = Render(*c);
      QCOMPARE(img.pixel(0, 0), Rgb(kRed));
      QCOMPARE(img.pixel(0, 5), Rgb(kRed));
      // Bilinear: column 9 sits at 29484/32768 of the way from red to green.
      QCOMPARE(img.pixel(9, 5), mode == smBilinear ? qRgb(25, 229, 0) : Rgb(kGreen));
      QCOMPARE(Count(img, kUnpainted, img.rect(), true), 0);
      QCOMPARE(Count(img, kBackground.rgb(), img.rect(), true), 0);
      if (mode != smGDI) {
        QCOMPARE(c->SizedBmp().Width(), 10);
        QCOMPARE(c->SizedBmp().AbsHeight, 6);
        const uint8_t* kept = c->SizedBmp().Bits;
        Render(*c);
        QCOMPARE(c->SizedBmp().Bits, kept);  // same size: the work buffer is reused
      }
    }
  }

  void resizeKeepsProportionsWithBands() {
    for (TSizeMode mode : {smGDI, smFast, smBilinear}) {
      auto c = Control(100, 100, dsResize, mode);
      TFastDIB pic = Solid(200, 100, kRed);
      for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x) pic.SetPixel(y, x, kGreen);
      c->SetBmp(std::move(pic));
      const QImage img = Render(*c);
      const QRect target(0, 25, 100, 50);  // rx = 0.5 <= ry = 1
      QCOMPARE(Count(img, kBackground.rgb(), target, false), 100 * 100 - 100 * 50);
      QCOMPARE(img.pixel(10, 25), Rgb(kRed));
      QCOMPARE(img.pixel(10, 74), Rgb(kRed));
      QCOMPARE(img.pixel(90, 50), Rgb(kGreen));
      QCOMPARE(Count(img, kUnpainted, img.rect(), true), 0);
    }
    // Narrower: bands left and right, the offset 36.5 rounded to even.
    auto c = Control(100, 50, dsResize, smFast);
    c->SetBmp(Solid(27, 50, kRed));
    const QImage img = Render(*c);
    const QRect target(36, 0, 27, 50);
    QCOMPARE(Count(img, Rgb(kRed), target, true), 27 * 50);
    QCOMPARE(Count(img, kBackground.rgb(), target, false), 100 * 50 - 27 * 50);
  }

  void bilinearSixteenBitFallsBackToNearest() {
    // A 24-bit picture is blended between the two colours...
    auto blended = Control(8, 1, dsStretch, smBilinear);
    TFastDIB pic24 = Solid(2, 1, kRed);
    pic24.SetPixel(0, 1, kBlue);
    blended->SetBmp(std::move(pic24));
    QImage img = Render(*blended);
    QVERIFY(qRed(img.pixel(3, 0)) > 0 && qBlue(img.pixel(3, 0)) > 0);

    // ... a 16-bit one is resampled by nearest neighbour into a 16-bit buffer.
    auto c = Control(8, 1, dsStretch, smBilinear);
    TFastDIB pic16 = Solid(2, 1, kRed, 16);
    pic16.SetPixel(0, 1, kBlue);
    c->SetBmp(std::move(pic16));
    img = Render(*c);
    for (int x = 0; x < 8; ++x) QCOMPARE(img.pixel(x, 0), Rgb(x < 4 ? kRed : kBlue));
    QCOMPARE(c->SizedBmp().Bpp(), 16);
    QCOMPARE(c->SizedBmp().Width(), 8);

    // Four bits are below what the resamplers take: Qt stretches them.
    auto n = Control(8, 1, dsStretch, smBilinear);
    TFastDIB pic4;
    pic4.SetSize(2, 1, 4, 0);
    pic4.Colors[1] = TRGBQuad{0, 0, 255, 0};
    pic4.Colors[2] = TRGBQuad{255, 0, 0, 0};
    pic4.Bits[0] = 0x12;
    n->SetBmp(std::move(pic4));
    img = Render(*n);
    QCOMPARE(img.pixel(0, 0), Rgb(kRed));
    QCOMPARE(img.pixel(7, 0), Rgb(kBlue));
  }

  void collapsedTargetPaintsOnlyBackground() {
    for (TSizeMode mode : {smGDI, smFast, smBilinear}) {
      auto c = Control(100, 1, dsResize, mode);
      c->SetBmp(Solid(1, 1000, kRed));  // 0.001 columns wide: rounds to none
      const QImage img = Render(*c);
      QCOMPARE(Count(img, kBackground.rgb(), img.rect(), true), 100);
    }
  }

  void autoSizeFollowsThePicture() {
    QScrollArea area;
    auto* c = new TFastIMG;
    area.setWidget(c);
    c->SetDrawStyle(dsCenter);
    c->SetBmp(Solid(37, 21, kRed));
    QCOMPARE(c->size(), QSize(100, 100));  // AutoSize off
    c->SetAutoSize(true);
    QCOMPARE(c->size(), QSize(37, 21));
    c->Bmp().SetSize(50, 40, 24, 0);
    c->Changed();
    QCOMPARE(c->size(), QSize(50, 40));
    c->SetBmp(nullptr);  // an empty picture leaves the size alone
    QCOMPARE(c->size(), QSize(50, 40));
  }

  void sizeModeSizesTheWorkBuffer() {
    auto c = Control(30, 20, dsDraw);
    c->SetBmp(Solid(5, 5, kRed, 16));
    c->SetSizeMode(smFast);
    QCOMPARE(c->SizedBmp().Width(), 30);
    QCOMPARE(c->SizedBmp().AbsHeight, 20);
    QCOMPARE(c->SizedBmp().Bpp(), 16);
    c->SetSizeMode(smGDI);
    QCOMPARE(c->SizedBmp().Width(), 0);
  }

  void pictureLoadsAFileOrEmpties() {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("p.bmp"));
    {
      // A 2x1 24-bit BMP: bottom-up rows of blue, green, red bytes.
      const unsigned char file[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,   // file header
                                    40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,  // info header
                                    0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0,
                                    0, 0, 255, 0, 255, 0, 0, 0};  // red, green, padding
      std::ofstream out(name.toStdString(), std::ios::binary);
      out.write(reinterpret_cast<const char*>(file), sizeof file);
    }
    auto c = Control(2, 1, dsDraw);
    c->SetPicture(name);
    QCOMPARE(c->Picture(), QStringLiteral("(TFastDIB)"));
    QCOMPARE(c->Bmp().Width(), 2);
    QImage img = Render(*c);
    QCOMPARE(img.pixel(0, 0), Rgb(kRed));
    QCOMPARE(img.pixel(1, 0), Rgb(kGreen));

    c->SetSizeMode(smFast);
    c->SetPicture(dir.filePath(QStringLiteral("missing.bmp")));
    QCOMPARE(c->Picture(), QStringLiteral("(None)"));
    QCOMPARE(c->Bmp().Width(), 0);
    QCOMPARE(c->SizedBmp().Width(), 0);
    img = Render(*c);
    QCOMPARE(img.pixel(0, 0), kBackground.rgb());
  }

  void imageViewSharesThePixels() {
    struct Case { int bpp, format; };
    for (Case k : {Case{8, 0}, Case{16, 555}, Case{16, 565}, Case{24, 0}, Case{32, 0}}) {
      TFastDIB d;
      d.SetSize(5, 3, k.bpp, k.format);
      if (k.bpp == 8) {
        d.Colors[9] = TRGBQuad{0, 255, 0, 0};
        d.Pixels8(1)[2] = 9;
      } else {
        d.SetPixel(1, 2, kGreen);
      }
      if (k.bpp == 32) d.Pixels32(1)[2].a = 0;  // the unused byte as files leave it
      QVERIFY(DibImageIsView(d));
      const QImage view = DibImage(d);
      QCOMPARE(view.constBits(), static_cast<const uchar*>(d.Bits));
      QCOMPARE(int(view.bytesPerLine()), int(d.RowSize));
      QCOMPARE(view.size(), QSize(5, 3));
      // Drawn onto a screen-like surface, the pixel shows its own colour.
      QImage screen(5, 3, QImage::Format_RGB32);
      screen.fill(kUnpainted);
      QPainter p(&screen);
      Draw(d, p, 0, 0);
      p.end();
      QCOMPARE(screen.pixel(2, 1), Rgb(kGreen));
      QCOMPARE(screen.pixel(0, 0), qRgb(0, 0, 0));
    }
    TFastDIB odd;
    odd.SetSize(3, 3, 16, 444);
    odd.SetPixel(0, 0, kRed);
    QVERIFY(!DibImageIsView(odd));
    QCOMPARE(DibImage(odd).pixel(0, 0), qRgb(240, 0, 0));  // four bits of red
    QVERIFY(DibImage(TFastDIB()).isNull());
  }
};

QTEST_MAIN(TestFastIMG)
#include "tst_fastimg.moc"
