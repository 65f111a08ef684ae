// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/ParamLot.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
template <class T>
T* Named(T* w, const char* name, const QString& accessible) {
  w->setObjectName(QString::fromLatin1(name));
  w->setAccessibleName(accessible);
  return w;
}
}  // namespace

TParamLot::TParamLot(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("ParamLot"));
  setWindowTitle(QStringLiteral("Batch saving"));
  setModal(true);

  RadioGroup1 = Named(new QGroupBox(QStringLiteral("Selected images"), this), "RadioGroup1", "Images to save");
  RadioButton1 = Named(new QRadioButton(QStringLiteral("All images"), RadioGroup1), "RadioButton1", "All images");
  RadioButton2 =
      Named(new QRadioButton(QStringLiteral("Selected images"), RadioGroup1), "RadioButton2", "Selected images");
  RadioButton3 = Named(new QRadioButton(QStringLiteral("Images ayant un cadre"), RadioGroup1), "RadioButton3",
                       "Images ayant un cadre");
  CheckBox1 = Named(new QCheckBox(QStringLiteral("Inside of frame"), RadioGroup1), "CheckBox1", "Inside of frame");
  auto* choices = new QVBoxLayout(RadioGroup1);
  choices->addWidget(RadioButton1);
  choices->addWidget(RadioButton2);
  choices->addWidget(RadioButton3);
  auto* inside = new QHBoxLayout;
  inside->addSpacing(20);
  inside->addWidget(CheckBox1);
  choices->addLayout(inside);

  GroupBox1 = Named(new QGroupBox(QStringLiteral("created files"), this), "GroupBox1", "created files");
  NomEdit = Named(new QLineEdit(GroupBox1), "NomEdit", "Prefix");
  RepEdit = Named(new QLineEdit(GroupBox1), "RepEdit", "Directory");
  RepEdit->setMinimumWidth(260);
  ChgRepertoire = Named(new QPushButton(QStringLiteral(". . ."), GroupBox1), "ChgRepertoire", "Choose a directory");
  auto* nomLabel = new QLabel(QStringLiteral("&Préfix : "), GroupBox1);
  nomLabel->setBuddy(NomEdit);
  auto* repLabel = new QLabel(QStringLiteral("Directory :"), GroupBox1);
  repLabel->setBuddy(RepEdit);
  auto* files = new QGridLayout(GroupBox1);
  files->addWidget(nomLabel, 0, 0);
  files->addWidget(NomEdit, 0, 1, 1, 2);
  files->addWidget(repLabel, 1, 0);
  files->addWidget(RepEdit, 1, 1);
  files->addWidget(ChgRepertoire, 1, 2);

  GroupBox2 = Named(new QGroupBox(QStringLiteral("sequence :"), this), "GroupBox2", "sequence :");
  no_seq = Named(new QLabel(GroupBox2), "no_seq", "Start number");
  auto* seq = new QHBoxLayout(GroupBox2);
  seq->addWidget(new QLabel(QStringLiteral("Start :"), GroupBox2));
  seq->addWidget(no_seq, 1);

  BitBtn1 = Named(new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this),
                  "BitBtn1", "OK");
  BitBtn1->setDefault(true);
  BitBtn2 = Named(
      new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this),
      "BitBtn2", "Cancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RadioGroup1);
  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3})
    connect(r, &QRadioButton::toggled, this, &TParamLot::RadioButtonClick);  // also when set by assistive tools
  connect(ChgRepertoire, &QPushButton::clicked, this, &TParamLot::ChgRepertoireClick);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  BrowseDirectory = [this](const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(this, title, start, QFileDialog::ShowDirsOnly);
  };

  RadioButton1->setChecked(true);
  CheckBox1->setChecked(false);
  RadioButtonClick();
}

void TParamLot::Fill(const std::string& directory, const std::string& prefix, int32_t startNumber) {
  RepEdit->setText(QString::fromStdString(directory));
  NomEdit->setText(QString::fromStdString(prefix));
  no_seq->setText(QString::number(startNumber));
}

TLotParams TParamLot::Params() const {
  TLotParams p;
  p.Directory = RepEdit->text().toStdString();
  p.Prefix = NomEdit->text().toStdString();
  p.AllImages = RadioButton1->isChecked();
  p.SelectedImages = RadioButton2->isChecked();
  p.FramedImages = RadioButton3->isChecked();
  p.InsideFrame = CheckBox1->isChecked();
  return p;
}

void TParamLot::RadioButtonClick() { CheckBox1->setEnabled(RadioButton3->isChecked()); }

void TParamLot::ChgRepertoireClick() {
  if (!BrowseDirectory) return;
  const QString dir =
      BrowseDirectory(QStringLiteral("Choose a directy for saving files"), QCoreApplication::applicationDirPath());
  if (!dir.isEmpty()) RepEdit->setText(dir);
}
