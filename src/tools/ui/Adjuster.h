// SPDX-License-Identifier: GPL-3.0-or-later
// TAdjuster: "Image Attributes", the colour adjuster of the result window.
// Edits its target's picture in place with a live preview; closing the window
// keeps what it shows. The rules are TAdjusterState's (tools/Adjuster.h).
#pragma once

#include <QDialog>

#include <array>

#include "tools/Adjuster.h"

class QCheckBox;
class QPushButton;
class QScrollBar;
class TFastIMG;

class TAdjuster : public QDialog {
  Q_OBJECT
 public:
  explicit TAdjuster(QWidget* parent = nullptr);

  // The display control whose picture is edited; set before showing.
  void SetTarget(TFastIMG* target) { Target_ = target; }

  TAdjusterState State;

  QScrollBar *rContrast, *gContrast, *bContrast;
  QScrollBar *rLightness, *gLightness, *bLightness;
  QScrollBar *rAddition, *gAddition, *bAddition;
  QScrollBar *rGamma, *gGamma, *bGamma;
  QScrollBar* aSaturation = nullptr;
  QCheckBox* Lock = nullptr;         // "&Fixed RGB"
  QPushButton* btnReset = nullptr;   // "&Zero"

  QScrollBar* Bar(TAdjustRow row, TChannel channel) const;

  void FormShow();      // reset, copy of the target
  void btnResetClick();
  // Copy back, effects, repaint. Returns the path taken.
  TAdjustPath Recompute();
  TAdjustPath LastPath() const { return LastPath_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BarMoved(TAdjustRow row, TChannel channel, int position);
  void ShowPositions();
  TFastIMG* Target_ = nullptr;
  std::array<std::array<QScrollBar*, 3>, 4> Bars_{};
  bool Updating_ = false;
  TAdjustPath LastPath_ = TAdjustPath::CopyOnly;
};
