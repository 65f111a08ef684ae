// SPDX-License-Identifier: GPL-3.0-or-later
// TFastIMG: the control that shows a TFastDIB.
//
// The control owns two buffers for its whole life: Bmp, the picture shown,
// and SizedBmp, the work buffer that holds the picture resampled to the size
// it is drawn at (kept between paints while that size does not change). How
// the picture is placed is the DrawStyle; how it is scaled, where a style
// scales, is the SizeMode. Whatever the picture does not cover is filled with
// the control's background (Color). Widget coordinates, y downwards.
//
// Windows that fill Bmp directly call Changed() (or update()) afterwards.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <iosfwd>
#include <memory>

#include "image/FastDIB.h"

enum TDrawStyle { dsDraw, dsStretch, dsResize, dsTile, dsCenter };
enum TSizeMode { smGDI, smFast, smBilinear };

class TFastIMG : public QWidget {
  Q_OBJECT

 public:
  explicit TFastIMG(QWidget* parent = nullptr);  // 100 x 100, dsDraw, smGDI, no picture
  ~TFastIMG() override;

  TFastDIB& Bmp() { return *Bmp_; }
  const TFastDIB& Bmp() const { return *Bmp_; }
  TFastDIB& SizedBmp() { return *SizedBmp_; }
  const TFastDIB& SizedBmp() const { return *SizedBmp_; }

  // Replaces the picture (the control takes ownership; null means an empty
  // picture), applies AutoSize and repaints.
  void SetBmp(std::unique_ptr<TFastDIB> picture);
  void SetBmp(TFastDIB&& picture);
  // Loads a BMP file image from the stream into Bmp, applies AutoSize and
  // repaints. Returns whether a picture was read (otherwise Bmp is unchanged).
  bool LoadFromStream(std::istream& stream);
  // After Bmp was changed in place: applies AutoSize and repaints.
  void Changed();

  // "(None)" or "(TFastDIB)". Setting a name loads that file when it exists;
  // otherwise the control is emptied.
  QString Picture() const { return Picture_; }
  void SetPicture(const QString& fileName);

  bool AutoSize() const { return AutoSize_; }
  void SetAutoSize(bool on);  // when on, the control takes the picture's size

  TSizeMode SizeMode() const { return SizeMode_; }
  void SetSizeMode(TSizeMode mode);

  TDrawStyle DrawStyle() const { return DrawStyle_; }
  void SetDrawStyle(TDrawStyle style);

  // The background brush colour (the palette's window colour).
  QColor Color() const;
  void SetColor(const QColor& color);

  QSize sizeHint() const override;
  // Where the picture is drawn in the control now (its pixels fill this
  // rectangle, scaled when the sizes differ).
  QRect PictureRect() const {
    bool scaled = false;
    return Target(scaled);
  }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ApplyAutoSize();
  // Where the picture goes in the client area, and whether it is scaled there.
  QRect Target(bool& scaled) const;
  void DrawScaled(QPainter& painter, const QRect& target);

  std::unique_ptr<TFastDIB> Bmp_;
  std::unique_ptr<TFastDIB> SizedBmp_;
  TDrawStyle DrawStyle_ = dsDraw;
  TSizeMode SizeMode_ = smGDI;
  bool AutoSize_ = false;
  QString Picture_ = QStringLiteral("(None)");
};
