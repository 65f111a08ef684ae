// SPDX-License-Identifier: GPL-3.0-or-later
// TParamLot: the "Batch saving" dialog. It only maps its controls to the
// batch choices (TLotParams); the saving rules are in output/Saving.h.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

#include "app/Saving.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TParamLot : public QDialog {
  Q_OBJECT
 public:
  explicit TParamLot(QWidget* parent = nullptr);

  // Fills the prefix, the directory and the start number (shown in decimal).
  void Fill(const std::string& directory, const std::string& prefix, int32_t startNumber);
  // The choices as the controls hold them, prefix and directory as typed.
  TLotParams Params() const;

  // "Inside of frame" is enabled exactly while "Images ayant un cadre" is chosen.
  void RadioButtonClick();
  // The ". . ." button: a confirmed directory replaces the text of RepEdit.
  void ChgRepertoireClick();
  // The directory browser: (title, initial directory) -> chosen directory,
  // empty when cancelled. Tests replace it.
  std::function<QString(const QString& title, const QString& start)> BrowseDirectory;

  QGroupBox* RadioGroup1 = nullptr;    // "Selected images"
  QRadioButton* RadioButton1 = nullptr;  // "All images"
  QRadioButton* RadioButton2 = nullptr;  // "Selected images"
  QRadioButton* RadioButton3 = nullptr;  // "Images ayant un cadre"
  QCheckBox* CheckBox1 = nullptr;        // "Inside of frame"
  QGroupBox* GroupBox1 = nullptr;        // "created files"
  QLineEdit* NomEdit = nullptr;          // prefix
  QLineEdit* RepEdit = nullptr;          // directory
  QPushButton* ChgRepertoire = nullptr;  // ". . ."
  QGroupBox* GroupBox2 = nullptr;        // "sequence :"
  QLabel* no_seq = nullptr;              // start number
  QPushButton* BitBtn1 = nullptr;        // OK
  QPushButton* BitBtn2 = nullptr;        // Cancel
};
