// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/ui/FastIMG.h"

#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <cmath>
#include <cstring>
#include <fstream>

#include "image/Resample.h"
#include "image/ui/FastDIBDraw.h"

TFastIMG::TFastIMG(QWidget* parent)
    : QWidget(parent), Bmp_(std::make_unique<TFastDIB>()), SizedBmp_(std::make_unique<TFastDIB>()) {
  // Every paint covers the whole client area itself (picture or brush).
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
}

TFastIMG::~TFastIMG() {
  Bmp_->SetSize(0, 0, 0, 0);
  SizedBmp_->SetSize(0, 0, 0, 0);
}

void TFastIMG::SetBmp(std::unique_ptr<TFastDIB> picture) {
  Bmp_ = picture ? std::move(picture) : std::make_unique<TFastDIB>();
  Changed();
}

void TFastIMG::SetBmp(TFastDIB&& picture) { SetBmp(std::make_unique<TFastDIB>(std::move(picture))); }

bool TFastIMG::LoadFromStream(std::istream& stream) {
  const bool loaded = Bmp_->LoadFromStream(stream);
  Changed();
  return loaded;
}

void TFastIMG::Changed() {
  ApplyAutoSize();
  update();
}

void TFastIMG::SetPicture(const QString& fileName) {
  const QFileInfo info(fileName);
  std::ifstream file;
  if (info.isFile()) file.open(info.filePath().toStdString(), std::ios::binary);
  if (file.is_open()) {
    Picture_ = QStringLiteral("(TFastDIB)");
    LoadFromStream(file);
  } else {
    Picture_ = QStringLiteral("(None)");
    Bmp_->SetSize(0, 0, 0, 0);
    SizedBmp_->SetSize(0, 0, 0, 0);
  }
  update();
}

void TFastIMG::SetAutoSize(bool on) {
  AutoSize_ = on;
  ApplyAutoSize();
}

void TFastIMG::ApplyAutoSize() {
  if (!AutoSize_ || Bmp_->Width() < 1 || Bmp_->AbsHeight < 1) return;
  setGeometry(x(), y(), Bmp_->Width(), Bmp_->AbsHeight);
  updateGeometry();
}

void TFastIMG::SetSizeMode(TSizeMode mode) {
  SizeMode_ = mode;
  if (mode == smFast || mode == smBilinear)
    SizedBmp_->SetSize(width(), height(), Bmp_->Bpp(), Bmp_->BitFormat);
  else
    SizedBmp_->SetSize(0, 0, 0, 0);
  update();
}

void TFastIMG::SetDrawStyle(TDrawStyle style) {
  DrawStyle_ = style;
  update();
}

QColor TFastIMG::Color() const { return palette().color(backgroundRole()); }

void TFastIMG::SetColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(backgroundRole(), color);
  setPalette(p);
  update();
}

QSize TFastIMG::sizeHint() const {
  if (AutoSize_ && Bmp_->Width() >= 1 && Bmp_->AbsHeight >= 1) return {Bmp_->Width(), Bmp_->AbsHeight};
  return {100, 100};
}

QRect TFastIMG::Target(bool& scaled) const {
  const int W = width(), H = height(), w = Bmp_->Width(), h = Bmp_->AbsHeight;
  scaled = false;
  switch (DrawStyle_) {
    case dsCenter:
      // Truncating division: a larger picture is centred and cropped.
      return {(W - w) / 2, (H - h) / 2, w, h};
    case dsStretch:
      if (w == W && h == H) return {0, 0, w, h};
      scaled = true;
      return {0, 0, W, H};
    case dsResize: {
      if (w == W && h == H) return {0, 0, w, h};
      scaled = true;
      // Proportions kept, in single precision; rounding to nearest, halves to even.
      const float rx = float(W) / float(w), ry = float(H) / float(h);
      if (rx <= ry) {
        const float th = float(h) * rx;
        return {0, int(std::nearbyint((float(H) - th) / 2)), W, int(std::nearbyint(th))};
      }
      const float tw = float(w) * ry;
      return {int(std::nearbyint((float(W) - tw) / 2)), 0, int(std::nearbyint(tw)), H};
    }
    case dsDraw:
    case dsTile:
    default:
      return {0, 0, w, h};
  }
}

void TFastIMG::DrawScaled(QPainter& painter, const QRect& target) {
  const TFastDIB& b = *Bmp_;
  if (target.width() < 1 || target.height() < 1) return;  // nothing to resample into
  if (SizeMode_ != smGDI && b.Bpp() >= 8) {
    SizedBmp_->SetSize(target.width(), target.height(), b.Bpp(), b.BitFormat);  // kept when unchanged
    if (b.Bpp() <= 8) std::memcpy(SizedBmp_->Colors, b.Colors, sizeof(TRGBQuad) * 256);
    if (SizeMode_ == smBilinear && b.Bpp() != 16)
      ResizeBilinear(b, *SizedBmp_);
    else
      ResizeNearest(b, *SizedBmp_);
    if (SizedBmp_->Bits) {
      Draw(*SizedBmp_, painter, target.x(), target.y());
      return;
    }
    // A work buffer the size of the target could not be had: let Qt scale.
  }
  StretchDraw(b, painter, target.x(), target.y(), target.width(), target.height());
}

void TFastIMG::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QBrush brush = palette().brush(backgroundRole());
  const TFastDIB& b = *Bmp_;
  if (!b.Bits || b.Width() < 1 || b.AbsHeight < 1) {
    painter.fillRect(event->rect(), brush);
    return;
  }
  if (DrawStyle_ == dsTile) {
    TileDraw(b, painter, 0, 0, width(), height());
    return;
  }
  bool scaled = false;
  const QRect target = Target(scaled);
  // The background covers whatever the picture will not (none of it when the
  // picture covers the whole client area).
  const QRegion uncovered = QRegion(rect()).subtracted(QRegion(target)) & event->region();
  for (const QRect& r : uncovered) painter.fillRect(r, brush);
  if (scaled)
    DrawScaled(painter, target);
  else
    Draw(b, painter, target.x(), target.y());
}
