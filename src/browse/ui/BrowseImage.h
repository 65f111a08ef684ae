// SPDX-License-Identifier: GPL-3.0-or-later
// TBrowseImage: "Images preview". The BMP files of the folder chosen in the
// tree, with their facts, and the selected one at real size or fitted to the
// viewing area. The listing rules live in TBrowseImageModel.
#pragma once

#include <QDialog>

#include "browse/BmpListModels.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TFastIMG;
class TFolderTree;

class TBrowseImage : public QDialog {
  Q_OBJECT
 public:
  explicit TBrowseImage(const std::string& repertoire, QWidget* parent = nullptr);

  TBrowseImageModel Model;

  QLabel* Label1 = nullptr;
  TFolderTree* SystemTreeView1 = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  TFastIMG* FastIMG1 = nullptr;
  QTreeWidget* ListView1 = nullptr;
  QPushButton* BtFermer = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* popup_centrer = nullptr;
  QAction* popup_ajustee = nullptr;

  void SystemTreeView1Change(QTreeWidgetItem* node);
  void ListView1SelectItem();
  void popup_centrerClick();
  void popup_ajusteeClick();
  void FinishListing();

 private:
  void ListSomeFiles();
  QTimer* ListingTimer_ = nullptr;
};
