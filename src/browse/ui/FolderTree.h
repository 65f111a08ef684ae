// SPDX-License-Identifier: GPL-3.0-or-later
// TFolderTree: a folders-only view of the file system, loaded as nodes are
// opened. Its top node is the computer (not a folder), holding the root
// folder and the home folder.
#pragma once

#include <QTreeWidget>

class TFolderTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TFolderTree(QWidget* parent = nullptr);
  // Opens the tree down to `path` and selects its node; false when the path
  // is not a folder reachable from the tree (nothing changes then).
  bool SelectPath(const QString& path);
  // Full path of a node: empty for nodes that are not folders (the computer).
  static QString NodePath(const QTreeWidgetItem* node);

 signals:
  // A node was selected (null when none).
  void NodeChanged(QTreeWidgetItem* node);

 private:
  void Populate(QTreeWidgetItem* node);
  QTreeWidgetItem* AddFolder(QTreeWidgetItem* parent, const QString& text, const QString& path);
  QTreeWidgetItem* Computer_ = nullptr;
};
