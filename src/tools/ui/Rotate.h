// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmRotate: "Rotation", the rotation dialog of the result window. Turns its
// target's picture in place with a live preview; closing the window keeps
// what it shows. The rules are TRotationState's (tools/Rotation.h).
#pragma once

#include <QDialog>

#include "tools/Rotation.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class TFastIMG;

class TfrmRotate : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmRotate(QWidget* parent = nullptr);

  void SetTarget(TFastIMG* target) { Target_ = target; }

  TRotationState State;

  QScrollBar* sAmount = nullptr;   // "Angle:", tenths of a degree
  QLabel* Label_degre = nullptr;
  QCheckBox* btnCenter = nullptr;  // "&Auto center"
  QScrollBar* xCenter = nullptr;
  QScrollBar* yCenter = nullptr;
  QCheckBox* btnSize = nullptr;    // "Auto sizing"
  QLineEdit* eWidth = nullptr;
  QLineEdit* eHeight = nullptr;

  void FormShow();
  void Recompute();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ControlChanged();
  void ShowState();
  TFastIMG* Target_ = nullptr;
  bool Updating_ = false;
};
