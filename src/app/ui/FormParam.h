// SPDX-License-Identifier: GPL-3.0-or-later
// TFormParam: the "Parameters" dialog. Filled from ParamGlob when created; OK
// writes what it shows into ParamSaisie (the caller then takes it into
// ParamGlob and writes the file); Cancel writes nothing.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

#include "app/ParamGlob.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TParamUpDown;

class TFormParam : public QDialog {
  Q_OBJECT
 public:
  explicit TFormParam(QWidget* parent = nullptr);

  // --- Handlers -----------------------------------------------------------------
  void cd_tolerance_autoClick();
  void Radio_BMPClick();
  void Radio_FITSClick();
  void BitBtn1Click();
  void BtnParamFitsClick();
  void BtOkClick();

  // The directory browser: gets the current text of rep_sauve, returns the
  // chosen directory or an empty string when the user cancels. Tests replace it.
  std::function<QString(const QString& start)> BrowseDirectory;

  // The dialog's own copy of the FITS parameters.
  TParamFITS FitsParams;

  // --- Controls (objectName = the member's name) ---------------------------------
  QTabWidget* PageControl1 = nullptr;
  // Page "Frame"
  QLabel* LabelBordure = nullptr;
  QLineEdit* EditBordure = nullptr;
  TParamUpDown* UpDownBordure = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* Edit_Tolerance = nullptr;
  TParamUpDown* UpDownTolerance = nullptr;
  QCheckBox* cd_tolerance_auto = nullptr;
  QCheckBox* cdauto_rapport = nullptr;
  // memoire_copies_mo: the lowest position (kMemoireAuto) reads "Automatic".
  QLabel* LabelMemoire = nullptr;
  QSpinBox* SpinMemoire = nullptr;
  QRadioButton* Radio_CalculSurface = nullptr;
  QGroupBox* GroupCalcul = nullptr;
  QRadioButton* Radio_CalculSimple = nullptr;
  QRadioButton* Radio_CalculComplexe = nullptr;
  // Page "Combinaison"
  QGroupBox* GroupKappa = nullptr;
  QLabel* LabelKappa = nullptr;
  QLineEdit* Edit_kappa = nullptr;
  TParamUpDown* UpDownKappa = nullptr;
  QCheckBox* CheckBox_kappamoyenne = nullptr;
  QLabel* LabelKappaNote = nullptr;
  QCheckBox* CheckBox_texte_compositage = nullptr;
  QCheckBox* CheckBox_subpixel = nullptr;  // frames aligned to a fraction of a pixel
  // Page "Sauvegarde"
  QGroupBox* GroupRepertoire = nullptr;
  QLabel* LabelRepertoire = nullptr;
  QLineEdit* rep_sauve = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QCheckBox* CheckBox_Numerotation = nullptr;
  QGroupBox* GroupFormat = nullptr;
  QRadioButton* Radio_BMP = nullptr;
  QRadioButton* Radio_FITS = nullptr;
  QPushButton* BtnParamFits = nullptr;
  // Buttons
  QPushButton* BtOk = nullptr;
  QPushButton* BtCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildFramePage();
  void BuildCombinePage();
  void BuildSavePage();
  void FormCreate();
  bool Centred_ = false;
};
