// SPDX-License-Identifier: GPL-3.0-or-later
// TFormParamFits: "Parameters for saving FITS". Edits the global ParamFits:
// filled from it when created, written back only by OK.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TFormParamFits : public QDialog {
  Q_OBJECT
 public:
  explicit TFormParamFits(QWidget* parent = nullptr);

  void BtnOKClick();

  QTabWidget* PageControl1 = nullptr;
  QGroupBox* GroupFormat = nullptr;  // "Type de format"
  QRadioButton* Radio_8bits = nullptr;
  QRadioButton* Radio_16bits = nullptr;
  QGroupBox* GroupColor = nullptr;   // "Color conversion"
  QRadioButton* Radio_MoyRVB = nullptr;
  QRadioButton* Radio_SepRVB = nullptr;
  // Combined results unrounded: floats with 8 bits, 0..65535 with 16 bits.
  QCheckBox* Check_PleineProfondeur = nullptr;
  QLineEdit* Edit_Objet = nullptr;
  QLineEdit* Edit_telescope = nullptr;
  QLineEdit* Edit_instrument = nullptr;
  QLineEdit* Edit_observateur = nullptr;
  QLineEdit* Edit_Commentaire = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnAnnuler = nullptr;

 private:
  void FormCreate();
};
