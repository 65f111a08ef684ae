// SPDX-License-Identifier: GPL-3.0-or-later
#include "combine/ui/FormRapport.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTextBlock>
#include <QVBoxLayout>

TFormRapport::TFormRapport(QWidget* parent) : QDialog(parent) {
  setObjectName("FormRapport");
  // A sizeable tool window.
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setAccessibleName(QStringLiteral("Report"));
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  layout->addWidget(Memo1, 1);

  // Raised inner and lowered outer bevel.
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(kPanelHeight);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(1);
  layout->addWidget(Panel1, 0);

  BtOK = new QPushButton("OK", Panel1);
  BtOK->setAccessibleName(QStringLiteral("OK"));
  BtOK->setObjectName("BtOK");
  BtOK->setGeometry(0, 6, 75, 25);
  BtOK->setDefault(true);
  connect(BtOK, &QPushButton::clicked, this, &QDialog::accept);

  resize(kInitialWidth, kInitialHeight);
  FormResize();
}

void TFormRapport::SetLines(const std::vector<std::string>& lines) {
  Memo1->clear();
  for (const std::string& line : lines) Memo1->appendPlainText(QString::fromStdString(line));
}

std::vector<std::string> TFormRapport::Lines() const {
  std::vector<std::string> out;
  const QTextDocument* doc = Memo1->document();
  if (doc->isEmpty()) return out;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) out.push_back(b.text().toStdString());
  return out;
}

void TFormRapport::FormResize() {
  // The panel spans the whole width of the window (the layout has no margins);
  // the window's own width holds even before the layout has run.
  const int panelWidth = width();
  BtOK->move(panelWidth - 5 - BtOK->width(), BtOK->y());
}

void TFormRapport::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}
