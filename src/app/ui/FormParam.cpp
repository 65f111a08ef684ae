// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/FormParam.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/ui/FormParamFits.h"
#include "app/ui/ParamUpDown.h"

namespace {
template <class T>
T* Named(T* w, const char* name) {
  w->setObjectName(name);
  return w;
}

// A number edit with its up-down arrows in one row.
QWidget* NumberField(QWidget* parent, QLineEdit*& edit, TParamUpDown*& updown, const char* editName,
                     const char* upDownName, int min, int max) {
  auto* box = new QWidget(parent);
  edit = Named(new QLineEdit(box), editName);
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
  edit->setAlignment(Qt::AlignRight);
  InstallNumberKeyFilter(edit);
  updown = Named(new TParamUpDown(box), upDownName);
  updown->SetRange(min, max);
  updown->Associate(edit);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(edit);
  row->addWidget(updown);
  row->addStretch();
  return box;
}
}  // namespace

TFormParam::TFormParam(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("FormParam");
  setWindowTitle(QStringLiteral("Parameters"));
  setModal(true);

  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  BuildFramePage();
  BuildCombinePage();
  BuildSavePage();

  BtOk = Named(new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this), "BtOk");
  BtOk->setDefault(true);
  BtCancel = Named(
      new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this), "BtCancel");
  connect(BtOk, &QPushButton::clicked, this, &TFormParam::BtOkClick);
  connect(BtCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtOk);
  buttons->addWidget(BtCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Names for screen readers and tests: the caption a user sees next to each control.
  const std::pair<QWidget*, const char*> names[] = {
      {PageControl1, "Parameter pages"}, {Edit_Tolerance, "Default tolerance"}, {EditBordure, "Margin size"},
      {cd_tolerance_auto, "Automatic tolerance"}, {cdauto_rapport, "Report after automatic framing"},
      {Radio_CalculSimple, "Simple image mode"}, {Radio_CalculComplexe, "Complex image mode"},
      {Radio_CalculSurface, "Surface framing mode"}, {SpinMemoire, "Memory for frame copies"},
      {Edit_kappa, "Kappa-Sigma parameter"}, {CheckBox_kappamoyenne, "In case of reject, color mean"},
      {CheckBox_texte_compositage, "Save a text file with combined image"},
      {CheckBox_subpixel, "Sub-pixel alignment"}, {rep_sauve, "Directory"},
      {BitBtn1, "Browse directory"}, {CheckBox_Numerotation, "Numbers aligned with 4 digits"},
      {Radio_BMP, "BMP type"}, {Radio_FITS, "FITS type"}, {BtnParamFits, "FITS Parameters"}, {BtOk, "OK"},
      {BtCancel, "Cancel"}};
  for (const auto& [widget, name] : names) widget->setAccessibleName(QString::fromUtf8(name));

  BrowseDirectory = [this](const QString& start) {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Browse ..."), start, QFileDialog::ShowDirsOnly);
  };

  FormCreate();
}

void TFormParam::BuildFramePage() {
  auto* page = Named(new QWidget, "TabFrame");
  LabelBordure = Named(new QLabel(QStringLiteral("Margin size :"), page), "LabelBordure");
  QWidget* bordure = NumberField(page, EditBordure, UpDownBordure, "EditBordure", "UpDownBordure", 0, 100);
  Label4 = Named(new QLabel(QStringLiteral("Default tolerance :"), page), "Label4");
  QWidget* tolerance = NumberField(page, Edit_Tolerance, UpDownTolerance, "Edit_Tolerance", "UpDownTolerance", 0, 255);
  cd_tolerance_auto = Named(new QCheckBox(QStringLiteral("Automatic tolerance :"), page), "cd_tolerance_auto");
  cd_tolerance_auto->setLayoutDirection(Qt::RightToLeft);  // caption before the box, as its colon says
  cdauto_rapport = Named(new QCheckBox(QStringLiteral("Report after automatic framing"), page), "cdauto_rapport");
  LabelMemoire = Named(new QLabel(QStringLiteral("Memory for frame copies :"), page), "LabelMemoire");
  SpinMemoire = Named(new QSpinBox(page), "SpinMemoire");
  SpinMemoire->setRange(kMemoireRange.Min, kMemoireRange.Max);
  SpinMemoire->setSpecialValueText(QStringLiteral("Automatic (half of the memory)"));
  SpinMemoire->setSuffix(QStringLiteral(" MB"));
  SpinMemoire->setToolTip(
      QStringLiteral("Past this, the frame copies of a long capture go to a temporary file. 0: all in memory."));

  GroupCalcul = Named(new QGroupBox(QStringLiteral("Frame building mode"), page), "GroupCalcul");
  Radio_CalculSimple = Named(new QRadioButton(QStringLiteral("Simple image mode"), GroupCalcul), "Radio_CalculSimple");
  Radio_CalculComplexe =
      Named(new QRadioButton(QStringLiteral("Complex image mode"), GroupCalcul), "Radio_CalculComplexe");
  Radio_CalculSurface = Named(
      new QRadioButton(QStringLiteral("Surface (Moon, Sun): track the frame drawn"), GroupCalcul), "Radio_CalculSurface");
  auto* modes = new QVBoxLayout(GroupCalcul);
  modes->addWidget(Radio_CalculSimple);
  modes->addWidget(Radio_CalculComplexe);
  modes->addWidget(Radio_CalculSurface);

  auto* grid = new QGridLayout(page);
  grid->addWidget(LabelBordure, 0, 0);
  grid->addWidget(bordure, 0, 1);
  grid->addWidget(Label4, 1, 0);
  grid->addWidget(tolerance, 1, 1);
  grid->addWidget(cd_tolerance_auto, 2, 0, Qt::AlignLeft);
  grid->addWidget(cdauto_rapport, 3, 0, 1, 2);
  grid->addWidget(LabelMemoire, 4, 0);
  grid->addWidget(SpinMemoire, 4, 1);
  grid->addWidget(GroupCalcul, 5, 0, 1, 2);
  grid->setRowStretch(6, 1);
  grid->setColumnStretch(1, 1);
  PageControl1->addTab(page, QStringLiteral("Frame"));

  connect(cd_tolerance_auto, &QCheckBox::toggled, this, &TFormParam::cd_tolerance_autoClick);
}

void TFormParam::BuildCombinePage() {
  auto* page = Named(new QWidget, "TabCombinaison");
  GroupKappa = Named(new QGroupBox(QStringLiteral("Combinaison Kappa-Sigma"), page), "GroupKappa");
  LabelKappa = Named(new QLabel(QStringLiteral("Kappa-Sigma parameter :"), GroupKappa), "LabelKappa");
  QWidget* kappa = NumberField(GroupKappa, Edit_kappa, UpDownKappa, "Edit_kappa", "UpDownKappa", 0, 10);
  CheckBox_kappamoyenne =
      Named(new QCheckBox(QStringLiteral("In case of reject, color mean"), GroupKappa), "CheckBox_kappamoyenne");
  LabelKappaNote = Named(new QLabel(QStringLiteral("(unchecked = black dot reject)"), GroupKappa), "LabelKappaNote");
  LabelKappaNote->setIndent(style()->pixelMetric(QStyle::PM_IndicatorWidth) + 6);
  auto* group = new QGridLayout(GroupKappa);
  group->addWidget(LabelKappa, 0, 0);
  group->addWidget(kappa, 0, 1);
  group->addWidget(CheckBox_kappamoyenne, 1, 0, 1, 2);
  group->addWidget(LabelKappaNote, 2, 0, 1, 2);
  group->setColumnStretch(1, 1);

  CheckBox_texte_compositage =
      Named(new QCheckBox(QStringLiteral("Save a text file with combined image"), page), "CheckBox_texte_compositage");
  CheckBox_subpixel = Named(
      new QCheckBox(QStringLiteral("Align frames to a fraction of a pixel (sub-pixel)"), page), "CheckBox_subpixel");
  CheckBox_subpixel->setToolTip(
      QStringLiteral("Each frame is moved onto the mean of the sharpest frames before the combination; in Surface "
                     "mode the frame drawn is followed to a fraction of a pixel instead"));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(GroupKappa);
  layout->addWidget(CheckBox_texte_compositage);
  layout->addWidget(CheckBox_subpixel);
  layout->addStretch();
  PageControl1->addTab(page, QStringLiteral("Combinaison"));
}

void TFormParam::BuildSavePage() {
  auto* page = Named(new QWidget, "TabSauvegarde");
  GroupRepertoire = Named(new QGroupBox(QStringLiteral("Extracted image"), page), "GroupRepertoire");
  LabelRepertoire = Named(new QLabel(QStringLiteral("Directory :"), GroupRepertoire), "LabelRepertoire");
  rep_sauve = Named(new QLineEdit(GroupRepertoire), "rep_sauve");
  rep_sauve->setMinimumWidth(260);
  BitBtn1 = Named(new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon), QStringLiteral("Browse ..."),
                                  GroupRepertoire),
                  "BitBtn1");
  BitBtn1->setAutoDefault(false);
  CheckBox_Numerotation = Named(
      new QCheckBox(QStringLiteral("Numbers aligned with 4 digits (ex:TMP0001)."), GroupRepertoire), "CheckBox_Numerotation");
  auto* rep = new QGridLayout(GroupRepertoire);
  rep->addWidget(LabelRepertoire, 0, 0);
  rep->addWidget(rep_sauve, 0, 1);
  rep->addWidget(BitBtn1, 0, 2);
  rep->addWidget(CheckBox_Numerotation, 1, 0, 1, 3);
  rep->setColumnStretch(1, 1);

  GroupFormat = Named(new QGroupBox(QStringLiteral("Default image file format"), page), "GroupFormat");
  Radio_BMP = Named(new QRadioButton(QStringLiteral("BMP type (Windows bitmap)"), GroupFormat), "Radio_BMP");
  Radio_FITS = Named(new QRadioButton(QStringLiteral("FITS type (for astronomy)"), GroupFormat), "Radio_FITS");
  BtnParamFits = Named(new QPushButton(QStringLiteral("FITS Parameters ..."), GroupFormat), "BtnParamFits");
  BtnParamFits->setAutoDefault(false);
  auto* format = new QGridLayout(GroupFormat);
  format->addWidget(Radio_BMP, 0, 0);
  format->addWidget(Radio_FITS, 1, 0);
  format->addWidget(BtnParamFits, 1, 1, Qt::AlignRight);
  format->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(GroupRepertoire);
  layout->addWidget(GroupFormat);
  layout->addStretch();
  PageControl1->addTab(page, QStringLiteral("Sauvegarde"));

  connect(BitBtn1, &QPushButton::clicked, this, &TFormParam::BitBtn1Click);
  connect(BtnParamFits, &QPushButton::clicked, this, &TFormParam::BtnParamFitsClick);
  connect(Radio_BMP, &QRadioButton::toggled, this, &TFormParam::Radio_BMPClick);
  connect(Radio_FITS, &QRadioButton::toggled, this, &TFormParam::Radio_FITSClick);
}

void TFormParam::FormCreate() {
  const TParamglob& p = ParamGlob;
  // The spins write their positions into the edits; a value from the file
  // outside a spin's range shows (and is stored on OK) as the nearest bound.
  UpDownBordure->SetPosition(p.bordure);
  UpDownTolerance->SetPosition(p.tolerance);
  UpDownKappa->SetPosition(p.kappa);
  rep_sauve->setText(QString::fromStdString(p.repertoire));
  cd_tolerance_auto->setChecked(p.tolerance_automatique);
  cdauto_rapport->setChecked(p.Rapport);
  SpinMemoire->setValue(p.memoire_copies_mo);
  // Each pair shows exactly one choice: a pair stored with both flags set
  // shows the second (as clicking it last would); one with neither shows the first.
  (p.cadrage_surface   ? Radio_CalculSurface
   : p.calcul_complexe ? Radio_CalculComplexe
                       : Radio_CalculSimple)
      ->setChecked(true);
  CheckBox_kappamoyenne->setChecked(p.rejet_kappa);
  CheckBox_texte_compositage->setChecked(p.texte_avec_compositage);
  CheckBox_subpixel->setChecked(p.alignement_subpixel);
  CheckBox_Numerotation->setChecked(p.numerotation_zero);
  (p.Fits ? Radio_FITS : Radio_BMP)->setChecked(true);
  FitsParams = p.FITS;
  cd_tolerance_autoClick();
  Radio_FITSClick();
}

void TFormParam::cd_tolerance_autoClick() {
  const bool manual = !cd_tolerance_auto->isChecked();
  Label4->setEnabled(manual);
  Edit_Tolerance->setEnabled(manual);
}

void TFormParam::Radio_BMPClick() { BtnParamFits->setEnabled(Radio_FITS->isChecked()); }

void TFormParam::Radio_FITSClick() { BtnParamFits->setEnabled(Radio_FITS->isChecked()); }

void TFormParam::BitBtn1Click() {
  if (!BrowseDirectory) return;
  const QString dir = BrowseDirectory(rep_sauve->text());
  if (!dir.isEmpty()) rep_sauve->setText(dir);
}

void TFormParam::BtnParamFitsClick() {
  ParamFits = FitsParams;
  TFormParamFits dialog(this);
  if (dialog.exec() == QDialog::Accepted) FitsParams = ParamFits;
}

void TFormParam::BtOkClick() {
  TParamglob& p = ParamSaisie;
  p.bordure = UpDownBordure->PositionFromText();
  p.tolerance = UpDownTolerance->PositionFromText();
  p.kappa = UpDownKappa->PositionFromText();
  p.tolerance_automatique = cd_tolerance_auto->isChecked();
  p.Rapport = cdauto_rapport->isChecked();
  p.memoire_copies_mo = SpinMemoire->value();
  // Surface framing keeps the brightness mode chosen before, for when it is
  // switched off again (and for programs that do not know the surface key).
  p.cadrage_surface = Radio_CalculSurface->isChecked();
  if (!p.cadrage_surface) {
    p.calcul_simple = Radio_CalculSimple->isChecked();
    p.calcul_complexe = Radio_CalculComplexe->isChecked();
  } else {
    p.calcul_simple = ParamGlob.calcul_simple;
    p.calcul_complexe = ParamGlob.calcul_complexe;
  }
  p.rejet_kappa = CheckBox_kappamoyenne->isChecked();
  p.texte_avec_compositage = CheckBox_texte_compositage->isChecked();
  p.alignement_subpixel = CheckBox_subpixel->isChecked();
  p.repertoire = rep_sauve->text().toStdString();
  p.numerotation_zero = CheckBox_Numerotation->isChecked();
  p.Bitmap = Radio_BMP->isChecked();
  p.Fits = Radio_FITS->isChecked();
  p.FITS = FitsParams;
  accept();
}

void TFormParam::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!Centred_) {
    Centred_ = true;
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  }
}
