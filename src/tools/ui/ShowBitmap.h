// SPDX-License-Identifier: GPL-3.0-or-later
// TShowBitmap: the result window. Shows one combined image in VideoPanel (its
// working image), with the combination's report, and carries the zoom,
// rotation, colour adjustment, undo, report and save commands. The rules
// (geometry, undo source, proposed name, saving) are TResultWindowState's
// (tools/ResultWindow.h); this class maps them to controls.
//
// Use: create, Setup(result, source name, report), setWindowTitle(caption),
// exec(), delete; the caller frees the result image afterwards.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/ResultWindow.h"

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class TFastIMG;

class TShowBitmap : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kPanelHeight = 41;

  explicit TShowBitmap(QWidget* parent = nullptr);

  // Gives the window its result (may be null), the source's name and the report.
  void Setup(const TFastDIB* result, const QString& sourceName, std::optional<std::vector<std::string>> report);

  TResultWindowState State;

  TFastIMG* VideoPanel = nullptr;  // its picture is the working image
  QFrame* Panel1 = nullptr;
  QPushButton* BitBtn1 = nullptr;       // OK
  QPushButton* BtEnregistre = nullptr;  // "Save ..."
  QPushButton* BtRapport = nullptr;     // "&Report ..."
  QMenu* PopupMenu1 = nullptr;

  QAction* Action_Taille_normale = nullptr;
  QAction* Action_Agrandissement = nullptr;
  QAction* Action_rotation = nullptr;
  QAction* Action_ajuste_couleur = nullptr;
  QAction* Action_Enregistre = nullptr;
  QAction* Action_Annuler = nullptr;
  QAction* Action_Rapport = nullptr;

  void Action_Taille_normaleExecute();
  void Action_AgrandissementExecute();
  void Action_rotationExecute();
  void Action_ajuste_couleurExecute();
  void Action_EnregistreExecute();
  void Action_AnnulerExecute();
  void Action_RapportExecute();

  // The save dialog: (proposed name, "Bitmaps" preselected) -> chosen path,
  // empty when cancelled. Unset: the desktop's save dialog.
  std::function<QString(const QString& proposal, bool bitmapFilter)> ChooseSaveFile;
  // The settings a save reads (the caller gives them before showing the window).
  TResultSaveSettings SaveSettings;
  // The FITS parameters dialog (see TResultSaveHooks). Unset: the settings' values.
  std::function<std::optional<TParamFITS>(const TParamFITS&)> FitsParameters;
  // Shows a dialog of this window modally (rotation, adjuster, report). Unset: exec().
  std::function<void(QDialog&)> ShowModal;

  // What the last save did (for the caller and tests).
  TResultSaveOutcome LastSave;

 private:
  void ApplyZoom(int factor);
  void RunModal(QDialog& dialog);
  void PlaceBeside(QDialog& dialog) const;
  void contextMenuEvent(QContextMenuEvent* event) override;
};
