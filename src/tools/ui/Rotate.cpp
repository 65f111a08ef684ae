// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ui/Rotate.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShowEvent>

#include "image/ui/FastIMG.h"

namespace {
template <class T>
T* Named(T* w, const char* name, const QString& accessible) {
  w->setObjectName(name);
  w->setAccessibleName(accessible);
  return w;
}
}  // namespace

TfrmRotate::TfrmRotate(QWidget* parent) : QDialog(parent) {
  setObjectName("frmRotate");
  setWindowTitle("Rotation");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* grid = new QGridLayout(this);

  sAmount = Named(new QScrollBar(Qt::Horizontal, this), "sAmount", "Angle");
  sAmount->setRange(0, kAngleMax);
  sAmount->setPageStep(kAngleLargeStep);
  sAmount->setSingleStep(1);
  sAmount->setMinimumWidth(240);
  Label_degre = Named(new QLabel("0 °", this), "Label_degre", "Angle in degrees");
  grid->addWidget(new QLabel("Angle:", this), 0, 0);
  grid->addWidget(sAmount, 0, 1, 1, 3);
  grid->addWidget(Label_degre, 0, 4);

  btnCenter = Named(new QCheckBox("&Auto center", this), "btnCenter", "Auto center");
  btnCenter->setChecked(true);
  xCenter = Named(new QScrollBar(Qt::Horizontal, this), "xCenter", "Center x");
  yCenter = Named(new QScrollBar(Qt::Horizontal, this), "yCenter", "Center y");
  xCenter->setEnabled(false);
  yCenter->setEnabled(false);
  grid->addWidget(new QLabel("Center:", this), 1, 0);
  grid->addWidget(btnCenter, 1, 1, 1, 3);
  grid->addWidget(new QLabel("x", this), 2, 0, Qt::AlignRight);
  grid->addWidget(xCenter, 2, 1, 1, 3);
  grid->addWidget(new QLabel("y", this), 3, 0, Qt::AlignRight);
  grid->addWidget(yCenter, 3, 1, 1, 3);

  btnSize = Named(new QCheckBox("Auto sizing", this), "btnSize", "Auto sizing");
  eWidth = Named(new QLineEdit(this), "eWidth", "Width");
  eHeight = Named(new QLineEdit(this), "eHeight", "Height");
  // Digits only; the number is brought to 0..32767 when it is used.
  for (QLineEdit* e : {eWidth, eHeight})
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), e));
  grid->addWidget(btnSize, 4, 1, 1, 3);
  grid->addWidget(new QLabel("Width:", this), 5, 0);
  grid->addWidget(eWidth, 5, 1);
  grid->addWidget(new QLabel("Height:", this), 5, 2);
  grid->addWidget(eHeight, 5, 3);

  connect(sAmount, &QScrollBar::valueChanged, this, &TfrmRotate::ControlChanged);
  connect(xCenter, &QScrollBar::valueChanged, this, &TfrmRotate::ControlChanged);
  connect(yCenter, &QScrollBar::valueChanged, this, &TfrmRotate::ControlChanged);
  connect(eWidth, &QLineEdit::textChanged, this, &TfrmRotate::ControlChanged);
  connect(eHeight, &QLineEdit::textChanged, this, &TfrmRotate::ControlChanged);
  connect(btnSize, &QCheckBox::clicked, this, [this] {
    eWidth->setEnabled(!btnSize->isChecked());
    eHeight->setEnabled(!btnSize->isChecked());
    ControlChanged();
  });
  connect(btnCenter, &QCheckBox::clicked, this, [this] {
    xCenter->setEnabled(!btnCenter->isChecked());
    yCenter->setEnabled(!btnCenter->isChecked());
    ControlChanged();
  });
}

void TfrmRotate::ShowState() {
  Updating_ = true;
  sAmount->setValue(State.AnglePosition);
  xCenter->setMaximum(State.XMax);
  yCenter->setMaximum(State.YMax);
  xCenter->setValue(State.XCenter);
  yCenter->setValue(State.YCenter);
  if (eWidth->text().toStdString() != State.WidthText) eWidth->setText(QString::fromStdString(State.WidthText));
  if (eHeight->text().toStdString() != State.HeightText) eHeight->setText(QString::fromStdString(State.HeightText));
  Label_degre->setText(QString::fromStdString(State.Label()));
  Updating_ = false;
}

void TfrmRotate::ControlChanged() {
  if (Updating_) return;
  State.AnglePosition = sAmount->value();
  State.AutoCenter = btnCenter->isChecked();
  State.AutoSize = btnSize->isChecked();
  State.XCenter = xCenter->value();
  State.YCenter = yCenter->value();
  State.WidthText = eWidth->text().toStdString();
  State.HeightText = eHeight->text().toStdString();
  Recompute();
}

void TfrmRotate::Recompute() {
  if (!Target_) return;
  State.Recompute(Target_->Bmp());
  ShowState();
  Target_->repaint();
}

void TfrmRotate::FormShow() {
  if (!Target_) return;
  State.Open(Target_->Bmp());
  ShowState();
  ControlChanged();
}

void TfrmRotate::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmRotate::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  State.Open(TFastDIB());  // the copy goes; the target keeps the turned picture
}
