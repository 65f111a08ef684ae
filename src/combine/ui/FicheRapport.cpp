// SPDX-License-Identifier: GPL-3.0-or-later
#include "combine/ui/FicheRapport.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

TFicheRapport::TFicheRapport(QWidget* parent) : QDialog(parent) {
  setObjectName("FicheRapport");
  // A fixed dialog with only the system menu (and its close box) in the title bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  le_texte = new QLabel(this);
  le_texte->setObjectName("le_texte");
  le_texte->setGeometry(8, 12, kFixedWidth - 16, 20);

  btDetail = new QPushButton("<<< Detail", this);
  btDetail->setAccessibleName(QStringLiteral("Detail"));
  btDetail->setObjectName("btDetail");
  btDetail->setGeometry(8, 56, 90, 25);
  connect(btDetail, &QPushButton::clicked, this, &TFicheRapport::btDetailClick);

  BtOK = new QPushButton("OK", this);
  BtOK->setAccessibleName(QStringLiteral("OK"));
  BtOK->setObjectName("BtOK");
  BtOK->setGeometry(kFixedWidth - 8 - 75, 56, 75, 25);
  BtOK->setDefault(true);
  connect(BtOK, &QPushButton::clicked, this, &QDialog::accept);

  ListView1 = new QTreeWidget(this);
  ListView1->setAccessibleName(QStringLiteral("Images not framed"));
  ListView1->setObjectName("ListView1");
  ListView1->setRootIsDecorated(false);
  ListView1->setColumnCount(2);
  ListView1->setHeaderLabels({"Image", "Error"});
  ListView1->header()->setStretchLastSection(true);
  ListView1->setColumnWidth(0, 80);
  // Below the short height, so that the short window shows no part of it.
  ListView1->setGeometry(8, kShortHeight, kFixedWidth - 16, kFullHeight - kShortHeight - 8);

  SetHeight(kFullHeight);
  // Centred on the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kFixedWidth / 2, kFullHeight / 2));
  }
}

void TFicheRapport::SetHeight(int height) { setFixedSize(kFixedWidth, height); }

void TFicheRapport::BeginUpdate() { ListView1->setUpdatesEnabled(false); }

void TFicheRapport::EndUpdate() { ListView1->setUpdatesEnabled(true); }

void TFicheRapport::AddRow(const QString& image, const QString& error) {
  new QTreeWidgetItem(ListView1, QStringList{image, error});
}

void TFicheRapport::AddRow(const TProblemRow& row) {
  AddRow(QString::fromStdString(row.Image), QString::fromStdString(row.Error));
}

void TFicheRapport::AddRows(const std::vector<TProblemRow>& rows) {
  for (const TProblemRow& r : rows) AddRow(r);
}

int TFicheRapport::RowCount() const { return ListView1->topLevelItemCount(); }

void TFicheRapport::SetupReport(const QString& caption, const QString& text) {
  setWindowTitle(caption);
  le_texte->setText(text);
  if (RowCount() == 0) {
    btDetail->setVisible(false);
    SetHeight(kShortHeight);
  } else {
    btDetail->setVisible(true);
    btDetail->setText("<<< Detail");
    SetHeight(kFullHeight);
  }
  // Asked of the widget itself, so that it holds before the window is shown.
  DetailShown = !btDetail->isHidden();
}

void TFicheRapport::btDetailClick() {
  if (DetailShown) {
    SetHeight(kShortHeight);
    btDetail->setText("Detail >>>");
  } else {
    SetHeight(kFullHeight);
    btDetail->setText("<<< Detail");
  }
  DetailShown = !DetailShown;
}
