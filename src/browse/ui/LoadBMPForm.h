// SPDX-License-Identifier: GPL-3.0-or-later
// TLoadBMPForm: "Open/Edit a BMP file list". The user browses folders, sees
// the BMP files of the chosen folder with their facts, previews one, and
// collects files from any folders into the list of selected images. The
// rules live in TBmpListDialogModel; this class maps the controls.
#pragma once

#include <QDialog>
#include <memory>

#include "browse/BmpListModels.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QTimer;
class TFastIMG;
class TFolderTree;

// The dialog's last selection, handed to the main window when it closes
// (replaced at every close, OK or Cancel). None at start.
std::unique_ptr<TBmpEntryList>& BmpSelection();

class TLoadBMPForm : public QDialog {
  Q_OBJECT
 public:
  // `repertoire`: the folder shown first.
  explicit TLoadBMPForm(const std::string& repertoire, QWidget* parent = nullptr);
  ~TLoadBMPForm() override;

  TBmpListDialogModel Model;

  TFolderTree* dfsSystemTreeView1 = nullptr;
  QLabel* LabelRepertoire = nullptr;
  TFastIMG* FastIMG1 = nullptr;
  QTreeWidget* ListView1 = nullptr;
  QTreeWidget* ListView2 = nullptr;
  QPushButton* Btn_AjAll = nullptr;
  QPushButton* Btn_Ajoute = nullptr;
  QPushButton* Btn_Enleve = nullptr;
  QPushButton* Btn_Vider = nullptr;
  QPushButton* Btn_Visu = nullptr;
  QPushButton* BtnCancel = nullptr;
  QPushButton* BtnOK = nullptr;

  void dfsSystemTreeView1Change(QTreeWidgetItem* node);
  void ListView1SelectItem();
  void Btn_AjouteClick();
  void Btn_AjAllClick();
  void Btn_EnleveClick();
  void Btn_ViderClick();
  void Btn_VisuClick();
  // Lists the rest of the folder now (the dialog otherwise lists it a few
  // files at a time between events).
  void FinishListing();

 protected:
  void done(int result) override;

 private:
  void ListSomeFiles();
  void ShowButtons();
  void AppendSelectedLines(int from);
  std::vector<int> SelectedRows(QTreeWidget* list) const;
  QTimer* ListingTimer_ = nullptr;
  std::string Repertoire_;
};
