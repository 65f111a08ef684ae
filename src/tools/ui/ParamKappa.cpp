// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ui/ParamKappa.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tools/CombineCommand.h"

TParamKappa::TParamKappa(QWidget* parent) : QDialog(parent) {
  setObjectName("ParamKappa");
  setWindowTitle("Kappa-Sigma parameters ...");
  // A fixed dialog without title-bar buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  Label1 = new QLabel("Elimination factor :", this);
  Label1->setObjectName("Label1");
  UpDown1 = new TKappaSpin(this);
  UpDown1->setObjectName("UpDown1");
  UpDown1->setAccessibleName("Elimination factor");
  UpDown1->setRange(kKappaSpinMin, kKappaSpinMax);
  UpDown1->setWrapping(false);
  UpDown1->setValue(1);
  Edit_k = UpDown1->lineEdit();
  Edit_k->setObjectName("Edit_k");
  Edit_k->setAccessibleName("Elimination factor");
  Edit_k->installEventFilter(this);
  Label1->setBuddy(UpDown1);

  BtnOk = new QPushButton("OK", this);
  BtnOk->setObjectName("BtnOk");
  BtnOk->setAccessibleName("OK");
  BtnOk->setDefault(true);
  BtnCancel = new QPushButton("Cancel", this);
  BtnCancel->setObjectName("BtnCancel");
  BtnCancel->setAccessibleName("Cancel");
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(Label1);
  row->addWidget(UpDown1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addLayout(buttons);
  setFixedSize(sizeHint());
}

bool TParamKappa::Edit_kKeyPress(QChar key) { return KappaKeyAccepted(key.unicode()); }

bool TParamKappa::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit_k && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Keys that type no character (arrows, Enter, Tab...) keep their work.
    const QString text = key->text();
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Escape) return false;
    if (!text.isEmpty() && text.at(0).isPrint() && !Edit_kKeyPress(text.at(0))) return true;
  }
  return QDialog::eventFilter(watched, event);
}
