// SPDX-License-Identifier: GPL-3.0-or-later
// TParamKappa: "Kappa-Sigma parameters ...", the kappa dialog asked before
// each kappa-sigma combination. The spin UpDown1 (1 to 10) is attached to the
// edit Edit_k, which takes only digits, Backspace and Escape.
#pragma once

#include <QDialog>
#include <QSpinBox>

class QLabel;
class QLineEdit;
class QPushButton;

// The spin with its edit reachable as Edit_k.
class TKappaSpin : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;
  using QSpinBox::lineEdit;
};

class TParamKappa : public QDialog {
  Q_OBJECT
 public:
  explicit TParamKappa(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;      // "Elimination factor :"
  TKappaSpin* UpDown1 = nullptr; // 1 to 10, no wrapping
  QLineEdit* Edit_k = nullptr;   // the spin's edit
  QPushButton* BtnOk = nullptr;
  QPushButton* BtnCancel = nullptr;

  // Whether Edit_kKeyPress lets the character through.
  static bool Edit_kKeyPress(QChar key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
