// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/FormParamFits.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>

#include "app/ParamGlob.h"

namespace {
QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption) {
  auto* r = new QRadioButton(caption, parent);
  r->setObjectName(name);
  return r;
}

QLineEdit* TextEdit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  // Any text of any length; the FITS writer decides how much reaches a card.
  e->setMaxLength(std::numeric_limits<int>::max());
  e->setMinimumWidth(240);
  return e;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }
}  // namespace

TFormParamFits::TFormParamFits(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("FormParamFits");
  setWindowTitle(QStringLiteral("Parameters for saving FITS"));
  setModal(true);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");

  // Page "Type of saving": two groups of exclusive choices.
  auto* typePage = new QWidget;
  typePage->setObjectName("TabType");
  GroupFormat = new QGroupBox(QStringLiteral("Type de format"), typePage);
  GroupFormat->setObjectName("GroupFormat");
  Radio_8bits = Radio(GroupFormat, "Radio_8bits", QStringLiteral("8 bits type"));
  Radio_16bits = Radio(GroupFormat, "Radio_16bits", QStringLiteral("16 bits type"));
  auto* formatLayout = new QVBoxLayout(GroupFormat);
  formatLayout->addWidget(Radio_8bits);
  formatLayout->addWidget(Radio_16bits);
  GroupColor = new QGroupBox(QStringLiteral("Color conversion"), typePage);
  GroupColor->setObjectName("GroupColor");
  Radio_MoyRVB = Radio(GroupColor, "Radio_MoyRVB", QStringLiteral("RGB mean"));
  Radio_SepRVB = Radio(GroupColor, "Radio_SepRVB", QStringLiteral("RGB layer separation"));
  auto* colorLayout = new QVBoxLayout(GroupColor);
  colorLayout->addWidget(Radio_MoyRVB);
  colorLayout->addWidget(Radio_SepRVB);
  auto* typeLayout = new QVBoxLayout(typePage);
  typeLayout->addWidget(GroupFormat);
  typeLayout->addWidget(GroupColor);
  Check_PleineProfondeur = new QCheckBox(QStringLiteral("Full depth for combined images (32-bit float, or 0..65535 with 16 bits)"), typePage);
  Check_PleineProfondeur->setObjectName("Check_PleineProfondeur");
  typeLayout->addWidget(Check_PleineProfondeur);
  typeLayout->addStretch();
  PageControl1->addTab(typePage, QStringLiteral("Type of saving"));

  // Page "Default description": the texts of the header cards.
  auto* descPage = new QWidget;
  descPage->setObjectName("TabDescription");
  Edit_Objet = TextEdit(descPage, "Edit_Objet");
  Edit_telescope = TextEdit(descPage, "Edit_telescope");
  Edit_instrument = TextEdit(descPage, "Edit_instrument");
  Edit_observateur = TextEdit(descPage, "Edit_observateur");
  Edit_Commentaire = TextEdit(descPage, "Edit_Commentaire");
  auto* descLayout = new QFormLayout(descPage);
  descLayout->addRow(QStringLiteral("Objet"), Edit_Objet);
  descLayout->addRow(QStringLiteral("Téléscope"), Edit_telescope);
  descLayout->addRow(QStringLiteral("Instrument"), Edit_instrument);
  descLayout->addRow(QStringLiteral("Observateur"), Edit_observateur);
  descLayout->addRow(QStringLiteral("Commentaire"), Edit_Commentaire);
  PageControl1->addTab(descPage, QStringLiteral("Default description"));

  BtnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  BtnOK->setObjectName("BtnOK");
  BtnOK->setDefault(true);
  BtnAnnuler = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
  BtnAnnuler->setObjectName("BtnAnnuler");
  const std::pair<QWidget*, const char*> names[] = {
      {PageControl1, "FITS parameter pages"}, {Radio_8bits, "8 bits type"}, {Radio_16bits, "16 bits type"},
      {Radio_MoyRVB, "RGB mean"}, {Radio_SepRVB, "RGB layer separation"},
      {Check_PleineProfondeur, "Full depth for combined images"}, {Edit_Objet, "Objet"},
      {Edit_telescope, "Téléscope"}, {Edit_instrument, "Instrument"}, {Edit_observateur, "Observateur"},
      {Edit_Commentaire, "Commentaire"}, {BtnOK, "OK"}, {BtnAnnuler, "Cancel"}};
  for (const auto& [widget, name] : names) widget->setAccessibleName(QString::fromUtf8(name));
  connect(BtnOK, &QPushButton::clicked, this, &TFormParamFits::BtnOKClick);
  connect(BtnAnnuler, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnOK);
  buttons->addWidget(BtnAnnuler);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormCreate();
}

void TFormParamFits::FormCreate() {
  const TParamFITS& p = ParamFits;
  // Each pair shows one choice; a pair stored with both flags set shows the
  // second, as a later click would.
  (p.Bits16 ? Radio_16bits : Radio_8bits)->setChecked(true);
  (p.SepRVB ? Radio_SepRVB : Radio_MoyRVB)->setChecked(true);
  Check_PleineProfondeur->setChecked(p.PleineProfondeur);
  Edit_Objet->setText(Q(p.Objet));
  Edit_telescope->setText(Q(p.Telescope));
  Edit_instrument->setText(Q(p.Instrument));
  Edit_observateur->setText(Q(p.Observateur));
  Edit_Commentaire->setText(Q(p.Commentaire));
}

void TFormParamFits::BtnOKClick() {
  TParamFITS& p = ParamFits;
  p.Bits8 = Radio_8bits->isChecked();
  p.Bits16 = Radio_16bits->isChecked();
  p.MoyRVB = Radio_MoyRVB->isChecked();
  p.SepRVB = Radio_SepRVB->isChecked();
  p.PleineProfondeur = Check_PleineProfondeur->isChecked();
  p.Objet = S(Edit_Objet);
  p.Telescope = S(Edit_telescope);
  p.Instrument = S(Edit_instrument);
  p.Observateur = S(Edit_observateur);
  p.Commentaire = S(Edit_Commentaire);
  accept();
}
