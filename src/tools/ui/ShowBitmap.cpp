// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ui/ShowBitmap.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFrame>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "combine/ui/FormRapport.h"
#include "image/ui/FastIMG.h"
#include "tools/ui/Adjuster.h"
#include "tools/ui/Rotate.h"

namespace {
QAction* MakeAction(QObject* owner, QAction*& slot, const char* name, const QString& caption) {
  slot = new QAction(caption, owner);
  slot->setObjectName(name);
  return slot;
}
}  // namespace

TShowBitmap::TShowBitmap(QWidget* parent) : QDialog(parent) {
  setObjectName("ShowBitmap");
  // A fixed border and no title-bar buttons: OK closes it.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  VideoPanel = new TFastIMG(this);
  VideoPanel->setObjectName("VideoPanel");
  VideoPanel->setAccessibleName("Result picture");
  VideoPanel->SetDrawStyle(dsResize);
  VideoPanel->SetSizeMode(smFast);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  BitBtn1 = new QPushButton("OK", Panel1);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setAccessibleName("OK");
  BtEnregistre = new QPushButton("Save ...", Panel1);
  BtEnregistre->setObjectName("BtEnregistre");
  BtEnregistre->setAccessibleName("Save ...");
  BtRapport = new QPushButton("&Report ...", Panel1);
  BtRapport->setObjectName("BtRapport");
  BtRapport->setAccessibleName("Report ...");
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

  MakeAction(this, Action_Taille_normale, "Action_Taille_normale", "Normal size");
  MakeAction(this, Action_Agrandissement, "Action_Agrandissement", "Increase size (x2)");
  MakeAction(this, Action_rotation, "Action_rotation", "Rotation");
  MakeAction(this, Action_ajuste_couleur, "Action_ajuste_couleur", "Color adjust");
  MakeAction(this, Action_Enregistre, "Action_Enregistre", "Save ...");
  MakeAction(this, Action_Annuler, "Action_Annuler", "Undo changes");
  MakeAction(this, Action_Rapport, "Action_Rapport", "&Report ...");
  Action_Taille_normale->setCheckable(true);
  Action_Agrandissement->setCheckable(true);
  Action_Taille_normale->setChecked(true);
  Action_Agrandissement->setChecked(false);
  for (QAction* a : {Action_Taille_normale, Action_Agrandissement, Action_Enregistre}) a->setEnabled(false);
  Action_Rapport->setEnabled(false);

  connect(Action_Taille_normale, &QAction::triggered, this, &TShowBitmap::Action_Taille_normaleExecute);
  connect(Action_Agrandissement, &QAction::triggered, this, &TShowBitmap::Action_AgrandissementExecute);
  connect(Action_rotation, &QAction::triggered, this, &TShowBitmap::Action_rotationExecute);
  connect(Action_ajuste_couleur, &QAction::triggered, this, &TShowBitmap::Action_ajuste_couleurExecute);
  connect(Action_Enregistre, &QAction::triggered, this, &TShowBitmap::Action_EnregistreExecute);
  connect(Action_Annuler, &QAction::triggered, this, &TShowBitmap::Action_AnnulerExecute);
  connect(Action_Rapport, &QAction::triggered, this, &TShowBitmap::Action_RapportExecute);
  // The buttons follow their actions.
  connect(BtEnregistre, &QPushButton::clicked, Action_Enregistre, &QAction::trigger);
  connect(BtRapport, &QPushButton::clicked, Action_Rapport, &QAction::trigger);
  const auto follow = [](QPushButton* button, QAction* action) {
    button->setEnabled(action->isEnabled());
    connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
  };
  follow(BtEnregistre, Action_Enregistre);
  follow(BtRapport, Action_Rapport);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(Action_Taille_normale);
  PopupMenu1->addAction(Action_Agrandissement);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(Action_rotation);
  PopupMenu1->addAction(Action_ajuste_couleur);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(Action_Enregistre);
  PopupMenu1->addAction(Action_Annuler);
  PopupMenu1->addAction(Action_Rapport);

  setFixedSize(kResultMinWindowWidth, kPanelHeight + 100 + 40);
}

void TShowBitmap::Setup(const TFastDIB* result, const QString& sourceName,
                        std::optional<std::vector<std::string>> report) {
  State.Setup(result, sourceName.toStdString(), std::move(report));
  Action_Rapport->setEnabled(State.HasReport());
  if (!State.HasImage()) return;
  State.ResetWorking(VideoPanel->Bmp());
  for (QAction* a : {Action_Taille_normale, Action_Agrandissement, Action_Enregistre}) a->setEnabled(true);
  ApplyZoom(1);
}

void TShowBitmap::ApplyZoom(int factor) {
  const std::optional<TResultGeometry> g = State.SetZoom(factor, kPanelHeight);
  if (!g) return;
  // The window's size is its client area here (the window manager adds its frame).
  setFixedSize(g->WindowWidth, g->WindowHeight);
  VideoPanel->setGeometry(g->ControlLeft, g->ControlTop, g->ControlWidth, g->ControlHeight);
  Panel1->setGeometry(0, g->WindowHeight - kPanelHeight, g->WindowWidth, kPanelHeight);
  // OK, Save and Report at the right of the panel.
  int x = g->WindowWidth - 8;
  for (QPushButton* b : {BtRapport, BtEnregistre, BitBtn1}) {
    x -= 85;
    b->setGeometry(x, 8, 80, 25);
  }
  VideoPanel->Changed();
  Action_Taille_normale->setChecked(State.Zoom() == 1);
  Action_Agrandissement->setChecked(State.Zoom() == 2);
}

void TShowBitmap::Action_Taille_normaleExecute() { ApplyZoom(1); }
void TShowBitmap::Action_AgrandissementExecute() { ApplyZoom(2); }

void TShowBitmap::RunModal(QDialog& dialog) {
  if (ShowModal)
    ShowModal(dialog);
  else
    dialog.exec();
}

void TShowBitmap::PlaceBeside(QDialog& dialog) const {
  // The live preview is only useful when the tool does not hide the picture:
  // beside the window, on its right when there is room, else on its left.
  dialog.adjustSize();
  const QScreen* s = screen();
  if (!s) return;
  const QRect room = s->availableGeometry();
  const QRect me = frameGeometry();
  int x = me.right() + 8;
  if (x + dialog.width() > room.right()) x = std::max(room.left(), me.left() - 8 - dialog.width());
  dialog.move(x, std::clamp(me.top(), room.top(), std::max(room.top(), room.bottom() - dialog.height())));
}

void TShowBitmap::Action_rotationExecute() {
  TfrmRotate dialog(this);
  dialog.SetTarget(VideoPanel);
  PlaceBeside(dialog);
  RunModal(dialog);
  VideoPanel->Changed();
}

void TShowBitmap::Action_ajuste_couleurExecute() {
  TAdjuster dialog(this);
  dialog.SetTarget(VideoPanel);
  PlaceBeside(dialog);
  RunModal(dialog);
  VideoPanel->Changed();
}

void TShowBitmap::Action_AnnulerExecute() {
  State.ResetWorking(VideoPanel->Bmp());
  VideoPanel->Changed();
}

void TShowBitmap::Action_RapportExecute() {
  TFormRapport report(this);
  report.setWindowTitle(QString::fromStdString(ReportCaption(windowTitle().toStdString())));
  report.SetLines(State.Report());
  RunModal(report);
}

void TShowBitmap::Action_EnregistreExecute() {
  if (!State.HasImage()) return;
  const QString proposal = QString::fromStdString(ProposedFileName(State.DefaultName()));
  const TResultSaveSettings& settings = SaveSettings;
  QString chosen;
  if (ChooseSaveFile) {
    chosen = ChooseSaveFile(proposal, settings.Bitmap);
  } else {
    QFileDialog dialog(this, QString(), QString::fromStdString(settings.Directory));
    dialog.setObjectName("SavePictureDialog1");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters{"Bitmaps (*.bmp)", "Fits (*.fit)"};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(settings.Bitmap ? filters[0] : filters[1]);
    // A name typed without extension takes the chosen filter's.
    dialog.setDefaultSuffix(settings.Bitmap ? "bmp" : "fit");
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, filters](const QString& f) { dialog.setDefaultSuffix(f == filters[0] ? "bmp" : "fit"); });
    // The save step asks about replacing a file itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!proposal.isEmpty()) dialog.selectFile(proposal);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) chosen = dialog.selectedFiles().front();
  }
  if (chosen.isEmpty()) return;
  TResultSaveHooks hooks;
  hooks.FitsParameters = FitsParameters;
  LastSave = State.Save(VideoPanel->Bmp(), chosen.toStdString(), settings, hooks);
}

void TShowBitmap::contextMenuEvent(QContextMenuEvent* event) { PopupMenu1->popup(event->globalPos()); }
